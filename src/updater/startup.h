// The program's start-up and shutdown: every program of the suite begins with
// StartProgram and ends through EndProgram (or platform::StopProgram).
#pragma once

namespace updater {

// Starts the modules in the one start-up order of the system (see
// startup.cpp). Takes the real terminal; when there is none, stops with
// "No way to get the console handle" and exit code 1.
void StartProgram(int argc, char** argv);

// Shuts the modules down in reverse order and exits with code.
[[noreturn]] void EndProgram(int code = 0);

// The name the program was started as (argv[0]).
const char* ProgramArgv0();

}  // namespace updater
