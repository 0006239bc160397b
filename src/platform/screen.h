// The console platform layer's screen: the 80 x 25 cell buffer, the text
// window, the cursor and the current attribute, and the refresh that brings
// the terminal in line with the buffer.
//
// A cell is 16 bits: the low byte is the code page 852 character, the high
// byte the attribute (bits 0-3 foreground, 4-6 background, 7 bright
// background). Coordinates given to this layer are 1-based unless a name says
// otherwise.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr int kScreenColumns = 80;
inline constexpr int kScreenRows = 25;
inline constexpr int kScreenCells = kScreenColumns * kScreenRows;

// The cells the system draws into; index (row - 1) * 80 + (column - 1).
extern uint16_t ScreenBuffer[kScreenCells];
// While above 0, RefreshScreen does nothing.
extern int UpdateLock;
// The text window's corners, packed: 0-based column in the low byte, 0-based
// row in the high byte.
extern uint16_t WindowTopLeft;
extern uint16_t WindowBottomRight;
// The attribute of every write that takes none.
extern uint8_t TextAttribute;

inline constexpr uint16_t MakeCell(uint8_t ch, uint8_t attr) {
  return static_cast<uint16_t>(ch | (attr << 8));
}
inline constexpr uint8_t CellChar(uint16_t cell) { return static_cast<uint8_t>(cell & 0xFF); }
inline constexpr uint8_t CellAttr(uint16_t cell) { return static_cast<uint8_t>(cell >> 8); }
inline uint16_t& CellAt(int row, int column) {
  return ScreenBuffer[(row - 1) * kScreenColumns + (column - 1)];
}

// Start and stop of the screen layer (the buffer is cleared to light grey on
// black, the window is the whole screen, the cursor normal at (1,1)).
void ScreenStart();
void ScreenStop();
// Puts every variable of this layer back to its start-up value (tests).
void ResetScreen();

// 1-based corners; ignored when right < left, bottom < top or outside the
// screen; otherwise the window is set and the cursor goes to its (1,1).
void SetTextWindow(int left, int top, int right, int bottom);
// Window-relative; ignored when 0 or outside the window.
void SetCursorPos(int column, int row);
int CursorColumn();
int CursorRow();
// Absolute 1-based cursor position.
int CursorScreenColumn();
int CursorScreenRow();
uint8_t GetTextAttr();
void SetTextAttr(uint8_t attr);
// Keeps the background bits, sets bits 0-3 and bit 7 from colour.
void SetForeground(uint8_t colour);
// Sets bits 4-6 from colour 0..7, keeps the rest.
void SetBackground(uint8_t colour);
void HighIntensity();
void LowIntensity();
// Blank the window, or the cursor row from the cursor to the window's right
// edge, in the current attribute, straight on the terminal.
void ClearWindowDirect();
void ClearLineEndDirect();

// Cursor shapes: the size at start, hidden, a full block.
void CursorNormal();
void CursorHidden();
void CursorBlock();
// Cursor size as the system counts it: 1..100, 0 hidden.
int CursorSize();
void SetCursorSize(int size);

void Beep();
void StopSound();
void Pause(unsigned milliseconds);

// Brings the terminal in line with ScreenBuffer (unless UpdateLock > 0):
// only the changed cells are sent, together with the cursor, in one write.
void RefreshScreen();
void LockUpdates();
void UnlockUpdates();
// Forgets what the terminal shows, so that the next refresh sends everything
// (after a resize, or after the terminal was handed to another program).
void InvalidateScreen();

}  // namespace platform
