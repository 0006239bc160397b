// The one-byte key code of a key stroke.
#pragma once

#include <cstdint>

#include "console/keyboard.h"

namespace ui {

// The key code of a key stroke of the keyboard layer: its character when it
// has one; otherwise, by shift state and function-key code, the codes of the
// system's key table (F1 187, Shift+F1 212, Ctrl+F1 222, Alt+F1 132, Home 199,
// Ctrl+Left 243, Shift+Tab 143, Alt+Q 144, Alt+1 250, Alt+Up 248 ...).
// Every other combination (Ctrl+Alt, Shift+Ctrl, F11, ...) gives 0.
uint8_t KeyCodeOf(console::KeyStroke stroke);

}  // namespace ui
