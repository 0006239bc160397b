// Turns the bytes a terminal sends into input events.
//
// Decodes the key sequences of xterm (normal and application cursor mode,
// CSI 1;<mod>X modifier forms, SS3 keys), VT220 function keys (CSI n ~ and
// CSI n;<mod> ~), rxvt (CSI n $ / ^ / @ and ESC O a..d), the Linux console
// (CSI [ A..E), Esc-prefixed Alt, UTF-8 text (to code page 852; unmappable
// characters are dropped) and mouse reports (SGR CSI < b ; x ; y M/m, and the
// older CSI M b x y form).
// The byte 3 (Ctrl+C) is the break event, not a key.
//
// The decoder never blocks and never fails: truncated or unknown sequences are
// dropped whole. It is driven by tables (see key_decoder.cpp); adding a
// terminal's sequence means adding a table row.
//
// Rules where terminals are ambiguous:
// - Esc Esc is two Esc keys, except when the second Esc starts a complete key
//   sequence: then it is that key with Alt (rxvt's and tmux's Alt+cursor).
// - Esc followed by a letter is Alt+letter without Shift whatever the letter's
//   case (a terminal cannot tell Caps Lock from Shift).
// - CSI 25~..34~ are Shift+F3..F10 (rxvt) in the xterm dialect and
//   Shift+F1..F8 on the Linux console.
// - The rxvt final bytes $ ^ @ end a CSI that has no private marker.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/input_event.h"

namespace platform {

enum class KeyDialect : uint8_t {
  kXterm,         // xterm, VTE, rxvt, tmux, screen and most others
  kLinuxConsole,  // the Linux virtual console (TERM=linux)
};

// The dialect to decode for a terminal of this TERM value.
KeyDialect KeyDialectForTerm(std::string_view term);

class KeyDecoder {
 public:
  // The longest escape sequence kept whole; a longer one is dropped up to
  // its final byte, however long it runs.
  static constexpr size_t kMaxSequence = 48;
  // Pending() never holds more bytes than this.
  static constexpr size_t kMaxPending = kMaxSequence + 1;

  explicit KeyDecoder(KeyDialect dialect = KeyDialect::kXterm) : dialect_(dialect) {}

  // Decodes bytes; complete events are appended to out. A sequence that may
  // still be incomplete at the end of bytes is kept for the next call, so
  // feeding a text in pieces gives the same events as feeding it whole.
  void Feed(std::string_view bytes, std::vector<InputEvent>& out);

  // No byte arrived within the Esc timeout: what is kept is final. A lone Esc
  // becomes the Esc key; an incomplete sequence is dropped (or read as Alt+key
  // where that is its meaning, e.g. "Esc [" is Alt+[). Afterwards nothing is
  // pending.
  void Timeout(std::vector<InputEvent>& out);

  // True when bytes are kept that wait for the rest of a sequence.
  bool Pending() const { return !pending_.empty(); }
  size_t PendingSize() const { return pending_.size(); }

 private:
  // Decodes the event that starts at buf[pos]. Returns the number of bytes
  // used (events are appended to out, possibly none for dropped bytes), or 0
  // when more bytes are needed to decide (never when final is set).
  size_t DecodeOne(std::string_view buf, size_t pos, bool final, std::vector<InputEvent>& out);
  size_t DecodeEsc(std::string_view buf, size_t pos, bool final, std::vector<InputEvent>& out);
  size_t DecodeCsi(std::string_view buf, size_t pos, bool final, std::vector<InputEvent>& out);
  size_t DecodeSs3(std::string_view buf, size_t pos, bool final, std::vector<InputEvent>& out);
  size_t DecodeText(std::string_view buf, size_t pos, bool final, std::vector<InputEvent>& out);
  void Mouse(int b, int x, int y, bool release, std::string_view raw,
             std::vector<InputEvent>& out);

  KeyDialect dialect_;
  std::string pending_;
  uint16_t mouseButtons_ = 0;
  // Inside an over-long sequence: its bytes are dropped up to the final byte.
  bool skipping_ = false;
};

}  // namespace platform
