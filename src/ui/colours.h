// Colours and frame styles of the toolkit.
//
// Every colour of the toolkit is derived from one base attribute, taken from
// the console when the toolkit starts; a screen that was started in another
// colour recolours every window, dialog and list with it. A colour is stored
// as a mode (how to derive it from the base) and resolved when it is used.
#pragma once

#include <array>
#include <cstdint>

#include "console/screen.h"

namespace ui {

// The attribute all toolkit colours are derived from (0x07 until start-up).
extern uint8_t BaseColour;

struct ColourRecord {
  int32_t mode;
  uint8_t attr;  // used by mode 6 only
};

// Modes: 0 the base, 1 base without intensity bits, 2 base with an intense
// foreground, 3 inverse base, 4 inverse base over the base foreground made
// intense, 5 base foreground as background with a dark grey foreground,
// 6 the record's own attribute; any other mode gives the base.
uint8_t ResolveColour(const ColourRecord& c);

using console::SwapColours;
constexpr uint8_t MakeAttr(uint8_t background, uint8_t foreground) {
  return static_cast<uint8_t>((background * 16 + foreground) & 0x7F);
}
constexpr uint8_t NoBlinkNoBright(uint8_t a) { return a & 0x77; }
constexpr uint8_t Bright(uint8_t a) { return a | 0x08; }
constexpr uint8_t Blink(uint8_t a) { return a | 0x80; }

// The colour scheme.
inline constexpr ColourRecord FrameColour{2, 0};
inline constexpr ColourRecord TitleColour{3, 0};
inline constexpr ColourRecord ButtonColour{1, 0};
inline constexpr ColourRecord ButtonHotColour{2, 0};
inline constexpr ColourRecord ButtonShadowColour{5, 0};
inline constexpr ColourRecord DialogColour{3, 0};
inline constexpr ColourRecord BarColour{0, 0};
inline constexpr ColourRecord BarHotColour{2, 0};
inline constexpr ColourRecord ListColour{0, 0};
inline constexpr ColourRecord SpareColour{3, 0};
inline constexpr ColourRecord LabelColour{3, 0};
inline constexpr ColourRecord FieldColour{1, 0};
inline constexpr ColourRecord FieldFocusColour{2, 0};
inline constexpr ColourRecord FieldOffColour{6, 0x80};

// Eight frame characters: top-left, bottom-left, top-right, bottom-right,
// top line, bottom line, left side, right side.
using FrameSet = std::array<uint8_t, 8>;

// Frame styles: 1 single, 2 and 3 double, 4 blank (no frame), 5 shade,
// 6 dotted.
inline constexpr int kSingleFrame = 1;
inline constexpr int kDoubleFrame = 2;
inline constexpr int kBlankFrame = 4;

// The set of a style; 1 and every unknown style give the single set.
const FrameSet& FrameSetOf(int style);
// The first style (1..6) whose set equals set; 1 when none does. A double
// set therefore always reports 2.
int StyleOf(const FrameSet& set);
// Whether a style draws no frame.
bool IsBlankStyle(int style);
bool IsBlankSet(const FrameSet& set);

}  // namespace ui
