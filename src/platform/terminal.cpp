#include "platform/terminal.h"

#include "platform/key_decoder.h"

namespace platform {

namespace {
std::unique_ptr<Terminal>& Slot() {
  static std::unique_ptr<Terminal> t = std::make_unique<HeadlessTerminal>();
  return t;
}
}  // namespace

Terminal& CurrentTerminal() { return *Slot(); }

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
