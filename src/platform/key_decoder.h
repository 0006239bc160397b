// Turns the bytes a terminal sends into input events.
//
// Decodes the key sequences of xterm (normal and application cursor mode,
// CSI 1;<mod>X modifier forms, SS3 keys), VT220 function keys (CSI n ~ and
// CSI n;<mod> ~), rxvt (CSI n $ / ^ / @ and ESC O a..d), the Linux console
// (CSI [ A..E), Esc-prefixed Alt, UTF-8 text (to code page 852; unmappable
// characters are dropped) and SGR mouse reports (CSI < b ; x ; y M/m).
// The byte 3 (Ctrl+C) is the break event, not a key.
//
// The decoder never blocks and never fails: truncated or unknown sequences are
// dropped whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/input_event.h"

namespace platform {

class KeyDecoder {
 public:
  // Decodes bytes; complete events are appended to out. A sequence that may
  // still be incomplete at the end of bytes is kept for the next call.
  void Feed(std::string_view bytes, std::vector<InputEvent>& out);

  // No byte arrived within the Esc timeout: what is kept is final. A lone Esc
  // becomes the Esc key; an incomplete sequence is dropped (or read as Alt+key
  // where that is its meaning, e.g. Esc followed by a letter).
  void Timeout(std::vector<InputEvent>& out);

  // True when bytes are kept that wait for the rest of a sequence.
  bool Pending() const { return !pending_.empty(); }

 private:
  std::string pending_;
  uint16_t mouseButtons_ = 0;
};

}  // namespace platform
