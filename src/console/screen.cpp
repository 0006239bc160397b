#include "console/screen.h"

#include <algorithm>

namespace console {

int16_t ScreenColumns = platform::kScreenColumns;
int16_t ScreenRows = platform::kScreenRows;
std::array<uint8_t, 8> FrameChars = kInitialFrameChars;

namespace {

using platform::CellAttr;
using platform::CellChar;
using platform::MakeCell;
using platform::ScreenBuffer;

// The buffer index of (row, column), or -1 when the position is off screen.
int IndexOf(int row, int column) {
  if (row < 1 || row > ScreenRows || column < 1 || column > ScreenColumns) return -1;
  return (row - 1) * ScreenColumns + (column - 1);
}

int Cells() { return ScreenColumns * ScreenRows; }

// Runs f(index) for count cells from (row, column) in reading order, stopping
// at the end of the screen.
template <typename F>
void ForRun(int count, int row, int column, F f) {
  int i = IndexOf(row, column);
  if (i < 0) return;
  for (int k = 0; k < count && i < Cells(); ++k, ++i) f(i, k);
}

int WinLeft() { return (platform::WindowTopLeft & 0xFF) + 1; }
int WinTop() { return (platform::WindowTopLeft >> 8) + 1; }
int WinRight() { return (platform::WindowBottomRight & 0xFF) + 1; }
int WinBottom() { return (platform::WindowBottomRight >> 8) + 1; }

void SetCharAt(int row, int column, uint8_t ch, uint8_t attr) {
  const int i = IndexOf(row, column);
  if (i >= 0) ScreenBuffer[i] = MakeCell(ch, attr);
}

// Moves rows [from, to] of the window by delta rows (only the window's columns).
void MoveWindowRows(int from, int to, int delta) {
  const int left = WinLeft(), width = WinRight() - WinLeft() + 1;
  auto copyRow = [&](int r) {
    const int src = IndexOf(r, left), dst = IndexOf(r + delta, left);
    if (src < 0 || dst < 0) return;
    std::copy_n(ScreenBuffer + src, width, ScreenBuffer + dst);
  };
  if (delta < 0)
    for (int r = from; r <= to; ++r) copyRow(r);
  else
    for (int r = to; r >= from; --r) copyRow(r);
}

void BlankWindowRowChars(int row) {
  for (int c = WinLeft(); c <= WinRight(); ++c) {
    const int i = IndexOf(row, c);
    if (i >= 0) ScreenBuffer[i] = MakeCell(' ', CellAttr(ScreenBuffer[i]));
  }
}

// Cuts text to the window's width.
std::string_view CutToWindow(std::string_view text) {
  const size_t width = static_cast<size_t>(WinRight() - WinLeft() + 1);
  return text.substr(0, std::min(text.size(), width));
}

}  // namespace

void ResetScreenOutput() {
  ScreenColumns = platform::kScreenColumns;
  ScreenRows = platform::kScreenRows;
  FrameChars = kInitialFrameChars;
}

void PutText(std::string_view text, int row, int column, uint8_t attr) {
  if (text.empty()) return;
  const int i = IndexOf(row, column);
  if (i >= 0) {
    const int n = std::min<int>(static_cast<int>(text.size()), ScreenColumns - column + 1);
    for (int k = 0; k < n; ++k) ScreenBuffer[i + k] = MakeCell(static_cast<uint8_t>(text[k]), attr);
  }
  RefreshScreen();
}

void PutChars(std::string_view text, int row, int column) {
  ForRun(static_cast<int>(text.size()), row, column, [&](int i, int k) {
    ScreenBuffer[i] = MakeCell(static_cast<uint8_t>(text[k]), CellAttr(ScreenBuffer[i]));
  });
  RefreshScreen();
}

void PutTextDown(std::string_view text, int row, int column, uint8_t attr) {
  for (size_t k = 0; k < text.size() && row + static_cast<int>(k) <= ScreenRows; ++k)
    SetCharAt(row + static_cast<int>(k), column, static_cast<uint8_t>(text[k]), attr);
  RefreshScreen();
}

void FillCells(int count, uint8_t ch, int row, int column, uint8_t attr) {
  ForRun(count, row, column, [&](int i, int) { ScreenBuffer[i] = MakeCell(ch, attr); });
  RefreshScreen();
}

void FillCellsDown(int count, uint8_t ch, int row, int column, uint8_t attr) {
  if (IndexOf(row, column) >= 0) {
    for (int k = 0; k < count && column <= ScreenColumns; ++k) {
      ScreenBuffer[IndexOf(row, column)] = MakeCell(ch, attr);
      if (++row > ScreenRows) {
        row = 1;
        ++column;
      }
    }
  }
  RefreshScreen();
}

void PutAttributes(std::string_view attrs, int row, int column) {
  ForRun(static_cast<int>(attrs.size()), row, column, [&](int i, int k) {
    ScreenBuffer[i] = MakeCell(CellChar(ScreenBuffer[i]), static_cast<uint8_t>(attrs[k]));
  });
  RefreshScreen();
}

void SetCellAttributes(int count, int row, int column, uint8_t attr) {
  ForRun(count, row, column,
         [&](int i, int) { ScreenBuffer[i] = MakeCell(CellChar(ScreenBuffer[i]), attr); });
  RefreshScreen();
}

void InvertCells(int count, int row, int column) {
  ForRun(count, row, column, [&](int i, int) {
    ScreenBuffer[i] = MakeCell(CellChar(ScreenBuffer[i]), SwapColours(CellAttr(ScreenBuffer[i])));
  });
  RefreshScreen();
}

int PutTextCentred(std::string_view text, int windowRow, uint8_t attr) {
  text = CutToWindow(text);
  const int width = WinRight() - WinLeft() + 1;
  const int column = WinLeft() + (width - static_cast<int>(text.size())) / 2;
  PutText(text, WinTop() + windowRow - 1, column, attr);
  return column;
}

void PutTextRight(std::string_view text, int windowRow, uint8_t attr) {
  text = CutToWindow(text);
  PutText(text, WinTop() + windowRow - 1, WinRight() - static_cast<int>(text.size()) + 1, attr);
}

void FillRect(int left, int top, int right, int bottom, uint8_t ch, uint8_t attr) {
  if (bottom < top) return;
  LockUpdates();
  for (int r = top; r <= bottom; ++r) FillCells(right - left + 1, ch, r, left, attr);
  UnlockUpdates();
  RefreshScreen();
}

bool SaveRect(int left, int top, int right, int bottom, bool allocate, CellBuffer& buffer) {
  if (bottom < top || right < left) {
    if (allocate) buffer.clear();
    return true;
  }
  const size_t width = static_cast<size_t>(right - left + 1);
  const size_t need = width * static_cast<size_t>(bottom - top + 1);
  // A buffer too small for the rectangle is grown rather than overrun.
  if (allocate || buffer.size() < need) buffer.assign(need, MakeCell(' ', 0x07));
  size_t k = 0;
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c, ++k) {
      const int i = IndexOf(r, c);
      if (i >= 0) buffer[k] = ScreenBuffer[i];
    }
  return true;
}

