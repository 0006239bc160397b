#include "ui/events.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "console/keyboard.h"
#include "platform/keyboard.h"
#include "platform/terminal.h"
#include "ui/keycode.h"

namespace ui {

platform::MouseEvent LastMouseEvent;
uint16_t HeldButtons = 0;
uint16_t LastReleased = 0;
int32_t LastUpTime = 0;
uint8_t PendingDouble = 0;
uint8_t PendingRelease = 0;
uint8_t Dragging = 0;
uint8_t Moving = 0;
uint8_t FirstRepeat = 0;
uint8_t LastBarCode = 0;
void (*FontStepHook)(int direction) = nullptr;
uint8_t (*KeyBarMouseHook)(uint8_t code) = nullptr;
void (*TerminalResizedHook)() = nullptr;
void (*BeforeWaitHook)() = nullptr;

namespace {

struct HotKeyEntry {
  HotKeyCallback callback = nullptr;
  uint8_t tag = 0;
};
HotKeyEntry hotKeys[256];
uint8_t hotKeyRunning[256];

void (*idleProcedure)() = nullptr;
int32_t idleInterval = 0;

// The local clock, and waits on the terminal.
class SystemTime : public TimeSource {
 public:
  Timer Now() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    if (const std::tm* p = std::localtime(&secs)) local = *p;
    const auto sinceSecond = now - std::chrono::system_clock::from_time_t(secs);
    Timer t;
    t.hour = static_cast<int16_t>(local.tm_hour);
    t.minute = static_cast<int16_t>(local.tm_min);
    t.second = static_cast<int16_t>(local.tm_sec);
    t.hundredth = static_cast<int16_t>(std::clamp<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceSecond).count() / 10, 0, 99));
    return t;
  }
  void Sleep(int milliseconds) override {
    if (milliseconds > 0) console::Pause(static_cast<unsigned>(milliseconds));
  }
  bool WaitForInput(int milliseconds) override { return platform::WaitForInput(milliseconds); }
};

SystemTime systemTime;
TimeSource* timeSource = nullptr;

bool StrokeHasChar(platform::KeyStroke k) {
  return platform::StrokeKind(k) != platform::kStrokeFunction && platform::StrokeChar(k) != 0;
}

bool IdleCheck(Timer& timer) {
  if (idleProcedure && idleInterval > 0 && ElapsedHundredths(timer) > idleInterval) {
    idleProcedure();
    StartTimer(timer);
    return true;
  }
  return false;
}

// Sleeps until input or until the idle hook of timer falls due.
void WaitIdle(const Timer& timer) {
  if (!EventReaderIdle()) return;
  int ms = 1000;
  if (idleProcedure && idleInterval > 0)
    ms = std::clamp((idleInterval + 1 - ElapsedHundredths(timer)) * 10, 1, 1000);
  WaitForInput(ms);
}

void TakeMouseEvent() {
  platform::MouseEvent e;
  if (!platform::TakeMouseEvent(e)) return;
  LastMouseEvent = e;
  if (e.action & platform::kMouseUp) LastUpTime = HundredthsOfDay();
}

}  // namespace

// --- Time -----------------------------------------------------------------------

void SetTimeSource(TimeSource* source) { timeSource = source; }
TimeSource& Time() { return timeSource ? *timeSource : systemTime; }

void StartTimer(Timer& timer) { timer = Time().Now(); }

int32_t HundredthsBetween(const Timer& a, const Timer& b) {
  auto h = [](const Timer& t) {
    return t.hour * 360000 + t.minute * 6000 + t.second * 100 + t.hundredth;
  };
  return h(a) - h(b);
}

int32_t ElapsedHundredths(const Timer& timer) { return HundredthsBetween(Time().Now(), timer); }

int32_t HundredthsOfDay() {
  const Timer t = Time().Now();
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 100 + t.hundredth;
}

// --- Reading ----------------------------------------------------------------------

bool EventReaderIdle() {
  if (!console::PendingKeyText.empty() || platform::BreakFlag()) return false;
  if (platform::KeyStrokeReady()) return false;
  if (MousePresent) {
    if (platform::MouseEventWaiting()) return false;
    const uint16_t b = LastMouseEvent.buttons;
    if (b == 1 || b == 2 || HeldButtons != 0) return false;
  }
  return true;
}

void WaitForInput(int milliseconds) {
  if (BeforeWaitHook) BeforeWaitHook();
  Time().WaitForInput(std::clamp(milliseconds, 0, 1000));
}

