// Fuzz target of the key decoder: terminal bytes are outside input.
//
// The first input byte chooses where the rest is cut into reads (and whether
// the Linux console dialect is used); the rest is fed in those pieces, with a
// time-out at the end. Checked besides memory safety:
// - feeding in pieces gives exactly the events of feeding the bytes whole;
// - the pending tail never grows past its cap, and a time-out empties it;
// - every event carries the bytes it came from, and those bytes appear in the
//   input in the same order, without overlap;
// - a key has a character or a scan code; mouse buttons are left, right,
//   middle only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/key_decoder.h"

namespace {

using platform::InputEvent;
using platform::KeyDecoder;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "key decoder invariant broken: %s\n", what);
    std::abort();
  }
}

bool SameEvents(const std::vector<InputEvent>& a, const std::vector<InputEvent>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const InputEvent& x = a[i];
    const InputEvent& y = b[i];
    if (x.type != y.type || x.raw != y.raw) return false;
    if (x.key.ch != y.key.ch || x.key.scan != y.key.scan || x.key.shift != y.key.shift ||
        x.key.enhanced != y.key.enhanced || x.key.keypad != y.key.keypad)
      return false;
    if (x.mouse.buttons != y.mouse.buttons || x.mouse.column != y.mouse.column ||
        x.mouse.row != y.mouse.row || x.mouse.action != y.mouse.action)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto dialect =
      (control & 0x80) ? platform::KeyDialect::kLinuxConsole : platform::KeyDialect::kXterm;

  // Whole.
  KeyDecoder whole(dialect);
  std::vector<InputEvent> expected;
  whole.Feed(input, expected);
  Check(whole.PendingSize() <= KeyDecoder::kMaxPending, "pending over its cap");
  whole.Timeout(expected);
  Check(!whole.Pending(), "pending after a time-out");

  // In pieces of 1..(control & 15) + 1 bytes, the sizes varying with the
  // input's own bytes.
  KeyDecoder pieces(dialect);
  std::vector<InputEvent> got;
  const size_t step = (control & 15) + 1;
  size_t pos = 0;
  while (pos < input.size()) {
    size_t n = 1 + (static_cast<uint8_t>(input[pos]) + pos) % step;
    if (n > input.size() - pos) n = input.size() - pos;
    pieces.Feed(input.substr(pos, n), got);
    Check(pieces.PendingSize() <= KeyDecoder::kMaxPending, "pending over its cap");
    pos += n;
  }
  pieces.Timeout(got);
  Check(!pieces.Pending(), "pending after a time-out");
  Check(SameEvents(expected, got), "pieces decode differently from the whole");

  size_t at = 0;
  for (const InputEvent& e : expected) {
    Check(!e.raw.empty(), "event without raw bytes");
    const size_t found = input.find(e.raw, at);
    Check(found != std::string_view::npos, "raw bytes not in the input in order");
    at = found + e.raw.size();
    if (e.type == InputEvent::kKey) Check(e.key.ch != 0 || e.key.scan != 0, "empty key");
    if (e.type == InputEvent::kMouse) Check((e.mouse.buttons & ~7u) == 0, "unknown button");
    Check(e.type != InputEvent::kResize, "resize from key bytes");
  }
  return 0;
}
