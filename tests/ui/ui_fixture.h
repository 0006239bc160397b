// A headless terminal, a clock that moves only when the code under test
// waits, and input that arrives at chosen moments of that clock.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/keyboard.h"
#include "platform/terminal.h"
#include "ui/events.h"
#include "ui/window.h"

namespace ui::testing {

// Time in hundredths since midnight, advanced by the sleeps and waits of the
// event reader. Scheduled input is handed to the terminal when its time has
// come.
class FakeTime : public TimeSource {
 public:
  explicit FakeTime(platform::HeadlessTerminal* t) : term(t) {}

  Timer Now() override {
    Timer t;
    const long long h = nowMs / 10;
    t.hour = static_cast<int16_t>(h / 360000 % 24);
    t.minute = static_cast<int16_t>(h / 6000 % 60);
    t.second = static_cast<int16_t>(h / 100 % 60);
    t.hundredth = static_cast<int16_t>(h % 100);
    return t;
  }
  void Sleep(int ms) override { Advance(ms); }
  bool WaitForInput(int ms) override {
    ++waits;
    if (platform::KeyStrokeReady() || platform::MouseEventWaiting()) return true;
    // Jump to the next scheduled input when it comes within the wait.
    if (!scheduled.empty() && scheduled.front().atMs <= nowMs + ms) {
      Advance(static_cast<int>(std::max<long long>(scheduled.front().atMs - nowMs, 0)));
      return true;
    }
    Advance(ms);
    if (scheduled.empty()) ++idleWaits;
    return platform::KeyStrokeReady() || platform::MouseEventWaiting();
  }

  void Advance(int ms) {
    nowMs += ms;
    Deliver();
  }
  void Deliver() {
    while (!scheduled.empty() && scheduled.front().atMs <= nowMs) {
      term->ScriptEvent(scheduled.front().event);
      scheduled.pop_front();
    }
  }

  // Input after a delay from the previous scheduled item (or from now).
  void At(int delayMs, const platform::InputEvent& e) {
    const long long base = scheduled.empty() ? std::max(lastMs, nowMs) : scheduled.back().atMs;
    lastMs = base + delayMs;
    scheduled.push_back({lastMs, e});
  }

  struct Item {
    long long atMs;
    platform::InputEvent event;
  };
  platform::HeadlessTerminal* term;
  long long nowMs = 10LL * 3600 * 1000;  // 10:00
  long long lastMs = 0;
  std::deque<Item> scheduled;
  int waits = 0;
  int idleWaits = 0;
};

inline platform::InputEvent Mouse(int buttons, int column, int row, int action) {
  platform::InputEvent e;
  e.type = platform::InputEvent::kMouse;
  e.mouse.buttons = static_cast<uint16_t>(buttons);
  e.mouse.column = static_cast<uint16_t>(column - 1);
  e.mouse.row = static_cast<uint16_t>(row - 1);
  e.mouse.action = static_cast<uint16_t>(action);
  return e;
}
inline platform::InputEvent Press(int column, int row, int buttons = 1) {
  return Mouse(buttons, column, row, platform::kMouseDown);
}
inline platform::InputEvent Release(int column, int row) {
  return Mouse(0, column, row, platform::kMouseUp);
}
inline platform::InputEvent MoveHeld(int column, int row, int buttons = 1) {
  return Mouse(buttons, column, row, platform::kMouseMove);
}
inline platform::InputEvent Char(uint8_t ch) {
  platform::InputEvent e;
  e.key.ch = ch;
  return e;
}
inline platform::InputEvent Key(uint8_t scan, uint8_t shift = 0) {
  platform::InputEvent e;
  e.key.scan = scan;
  e.key.shift = shift;
  return e;
}

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto t = std::make_unique<platform::HeadlessTerminal>();
    term = t.get();
    platform::SetTerminal(std::move(t));
    platform::ResetScreen();
    console::ResetScreenOutput();
    console::ResetKeyboardInput();
    ResetToolkit();
    ResetEvents();
    term->Start();
    time = std::make_unique<FakeTime>(term);
    SetTimeSource(time.get());
    StartToolkit();
    StartEvents();
  }
  void TearDown() override {
    SetTimeSource(nullptr);
    while (TopWindow) TopWindow->Done();
  }

  void WithMouse() {
    MousePresent = 1;
    SetMousePos(1, 1);
    ShowMouse();
  }

  static std::string Row(int r, int from = 1, int to = 80) {
    std::string s;
    for (int c = from; c <= to; ++c) s += static_cast<char>(platform::CellChar(platform::CellAt(r, c)));
    return s;
  }
  static uint8_t AttrAt(int x, int y) { return platform::CellAttr(platform::CellAt(y, x)); }
  static uint8_t CharAt(int x, int y) { return platform::CellChar(platform::CellAt(y, x)); }

  // A screen where every cell differs from its neighbours.
  static void FillPattern() {
    for (int i = 0; i < platform::kScreenCells; ++i)
      platform::ScreenBuffer[i] =
          platform::MakeCell(static_cast<uint8_t>('A' + i % 26), static_cast<uint8_t>(i % 127 + 1));
  }
  static std::vector<uint16_t> Screen() {
    return std::vector<uint16_t>(platform::ScreenBuffer, platform::ScreenBuffer + platform::kScreenCells);
  }

  platform::HeadlessTerminal* term = nullptr;
  std::unique_ptr<FakeTime> time;
};

}  // namespace ui::testing
