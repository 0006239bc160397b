// The screen side of the console platform layer.
//
// The terminal is drawn from a copy of what it shows (`shown`). A refresh
// walks the buffer, and for every run of cells that differ from the copy it
// places the cursor once, changes the colours only where the attribute
// changes, and writes the glyphs in UTF-8. Everything of one refresh, the
// final cursor position and shape included, goes out in a single write, so the
// terminal never shows a half-drawn screen and an unchanged screen costs
// nothing.
#include "platform/screen.h"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/cp852.h"
#include "platform/terminal.h"

namespace platform {

uint16_t ScreenBuffer[kScreenCells];
int UpdateLock = 0;
uint16_t WindowTopLeft = 0;
uint16_t WindowBottomRight = static_cast<uint16_t>((kScreenRows - 1) << 8 | (kScreenColumns - 1));
uint8_t TextAttribute = 0x07;

namespace {

constexpr uint8_t kStartAttr = 0x07;
constexpr int kNormalCursorSize = 25;  // the size a cursor has when the program starts
constexpr int kBlockCursorSize = 99;

struct ShownState {
  uint16_t cells[kScreenCells];
  bool valid = false;          // false: the terminal's content is unknown
  int cursorColumn = 0;        // 0-based, as last sent
  int cursorRow = 0;
  int cursorSize = -1;         // as last sent; -1 unknown
  uint64_t terminalStarts = 0;
};

ShownState shown;
int cursorX = 0;  // absolute, 0-based
int cursorY = 0;
int cursorSize = kNormalCursorSize;

int WinLeft() { return WindowTopLeft & 0xFF; }
int WinTop() { return WindowTopLeft >> 8; }
int WinRight() { return WindowBottomRight & 0xFF; }
int WinBottom() { return WindowBottomRight >> 8; }

// DOS colour order (black, blue, green, cyan, red, magenta, brown, grey) to
// the ANSI order (black, red, green, yellow, blue, magenta, cyan, white).
constexpr int kAnsiOf[8] = {0, 4, 2, 6, 1, 5, 3, 7};

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

void AppendSgr(std::string& out, uint8_t attr) {
  const int fg = attr & 0x0F;
  const int bg = (attr >> 4) & 0x07;
  out += "\x1b[0;";
  AppendNumber(out, fg < 8 ? 30 + kAnsiOf[fg] : 90 + kAnsiOf[fg - 8]);
  out += ';';
  AppendNumber(out, (attr & 0x80) ? 100 + kAnsiOf[bg] : 40 + kAnsiOf[bg]);
  out += 'm';
}

void AppendMove(std::string& out, int row0, int col0) {
  out += "\x1b[";
  AppendNumber(out, row0 + 1);
  out += ';';
  AppendNumber(out, col0 + 1);
  out += 'H';
}

void AppendCursorShape(std::string& out, int size) {
  if (size == 0) {
    out += "\x1b[?25l";
    return;
  }
  // The terminal's own default shape stands for the normal cursor; a size of
  // half a cell or more is a block.
  out += size == kNormalCursorSize ? "\x1b[0 q" : size >= 50 ? "\x1b[2 q" : "\x1b[4 q";
  out += "\x1b[?25h";
}

// Draws cells [from, to) of one row, clipped to the terminal's width.
void AppendRun(std::string& out, int row0, int from, int to, int& lastAttr) {
  AppendMove(out, row0, from);
  for (int c = from; c < to; ++c) {
    const uint16_t cell = ScreenBuffer[row0 * kScreenColumns + c];
    if (CellAttr(cell) != lastAttr) {
      lastAttr = CellAttr(cell);
      AppendSgr(out, static_cast<uint8_t>(lastAttr));
    }
    AppendUtf8(out, Cp852Glyph(CellChar(cell)));
  }
}

void SendDirectFill(int left0, int top0, int right0, int bottom0) {
  Terminal& t = CurrentTerminal();
  if (!t.Started()) return;
  int cols = kScreenColumns, rows = kScreenRows;
  t.Size(cols, rows);
  std::string out;
  AppendSgr(out, TextAttribute);
  const uint16_t blank = MakeCell(' ', TextAttribute);
  for (int r = top0; r <= bottom0; ++r) {
    for (int c = left0; c <= right0; ++c) shown.cells[r * kScreenColumns + c] = blank;
    if (r >= rows || left0 >= cols) continue;
    AppendMove(out, r, left0);
    out.append(static_cast<size_t>(std::min(right0, cols - 1) - left0 + 1), ' ');
  }
  shown.cursorColumn = -1;  // the cursor moved; place it again on the next refresh
  t.Write(out);
}

}  // namespace

void ResetScreen() {
  for (auto& c : ScreenBuffer) c = MakeCell(' ', kStartAttr);
  UpdateLock = 0;
  WindowTopLeft = 0;
  WindowBottomRight = static_cast<uint16_t>((kScreenRows - 1) << 8 | (kScreenColumns - 1));
  TextAttribute = kStartAttr;
  cursorX = cursorY = 0;
  cursorSize = kNormalCursorSize;
  shown = ShownState{};
}

void ScreenStart() {
  ResetScreen();
}

void ScreenStop() {
  shown.valid = false;
}

void SetTextWindow(int left, int top, int right, int bottom) {
  if (right < left || bottom < top || left < 1 || top < 1 || right > kScreenColumns ||
      bottom > kScreenRows)
    return;
  WindowTopLeft = static_cast<uint16_t>((top - 1) << 8 | (left - 1));
  WindowBottomRight = static_cast<uint16_t>((bottom - 1) << 8 | (right - 1));
  cursorX = left - 1;
  cursorY = top - 1;
}

void SetCursorPos(int column, int row) {
  if (column < 1 || row < 1) return;
  const int x = WinLeft() + column - 1;
  const int y = WinTop() + row - 1;
  if (x > WinRight() || y > WinBottom()) return;
  cursorX = x;
  cursorY = y;
}

int CursorColumn() { return cursorX - WinLeft() + 1; }
int CursorRow() { return cursorY - WinTop() + 1; }
int CursorScreenColumn() { return cursorX + 1; }
int CursorScreenRow() { return cursorY + 1; }

uint8_t GetTextAttr() { return TextAttribute; }
void SetTextAttr(uint8_t attr) { TextAttribute = attr; }
void SetForeground(uint8_t colour) {
  TextAttribute = static_cast<uint8_t>((TextAttribute & 0x70) | (colour & 0x8F));
}
void SetBackground(uint8_t colour) {
  TextAttribute = static_cast<uint8_t>((TextAttribute & 0x8F) | ((colour & 7) << 4));
}
void HighIntensity() { TextAttribute |= 0x08; }
void LowIntensity() { TextAttribute &= 0x77; }

void ClearWindowDirect() { SendDirectFill(WinLeft(), WinTop(), WinRight(), WinBottom()); }
void ClearLineEndDirect() { SendDirectFill(cursorX, cursorY, WinRight(), cursorY); }

void CursorNormal() { cursorSize = kNormalCursorSize; }
void CursorHidden() { cursorSize = 0; }
void CursorBlock() { cursorSize = kBlockCursorSize; }
int CursorSize() { return cursorSize; }
void SetCursorSize(int size) { cursorSize = size < 0 ? 0 : size > 100 ? 100 : size; }

void Beep() {
  Terminal& t = CurrentTerminal();
  if (t.Started()) t.Write("\a");
}

void StopSound() {}

void Pause(unsigned milliseconds) {
  milliseconds %= 65536;
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

void InvalidateScreen() { shown.valid = false; }

void RefreshScreen() {
  if (UpdateLock > 0) return;
  Terminal& t = CurrentTerminal();
  if (!t.Started()) return;
  if (t.starts != shown.terminalStarts) {  // taken over anew: its content is unknown
    shown.valid = false;
    shown.terminalStarts = t.starts;
  }
  int cols = kScreenColumns, rows = kScreenRows;
  t.Size(cols, rows);
  const int visCols = std::min(cols, kScreenColumns);
  const int visRows = std::min(rows, kScreenRows);

  std::string out;
  int lastAttr = -1;
  if (!shown.valid) {
    out += "\x1b[0m\x1b[2J";
    shown.cursorColumn = -1;
    shown.cursorSize = -1;
  }
  for (int r = 0; r < visRows; ++r) {
    int c = 0;
    while (c < visCols) {
      const int i = r * kScreenColumns + c;
      if (shown.valid && shown.cells[i] == ScreenBuffer[i]) {
        ++c;
        continue;
      }
      // A run ends at the first cell that already shows right, unless the
      // next changed cell follows within a few cells (moving the cursor
      // would cost more than rewriting them).
      int end = c + 1;
      for (int gap = 0; end < visCols; ++end) {
        const int j = r * kScreenColumns + end;
        if (shown.valid && shown.cells[j] == ScreenBuffer[j]) {
          if (++gap > 4) {
            end -= gap - 1;
            break;
          }
        } else {
          gap = 0;
        }
      }
      while (end > c + 1 && shown.valid &&
             shown.cells[r * kScreenColumns + end - 1] == ScreenBuffer[r * kScreenColumns + end - 1])
        --end;
      AppendRun(out, r, c, end, lastAttr);
      c = end;
    }
  }
  std::memcpy(shown.cells, ScreenBuffer, sizeof(ScreenBuffer));
  shown.valid = true;

  const bool cursorOnScreen = cursorX < visCols && cursorY < visRows;
  const int wantSize = cursorOnScreen ? cursorSize : 0;
  if (!out.empty() || shown.cursorColumn != cursorX || shown.cursorRow != cursorY) {
    if (wantSize != 0) AppendMove(out, cursorY, cursorX);
    shown.cursorColumn = cursorX;
    shown.cursorRow = cursorY;
  }
  if (wantSize != shown.cursorSize) {
    AppendCursorShape(out, wantSize);
    shown.cursorSize = wantSize;
  }
  if (!out.empty()) t.Write(out);
}

void LockUpdates() { ++UpdateLock; }
void UnlockUpdates() {
  if (UpdateLock > 0) --UpdateLock;
}

}  // namespace platform