uint8_t ReadEvent() {
  // A short sleep keeps loops that poll from spinning (while a button is held
  // every poll produces a code). It ends early on new input; longer waits
  // belong to the readers that know nothing can come without input.
  if (!platform::KeyStrokeReady()) Time().WaitForInput(1);

  if (platform::TakeResize() && TerminalResizedHook) TerminalResizedHook();

  if (!console::PendingKeyText.empty()) {
    const uint8_t ch = static_cast<uint8_t>(console::PendingKeyText[0]);
    console::PendingKeyText.erase(0, 1);
    if (console::PendingKeyText.empty() && platform::KeyStrokeReady()) platform::TakeKeyStroke();
    return ch;
  }

  uint8_t code = 0;
  if (!MousePresent) {
    // Reports of a mouse the program does not use are dropped, so that they
    // never count as input waiting to be read.
    platform::MouseEvent ignored;
    while (platform::TakeMouseEvent(ignored)) {
    }
  } else {
    Dragging = 0;
    TakeMouseEvent();
    const platform::MouseEvent& e = LastMouseEvent;
    Moving = e.action == platform::kMouseMove;
    MouseX = static_cast<int16_t>(e.column + 1);
    MouseY = static_cast<int16_t>(e.row + 1);
    if (e.buttons == 1 || e.buttons == 2) {
      const uint16_t b = e.buttons;
      if (PendingRelease || HeldButtons) {
        code = b == 1 ? 1 : 2;
        PendingRelease = b == 1 ? 7 : 255;
      } else {
        code = b == 1 ? 5 : 6;
      }
      Dragging = HeldButtons == b;
      ApplyCursorMode(Dragging ? 0 : CursorMode);
      HeldButtons = b;
      if (LastReleased == b && std::abs(HundredthsOfDay() - LastUpTime) < kDoubleClickHundredths &&
          !platform::MouseEventWaiting()) {
        LastReleased = HeldButtons = 0;
        Dragging = 0;
        code = 0;
        PendingDouble = b == 1 ? 3 : 4;
      }
    } else if (HeldButtons != 0) {
      Dragging = 0;
      ApplyCursorMode(CursorMode);
      code = PendingDouble ? PendingDouble : PendingRelease;
      // A release seen at the poll right after the press has no release code
      // pending yet; it still ends a click of the held button.
      if (code == 0) code = HeldButtons == 1 ? 7 : HeldButtons == 2 ? 255 : 0;
      PendingRelease = PendingDouble = 0;
      LastReleased = HeldButtons;
      HeldButtons = 0;
    } else {
      PendingRelease = 0;
    }
    if (Moving) {
      PendingDouble = 0;
      LastReleased = HeldButtons = 0;
      Dragging = e.buttons == 1;
    }
  }

  bool keyTaken = false;
  if (platform::KeyStrokeReady()) {
    keyTaken = true;
    HeldButtons = LastReleased = 0;
    PendingDouble = PendingRelease = 0;
    const platform::KeyStroke k = platform::TakeKeyStroke();
    if (!StrokeHasChar(k)) {
      code = KeyCodeOf(k);
      HotKeyDispatch(code);
    } else if (platform::StrokeChar(k) == 22) {
      code = 242;
    } else {
      code = platform::StrokeChar(k);
    }
  } else if (KeyBarMouseHook) {
    code = KeyBarMouseHook(code);
  }

  // A break that arrived together with keys is reported at the next poll,
  // so that the key taken now is not lost.
  if (platform::BreakFlag() && !(keyTaken && code != 0)) {
    code = 241;
    platform::SetBreakFlag(false);
  }
  return code;
}

uint8_t ReadKey() {
  Timer timer;
  StartTimer(timer);
  uint8_t code = 0;
  do {
    if (TopWindow) {
      TopWindow->GetKey(code);
    } else {
      code = ReadEvent();
      if (code == 0 && !IdleCheck(timer)) WaitIdle(timer);
    }
  } while (code == 0);
  return code;
}

void Window::GetKey(uint8_t& key) {
  bool closing = false, dragging = false;
  Timer timer;
  StartTimer(timer);
  do {
    key = 0;
    OnScrollBar = 0;
    key = ReadEvent();
    const bool idleRan = key == 0 && IdleCheck(timer);
    if (closing) {
      DrawCloseBox(key != 0 && MouseOnCloseBox() ? 1 : 0, false);
      if (key == 0) {
        if (MouseOnCloseBox())
          key = 27;
        else
          closing = false;
      }
    }
    if (key == 1 || key == 5 || key == 7) {
      if (!Dragging) {
        dragging = false;
        FirstRepeat = 1;
        if (MouseOnCloseBox()) {
          closing = true;
          key = 0;
        } else if (MouseAtOrigin() && key != 7) {
          if (Movable) dragging = true;
          key = 0;
        } else if (MouseInside()) {
          console::SetCursorPos(console::ToWindowColumn(MouseX), console::ToWindowRow(MouseY));
          console::RefreshScreen();
        } else if (key == 5) {
          key = ScrollBarHit();
          FirstRepeat = 1;
        }
      } else if (dragging) {
        if (Moving) {
          MoveTo(MouseX, MouseY);
          SetMousePos(x1, y1);
        }
        key = 0;
      } else if (closing) {
        key = 0;
      } else if (ScrollBarHit() != 0) {
        if (key == 5) {
          key = ScrollBarHit();
          FirstRepeat = 1;
        } else {
          key = MouseRepeatDue() ? ScrollBarHit() : 0;
        }
      }
    }
    if (key == 0 && !idleRan) WaitIdle(timer);
  } while (key == 0);
}

