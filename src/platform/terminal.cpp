#include "platform/terminal.h"

#include <string>

#include "platform/cp852.h"
#include "platform/key_decoder.h"

namespace platform {

namespace {
std::unique_ptr<Terminal>& Slot() {
  static std::unique_ptr<Terminal> t = std::make_unique<HeadlessTerminal>();
  return t;
}
}  // namespace

Terminal& CurrentTerminal() { return *Slot(); }

void Terminal::RequestSize(int columns, int rows) {
  if (!Started() || columns < 1 || rows < 1) return;
  Write("\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t");
}

void Terminal::ShowBanner(std::string_view cp852, int cursorRow, int cursorColumn) {
  if (!Started()) return;
  std::string out = "\x1b[1;1H\x1b[0;7m";
  for (char c : cp852) AppendUtf8(out, Cp852Glyph(static_cast<uint8_t>(c)));
  out += "\x1b[0m\x1b[" + std::to_string(cursorRow + 1) + ";" + std::to_string(cursorColumn + 1) + "H";
  Write(out);
}

std::unique_ptr<Terminal> SetTerminal(std::unique_ptr<Terminal> t) {
  std::unique_ptr<Terminal> old = std::move(Slot());
  Slot() = std::move(t);
  return old;
}

void HeadlessTerminal::Write(std::string_view bytes) {
  output.append(bytes);
  bytesWritten += bytes.size();
  ++writeCalls;
}

bool HeadlessTerminal::ReadEvents(int, std::vector<InputEvent>& out) {
  if (next_ >= script_.size()) return false;
  out.push_back(script_[next_++]);
  if (next_ == script_.size()) {
    script_.clear();
    next_ = 0;
  }
  return true;
}

void HeadlessTerminal::ScriptBytes(std::string_view bytes) {
  KeyDecoder d;
  std::vector<InputEvent> evs;
  d.Feed(bytes, evs);
  d.Timeout(evs);
  for (auto& e : evs) script_.push_back(std::move(e));
}

void HeadlessTerminal::ScriptEvent(const InputEvent& e) { script_.push_back(e); }

}  // namespace platform
