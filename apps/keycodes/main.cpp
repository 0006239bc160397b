// keycodes: shows, for every key or mouse event the terminal sends, the raw
// bytes, the key stroke (character, scan code, shift state, kind), the value
// of ReadKeyCode and the key code a screen receives. A user checks with it
// what their terminal sends. Esc pressed twice ends it.
//
//   keycodes [--log FILE]   also append one line per event to FILE: the key
//                           code (0 for none), a blank, the raw bytes in hex.
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/cp852.h"
#include "platform/keyboard.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "text/literal.h"
#include "ui/keycode.h"
#include "updater/startup.h"

using namespace text::literals;

namespace {

constexpr uint8_t kBackAttr = 0x17;    // light grey on blue
constexpr uint8_t kFrameAttr = 0x1F;
constexpr uint8_t kTitleAttr = 0x1E;
constexpr uint8_t kHeadAttr = 0x1B;
constexpr uint8_t kNewAttr = 0x1F;
constexpr int kFirstLogRow = 5;
constexpr int kLastLogRow = 22;

constexpr std::array<uint8_t, 8> kDoubleFrame = {0xC9, 0xC8, 0xBB, 0xBC, 0xCD, 0xCD, 0xBA, 0xBA};

struct Shown {
  std::string line;
};

std::deque<std::string> lines;
FILE* logFile = nullptr;

std::string Hex(const std::string& raw) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < raw.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(raw[i]));
    if (i) out += ' ';
    out += buf;
  }
  return out;
}

std::string ShiftText(uint8_t shift) {
  std::string s;
  if (shift & (platform::kLeftShift | platform::kRightShift)) s += "Shift+";
  if (shift & platform::kCtrl) s += "Ctrl+";
  if (shift & platform::kAlt) s += "Alt+";
  if (s.empty()) return "-";
  s.pop_back();
  return s;
}

std::string Fit(std::string s, size_t width) {
  if (s.size() >= width) s = s.substr(0, width - 3) + "..";  // keep a blank after
  s.resize(width, ' ');
  return s;
}

void DrawScreen() {
  platform::LockUpdates();
  console::FillRect(1, 1, 80, 25, ' ', kBackAttr);
  console::FrameChars = kDoubleFrame;
  console::DrawFrame(1, 1, 80, 25, kFrameAttr, kTitleAttr,
                     " Billentyűkódok \0 Kilépés: Esc kétszer "_cp);
  console::FrameChars = console::kInitialFrameChars;
  console::PutText("Nyomjon meg egy billentyűt, vagy kattintson az egérrel."_cp, 2, 3, kBackAttr);
  console::PutText("► A kód az, amit egy képernyő kap (a rendszer billentyűtáblája szerint). ◄"_cp,
                   3, 3, kBackAttr);
  console::PutText(
      Fit("Bájtok (hex)"_cp, 20) + Fit("Kar"_cp, 6) + Fit("Scan", 5) + Fit("Váltó"_cp, 15) +
          Fit("Fajta"_cp, 6) + Fit("ReadKeyCode", 13) + "Kód"_cp,
      4, 3, kHeadAttr);
  for (int r = kFirstLogRow, i = 0; r <= kLastLogRow; ++r, ++i) {
    const size_t first = lines.size() > size_t(kLastLogRow - kFirstLogRow + 1)
                             ? lines.size() - (kLastLogRow - kFirstLogRow + 1)
                             : 0;
    const size_t k = first + static_cast<size_t>(i);
    if (k < lines.size())
      console::PutText(lines[k], r, 3, k + 1 == lines.size() ? kNewAttr : kBackAttr);
  }
  console::SetTextWindow(1, 1, 80, 25);
  console::SetCursorPos(3, 24);
  platform::UnlockUpdates();
  platform::RefreshScreen();
}

void Add(const std::string& line, int code, const std::string& raw) {
  lines.push_back(line.size() > 76 ? line.substr(0, 76) : line);
  while (lines.size() > 200) lines.pop_front();
  if (logFile) {
    std::fprintf(logFile, "%d %s\n", code, Hex(raw).c_str());
    std::fflush(logFile);
  }
  DrawScreen();
}

// Describes one key event; returns its key code as a screen receives it.
int ShowKey(const platform::InputEvent& e) {
  const platform::PhysicalKey& k = e.key;
  const platform::KeyStroke stroke = platform::StrokeOfKey(k);
  // Character-style reading: the character, or 0 and then the remapped scan
  // code, which ReadKeyCode returns with bit 7 set.
  std::string readKeyCode;
  if (k.ch != 0) {
    readKeyCode = std::to_string(k.ch);
  } else {
    const uint8_t scan = platform::RemapScanCode(k.scan, k.shift);
    readKeyCode = "0," + std::to_string(scan) + " = " + std::to_string(scan | 0x80);
  }
  int code;
  if (platform::StrokeChar(stroke) != 0 && platform::StrokeKind(stroke) == platform::kStrokeChar)
    code = platform::StrokeChar(stroke) == 22 ? 242 : platform::StrokeChar(stroke);
  else
    code = ui::KeyCodeOf(stroke);

  std::string ch = "-";
  if (k.ch >= 32) ch = std::string(1, static_cast<char>(k.ch)) + " " + std::to_string(k.ch);
  else if (k.ch != 0) ch = std::to_string(k.ch);
  static const char* const kKinds[] = {"0 kar", "1", "2 fn", "3 fiz"};
  Add(Fit(Hex(e.raw), 20) + Fit(ch, 6) + Fit(std::to_string(k.scan), 5) +
          Fit(ShiftText(k.shift), 15) + Fit(kKinds[platform::StrokeKind(stroke)], 6) +
          Fit(readKeyCode, 13) + std::to_string(code),
      code, e.raw);
  return code;
}