void RestoreRect(int left, int top, int right, int bottom, bool release, CellBuffer& buffer) {
  if (bottom >= top && right >= left) {
    size_t k = 0;
    for (int r = top; r <= bottom; ++r)
      for (int c = left; c <= right; ++c, ++k) {
        if (k >= buffer.size()) break;
        const int i = IndexOf(r, c);
        if (i >= 0) ScreenBuffer[i] = buffer[k];
      }
  }
  if (release) CellBuffer().swap(buffer);
  RefreshScreen();
}

void CopyCells(const uint16_t* source, uint16_t* destination, int count) {
  if (count <= 0) return;
  LockUpdates();
  std::copy_n(source, count, destination);
  UnlockUpdates();
}

void DrawFrame(int left, int top, int right, int bottom, uint8_t frameAttr, uint8_t titleAttr,
               std::string_view titles) {
  std::string_view topTitle = titles, bottomTitle;
  if (const size_t zero = titles.find('\0'); zero != std::string_view::npos) {
    topTitle = titles.substr(0, zero);
    bottomTitle = titles.substr(zero + 1);
  }
  const int inner = left < right ? right - left - 1 : 0;
  const auto& f = FrameChars;
  LockUpdates();
  SetCharAt(top, left, f[0], frameAttr);
  for (int c = left + 1; c <= left + inner; ++c) SetCharAt(top, c, f[4], frameAttr);
  SetCharAt(top, right, f[2], frameAttr);
  auto title = [&](std::string_view t, int row) {
    if (t.empty()) return;
    const int shown = std::min(static_cast<int>(t.size()), inner);
    PutText(t, row, left + (inner - shown) / 2 + 1, titleAttr);
  };
  title(topTitle, top);
  for (int r = top + 1; r <= bottom - 1; ++r) {
    SetCharAt(r, left, f[6], frameAttr);
    SetCharAt(r, right, f[7], frameAttr);
  }
  SetCharAt(bottom, left, f[1], frameAttr);
  for (int c = left + 1; c <= left + inner; ++c) SetCharAt(bottom, c, f[5], frameAttr);
  SetCharAt(bottom, right, f[3], frameAttr);
  title(bottomTitle, bottom);
  UnlockUpdates();
  RefreshScreen();
}

