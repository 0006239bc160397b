#include "ui/window.h"

#include <algorithm>

namespace ui {

uint8_t MousePresent = 0;
uint8_t MouseVisible = 0;
int16_t MouseX = 1;
int16_t MouseY = 1;
int16_t CursorMode = 1;
Window* TopWindow = nullptr;

namespace {

int ScreenW() { return console::ScreenColumns; }
int ScreenH() { return console::ScreenRows; }

int WinLeft() { return (platform::WindowTopLeft & 0xFF) + 1; }
int WinTop() { return (platform::WindowTopLeft >> 8) + 1; }
int WinRight() { return (platform::WindowBottomRight & 0xFF) + 1; }
int WinBottom() { return (platform::WindowBottomRight >> 8) + 1; }

uint16_t& Cell(int x, int y) { return platform::CellAt(y, x); }
bool OnScreen(int x, int y) { return x >= 1 && y >= 1 && x <= ScreenW() && y <= ScreenH(); }

}  // namespace

// --- Pointer and cursor -----------------------------------------------------

void HideMouse() {
  if (MousePresent && MouseVisible) MouseVisible = 0;
}

void ShowMouse() {
  if (MousePresent) MouseVisible = 1;
}

void SetMousePos(int x, int y) {
  if (!MousePresent) return;
  MouseX = static_cast<int16_t>(x);
  MouseY = static_cast<int16_t>(y);
}

void ApplyCursorMode(int m) {
  if (m == 0)
    console::CursorHidden();
  else if (m == 2)
    console::CursorBlock();
  else
    console::CursorNormal();
  console::RefreshScreen();
}

void SetCursorNormal() {
  CursorMode = 1;
  ApplyCursorMode(1);
}
void SetCursorHidden() {
  CursorMode = 0;
  ApplyCursorMode(0);
}
void SetCursorBlock() {
  CursorMode = 2;
  ApplyCursorMode(2);
}

// --- Snapshot ---------------------------------------------------------------

void SaveScreenState(ScreenState& s) {
  s.windowTopLeft = platform::WindowTopLeft;
  s.windowBottomRight = platform::WindowBottomRight;
  s.cursorColumn = static_cast<uint8_t>(console::CursorColumn());
  s.cursorRow = static_cast<uint8_t>(console::CursorRow());
  s.attr = console::GetTextAttr();
  s.mouseX = MouseX;
  s.mouseY = MouseY;
  s.mouseVisible = MouseVisible;
  s.cursorMode = CursorMode;
}

void RestoreScreenState(const ScreenState& s) {
  platform::WindowTopLeft = s.windowTopLeft;
  platform::WindowBottomRight = s.windowBottomRight;
  console::SetTextWindow((s.windowTopLeft & 0xFF) + 1, (s.windowTopLeft >> 8) + 1,
                         (s.windowBottomRight & 0xFF) + 1, (s.windowBottomRight >> 8) + 1);
  console::SetCursorPos(s.cursorColumn, s.cursorRow);
  console::SetTextAttr(s.attr);
  if (MousePresent) {
    SetMousePos(s.mouseX, s.mouseY);
    if (s.mouseVisible)
      ShowMouse();
    else
      HideMouse();
  }
  CursorMode = s.cursorMode;
  ApplyCursorMode(CursorMode);
}

// --- Region -----------------------------------------------------------------

void Region::SetRegion(int left, int top, int right, int bottom) {
  x1 = static_cast<int16_t>(left);
  y1 = static_cast<int16_t>(top);
  x2 = static_cast<int16_t>(right);
  y2 = static_cast<int16_t>(bottom);
  inclusive = 0;
}

void Region::GetRegion(int& left, int& right, int& top, int& bottom) const {
  left = x1;
  right = x2;
  top = y1;
  bottom = y2;
}

bool Region::MouseInside() const {
  if (!MouseVisible) return false;
  if (inclusive) return x1 <= MouseX && MouseX <= x2 && y1 <= MouseY && MouseY <= y2;
  return x1 < MouseX && MouseX < x2 && y1 < MouseY && MouseY < y2;
}

bool Region::MouseOutside() const {
  if (!MouseVisible) return false;
  return MouseX < x1 || MouseX > x2 || MouseY < y1 || MouseY > y2;
}

bool Region::MouseAtOrigin() const { return MouseVisible && MouseX == x1 && MouseY == y1; }

// --- Window -----------------------------------------------------------------

Window::Window(int left, int top, int right, int bottom) {
  Below = TopWindow;
  TopWindow = this;
  SaveScreenState(Saved);
  SetRegion(left, top, right, bottom);
  FrameStyle = kDoubleFrame;
  BodyAttr = console::GetTextAttr();
  FrameAttr = ResolveColour(FrameColour);
  TitleAttr = ResolveColour(TitleColour);
  const FrameSet& set = FrameSetOf(FrameStyle);
  VTrackChar = set[6];
  HTrackChar = set[5];
}

Window::~Window() {
  if (!closed_) Window::CloseWindow();
}

void Window::Done() {
  if (!closed_) CloseWindow();
}

void Window::CloseWindow() {
  closed_ = true;
  // Windows close in reverse order; should one be closed out of turn, the
  // stack must still not keep a pointer to it.
  if (TopWindow == this) {
    TopWindow = Below;
  } else {
    for (Window* w = TopWindow; w; w = w->Below)
      if (w->Below == this) {
        w->Below = Below;
        break;
      }
  }
  HideMouse();
  Title.reset();
  console::LockUpdates();  // the window goes in one refresh
  if (Background) {
    console::RestoreRect(x1, y1, x2, y2, true, *Background);
    Background.reset();
  }
  RestoreScreenState(Saved);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void Window::SaveBackground() {
  Background = std::make_unique<console::CellBuffer>();
  console::SaveRect(x1, y1, x2, y2, true, *Background);
}

void Window::Open() {
  PointerHidden ph;
  if (!Background) {
    SaveBackground();
    if (IsBlankStyle(FrameStyle))
      console::SetTextWindow(x1, y1, x2, y2);
    else
      console::SetTextWindow(x1 + 1, y1 + 1, x2 - 1, y2 - 1);
  }
  FillWindow(' ', BodyAttr);
}

void Window::Draw() {
  PointerHidden ph;
  console::LockUpdates();
  if (!Background) Open();
  console::SetTextWindow(x1, y1, x2, y2);
  FillWindow(' ', console::GetTextAttr());
  if (!IsBlankStyle(FrameStyle)) {
    DrawWindowFrame(Title ? std::string_view(*Title) : std::string_view(), FrameSetOf(FrameStyle),
                    TitleAttr, FrameAttr);
    if (VBar) {
      WriteAtScreen(x2, y1 + VBarOffset, "\x1e", FrameAttr);
      WriteAtScreen(x2, y2 - 1, "\x1f", FrameAttr);
      for (int r = 0; r < y2 - y1 - 2 - VBarOffset; ++r)
        WriteAtScreen(x2, y1 + VBarOffset + 1 + r, std::string(1, static_cast<char>(VTrackChar)),
                      FrameAttr);
    }
    if (HBar) {
      WriteAtScreen(x1 + HBarOffset, y2, "\x11", FrameAttr);
      WriteAtScreen(x2 - 2, y2, "\x10", FrameAttr);
      const int n = x2 - x1 - 3 - HBarOffset;
      if (n > 0)
        WriteAtScreen(x1 + HBarOffset + 1, y2, std::string(n, static_cast<char>(HTrackChar)),
                      FrameAttr);
    }
  }
  DrawCloseBox(0, true);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void Window::SetTitle(std::string_view text) {
  Title = std::make_unique<std::string>(text.substr(0, 255));
}

void Window::ChangeTitle(std::string_view text) {
  SetTitle(text);
  PointerHidden ph;
  console::LockUpdates();
  const FrameSet& set = FrameSetOf(FrameStyle);
  const int inner = x2 > x1 ? x2 - x1 - 1 : 0;
  WriteAtScreen(x1, y1, std::string(1, static_cast<char>(set[0])), FrameAttr);
  if (inner > 0) WriteAtScreen(x1 + 1, y1, std::string(inner, static_cast<char>(set[4])), FrameAttr);
  WriteAtScreen(x2, y1, std::string(1, static_cast<char>(set[2])), FrameAttr);
  const std::string_view t = std::string_view(*Title).substr(0, std::max(inner, 0));
  if (!t.empty())
    WriteAtScreen(x1 + (inner - static_cast<int>(t.size())) / 2 + 1, y1, t, TitleAttr);
  DrawCloseBox(0, true);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void Window::SetBodyAttr(uint8_t a) {
  BodyAttr = a;
  console::SetTextAttr(a);
}

void Window::ShowHBar(int offset) {
  HBar = 1;
  HBarOffset = static_cast<int16_t>(offset);
}

void Window::ShowVBar(int offset) {
  VBar = 1;
  VBarOffset = static_cast<int16_t>(offset);
}

// The thumb index is kept on the track: a position beyond the total (or a
// negative one) would otherwise put the thumb over an arrow or the frame.
void Window::SetHThumb(int pos, int total) {
  if (!HBar || pos == 0 || total == 0) return;
  const int len = x2 - x1 - HBarOffset - 3;
  if (len <= 0) return;
  int t = static_cast<int>(static_cast<double>(std::min(pos, total)) / total * len);
  t = std::clamp(t, 0, len - 1);
  PointerHidden ph;
  console::LockUpdates();
  WriteAtScreen(x1 + HBarOffset + 1, y2, std::string(len, static_cast<char>(HTrackChar)), FrameAttr);
  WriteAtScreen(x1 + HBarOffset + t + 1, y2, "\xfe", FrameAttr);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void Window::SetVThumb(int pos, int total) {
  if (!VBar || pos == 0 || total == 0) return;
  const int len = y2 - y1 - VBarOffset - 2;
  if (len <= 0) return;
  int t = static_cast<int>(static_cast<double>(std::min(pos, total) - 1) / total * len);
  t = std::clamp(t, 0, len - 1);
  PointerHidden ph;
  console::LockUpdates();
  for (int r = 0; r < len; ++r)
    WriteAtScreen(x2, y1 + VBarOffset + 1 + r, std::string(1, static_cast<char>(VTrackChar)),
                  FrameAttr);
  WriteAtScreen(x2, y1 + VBarOffset + t + 1, "\xfe", FrameAttr);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void Window::DrawCloseBox(int state, bool force) {
  if ((!force && state == CloseBoxState) || IsBlankStyle(FrameStyle)) return;
  PointerHidden ph;
  CloseBoxState = static_cast<uint8_t>(state);
  if (state == 0)
    WriteCharsAt(x1 + 1, y1, "[\xfe]");
  else if (state == 1)
    WriteCharsAt(x1 + 1, y1, "[*]");
}

void Window::MoveTo(int x, int y) {
  const int nx2 = x2 + x - x1, ny2 = y2 + y - y1;
  if (x <= 0 || y <= 0 || nx2 <= 0 || ny2 <= 0 || x > ScreenW() || nx2 > ScreenW() ||
      y > ScreenH() || ny2 > ScreenH())
    return;
  if (!Background) {  // never drawn: there is nothing on the screen to move
    SetRegion(x, y, nx2, ny2);
    return;
  }
  ScreenState snap;
  SaveScreenState(snap);
  const bool wasVisible = MouseVisible != 0;
  HideMouse();
  console::LockUpdates();
  console::CellBuffer image;
  console::SaveRect(x1, y1, x2, y2, true, image);
  console::RestoreRect(x1, y1, x2, y2, true, *Background);
  SetRegion(x, y, nx2, ny2);
  console::SaveRect(x1, y1, x2, y2, true, *Background);
  console::RestoreRect(x1, y1, x2, y2, true, image);
  console::UnlockUpdates();
  if (wasVisible) ShowMouse();
  console::SetTextWindow(x1 + 1, y1 + 1, x2 - 1, y2 - 1);
  SetMousePos(snap.mouseX, snap.mouseY);
  if (snap.mouseVisible)
    ShowMouse();
  else
    HideMouse();
  console::SetCursorPos(snap.cursorColumn, snap.cursorRow);
  console::RefreshScreen();
}

// --- Text placement -----------------------------------------------------------

void WriteAt(int x, int y, std::string_view text, uint8_t attr) {
  const int width = WinRight() - WinLeft() + 1;
  const int n = width - x + 1;
  if (n <= 0 || x < 1 || y < 1) return;
  PointerHidden ph;
  console::PutText(text.substr(0, static_cast<size_t>(n)), WinTop() + y - 1, WinLeft() + x - 1,
                   attr);
}

void WriteFlow(std::string_view text) {
  const int width = WinRight() - WinLeft() + 1;
  const int height = WinBottom() - WinTop() + 1;
  while (!text.empty()) {
    const int col = console::CursorColumn(), row = console::CursorRow();
    WriteAt(col, row, text, console::GetTextAttr());
    const int len = static_cast<int>(text.size());
    if (col + len <= width) {
      console::SetCursorPos(col + len, row);
      break;
    }
    if (row >= height) {
      console::ScrollWindowUp();
      console::SetCursorPos(1, row);
    } else {
      console::SetCursorPos(1, row + 1);
    }
    text.remove_prefix(static_cast<size_t>(width - col + 1));
  }
  console::RefreshScreen();
}

void WriteFlowLine(std::string_view text) {
  WriteFlow(text);
  const int height = WinBottom() - WinTop() + 1;
  const int row = console::CursorRow();
  if (row >= height) {
    console::ScrollWindowUp();
    console::SetCursorPos(1, row);
  } else {
    console::SetCursorPos(1, row + 1);
  }
  console::RefreshScreen();
}

void WriteDown(int x, int y, std::string_view text, uint8_t attr) {
  const int height = WinBottom() - WinTop() + 1;
  if (x < 1 || y < 1 || x > WinRight() - WinLeft() + 1 || y > height) return;
  PointerHidden ph;
  console::PutTextDown(text.substr(0, static_cast<size_t>(height - y + 1)), WinTop() + y - 1,
                       WinLeft() + x - 1, attr);
}

void WriteAtScreen(int x, int y, std::string_view text, uint8_t attr) {
  if (!OnScreen(x, y)) return;
  PointerHidden ph;
  console::PutText(text, y, x, attr);
}

void WriteDownAtScreen(int x, int y, std::string_view text, uint8_t attr) {
  if (!OnScreen(x, y)) return;
  PointerHidden ph;
  console::PutTextDown(text, y, x, attr);
}

void WriteCentred(int x1, int x2, int y, std::string_view text, uint8_t attr) {
  ScreenState s;
  SaveScreenState(s);
  text = text.substr(0, static_cast<size_t>(std::max(x2 - x1 - 1, 0)));
  WriteAtScreen(x1 + (x2 - x1 + 1 - static_cast<int>(text.size())) / 2, y, text, attr);
  RestoreScreenState(s);
}

void WriteCharsAt(int x, int y, std::string_view text) {
  if (!OnScreen(x, y)) return;
  PointerHidden ph;
  console::PutChars(text, y, x);
}

void WriteAttrsAt(int x, int y, std::string_view attrs) {
  if (!OnScreen(x, y)) return;
  PointerHidden ph;
  console::PutAttributes(attrs, y, x);
}

void FillAt(int x, int y, int count, uint8_t ch, uint8_t attr) {
  if (x == 0) {
    x = 1;
    --count;
  }
  if (y == 0) y = 1;
  if (count <= 0 || x < 0 || y < 0) return;
  PointerHidden ph;
  console::FillCells(count, ch, WinTop() + y - 1, WinLeft() + x - 1, attr);
}

void FillWindow(uint8_t ch, uint8_t attr) {
  PointerHidden ph;
  console::FillRect(WinLeft(), WinTop(), WinRight(), WinBottom(), ch, attr);
}

void InvertArea(int x1, int y1, int x2, int y2) {
  PointerHidden ph;
  for (int y = std::max(y1, 1); y <= std::min(y2, ScreenH()); ++y)
    for (int x = std::max(x1, 1); x <= std::min(x2, ScreenW()); ++x)
      Cell(x, y) = platform::MakeCell(platform::CellChar(Cell(x, y)),
                                      SwapColours(platform::CellAttr(Cell(x, y))));
  console::RefreshScreen();
}

void ColourArea(int x1, int y1, int x2, int y2, uint8_t attr) {
  PointerHidden ph;
  for (int y = std::max(y1, 1); y <= std::min(y2, ScreenH()); ++y)
    for (int x = std::max(x1, 1); x <= std::min(x2, ScreenW()); ++x)
      Cell(x, y) = platform::MakeCell(platform::CellChar(Cell(x, y)), attr);
  console::RefreshScreen();
}

int WindowWidth() { return WinRight() - WinLeft() + 1; }
int WindowHeight() { return WinBottom() - WinTop() + 1; }
int WindowCellBytes() { return WindowWidth() * WindowHeight() * 2; }

void SaveWindowCells(console::CellBuffer& buffer) {
  console::SaveRect(WinLeft(), WinTop(), WinRight(), WinBottom(), false, buffer);
}

void RestoreWindowCells(console::CellBuffer& buffer) {
  PointerHidden ph;
  console::RestoreRect(WinLeft(), WinTop(), WinRight(), WinBottom(), false, buffer);
}

void GrowWindow() {
  const int l = WinLeft() - 1, t = WinTop() - 1, r = WinRight() - 1, b = WinBottom() - 1;
  if (l == 0 || t == 0 || r >= ScreenW() - 1 || b >= ScreenH() - 1) return;
  console::SetTextWindow(l, t, r + 2, b + 2);
}

void GrowWindowForShadow() {
  console::SetTextWindow(WinLeft(), WinTop(), std::min(WinRight() + 2, ScreenW()),
                         std::min(WinBottom() + 1, ScreenH()));
}

void DrawWindowFrame(std::string_view title, const FrameSet& frameSet, uint8_t titleAttr,
                     uint8_t frameAttr) {
  const int x1 = WinLeft(), y1 = WinTop(), x2 = WinRight(), y2 = WinBottom();
  if (!IsBlankSet(frameSet)) {
    PointerHidden ph;
    const size_t inner = static_cast<size_t>(x2 > x1 ? x2 - x1 - 1 : 0);
    std::string titles;
    if (const size_t zero = title.find('\0'); zero != std::string_view::npos) {
      titles = std::string(title.substr(0, zero).substr(0, inner));
      titles += '\0';
      titles += title.substr(zero + 1).substr(0, inner);
    } else {
      titles = std::string(title.substr(0, inner));
    }
    console::FrameChars = frameSet;
    console::DrawFrame(x1, y1, x2, y2, frameAttr, titleAttr, titles);
  }
  console::SetTextWindow(x1 + 1, y1 + 1, x2 - 1, y2 - 1);
  console::SetCursorPos(1, 1);
}

namespace {

// Runs f on every cell of a rectangle's shadow.
template <typename F>
void ForShadowCells(int x1, int y1, int x2, int y2, F f) {
  if (x2 >= ScreenW() - 1 || y2 >= ScreenH() - 1) return;
  for (int y = y1 + 1; y <= y2 + 1; ++y)
    for (int x = x2 + 1; x <= x2 + 2; ++x)
      if (OnScreen(x, y)) f(Cell(x, y));
  for (int x = x1 + 2; x <= x2; ++x)
    if (OnScreen(x, y2 + 1)) f(Cell(x, y2 + 1));
  console::RefreshScreen();
}

}  // namespace

void DrawShadow(int x1, int y1, int x2, int y2) {
  PointerHidden ph;
  ForShadowCells(x1, y1, x2, y2, [](uint16_t& c) { c &= static_cast<uint16_t>(~0x0800); });
}

void UndoShadow(int x1, int y1, int x2, int y2) {
  PointerHidden ph;
  ForShadowCells(x1, y1, x2, y2, [](uint16_t& c) { c |= 0x0800; });
}

// --- Saved rows -----------------------------------------------------------------

void SaveRow(int row, SavedRowRef& saved, bool allocate) {
  if (allocate || !saved) saved = std::make_unique<SavedRow>();
  row = std::clamp(row, 1, ScreenH());
  saved->row = static_cast<uint8_t>(row);
  saved->chars.assign(80, ' ');
  saved->attrs.assign(80, 0x07);
  for (int x = 1; x <= std::min(80, ScreenW()); ++x) {
    saved->chars[x - 1] = static_cast<char>(platform::CellChar(Cell(x, row)));
    saved->attrs[x - 1] = static_cast<char>(platform::CellAttr(Cell(x, row)));
  }
}

void ShowRowMessage(int row, std::string_view text, uint8_t attr, SavedRowRef& saved) {
  const int len = std::min(static_cast<int>(text.size()), 80);
  int col = WinLeft() + (WinRight() - WinLeft() - len) / 2;
  if (col <= 0) col = 1;
  if (col + len > 80) col = 80 - len;
  if (col <= 0) col = 1;
  row = std::clamp(row, 1, ScreenH());
  SaveRow(row, saved, true);
  saved->column = static_cast<uint8_t>(col);
  saved->width = static_cast<uint8_t>(len);
  if (len > 0) {
    PointerHidden ph;
    console::LockUpdates();
    WriteCharsAt(col, row, text.substr(0, static_cast<size_t>(len)));
    console::SetCellAttributes(len, row, col, attr);
    console::UnlockUpdates();
    console::RefreshScreen();
  }
}

void RestoreRow(SavedRowRef& saved, bool release) {
  if (!saved) return;
  {
    PointerHidden ph;
    console::LockUpdates();
    console::PutChars(saved->chars, saved->row, 1);
    console::PutAttributes(saved->attrs, saved->row, 1);
    console::UnlockUpdates();
    console::RefreshScreen();
  }
  if (release) saved.reset();
}

void ClearRow(int row, SavedRowRef& saved, bool save) {
  row = std::clamp(row, 1, ScreenH());
  if (save) SaveRow(row, saved, true);
  PointerHidden ph;
  console::FillCells(WinRight() - WinLeft() + 1, ' ', row, WinLeft(), console::GetTextAttr());
}

// --- Start-up -------------------------------------------------------------------

void StartToolkit() {
  BaseColour = console::GetTextAttr();
  SetMousePos(1, 1);
  ShowMouse();
  SetCursorNormal();
  TopWindow = nullptr;
  console::SetTextWindow(1, 1, 80, 25);
}

void ResetToolkit() {
  BaseColour = 0x07;
  MousePresent = 0;
  MouseVisible = 0;
  MouseX = MouseY = 1;
  CursorMode = 1;
  TopWindow = nullptr;
}

}  // namespace ui
