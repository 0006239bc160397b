#include "ui/keycode.h"

namespace ui {

namespace {

using namespace platform;

// The modifier combinations the key table knows. Shift means either Shift key
// or both; anything mixed is kOther and has no code.
enum class Mods : uint8_t { kNone, kShift, kCtrl, kAlt, kOther };

Mods ModsOf(uint8_t shift) {
  shift &= kLeftShift | kRightShift | kCtrl | kAlt;
  if (shift == 0) return Mods::kNone;
  if ((shift & (kCtrl | kAlt)) == 0) return Mods::kShift;
  if (shift == kCtrl) return Mods::kCtrl;
  if (shift == kAlt) return Mods::kAlt;
  return Mods::kOther;
}

// Stroke values first, first + step, ... last with these modifiers give
// code, code + 1, ...
struct CodeRow {
  Mods mods;
  uint16_t first, last, step;
  uint8_t code;
};
constexpr CodeRow kCodeRows[] = {
    {Mods::kNone, kFnF1, kFnF10, 1, 187},
    {Mods::kNone, kFnHome, kFnPgUp, 1, 199},  // Home, Up, PgUp
    {Mods::kNone, kFnLeft, kFnLeft, 1, 203},
    {Mods::kNone, kFnRight, kFnRight, 1, 205},
    {Mods::kNone, kFnEnd, kFnDel, 1, 207},  // End, Down, PgDn, Ins, Del
    {Mods::kShift, 0x0F00, 0x0F00, 1, 143},  // Shift+Tab
    {Mods::kShift, kFnF1, kFnF10, 1, 212},
    {Mods::kShift, kFnIns, kFnIns, 1, 242},
    {Mods::kCtrl, kFnF1, kFnF10, 1, 222},
    {Mods::kCtrl, kFnHome, kFnHome, 1, 247},
    {Mods::kCtrl, kFnLeft, kFnLeft, 1, 243},
    {Mods::kCtrl, kFnRight, kFnRight, 1, 244},
    {Mods::kCtrl, kFnPgDn, kFnPgDn, 1, 246},
    {Mods::kCtrl, kFnIns, kFnIns, 1, 241},
    {Mods::kAlt, 0x1000, 0x3200, 0x100, 144},  // Alt+letters: 128 + scan code
    {Mods::kAlt, 0x7800, 0x7C00, 0x100, 250},  // Alt+1..Alt+5
    {Mods::kAlt, kFnF1, kFnF10, 1, 132},
    {Mods::kAlt, kFnUp, kFnUp, 1, 248},
    {Mods::kAlt, kFnDown, kFnDown, 1, 249},
};

}  // namespace

uint8_t KeyCodeOf(console::KeyStroke stroke) {
  // A function key's low byte belongs to its function-key code.
  if (StrokeKind(stroke) != kStrokeFunction && StrokeChar(stroke) != 0) return StrokeChar(stroke);
  const Mods mods = ModsOf(StrokeShift(stroke));
  const uint16_t v = StrokeCode(stroke);
  for (const CodeRow& r : kCodeRows) {
    if (r.mods != mods || v < r.first || v > r.last || (v - r.first) % r.step != 0) continue;
    return static_cast<uint8_t>(r.code + (v - r.first) / r.step);
  }
  return 0;
}

}  // namespace ui
