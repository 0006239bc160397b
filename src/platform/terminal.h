// The terminal: the one place where the system meets the host's text screen
// and keyboard. Two implementations stand behind this interface: the real
// terminal (POSIX tty, raw mode, escape sequences) and a headless twin that
// keeps everything in memory for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/input_event.h"

namespace platform {

class Terminal {
 public:
  virtual ~Terminal() = default;

  // Takes the terminal over (raw mode, alternate screen, mouse reports).
  // Returns false when there is no terminal to take.
  virtual bool Start() = 0;
  // Puts the terminal back exactly as Start found it. Safe to call twice.
  virtual void Stop() = 0;
  virtual bool Started() const = 0;

  // Sends bytes to the terminal in one write.
  virtual void Write(std::string_view bytes) = 0;

  // Waits at most timeoutMs (0: do not wait, -1: forever) for input and
  // appends the decoded events to out. Returns false when nothing arrived.
  virtual bool ReadEvents(int timeoutMs, std::vector<InputEvent>& out) = 0;

  // The terminal's size in cells.
  virtual void Size(int& columns, int& rows) = 0;

  // Asks the terminal to make its window columns x rows cells (the xterm
  // window-manipulation request; terminals without it ignore it).
  virtual void RequestSize(int columns, int rows);
  // Shows a line of code page 852 text in inverse video from the top-left
  // corner, over what the screen shows there, then puts the cursor at the
  // 0-based (row, column). For notices the cell buffer does not hold.
  virtual void ShowBanner(std::string_view cp852, int cursorRow, int cursorColumn);

  // How many times the terminal was taken over; what it shows is unknown
  // after each new start.
  uint64_t starts = 0;
  // Counts bytes written (for measurements).
  uint64_t bytesWritten = 0;
  uint64_t writeCalls = 0;
};

// The terminal the console layer works on. Until a program sets another one,
// this is a headless twin.
Terminal& CurrentTerminal();
// Installs a terminal (takes ownership); returns the previous one.
std::unique_ptr<Terminal> SetTerminal(std::unique_ptr<Terminal> t);

// The real terminal on the process's controlling tty (/dev/tty, or standard
// input and output when they are a terminal).
std::unique_ptr<Terminal> MakePosixTerminal();

// Puts a taken-over real terminal back (mode, screen, cursor, title) using
// only async-signal-safe calls; for signal handlers and fatal stops. Does
// nothing when no real terminal is taken.
void EmergencyRestoreTerminal();

// The headless twin.
class HeadlessTerminal : public Terminal {
 public:
  HeadlessTerminal(int columns = 80, int rows = 25) : columns_(columns), rows_(rows) {}
  bool Start() override {
    started_ = true;
    ++starts;
    return true;
  }
  void Stop() override { started_ = false; }
  bool Started() const override { return started_; }
  void Write(std::string_view bytes) override;
  bool ReadEvents(int timeoutMs, std::vector<InputEvent>& out) override;
  void Size(int& columns, int& rows) override { columns = columns_; rows = rows_; }

  // Scripting: raw bytes as a terminal would send them (decoded by the real
  // decoder), or ready-made events.
  void ScriptBytes(std::string_view bytes);
  void ScriptEvent(const InputEvent& e);
  void SetSize(int columns, int rows) { columns_ = columns; rows_ = rows; }
  // Everything written so far.
  std::string output;

 private:
  int columns_, rows_;
  bool started_ = false;
  std::vector<InputEvent> script_;
  size_t next_ = 0;
};

}  // namespace platform
