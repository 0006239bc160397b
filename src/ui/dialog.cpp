#include "ui/dialog.h"

#include <algorithm>
#include <cmath>

#include "console/keyboard.h"
#include "platform/keyboard.h"
#include "text/literal.h"
#include "text/picture.h"
#include "text/strings.h"
#include "ui/events.h"

namespace ui {

using namespace text::literals;

uint8_t DefaultFirst = 0;

namespace {

constexpr std::string_view kContinue = "Tovább"_cpv;
constexpr std::string_view kSecondsLeft = " másodperc van még/Esc-megszakít"_cpv;
constexpr std::string_view kSecondsOrKey =
    " másodperc elteltével, vagy bármely billentyű lenyomására tovább"_cpv;
constexpr std::string_view kPressAKey = "Vége, nyomjon le egy billentyüt ..."_cpv;

constexpr uint8_t kHotAccented[] = {129, 130, 138, 139, 143, 144, 147, 148, 150, 153, 154,
                                    160, 161, 162, 163, 181, 214, 224, 233, 235, 245, 251};

int Len(std::string_view s) { return static_cast<int>(s.size()); }

// Splits a text at the byte 0, or where there is none at the byte 10. A text
// ending in a separator has no empty last piece; the empty text is one empty
// piece.
std::vector<std::string> SplitPieces(std::string_view text) {
  std::vector<std::string> out;
  if (text.empty()) {
    out.emplace_back();
    return out;
  }
  while (!text.empty()) {
    size_t sep = text.find('\0');
    if (sep == std::string_view::npos) sep = text.find('\n');
    if (sep == std::string_view::npos) {
      out.emplace_back(text);
      break;
    }
    out.emplace_back(text.substr(0, sep));
    text.remove_prefix(sep + 1);
  }
  return out;
}

std::string ApplyPresets(std::string_view buttons, bool withNI) {
  std::string b(buttons);
  if (b == "IN")
    b = std::string("Igen\0Nem", 8);
  else if (withNI && b == "NI")
    b = std::string("Nem\0Igen", 8);
  if (b == "INS") b = std::string("Igen\0Nem\0\x1b" "ESC", 13);
  return b;
}

uint8_t Upper(uint8_t c) { return static_cast<uint8_t>(text::UpCaseChar(static_cast<char>(c))); }
uint8_t UpperAscii(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

bool IsMouseCode(uint8_t k) { return (k >= 1 && k <= 7) || k == 255; }

void FillDialog(Dialog& d, std::string_view text, std::string_view buttons) {
  for (const std::string& line : SplitPieces(text)) d.AddLine(line);
  for (const std::string& piece : SplitPieces(buttons)) {
    if (piece.empty()) continue;
    const auto first = static_cast<uint8_t>(piece[0]);
    if (InHotLetterSet(first)) {
      const size_t tilde = piece.find('~');
      if (tilde != std::string::npos) {
        const uint8_t hot = tilde + 1 < piece.size() ? static_cast<uint8_t>(piece[tilde + 1]) : 0;
        d.AddButton(piece, Upper(hot));
      } else {
        d.AddButton("~" + piece.substr(0, 1) + "~" + piece.substr(1), Upper(first));
      }
    } else {
      d.AddButton(std::string_view(piece).substr(1), first);
    }
  }
}

int RunPrompt(std::string_view text, std::string_view buttons, bool timed) {
  Dialog d;
  FillDialog(d, text, ApplyPresets(buttons, !timed));
  if (timed)
    d.RunTimed();
  else
    d.Run();
  const int chosen = d.Chosen;
  Window& w = d;
  w.Done();
  return chosen;
}

}  // namespace

bool InHotLetterSet(uint8_t ch) {
  if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) return true;
  return std::find(std::begin(kHotAccented), std::end(kHotAccented), ch) != std::end(kHotAccented);
}

// --- Buttons ----------------------------------------------------------------------

void DialogButton::SetButton(std::string_view caption, uint8_t key) {
  Caption = std::string(caption.substr(0, 30));
  Key = key;
  DrawnAs = 0;
  Focused = 0;
  Width = static_cast<int16_t>(Caption.size());
}

void DialogButton::PlaceButton(int x, int y) {
  SetRegion(x, y, x + Width - 1, y);
  // One row high: only a test that counts the border as inside can hit it.
  SetInclusive();
}

void DialogButton::DrawButton(bool down) {
  if ((!down && DrawnAs == 1) || (down && DrawnAs == 2)) return;
  PointerHidden ph;
  const uint8_t face = ResolveColour(ButtonColour);
  const uint8_t hotAttr = ResolveColour(ButtonHotColour);
  const uint8_t shadow = ResolveColour(ButtonShadowColour);
  const std::string raw = Caption.substr(0, static_cast<size_t>(std::max<int>(Width, 0)));
  std::string txt, attrs;
  bool hot = false;
  for (char c : raw) {
    if (c == '~') {
      hot = !hot;
      continue;
    }
    txt += c;
    attrs += static_cast<char>(Focused || hot ? hotAttr : face);
  }
  while (!txt.empty() && txt.back() == ' ') {
    txt.pop_back();
    attrs.pop_back();
  }
  const int front = std::max(0, (Width - Len(txt)) / 2);
  const int back = std::max(0, Width - Len(txt) - front);
  txt = std::string(front, ' ') + txt + std::string(back, ' ');
  attrs = std::string(front, static_cast<char>(face)) + attrs + std::string(back, static_cast<char>(face));
  if (Focused && !txt.empty()) {
    if (txt.front() == ' ') txt.front() = 16;
    if (txt.back() == ' ') txt.back() = 17;
  }
  console::LockUpdates();
  if (!down) {
    WriteCharsAt(x1, y1, txt);
    WriteAttrsAt(x1, y1, attrs);
    WriteAtScreen(x1 + 1, y1 + 1, std::string(std::max<int>(Width, 0), '\xdf'), shadow);
    WriteAtScreen(x1 + Width, y1, "\xdc", shadow);
  } else {
    WriteCharsAt(x1 + 1, y1, txt);
    WriteAttrsAt(x1 + 1, y1, attrs);
    WriteAtScreen(x1 + 1, y1 + 1, std::string(std::max<int>(Width, 0), ' '), shadow);
    WriteAtScreen(x1, y1, " ", ResolveColour(DialogColour));
  }
  console::UnlockUpdates();
  console::RefreshScreen();
  DrawnAs = down ? 2 : 1;
}

void DialogButton::SetFocus(bool flag) {
  Focused = flag ? 1 : 0;
  const uint8_t as = DrawnAs;
  DrawnAs = 0;
  if (as != 0) DrawButton(as == 2);
}

// --- Dialog -------------------------------------------------------------------------

Dialog::Dialog() : Window(1, 1, 80, 25) {
  const uint8_t a = ResolveColour(DialogColour);
  SetBodyAttr(a);
  FrameAttr = a;
}

Dialog::~Dialog() {
  if (!closed_) Dialog::Done();
}

void Dialog::Done() {
  if (closed_) return;
  CloseWindow();
  Lines.clear();
  Buttons.clear();
}

void Dialog::AddLine(std::string_view text) {
  Lines.emplace_back(text.substr(0, 255));
  ++LineCount;
}

void Dialog::AddButton(std::string_view caption, uint8_t key) {
  auto b = std::make_unique<DialogButton>();
  b->SetButton(caption, key);
  Buttons.push_back(std::move(b));
  ++ButtonCount;
}

void Dialog::Layout() {
  int bw = 0, lw = 0;
  for (const auto& b : Buttons) bw = std::max(bw, Len(b->Caption));
  for (const auto& l : Lines) lw = std::max(lw, Len(l));
  int bt = ButtonCount * (bw + 3);
  while (bt > 78) {
    --ButtonCount;
    bt = ButtonCount * (bw + 3);
  }
  lw = std::min(lw, 78);
  const int w = std::max(bt, lw);
  int h = LineCount + 6;
  if (h > 25) {
    LineCount = static_cast<int16_t>(LineCount - (h - 25));
    h = LineCount + 6;
  }
  const int top = (25 - h) / 2 + 1, left = (80 - w) / 2;
  SetRegion(left, top, left + w + 1, top + h - 1);
  ButtonOffset = static_cast<int16_t>(left + (w - bt) / 2 + 2 - left);
  for (int i = 0; i < ButtonCount; ++i) Buttons[i]->Width = static_cast<int16_t>(bw);
  PlaceButtons();
}

void Dialog::PlaceButtons() {
  for (int i = 0; i < ButtonCount; ++i) {
    DialogButton& b = *Buttons[i];
    b.PlaceButton(x1 + ButtonOffset + i * (b.Width + 3), y2 - 2);
  }
}

bool Dialog::TakeButton(uint8_t& key) {
  for (int i = 0; i < ButtonCount; ++i) {
    DialogButton& b = *Buttons[i];
    if (key != 1 && key != 5) {
      if (b.Key == key || (AnyKey && !IsMouseCode(key))) {
        Chosen = static_cast<int16_t>(i + 1);
        return true;
      }
    } else if (!Dragging && b.MouseInside()) {
      // Follow the pointer until the button is let go: pressed while the
      // pointer is on the button, raised when it leaves.
      bool on = true;
      for (;;) {
        on = b.MouseInside();
        b.DrawButton(on);
        if (ReadEvent() == 0) break;
      }
      on = b.MouseInside();
      if (on) {
        key = b.Key;
        Chosen = static_cast<int16_t>(i + 1);
        return true;
      }
      b.DrawButton(false);
      key = 0;
      return false;
    }
  }
  return false;
}

uint8_t Dialog::RunLoop(bool timed) {
  ScreenState snap;
  SaveScreenState(snap);
  SetCursorHidden();
  if (Buttons.empty()) {
    AnyKey = 1;
    AddButton(kContinue, 0);
  }
  Layout();
  // The dialog appears in one refresh.
  console::LockUpdates();
  Draw();
  for (int i = 0; i < ButtonCount; ++i) Buttons[i]->DrawButton(!timed && i == 0 && DefaultFirst);
  const uint8_t attr = ResolveColour(DialogColour);
  for (int i = 0; i < LineCount; ++i)
    WriteCentred(x1, x2, y1 + i + 2, Lines[i].substr(0, static_cast<size_t>(x2 - x1 - 1)), attr);
  console::UnlockUpdates();
  console::RefreshScreen();

  int countdown = timed ? 10 : 0;
  Timer start;
  StartTimer(start);
  bool countdownRan = false;
  uint8_t key = 0;
  bool taken = false;
  for (;;) {
    Chosen = 0;
    if (countdown >= 1) {
      countdownRan = true;
      const int row = y2 - 1, col = x1 + 1;
      std::string savedChars;
      for (int x = col; x <= 80; ++x) savedChars += static_cast<char>(platform::CellChar(platform::CellAt(row, x)));
      while (countdown >= 1) {
        WriteCharsAt(col, row, text::FormatNumber("###", countdown) + std::string(kSecondsLeft));
        Time().Sleep(100);
        if (platform::KeyStrokeReady()) {
          const platform::KeyStroke k = platform::TakeKeyStroke();
          const bool hasChar =
              platform::StrokeKind(k) != platform::kStrokeFunction && platform::StrokeChar(k) != 0;
          key = hasChar ? UpperAscii(platform::StrokeChar(k)) : 0;
          countdown = 0;
        } else if (ElapsedHundredths(start) > (10 - countdown + 1) * 100) {
          if (--countdown < 1) key = 13;
        }
      }
      WriteCharsAt(col, row, savedChars);
    } else {
      if (countdownRan)
        WriteCharsAt(x1 + 1, y2 - 1, std::string(static_cast<size_t>(std::max(x2 - x1 - 1, 0)), ' '));
      GetKey(key);
      key = Upper(key);
    }
    PlaceButtons();
    taken = TakeButton(key);
    if (taken) break;
    if ((key == 13 || key == 27) && (!timed || DefaultFirst)) break;
  }
  if (key == 13) Chosen = 1;
  if (key == 27 && (AnyKey || !taken)) Chosen = 0;
  RestoreScreenState(snap);
  return key;
}

uint8_t Dialog::Run() { return RunLoop(false); }
uint8_t Dialog::RunTimed() { return RunLoop(true); }

// --- Prompts ----------------------------------------------------------------------

int Prompt(std::string_view text, std::string_view buttons) {
  return RunPrompt(text, buttons, false);
}

int PromptDefaultFirst(std::string_view text, std::string_view buttons) {
  const uint8_t old = DefaultFirst;
  DefaultFirst = 1;
  const int r = RunPrompt(text, buttons, false);
  DefaultFirst = old;
  return r;
}

int PromptTimed(std::string_view text, std::string_view buttons) {
  const uint8_t old = DefaultFirst;
  DefaultFirst = 1;
  const int r = RunPrompt(text, buttons, true);
  DefaultFirst = old;
  return r;
}

// --- Notices ----------------------------------------------------------------------

void StatusMessage(bool show, std::string_view text, SavedRowRef& saved) {
  std::string t(text.substr(0, 80));
  ScreenState snap;
  SaveScreenState(snap);
  console::SetTextWindow(1, 25, 80, 25);
  if (show) {
    if (!t.empty() && t.size() <= 78) t = " " + t + " ";
    const int len = std::min(Len(t), 80);
    int column = (80 - 1 - len) / 2 + 1;
    column = std::clamp(column, 1, 81 - len);
    SaveRow(25, saved, true);
    WriteAtScreen(column, 25, t, console::GetTextAttr());
  } else {
    RestoreRow(saved, true);
  }
  RestoreScreenState(snap);
}

void TimedNotice(int seconds, std::string_view text) {
  ScreenState snap;
  SaveScreenState(snap);
  console::SetTextWindow(1, 22, 80, 25);
  console::CellBuffer cells;
  SaveWindowCells(cells);
  const uint8_t attr = console::GetTextAttr();
  DrawWindowFrame("", FrameSetOf(kDoubleFrame), attr, attr);
  FillWindow(' ', attr);
  int remaining = seconds;
  Timer start;
  StartTimer(start);
  for (;;) {
    WriteAt(5, 1, text, attr);
    WriteAt(1, 2, text::FormatNumber("###", remaining) + std::string(kSecondsOrKey), attr);
    Time().Sleep(100);
    if (platform::KeyStrokeReady()) {
      platform::TakeKeyStroke();
      break;
    }
    if (ElapsedHundredths(start) >= (seconds - remaining + 1) * 100) --remaining;
    if (remaining < 1) break;
  }
  console::SetTextWindow(1, 22, 80, 25);
  RestoreWindowCells(cells);
  RestoreScreenState(snap);
}

namespace {

void Flash(std::string_view text, int waitMs, int waitSeconds) {
  std::string t(text);
  if (t.size() > 77) t.resize(78);
  const int len = Len(t);
  // Half the length rounded to the nearest integer, halves to even.
  const int x = 40 - static_cast<int>(std::nearbyint(len / 2.0));
  ScreenState snap;
  SaveScreenState(snap);
  console::SetTextWindow(x, 12, std::min(x + len, 80), 14);
  console::CellBuffer cells;
  SaveWindowCells(cells);
  const uint8_t a = console::GetTextAttr();
  WriteAt(1, 1, t, static_cast<uint8_t>(((a << 4) & 0x7F) | ((a >> 4) & 0x0F)));
  if (waitSeconds < 0) {
    Time().Sleep(waitMs);
  } else {
    Timer start;
    StartTimer(start);
    do Time().Sleep(100);
    while (std::lround(ElapsedHundredths(start) / 100.0) < waitSeconds &&
           ElapsedHundredths(start) >= 0);
  }
  RestoreWindowCells(cells);
  RestoreScreenState(snap);
}

// Draws the box of a choice; returns the saved cells of its rectangle.
struct ChoiceBoxArea {
  int left, top, right, bottom;
  console::CellBuffer cells;
};

ChoiceBoxArea DrawChoiceBox(std::string_view text) {
  std::vector<std::string> lines;
  int w = 0;
  for (const std::string& l : SplitPieces(text)) {
    if (l.empty()) break;
    lines.push_back(l);
    w = std::max(w, Len(l));
  }
  const int n = static_cast<int>(lines.size());
  w = std::min(w, 77);
  // Kept on the screen for texts as wide or as tall as the screen.
  const int x = std::max((78 - w) / 2, 1), y = std::max((23 - (n + 1)) / 2, 1);
  const uint8_t attr = SwapColours(console::GetTextAttr());
  console::SetTextAttr(attr);
  ChoiceBoxArea area{x, y, std::min(x + w + 2, 80), std::min(y + n + 1, 25), {}};
  console::SetTextWindow(area.left, area.top, area.right, area.bottom);
  SaveWindowCells(area.cells);
  DrawWindowFrame("", FrameSetOf(kSingleFrame), attr, attr);
  FillWindow(' ', attr);
  console::SetTextWindow(area.left, area.top, area.right, area.bottom);
  for (int j = 0; j < n; ++j) WriteAt(2, j + 2, lines[j], attr);
  console::SetCursorPos(1, area.bottom - area.top + 1);
  console::RefreshScreen();
  return area;
}

void CloseChoiceBox(ChoiceBoxArea& area) {
  console::SetTextWindow(area.left, area.top, area.right, area.bottom);
  RestoreWindowCells(area.cells);
}

}  // namespace

void FlashMessage(std::string_view text, unsigned milliseconds) {
  Flash(text, static_cast<int>(milliseconds % 65536), -1);
}

void FlashMessageSeconds(std::string_view text, int seconds) { Flash(text, 0, std::max(seconds, 0)); }

int ChoiceBox(std::string_view text, std::string_view allowed) {
  ScreenState snap;
  SaveScreenState(snap);
  ChoiceBoxArea area = DrawChoiceBox(text);
  int result = 0;
  for (;;) {
    const uint8_t k = UpperAscii(console::ReadKeyCode());
    if (allowed.empty()) {
      result = k;
      break;
    }
    const size_t pos = allowed.find(static_cast<char>(k));
    if (pos != std::string_view::npos) {
      result = static_cast<int>(pos) + 1;
      break;
    }
  }
  CloseChoiceBox(area);
  RestoreScreenState(snap);
  return result;
}

uint8_t ChoiceBoxSet(std::string_view text, const KeySet& allowed) {
  ScreenState snap;
  SaveScreenState(snap);
  ChoiceBoxArea area = DrawChoiceBox(text);
  FlushKeys();
  uint8_t k = 0;
  for (;;) {
    k = UpperAscii(ReadKey());
    if (allowed.none()) break;
    if (allowed.test(k)) {
      WriteFlow(std::string(1, static_cast<char>(k)));
      break;
    }
  }
  CloseChoiceBox(area);
  RestoreScreenState(snap);
  return k;
}

uint8_t WaitKeyLine(int x, int y) {
  WriteAt(x, y, kPressAKey, console::GetTextAttr());
  FlushKeys();
  console::SetCursorPos(x + Len(kPressAKey), y);
  console::RefreshScreen();
  return ReadKey();
}

void ProgressLine(std::string_view text, long total, long done, int row) {
  const uint8_t attr = console::GetTextAttr();
  if (total == 0) {
    WriteAt(1, row, text, attr);
    console::SetCursorPos(1 + Len(text), row);
    console::RefreshScreen();
    return;
  }
  if (row < 1 || row > WindowHeight()) return;
  const int b = std::max(WindowWidth() - Len(text) - 8, 0);
  const double ratio = static_cast<double>(done) / static_cast<double>(total);
  const int f = done < total ? std::clamp(static_cast<int>(ratio * b), 0, b) : b;
  std::string line = std::string(text) + "\xb3" + std::string(b, '>') + "\xb3" +
                     text::FormatNumber("####", ratio * 100.0L) + "%";
  if (line.size() > 80) line.resize(80);
  std::string attrs(line.size(), static_cast<char>(attr));
  for (int i = 0; i < f && Len(text) + 1 + i < Len(attrs); ++i)
    attrs[Len(text) + 1 + i] = static_cast<char>(SwapColours(attr));
  const int x = console::ToScreenColumn(1), y = console::ToScreenRow(row);
  console::LockUpdates();
  WriteCharsAt(x, y, line);
  WriteAttrsAt(x, y, attrs);
  console::UnlockUpdates();
  console::SetCursorPos(Len(text) + 2 + f, row);
  console::RefreshScreen();
}

void ResetDialogs() { DefaultFirst = 0; }

}  // namespace ui
