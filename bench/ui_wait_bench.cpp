// CPU time of a program that waits for a key: ReadKey on a real terminal (a
// pseudo-terminal made here) with no key for a while, against the same wait
// done by polling with 1 ms sleeps; also with a window on top (its GetKey
// reads) and with an idle hook due every half second.
//
//   bench_ui_wait [seconds]     (default 10 per measurement)
//
// Each measurement runs in a child process whose controlling terminal is the
// pseudo-terminal; the parent plays the user and presses a key when the time
// is up. Figures are CPU seconds (user + system) and the share of one core.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "console/screen.h"
#include "platform/keyboard.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "ui/console_setup.h"
#include "ui/events.h"
#include "ui/window.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

enum class Way { kReadKey, kSleepPolling, kReadKeyIdleHook, kWindowGetKey };

int idleCalls = 0;

// In the child: take the terminal, wait for one key the chosen way, report.
[[noreturn]] void Child(Way way, int report) {
  platform::SetTerminal(platform::MakePosixTerminal());
  if (!platform::CurrentTerminal().Start()) _exit(2);
  platform::ScreenStart();
  platform::ResetKeyboard();
  ui::TerminalMode = true;  // leave the pseudo-terminal's size alone
  ui::ConsoleSetup();
  ui::StartToolkitModule();
  platform::RefreshScreen();
  if (write(report, "r", 1) != 1) _exit(3);  // ready

  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = CpuSeconds();
  int key = 0;
  switch (way) {
    case Way::kReadKey:
      key = ui::ReadKey();
      break;
    case Way::kWindowGetKey: {
      ui::Window w(10, 5, 70, 20);
      w.Draw();
      key = ui::ReadKey();
      break;
    }
    case Way::kReadKeyIdleHook:
      ui::SetIdleHook([] { ++idleCalls; }, 50);
      key = ui::ReadKey();
      break;
    case Way::kSleepPolling:
      // What a reader does that sleeps 1 ms whenever no key is waiting.
      while (!platform::KeyStrokeReady()) console::Pause(1);
      key = platform::StrokeChar(platform::TakeKeyStroke());
      break;
  }
  const double cpu = CpuSeconds() - c0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ui::ConsoleShutdown();
  platform::CurrentTerminal().Stop();
  char line[160];
  const int n = std::snprintf(line, sizeof line, "%d %.6f %.6f %d\n", key, cpu, wall, idleCalls);
  if (write(report, line, static_cast<size_t>(n)) != n) _exit(4);
  _exit(0);
}

bool Measure(Way way, int seconds, double& cpu, double& wall, int& idle) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
  const std::string slave = ptsname(master);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    close(master);
    close(pipeFds[0]);
    setsid();
    const int fd = open(slave.c_str(), O_RDWR);  // becomes the controlling terminal
    if (fd < 0) _exit(5);
    dup2(fd, 0);
    dup2(fd, 1);
    dup2(fd, 2);
    if (fd > 2) close(fd);
    Child(way, pipeFds[1]);
  }
  close(pipeFds[1]);
  // Play the terminal: swallow what the program draws, press a key when the
  // time is up.
  char buf[4096];
  bool ready = false, sent = false;
  std::string report;
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    pollfd fds[2] = {{master, POLLIN, 0}, {pipeFds[0], POLLIN, 0}};
    poll(fds, 2, 50);
    if (fds[0].revents & POLLIN) {
      if (read(master, buf, sizeof buf) <= 0) fds[0].fd = -1;
    }
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      const ssize_t n = read(pipeFds[0], buf, sizeof buf);
      if (n <= 0) break;
      report.append(buf, static_cast<size_t>(n));
      if (!ready && !report.empty() && report[0] == 'r') {
        ready = true;
        report.erase(0, 1);
        start = std::chrono::steady_clock::now();
      }
    }
    if (ready && !sent && std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds)) {
      if (write(master, "x", 1) != 1) break;
      sent = true;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  close(pipeFds[0]);
  int key = 0;
  if (std::sscanf(report.c_str(), "%d %lf %lf %d", &key, &cpu, &wall, &idle) != 4 || key != 'x')
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  struct Row {
    const char* name;
    Way way;
    double cpu = 0, wall = 0;
    int idle = 0;
  } rows[] = {
      {"ReadKey", Way::kReadKey},
      {"ReadKey with a window on top", Way::kWindowGetKey},
      {"ReadKey, idle hook every 0.5 s", Way::kReadKeyIdleHook},
      {"1 ms sleep polling", Way::kSleepPolling},
  };
  for (Row& r : rows) {
    if (!Measure(r.way, seconds, r.cpu, r.wall, r.idle)) {
      std::fprintf(stderr, "%s: measurement failed\n", r.name);
      return 1;
    }
  }
  const double base = rows[3].cpu;
  std::printf("Waiting %d s for a key on a pseudo-terminal:\n", seconds);
  for (const Row& r : rows)
    std::printf("%-32s cpu %8.4f s  wall %6.2f s  %7.3f %% of a core  %6.3f x polling%s\n", r.name,
                r.cpu, r.wall, 100.0 * r.cpu / r.wall, base > 0 ? r.cpu / base : 0.0,
                r.way == Way::kReadKeyIdleHook ? (" (" + std::to_string(r.idle) + " idle calls)").c_str()
                                               : "");
  return 0;
}