bool Window::MouseOnCloseBox() const {
  return MouseVisible && MouseY == y1 && MouseX >= x1 + 1 && MouseX <= x1 + 3;
}

uint8_t Window::ScrollBarHit() {
  const int mx = MouseX, my = MouseY;
  uint8_t r = 0;
  if (HBar && my == y2) {
    if (mx == x1 + HBarOffset) {
      r = 203;
    } else if (mx == x2 - 2) {
      r = 205;
    } else {
      const int g = x2 - x1 - HBarOffset - 3;
      if (x1 + HBarOffset < mx && mx < x2 - 2) r = mx < x1 + HBarOffset + g / 2 + 1 ? 243 : 244;
    }
  } else if (VBar && mx == x2) {
    if (my == y1 + VBarOffset) {
      r = 200;
    } else if (my == y2 - 1) {
      r = 208;
    } else {
      const int h = y2 - y1 - VBarOffset - 2;
      if (y1 + VBarOffset < my && my < y2 - 1) r = my < y1 + VBarOffset + 1 + h / 2 ? 201 : 209;
    }
  }
  OnScrollBar = r != 0;
  if (r != 0 && r != LastBarCode) {
    FirstRepeat = 1;
    LastBarCode = r;
  }
  return r;
}

// --- Hot keys ---------------------------------------------------------------------

void RegisterHotKey(uint8_t tag, uint8_t key, HotKeyCallback callback) {
  if (key <= 128) return;
  hotKeys[key] = HotKeyEntry{callback, tag};
}

void UnregisterHotKeys(uint8_t tag) {
  for (int k = 129; k < 256; ++k)
    if (hotKeys[k].tag == tag) hotKeys[k] = HotKeyEntry{};
}

void ClearHotKeys() {
  for (auto& e : hotKeys) e = HotKeyEntry{};
  for (auto& r : hotKeyRunning) r = 0;
}

bool HotKeyDispatch(uint8_t& key) {
  if (key > 128 && hotKeys[key].callback) {
    if (!hotKeyRunning[key]) {
      hotKeyRunning[key] = 1;
      const uint8_t k = key;
      hotKeys[k].callback();
      hotKeyRunning[k] = 0;
    }
    key = 0;
    return true;
  }
  if (key == 248 || key == 249) {
    if (FontStepHook) FontStepHook(key == 248 ? 1 : -1);
    key = 0;
    return true;
  }
  return false;
}

void SetIdleHook(void (*procedure)(), int32_t intervalHundredths) {
  idleProcedure = procedure;
  idleInterval = intervalHundredths;
}

// --- Helpers ----------------------------------------------------------------------

bool MouseRepeatDue() {
  if (!MousePresent || !MouseVisible || !Dragging || platform::KeyStrokeReady()) return false;
  const int32_t delay = FirstRepeat ? 48 : 8;
  Timer t;
  StartTimer(t);
  while (ElapsedHundredths(t) <= delay && ElapsedHundredths(t) >= 0) Time().Sleep(10);
  FirstRepeat = 0;
  TakeMouseEvent();
  return !platform::KeyStrokeReady() && LastMouseEvent.buttons == HeldButtons &&
         LastMouseEvent.action != platform::kMouseMove;
}

void FlushKeys() {
  while (platform::KeyStrokeReady()) platform::TakeKeyStroke();
  while (platform::KeyWaiting()) platform::ReadKeyChar();
}

void ErrorBeep() {
  console::Beep();
  console::Pause(100);
  console::StopSound();
}

int ToneFrequency(int octave, int note) {
  double f = 32.625 * std::pow(2.0, octave);
  for (int i = 1; i < note; ++i) f *= 1.059463094;
  return static_cast<int>(std::lround(f));
}

void Tone(int octave, int note, unsigned duration) {
  (void)ToneFrequency(octave, note);  // a terminal bell has one pitch
  console::Beep();
  if (duration != 0) {
    console::Pause(duration);
    console::StopSound();
  }
}

void StartEvents() {
  ClearHotKeys();
  idleProcedure = nullptr;
  idleInterval = 0;
  // A terminal reports the mouse once it is taken over; the headless twin
  // of the tests has a mouse only when a test says so.
  platform::Terminal& t = platform::CurrentTerminal();
  MousePresent = t.Started() && dynamic_cast<platform::HeadlessTerminal*>(&t) == nullptr;
  if (MousePresent) {
    SetMousePos(1, 1);
    ShowMouse();
  }
}

void ResetEvents() {
  ClearHotKeys();
  idleProcedure = nullptr;
  idleInterval = 0;
  LastMouseEvent = platform::MouseEvent{};
  HeldButtons = LastReleased = 0;
  LastUpTime = 0;
  PendingDouble = PendingRelease = 0;
  Dragging = Moving = FirstRepeat = LastBarCode = 0;
  FontStepHook = nullptr;
  KeyBarMouseHook = nullptr;
  TerminalResizedHook = nullptr;
  BeforeWaitHook = nullptr;
  timeSource = nullptr;
}

}  // namespace ui