void ScrollWindowUp() {
  if (WinBottom() < 2 || WinTop() > 24) return;
  MoveWindowRows(WinTop() + 1, WinBottom(), -1);
  BlankWindowRowChars(WinBottom());
  SetCursorPos(1, CursorRow());
  RefreshScreen();
}

void InsertWindowLine() {
  const int row = platform::CursorScreenRow();
  MoveWindowRows(row, WinBottom() - 1, 1);
  for (int c = WinLeft(); c <= WinRight(); ++c) SetCharAt(row, c, ' ', platform::TextAttribute);
  SetCursorPos(1, CursorRow());
  RefreshScreen();
}

void DeleteWindowLine() {
  const int row = platform::CursorScreenRow();
  MoveWindowRows(row + 1, WinBottom(), -1);
  BlankWindowRowChars(WinBottom());
  SetCursorPos(1, CursorRow());
  RefreshScreen();
}

void ClearWindow() {
  ClearWindowDirect();
  for (int r = WinTop(); r <= WinBottom(); ++r)
    for (int c = WinLeft(); c <= WinRight(); ++c) SetCharAt(r, c, ' ', platform::TextAttribute);
  SetCursorPos(1, 1);
  RefreshScreen();
}

void ClearLineEnd() {
  const int row = platform::CursorScreenRow();
  for (int c = platform::CursorScreenColumn(); c <= WinRight(); ++c) {
    const int i = IndexOf(row, c);
    if (i >= 0) ScreenBuffer[i] = MakeCell(' ', CellAttr(ScreenBuffer[i]));
  }
  RefreshScreen();
}

void SetCursorPosShifted(int column, int row) {
  SetCursorPos(column + WinLeft() - 1, row + WinTop() - 1);
}

Rect WindowRect() {
  return Rect{static_cast<uint8_t>(WinLeft()), static_cast<uint8_t>(WinTop()),
              static_cast<uint8_t>(WinRight()), static_cast<uint8_t>(WinBottom())};
}

int ToWindowColumn(int column) { return column < WinLeft() ? 1 : column - WinLeft() + 1; }
int ToWindowRow(int row) { return row < WinTop() ? 1 : row - WinTop() + 1; }
int ToScreenColumn(int column) { return column + WinLeft() - 1; }
int ToScreenRow(int row) { return row + WinTop() - 1; }

}  // namespace console
