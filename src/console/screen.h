// Screen output: the drawing primitives every screen is built from.
//
// All primitives write into the cell buffer of the platform layer; those that
// end with a refresh say so. Positions are absolute 1-based (row, column)
// unless they are window-relative by name. Texts are code page 852 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/screen.h"

namespace console {

// The screen size (set again by console set-up after it has sized the console).
extern int16_t ScreenColumns;
extern int16_t ScreenRows;

// The bytes a frame is drawn with: top-left, bottom-left, top-right,
// bottom-right corner, top, bottom, left, right line.
extern std::array<uint8_t, 8> FrameChars;
inline constexpr std::array<uint8_t, 8> kInitialFrameChars = {213, 212, 184, 190,
                                                              205, 205, 179, 179};

// Saved cells of a rectangle, row by row.
using CellBuffer = std::vector<uint16_t>;

// Puts this module's state back to its start-up values (tests).
void ResetScreenOutput();

// Writes text with attr from (row, column) rightwards, stopping at the
// screen's right edge; refreshes. An empty text does nothing.
void PutText(std::string_view text, int row, int column, uint8_t attr);
// Writes only the characters, keeping each cell's attribute, continuing onto
// the following rows up to the end of the screen; refreshes.
void PutChars(std::string_view text, int row, int column);
// Writes the characters downwards in one column, stopping at the bottom row;
// refreshes.
void PutTextDown(std::string_view text, int row, int column, uint8_t attr);
// Fills count cells from (row, column) rightwards, continuing onto the
// following rows up to the end of the screen; refreshes.
void FillCells(int count, uint8_t ch, int row, int column, uint8_t attr);
// Fills count cells downwards; after the bottom row it goes on at row 1 of the
// next column, up to the end of the screen; refreshes.
void FillCellsDown(int count, uint8_t ch, int row, int column, uint8_t attr);
// Uses each byte of attrs as the attribute of one cell, keeping the
// characters, up to the end of the screen; refreshes.
void PutAttributes(std::string_view attrs, int row, int column);
// Sets the attribute of count cells, keeping the characters; refreshes.
void SetCellAttributes(int count, int row, int column, uint8_t attr);
// Swaps foreground and background of count cells (SwapColours); refreshes.
void InvertCells(int count, int row, int column);
// The old background becomes the foreground and the low three bits of the old
// foreground the background; bits 3 and 7 of the result are 0.
constexpr uint8_t SwapColours(uint8_t a) {
  return static_cast<uint8_t>(((a * 16) & 127) | ((a / 16) & 7));
}
// Writes text (cut to the window width) centred in the window row; returns
// the absolute column it starts at.
int PutTextCentred(std::string_view text, int windowRow, uint8_t attr);
// Writes text (cut to the window width) right-aligned in the window row.
void PutTextRight(std::string_view text, int windowRow, uint8_t attr);
// Fills the rectangle; nothing when bottom < top.
void FillRect(int left, int top, int right, int bottom, uint8_t ch, uint8_t attr);
// Copies the rectangle's cells into buffer (first sized anew when allocate is
// set). Always returns true.
bool SaveRect(int left, int top, int right, int bottom, bool allocate, CellBuffer& buffer);
// Copies the cells back; when release is set the buffer is freed and emptied.
// Refreshes.
void RestoreRect(int left, int top, int right, int bottom, bool release, CellBuffer& buffer);
// Copies count cells with updates locked; does not refresh.
void CopyCells(const uint16_t* source, uint16_t* destination, int count);
// Draws a frame with FrameChars; titles holds the top title, optionally a
// byte 0 and the bottom title.
void DrawFrame(int left, int top, int right, int bottom, uint8_t frameAttr, uint8_t titleAttr,
               std::string_view titles);

// Text window line operations.
void ScrollWindowUp();
void InsertWindowLine();
void DeleteWindowLine();
void ClearWindow();
void ClearLineEnd();
void SetCursorPosShifted(int column, int row);
struct Rect {
  uint8_t left, top, right, bottom;
};
Rect WindowRect();
int ToWindowColumn(int column);
int ToWindowRow(int row);
int ToScreenColumn(int column);
int ToScreenRow(int row);

// The text-window, cursor and attribute operations of the platform layer,
// forwarded so that screens never call the platform directly.
using platform::Beep;
using platform::ClearLineEndDirect;
using platform::ClearWindowDirect;
using platform::CursorBlock;
using platform::CursorColumn;
using platform::CursorHidden;
using platform::CursorNormal;
using platform::CursorRow;
using platform::CursorScreenColumn;
using platform::CursorScreenRow;
using platform::GetTextAttr;
using platform::HighIntensity;
using platform::LockUpdates;
using platform::LowIntensity;
using platform::Pause;
using platform::RefreshScreen;
using platform::SetBackground;
using platform::SetCursorPos;
using platform::SetForeground;
using platform::SetTextAttr;
using platform::SetTextWindow;
using platform::StopSound;
using platform::UnlockUpdates;

}  // namespace console
