// What the terminal's input decoder delivers: physical key strokes in the
// terms of a PC keyboard (character, scan code, shift state), mouse events,
// and the console's break event (Ctrl+C).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Shift state bits, as in the key stroke layout.
enum ShiftBits : uint8_t {
  kLeftShift = 1,
  kRightShift = 2,
  kCtrl = 4,
  kAlt = 8,
};

// PC keyboard (set 1) scan codes of the keys a terminal can send.
namespace scan {
inline constexpr uint8_t kEsc = 1, kDigit1 = 2, kDigit0 = 11, kMinus = 12, kEquals = 13,
    kBackspace = 14, kTab = 15, kEnter = 28, kSpace = 57, kF1 = 59, kF10 = 68, kHome = 71,
    kUp = 72, kPgUp = 73, kPadMinus = 74, kLeft = 75, kCentre = 76, kRight = 77, kPadPlus = 78,
    kEnd = 79, kDown = 80, kPgDn = 81, kIns = 82, kDel = 83, kF11 = 87, kF12 = 88,
    kPadSlash = 53, kPadStar = 55;
}  // namespace scan

// One key press as a PC keyboard would report it. ch is the code page 852
// character the key produced (0 for a key without one: function keys, cursor
// keys, and any key pressed with Alt). scan is the unremapped scan code.
struct PhysicalKey {
  uint8_t ch = 0;
  uint8_t scan = 0;
  uint8_t shift = 0;        // ShiftBits
  bool enhanced = false;    // grey cursor block / keypad Enter and slash
  bool keypad = false;      // a key of the numeric keypad (digits, Enter, operators)
};

// Mouse action bits.
enum MouseAction : uint16_t { kMouseDown = 1, kMouseUp = 2, kMouseMove = 4 };

struct MouseEvent {
  uint16_t buttons = 0;  // buttons held after the event: bit 0 left, bit 1 right
  uint16_t column = 0;   // 0-based
  uint16_t row = 0;      // 0-based
  uint16_t action = 0;   // MouseAction
};

struct InputEvent {
  enum Type : uint8_t { kKey, kMouse, kBreak, kResize } type = kKey;
  PhysicalKey key;
  MouseEvent mouse;
  std::string raw;  // the bytes the event was decoded from
};

}  // namespace platform
