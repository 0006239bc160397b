// Starting other programs from a full-screen program and coming back to an
// intact screen.
//
// The screen and the console state are saved, the terminal is handed to the
// child (the platform's terminal is stopped: the child sees the terminal as
// the shell left it), the program is found and run, the caller waits until it
// ends, optionally a pause line lets the user read what the child wrote, and
// then the terminal is taken back and the screen drawn again as it was.
//
// The program search: a name with a "." is looked for as given, a name
// without one as name.exe, then name.bat, then name.com; each first in the
// current folder, then in each folder of settings::ProgramFolder() in turn.
// A name found nowhere is handed to the processes service as it is (which
// finds, for instance, the host's own unzip for "unzip.exe").
//
// Names and parameters are code page 852 texts of at most 255 characters. A
// byte 0 at the end of the program name of RunProgramThenExit or of the
// command line of RunCommandLine ends this program once the child has ended.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/io_codes.h"

namespace files {

extern const std::string kPauseText;      // "Tovább bármivel..."
extern const std::string kExitAfterEnter;  // the line before RunProgramThenExit ends

// What the RunProgram family answers when no program could be started at
// all (no exit status of a program is this large); LastLaunchError() tells
// why.
inline constexpr uint16_t kNotStarted = 0xFFFF;

// Runs the program with its parameters and answers the low 16 bits of its
// exit status. The program "CD" (any case) changes the current folder to the
// parameters instead (as given, or with FileNameChars applied) and answers 0
// without touching the screen; when neither can be entered, a program of
// that name is searched for and run like any other. When pause is set, the
// pause line "Tovább bármivel..." is written on a fresh bottom row of the
// terminal under the child's output and waits for one key. When nothing could
// be started, the answer is kNotStarted and LastLaunchError() holds the I/O
// code that says why (2 not found, 5 not allowed, 193 not a program of this
// host).
uint16_t RunProgram(std::string_view program, std::string_view parameters, bool pause);

// RunProgram with the pause line written over the terminal's bottom row
// instead of on a fresh one.
uint16_t RunProgramKeepLine(std::string_view program, std::string_view parameters, bool pause);

// Runs a command line: the program up to the first blank, the parameters
// after it; no pause.
uint16_t RunCommandLine(std::string_view commandLine);

// Runs a program without parameters and without pause. With a byte 0 at the
// end of the name, the line kExitAfterEnter is written afterwards, a key is
// awaited and the program ends (exit code 0).
uint16_t RunProgramThenExit(std::string_view programName);

// Asks the desktop to open a document or URL; true when it accepted.
bool OpenWithShell(std::string_view file, std::string_view parameters);

// 0 when the last RunProgram* call started its program (or changed folder),
// otherwise the I/O code of why nothing ran.
platform::IoCode LastLaunchError();

// The program search alone: the DOS path of the program file, empty when
// the search finds none.
std::string FindProgramFile(std::string_view name);

}  // namespace files
