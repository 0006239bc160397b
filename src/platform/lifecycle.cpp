#include "platform/lifecycle.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/terminal.h"

namespace platform {

namespace {

std::vector<ModuleEntry> running;
std::string exitReport;
std::atomic<bool> handlersInstalled{false};

constexpr int kTerminating[] = {SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCrash[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// A terminating signal: the terminal is put back, then the signal takes its
// default action, so that the parent sees the process ended by it.
void OnFatalSignal(int sig) {
  EmergencyRestoreTerminal();
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

void StartModules(const ModuleEntry* modules, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (modules[i].start) modules[i].start();
    running.push_back(modules[i]);
  }
}

void StopModules() {
  while (!running.empty()) {
    ModuleEntry m = running.back();
    running.pop_back();
    if (m.stop) m.stop();
  }
}

size_t RunningModules() { return running.size(); }

void InstallExitSignalHandlers() {
  if (handlersInstalled.exchange(true)) return;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnFatalSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  for (int s : kTerminating) sigaction(s, &sa, nullptr);
  for (int s : kCrash) sigaction(s, &sa, nullptr);
  // A terminal that goes away must not kill the program through SIGPIPE in
  // the middle of a write; the write fails and the reader sees the end.
  signal(SIGPIPE, SIG_IGN);
}

void SetExitReport(const char* text) { exitReport = text ? text : ""; }

void StopProgram(int code) {
  StopModules();
  // The real terminal may still be taken when no module owned it.
  EmergencyRestoreTerminal();
  if (!exitReport.empty()) {
    ssize_t ignored = ::write(STDERR_FILENO, exitReport.data(), exitReport.size());
    (void)ignored;
  }
  std::exit(code);
}

}  // namespace platform
