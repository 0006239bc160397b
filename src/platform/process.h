// The processes service: starting another program the way the Windows system
// did, on a POSIX host.
//
//  - A command line is one text, split into arguments by the Windows rules
//    (SplitCommandLine). Its first argument names the program.
//  - The program is looked up as a DOS path (dos_path.h). A name without a
//    folder that names no file there is looked up on the host's PATH, also
//    without a ".exe" or ".com" ending ("unzip.exe" finds the host's unzip).
//  - ".bat" and ".cmd" files run through /bin/sh. Every other file is started
//    directly, so an ELF program and a "#!" script both work; a ".exe" or
//    ".com" file that came without its run permission (a download) gets it
//    first. A Windows program ("MZ") cannot run here and gives 193.
//  - The child gets the terminal (the terminal is stopped before and started
//    again after), the current folder and the environment; the caller waits
//    until it ends. Ctrl+C and Ctrl+\ typed meanwhile go to the child only.
//  - Arguments are converted from the code page of the command line to UTF-8;
//    DOS paths among them are passed as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dos_name.h"
#include "platform/io_codes.h"

namespace platform {

// Windows code when no program on the host can open a document.
inline constexpr IoCode kNoAssociation = 1155;

// Splits a Windows command line into arguments. Blanks and tabs separate
// arguments outside double quotes; a double quote starts or ends a quoted
// part (which may hold blanks) and is not kept; inside a quoted part two
// double quotes give one literal double quote. Backslashes are literal
// except before a double quote: 2n backslashes and a quote give n
// backslashes and a quote that starts or ends a quoted part; 2n+1
// backslashes and a quote give n backslashes and a literal quote. The first
// argument (the program) is read more simply, as Windows does: double quotes
// start and end quoted parts, and backslashes are always literal (a program
// path "C:\PRG\" keeps its last backslash). "" gives an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Quotes one argument so that SplitCommandLine gives it back unchanged (for
// any argument but the first).
std::string QuoteArgument(std::string_view arg);

// Runs the command line and waits for the program to end. Answers 0 when the
// program ran: exitCode then holds the low 16 bits of its exit status, or
// 128 + the signal number when a signal ended it. Otherwise exitCode is 0 and
// the answer tells why nothing ran: 2 no such program (3 its folder is
// missing), 5 not allowed to run it, 193 not a program this host can run,
// 123 a bad name, 8 no process could be made.
IoCode RunAndWait(std::string_view commandLine, uint16_t& exitCode,
                  NameCode code = NameCode::Cp852);

// The same with the program and its arguments given apart (no splitting).
IoCode RunAndWait(const std::vector<std::string>& arguments, uint16_t& exitCode,
                  NameCode code = NameCode::Cp852);

// Asks the desktop to open a document (or a URL such as "https://...") with
// xdg-open, without waiting for the program that shows it. Parameters are not
// passed on: xdg-open opens one document. Answers 0 when xdg-open accepted
// it, 2 or 3 when the document does not exist, kNoAssociation when there is
// no xdg-open or no program for the document.
IoCode ShellOpen(DosName file, std::string_view parameters = {});

}  // namespace platform
