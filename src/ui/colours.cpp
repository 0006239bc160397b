#include "ui/colours.h"

namespace ui {

uint8_t BaseColour = 0x07;

uint8_t ResolveColour(const ColourRecord& c) {
  const uint8_t b = BaseColour;
  switch (c.mode) {
    case 0: return b;
    case 1: return b & 0x77;
    case 2: return b | 0x08;
    case 3: return SwapColours(b);
    case 4: return SwapColours(b) | (b & 0x0F) | 0x08;
    case 5: return (SwapColours(b) & 0xF8) | 0x08;
    case 6: return c.attr;
    default: return b;
  }
}

namespace {

constexpr std::array<FrameSet, 6> kFrameSets = {{
    {0xDA, 0xC0, 0xBF, 0xD9, 0xC4, 0xC4, 0xB3, 0xB3},
    {0xC9, 0xC8, 0xBB, 0xBC, 0xCD, 0xCD, 0xBA, 0xBA},
    {0xC9, 0xC8, 0xBB, 0xBC, 0xCD, 0xCD, 0xBA, 0xBA},
    {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
    {0xB0, 0xB0, 0xB0, 0xB0, 0xB0, 0xB0, 0xB0, 0xB0},
    {0x3A, 0x3A, 0x3A, 0x3A, 0x3A, 0x3A, 0x3A, 0x3A},
}};

}  // namespace

const FrameSet& FrameSetOf(int style) {
  if (style >= 2 && style <= 6) return kFrameSets[style - 1];
  return kFrameSets[0];
}

int StyleOf(const FrameSet& set) {
  for (int s = 1; s <= 6; ++s)
    if (kFrameSets[s - 1] == set) return s;
  return 1;
}

bool IsBlankSet(const FrameSet& set) { return StyleOf(set) == StyleOf(FrameSetOf(kBlankFrame)); }
bool IsBlankStyle(int style) { return IsBlankSet(FrameSetOf(style)); }

}  // namespace ui