void ShowMouse(const platform::InputEvent& e) {
  const platform::MouseEvent& m = e.mouse;
  std::string buttons;
  if (m.buttons & 1) buttons += "bal "_cp;
  if (m.buttons & 2) buttons += "jobb "_cp;
  if (buttons.empty()) buttons = "nincs "_cp;
  std::string action;
  if (m.action & platform::kMouseDown) action = "le";
  if (m.action & platform::kMouseUp) action = "fel";
  if (m.action & platform::kMouseMove) action = "mozgás"_cp;
  Add(Fit(Hex(e.raw), 20) + "egér: gomb "_cp + buttons + "oszlop " + std::to_string(m.column + 1) +
          ", sor " + std::to_string(m.row + 1) + ", " + action,
      0, e.raw);
}

// The raw bytes of the events, kept until the keyboard layer hands out what
// they made. Alt with keypad digits turns several sequences into one key:
// their bytes are collected until the collected key is queued (at the next
// other event, or after a pause).
std::deque<std::string> keyRaw;
std::string altDigitRaw;
std::deque<std::string> mouseRaw;
std::deque<std::string> breakRaw;

bool IsAltKeypadDigit(const platform::PhysicalKey& k) {
  static constexpr uint8_t kDigitScans[] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
  if (!k.keypad || k.enhanced || (k.shift & (platform::kAlt | platform::kCtrl)) != platform::kAlt)
    return false;
  for (uint8_t s : kDigitScans)
    if (s == k.scan) return true;
  return false;
}

void FlushAltDigitRaw() {
  if (altDigitRaw.empty()) return;
  keyRaw.push_back(altDigitRaw);
  altDigitRaw.clear();
}

void Observe(const platform::InputEvent& e) {
  switch (e.type) {
    case platform::InputEvent::kKey:
      if (IsAltKeypadDigit(e.key)) {
        altDigitRaw += e.raw;
        return;
      }
      FlushAltDigitRaw();
      keyRaw.push_back(e.raw);
      break;
    case platform::InputEvent::kMouse:
      FlushAltDigitRaw();
      mouseRaw.push_back(e.raw);
      break;
    case platform::InputEvent::kBreak:
      FlushAltDigitRaw();
      breakRaw.push_back(e.raw);
      break;
    case platform::InputEvent::kResize:
      break;
  }
  while (keyRaw.size() > 4096) keyRaw.pop_front();
  while (mouseRaw.size() > 256) mouseRaw.pop_front();
  while (breakRaw.size() > 256) breakRaw.pop_front();
}

// The bytes of the key just taken.
std::string TakeKeyRaw() {
  if (keyRaw.empty()) FlushAltDigitRaw();  // collected digits delivered after a pause
  if (keyRaw.empty()) return std::string();
  std::string out = std::move(keyRaw.front());
  keyRaw.pop_front();
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const char* logName = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
      logName = argv[++i];
    } else {
      std::fprintf(stderr, "usage: keycodes [--log FILE]\n");
      return 2;
    }
  }
  if (logName) {
    logFile = std::fopen(logName, "a");
    if (!logFile) {
      std::fprintf(stderr, "keycodes: cannot open %s: %s\n", logName, std::strerror(errno));
      return 1;
    }
  }

  updater::StartProgram(argc, argv);
  DrawScreen();

  platform::SetInputObserver(Observe);
  bool lastWasEsc = false;
  for (;;) {
    platform::WaitForInput(-1);
    if (!platform::CurrentTerminal().Started()) break;
    if (platform::TakeResize()) {
      platform::InvalidateScreen();
      DrawScreen();
    }
    platform::PhysicalKey key;
    while (platform::TakeKey(key)) {
      platform::InputEvent e;
      e.key = key;
      e.raw = TakeKeyRaw();
      const bool esc = key.ch == 27 && key.shift == 0;
      ShowKey(e);
      if (esc && lastWasEsc) {
        if (logFile) std::fclose(logFile);
        updater::EndProgram(0);
      }
      lastWasEsc = esc;
    }
    platform::MouseEvent mouse;
    while (platform::TakeMouseEvent(mouse)) {
      platform::InputEvent e;
      e.type = platform::InputEvent::kMouse;
      e.mouse = mouse;
      e.raw = mouseRaw.empty() ? std::string() : mouseRaw.front();
      if (!mouseRaw.empty()) mouseRaw.pop_front();
      ShowMouse(e);
      lastWasEsc = false;
    }
    if (platform::BreakFlag()) {
      // The event reader of a screen turns the break flag into the key code 241.
      platform::SetBreakFlag(false);
      std::string raw = breakRaw.empty() ? std::string("\x03") : breakRaw.front();
      if (!breakRaw.empty()) breakRaw.pop_front();
      Add(Fit(Hex(raw), 20) + "Ctrl+C (megszakítás): a program fut tovább"_cp, 241, raw);
      lastWasEsc = false;
    }
  }
  updater::EndProgram(0);
}
