// The real terminal: a POSIX tty in raw mode on the alternate screen.
//
// Taking the terminal over changes state that outlives the process unless it
// is put back: the line discipline (termios), the alternate screen, mouse
// reporting, auto-wrap, the cursor shape and the window title. All of it is
// undone by Stop(), and by EmergencyRestoreTerminal(), which a signal handler
// may call: it only uses write() and tcsetattr() on data prepared while the
// terminal was taken, both async-signal-safe.
//
// Keys are read with poll() and decoded by KeyDecoder. A lone Esc cannot be
// told from the start of a sequence by its byte; it is the Esc key when no
// further byte follows within kEscTimeoutMs.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/key_decoder.h"
#include "platform/terminal.h"

namespace platform {

namespace {

constexpr int kEscTimeoutMs = 40;

// Entering: save the cursor and switch to the alternate screen, push the
// window title, no auto-wrap (a write into the last column of row 25 must not
// scroll), mouse button and drag reports in SGR form, cursor hidden until the
// first refresh places it, colours reset, screen cleared; the keypad in
// application mode, so that its digits can be told from the main row (Alt with
// keypad digits).
constexpr char kEnter[] =
    "\x1b[?1049h\x1b[22;0t\x1b=\x1b[?7l\x1b[?1000h\x1b[?1002h\x1b[?1006h\x1b[?25l\x1b[0m\x1b[2J";
// Leaving undoes each of them in reverse.
constexpr char kLeave[] =
    "\x1b[?1006l\x1b[?1002l\x1b[?1000l\x1b[0m\x1b[0 q\x1b[?25h\x1b[?7h\x1b>\x1b[?1049l\x1b[23;0t";

// What an emergency restore needs, kept where a signal handler can reach it.
struct Emergency {
  std::atomic<bool> active{false};
  int fd = -1;
  termios saved{};
};
Emergency emergency;

std::atomic<bool> resized{false};

void OnWinch(int) { resized.store(true); }

void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, 100);
        continue;
      }
      return;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

int64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class PosixTerminal : public Terminal {
 public:
  ~PosixTerminal() override {
    Stop();
    if (ownFd_) ::close(fd_);
  }

  bool Start() override {
    if (started_) return true;
    if (fd_ < 0 && !Open()) return false;
    termios saved;
    if (tcgetattr(fd_, &saved) != 0) return false;
    termios raw = saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    // No ISIG: Ctrl+C arrives as the byte 3 and becomes the break event;
    // Ctrl+Z and Ctrl+\ must not stop or kill a program mid-write.
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    emergency.fd = fd_;
    emergency.saved = saved;
    saved_ = saved;
    if (tcsetattr(fd_, TCSADRAIN, &raw) != 0) return false;
    emergency.active.store(true);
    started_ = true;
    ++starts;

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnWinch;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGWINCH, &sa, nullptr);
    QuerySize();
    Write(std::string_view(kEnter, sizeof kEnter - 1));
    return true;
  }

  void Stop() override {
    if (!started_) return;
    emergency.active.store(false);
    Write(std::string_view(kLeave, sizeof kLeave - 1));
    tcsetattr(fd_, TCSADRAIN, &saved_);
    started_ = false;
    decoder_ = KeyDecoder(Dialect());
  }

  bool Started() const override { return started_; }

  void Write(std::string_view bytes) override {
    if (fd_ < 0) return;
    WriteAll(fd_, bytes.data(), bytes.size());
    bytesWritten += bytes.size();
    ++writeCalls;
  }

  bool ReadEvents(int timeoutMs, std::vector<InputEvent>& out) override {
    const size_t before = out.size();
    const int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    for (;;) {
      if (resized.exchange(false)) {
        QuerySize();
        InputEvent e;
        e.type = InputEvent::kResize;
        out.push_back(e);
      }
      if (out.size() > before) return true;
      if (fd_ < 0 || !started_) return false;
      int wait;
      if (deadline < 0) {
        wait = -1;
      } else {
        const int64_t left = deadline - NowMs();
        wait = left > 0 ? static_cast<int>(left) : 0;
      }
      // Bytes that may start a sequence wait for the rest until kEscTimeoutMs
      // after the last byte arrived, however short the caller's wait is.
      int64_t escLeft = 0;
      if (decoder_.Pending()) {
        escLeft = lastByteMs_ + kEscTimeoutMs - NowMs();
        if (escLeft < 0) escLeft = 0;
        if (wait < 0 || wait > escLeft) wait = static_cast<int>(escLeft);
      }
      pollfd pfd{fd_, POLLIN, 0};
      const int r = ::poll(&pfd, 1, wait);
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) {
        if (decoder_.Pending() && NowMs() - lastByteMs_ >= kEscTimeoutMs) {
          decoder_.Timeout(out);
          if (out.size() > before) return true;
          continue;
        }
        if (deadline >= 0 && NowMs() >= deadline) return false;
        continue;
      }
      if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        if (!(pfd.revents & POLLIN)) return false;
      }
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return false;
      }
      if (n == 0) return false;  // the terminal is gone
      lastByteMs_ = NowMs();
      decoder_.Feed(std::string_view(buf, static_cast<size_t>(n)), out);
      if (out.size() > before) return true;
      if (deadline >= 0 && NowMs() >= deadline && !decoder_.Pending()) return false;
    }
  }

  void Size(int& columns, int& rows) override {
    if (resized.exchange(false)) {
      QuerySize();
      resized.store(true);  // the reader still reports the resize as an event
    }
    columns = columns_;
    rows = rows_;
  }

 private:
  bool Open() {
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
      fd_ = STDOUT_FILENO;
      // Reads come from the same terminal; standard output is opened for
      // reading too when it is the terminal device.
      int in = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
      if (in >= 0) {
        fd_ = in;
        ownFd_ = true;
      } else {
        fd_ = STDIN_FILENO;
      }
      return true;
    }
    fd_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return false;
    ownFd_ = true;
    return true;
  }

  void QuerySize() {
    winsize ws{};
    if (fd_ >= 0 && ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
      columns_ = ws.ws_col;
      rows_ = ws.ws_row;
    }
  }

  int fd_ = -1;
  int64_t lastByteMs_ = 0;
  bool ownFd_ = false;
  bool started_ = false;
  termios saved_{};
  int columns_ = 80;
  int rows_ = 25;
  static KeyDialect Dialect() {
    const char* term = std::getenv("TERM");
    return KeyDialectForTerm(term ? term : "");
  }

  KeyDecoder decoder_{Dialect()};
};

}  // namespace

std::unique_ptr<Terminal> MakePosixTerminal() { return std::make_unique<PosixTerminal>(); }

void EmergencyRestoreTerminal() {
  if (!emergency.active.exchange(false)) return;
  WriteAll(emergency.fd, kLeave, sizeof kLeave - 1);
  tcsetattr(emergency.fd, TCSADRAIN, &emergency.saved);
}

}  // namespace platform
