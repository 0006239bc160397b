#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/dos_path.h"
#include "platform/terminal.h"

namespace platform {
namespace {

bool EndsWithIgnoringCase(std::string_view s, std::string_view end) {
  if (s.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char a = s[s.size() - end.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (a != end[i]) return false;
  }
  return true;
}

bool IsRegular(const std::string& path, struct stat& st) {
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A program on the host's PATH, by a name without a folder; empty when none.
std::string FindOnPath(const std::string& name) {
  const char* env = getenv("PATH");
  std::string_view list = env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(':', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string dir(list.substr(pos, end - pos));
    pos = end + 1;
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    struct stat st;
    if (IsRegular(candidate, st) && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// Finds the program a command line names. The answer is a host path, and
// whether it is found as a DOS file (then the run permission may be added).
IoCode FindProgram(const std::string& name, NameCode code, std::string& host, bool& dosFile) {
  dosFile = false;
  HostPath hp;
  IoCode rc = ResolvePath(DosName(name, code), hp);
  if (rc == io::kOk && hp.exists) {
    host = hp.path;
    dosFile = true;
    return io::kOk;
  }
  const bool bare = name.find_first_of("\\/:") == std::string::npos;
  if (bare && rc != io::kInvalidName) {
    const std::string utf8 = NameToUtf8(name, code);
    host = FindOnPath(utf8);
    if (host.empty() && (EndsWithIgnoringCase(utf8, ".exe") || EndsWithIgnoringCase(utf8, ".com")))
      host = FindOnPath(utf8.substr(0, utf8.size() - 4));
    if (!host.empty()) return io::kOk;
  }
  if (rc) return rc;
  return MustExist(hp);
}

// Readies a program file to be started directly: adds the run permission a
// downloaded ".exe" or ".com" lacks, and refuses Windows programs.
IoCode ReadyToRun(const std::string& host, bool mayAddPermission) {
  struct stat st;
  if (!IsRegular(host, st)) return io::kAccessDenied;
  if (access(host.c_str(), X_OK) != 0) {
    if (!mayAddPermission) return io::kAccessDenied;
    // Run permission for whoever may read it.
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR | ((mode & S_IRGRP) ? S_IXGRP : 0) | ((mode & S_IROTH) ? S_IXOTH : 0);
    if (chmod(host.c_str(), mode) != 0) return IoCodeFromErrno(errno);
  }
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char head[2] = {0, 0};
    ssize_t n = read(fd, head, 2);
    close(fd);
    if (n == 2 && head[0] == 'M' && head[1] == 'Z') return io::kBadProgramFormat;
  }
  return io::kOk;
}

// Signals whose "ignore" setting a child would otherwise inherit.
constexpr int kChildDefaults[] = {SIGPIPE, SIGTTIN, SIGTTOU, SIGTSTP, SIGCHLD};

// Starts argv[0] (a host path) with argv and waits. errnoOut gets the reason
// when exec failed.
IoCode SpawnAndWait(const std::vector<std::string>& argv, uint16_t& exitCode) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return IoCodeFromErrno(errno);

  // While the child runs, Ctrl+C and Ctrl+\ are its business: the terminal
  // sends them to the whole foreground group, this process included.
  struct sigaction ignore = {}, oldInt = {}, oldQuit = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);

  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int sig : kChildDefaults) sigaction(sig, &dfl, nullptr);
    // A signal the program was started with ignored stays ignored.
    sigaction(SIGINT, oldInt.sa_handler == SIG_IGN ? &ignore : &dfl, nullptr);
    sigaction(SIGQUIT, oldQuit.sa_handler == SIG_IGN ? &ignore : &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(args[0], args.data());
    int err = errno;
    ssize_t ignored = write(pipeFds[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  close(pipeFds[1]);
  IoCode rc = io::kOk;
  if (pid < 0) {
    rc = errno == ENOMEM ? io::kNotEnoughMemory : IoCodeFromErrno(errno);
  } else {
    int err = 0;
    ssize_t n;
    do {
      n = read(pipeFds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    int status = 0;
    pid_t w;
    do {
      w = waitpid(pid, &status, 0);
    } while (w < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof err)) {
      rc = IoCodeFromErrno(err);
    } else if (w == pid && WIFEXITED(status)) {
      exitCode = static_cast<uint16_t>(WEXITSTATUS(status) & 0xFFFF);
    } else if (w == pid && WIFSIGNALED(status)) {
      exitCode = static_cast<uint16_t>(128 + WTERMSIG(status));
    } else {
      rc = io::kGeneralFailure;  // the status was taken elsewhere
    }
  }
  close(pipeFds[0]);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  return rc;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> out;
  size_t p = 0;
  const size_t n = line.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (p < n && blank(line[p])) ++p;
  if (p >= n) return out;

  // The program: quotes toggle, backslashes are plain characters.
  {
    std::string arg;
    bool quoted = false;
    while (p < n && (quoted || !blank(line[p]))) {
      if (line[p] == '"')
        quoted = !quoted;
      else
        arg += line[p];
      ++p;
    }
    out.push_back(std::move(arg));
  }

  for (;;) {
    while (p < n && blank(line[p])) ++p;
    if (p >= n) break;
    std::string arg;
    bool quoted = false;
    for (;;) {
      size_t slashes = 0;
      while (p < n && line[p] == '\\') {
        ++slashes;
        ++p;
      }
      bool copy = true;
      if (p < n && line[p] == '"') {
        if (slashes % 2 == 0) {
          if (quoted && p + 1 < n && line[p + 1] == '"') {
            ++p;  // "" inside quotes: one literal quote, still quoted
          } else {
            copy = false;
            quoted = !quoted;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, '\\');
      if (p >= n || (!quoted && blank(line[p]))) break;
      if (copy) arg += line[p];
      ++p;
    }
    out.push_back(std::move(arg));
  }
  return out;
}

std::string QuoteArgument(std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) return std::string(arg);
  std::string out = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"')
      out.append(slashes * 2 + 1, '\\');
    else
      out.append(slashes, '\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, '\\');
  out += '"';
  return out;
}

IoCode RunAndWait(std::string_view commandLine, uint16_t& exitCode, NameCode code) {
  return RunAndWait(SplitCommandLine(commandLine), exitCode, code);
}

IoCode RunAndWait(const std::vector<std::string>& arguments, uint16_t& exitCode, NameCode code) {
  exitCode = 0;
  if (arguments.empty() || arguments[0].empty()) return io::kFileNotFound;
  std::string host;
  bool dosFile = false;
  if (IoCode rc = FindProgram(arguments[0], code, host, dosFile)) return rc;

  std::vector<std::string> argv;
  const bool batch = EndsWithIgnoringCase(host, ".bat") || EndsWithIgnoringCase(host, ".cmd");
  if (batch) {
    struct stat st;
    if (!IsRegular(host, st)) return io::kAccessDenied;
    argv.push_back("/bin/sh");
    argv.push_back(host);
  } else {
    const bool windowsKind = EndsWithIgnoringCase(host, ".exe") || EndsWithIgnoringCase(host, ".com");
    if (IoCode rc = ReadyToRun(host, dosFile && windowsKind)) return rc;
    argv.push_back(host);
  }
  for (size_t i = 1; i < arguments.size(); ++i) argv.push_back(NameToUtf8(arguments[i], code));

  Terminal& terminal = CurrentTerminal();
  const bool hadTerminal = terminal.Started();
  if (hadTerminal) terminal.Stop();
  IoCode rc = SpawnAndWait(argv, exitCode);
  if (hadTerminal) terminal.Start();
  return rc;
}

IoCode ShellOpen(DosName file, std::string_view /*parameters*/) {
  // A URL goes to xdg-open as it is; anything else is a DOS path.
  std::string target;
  std::string_view t = file.text;
  size_t colon = t.find(':');
  bool url = colon != std::string_view::npos && colon >= 2;
  for (size_t i = 0; url && i < colon; ++i) {
    char c = t[i];
    url = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
  }
  if (url) {
    target = NameToUtf8(t, file.code);
  } else {
    HostPath hp;
    if (IoCode rc = ResolvePath(file, hp)) return rc;
    if (IoCode rc = MustExist(hp)) return rc;
    target = hp.path;
  }
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return kNoAssociation;

  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return io::kNotEnoughMemory;
  if (pid == 0) {
    // A session of its own, away from the terminal: the program that shows
    // the document outlives this call and must not read our keys.
    setsid();
    int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      dup2(devNull, 0);
      dup2(devNull, 1);
      dup2(devNull, 2);
    }
    pid_t opener_pid = fork();
    if (opener_pid == 0) {
      execl(opener.c_str(), "xdg-open", target.c_str(), static_cast<char*>(nullptr));
      _exit(3);
    }
    if (opener_pid < 0) _exit(4);
    // xdg-open usually ends at once; one that is still busy after ten
    // seconds has started something and counts as accepted.
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      pid_t w = waitpid(opener_pid, &status, WNOHANG);
      if (w == opener_pid) _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 4);
      struct timespec pause = {0, 50 * 1000 * 1000};
      nanosleep(&pause, nullptr);
    }
    _exit(0);
  }
  int status = 0;
  pid_t w;
  do {
    w = waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  if (w != pid || !WIFEXITED(status)) return io::kGeneralFailure;
  switch (WEXITSTATUS(status)) {
    case 0: return io::kOk;
    case 2: return io::kFileNotFound;  // xdg-open: the file does not exist
    default: return kNoAssociation;    // no program for it, or it failed
  }
}

}  // namespace platform
