// Start-up and shutdown of the program's modules, and the one way to stop the
// program.
//
// The modules start in the order of one list (kept by the top layer, see
// updater/startup.h) and stop in reverse order. Every way out of the program
// runs the stops of the modules that have started, so that the terminal is
// always put back: a normal end, StopProgram, SIGTERM, SIGHUP and SIGQUIT,
// and, as far as a crashing process can, SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT (for those only the terminal is restored, by async-signal-safe
// calls).
#pragma once

#include <cstddef>

namespace platform {

struct ModuleEntry {
  const char* name;
  void (*start)();  // may be null
  void (*stop)();   // may be null
};

// Starts the modules in order. REQUIRES: no modules running.
void StartModules(const ModuleEntry* modules, size_t count);
// Stops the started modules in reverse order (each at most once).
void StopModules();
// The number of modules started and not yet stopped.
size_t RunningModules();

// Installs the handlers of the terminating and crash signals. Idempotent.
void InstallExitSignalHandlers();

// Stops the modules (the terminal is put back) and ends the process with code.
[[noreturn]] void StopProgram(int code);

// A report to show after the screen is put back (for fatal stops): StopProgram
// writes it to standard error once the terminal is restored.
void SetExitReport(const char* text);

}  // namespace platform
