#include "ui/events.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/ui_fixture.h"

namespace ui {
namespace {

using namespace testing;

class EventsTest : public UiTest {
 protected:
  // Polls for ms milliseconds of the fake clock and returns the codes, runs
  // of the same non-zero code counted once; 0 is kept only where it ends a run.
  std::vector<int> PollFor(int ms) {
    std::vector<int> codes;
    const long long end = time->nowMs + ms;
    while (time->nowMs < end) {
      const int c = ReadEvent();
      if (c != 0 && (codes.empty() || codes.back() != c)) codes.push_back(c);
      if (c == 0 && !codes.empty() && codes.back() != 0) codes.push_back(0);
    }
    while (!codes.empty() && codes.back() == 0) codes.pop_back();
    return codes;
  }
};

using Codes = std::vector<int>;

TEST_F(EventsTest, MouseStateMachine) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, platform::InputEvent>> input;  // delay ms, event
    Codes codes;
  } cases[] = {
      {"click", {{0, Press(5, 5)}, {100, Release(5, 5)}}, {5, 1, 7}},
      {"right click", {{0, Press(5, 5, 2)}, {100, Release(5, 5)}}, {6, 2, 255}},
      // The second press within 24 hundredths: nothing at the detection, then
      // 5, and 3 for its release.
      {"double click",
       {{0, Press(5, 5)}, {50, Release(5, 5)}, {150, Press(5, 5)}, {50, Release(5, 5)}},
       {5, 1, 7, 0, 5, 1, 3}},
      {"right double click",
       {{0, Press(5, 5, 2)}, {50, Release(5, 5)}, {100, Press(5, 5, 2)}, {50, Release(5, 5)}},
       {6, 2, 255, 0, 6, 2, 4}},
      {"23 hundredths apart",
       {{0, Press(5, 5)}, {50, Release(5, 5)}, {230, Press(5, 5)}, {50, Release(5, 5)}},
       {5, 1, 7, 0, 5, 1, 3}},
      {"24 hundredths apart",
       {{0, Press(5, 5)}, {50, Release(5, 5)}, {240, Press(5, 5)}, {50, Release(5, 5)}},
       {5, 1, 7, 0, 5, 1, 7}},
      {"two slow clicks",
       {{0, Press(5, 5)}, {50, Release(5, 5)}, {250, Press(5, 5)}, {50, Release(5, 5)}},
       {5, 1, 7, 0, 5, 1, 7}},
      // Moving with the button held: no release code afterwards.
      {"drag", {{0, Press(5, 5)}, {50, MoveHeld(9, 7)}, {50, Release(9, 7)}}, {5, 1}},
      // Press and release seen at consecutive polls still end in a release.
      {"quick click", {{0, Press(5, 5)}, {0, Release(5, 5)}}, {5, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetEvents();
    SetTimeSource(time.get());
    WithMouse();
    for (const auto& [delay, e] : c.input) time->At(delay, e);
    EXPECT_EQ(PollFor(1200), c.codes);
    EXPECT_EQ(HeldButtons, 0);
  }
}

TEST_F(EventsTest, DraggingAndPositionFollowTheMouse) {
  WithMouse();
  time->At(0, Press(5, 5));
  time->At(30, MoveHeld(12, 9));
  EXPECT_EQ(PollFor(10), (Codes{5, 1}));
  EXPECT_EQ(Dragging, 1);
  EXPECT_EQ(Moving, 0);
  EXPECT_EQ(platform::CursorSize(), 0);  // the text cursor hides while the button is held
  PollFor(40);
  EXPECT_EQ(Dragging, 1);
  EXPECT_EQ(Moving, 1);
  EXPECT_EQ(MouseX, 12);
  EXPECT_EQ(MouseY, 9);
}

TEST_F(EventsTest, KeyStrokeWhileAButtonIsHeldClearsTheButtonState) {
  WithMouse();
  time->At(0, Press(5, 5));
  time->At(50, Char('x'));
  const Codes got = PollFor(40);
  EXPECT_EQ(got, (Codes{5, 1}));
  EXPECT_EQ(HeldButtons, 1);
  int c = 0;
  while ((c = ReadEvent()) == 1) {
  }
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(HeldButtons, 0);
  EXPECT_EQ(PendingRelease, 0);
}

TEST_F(EventsTest, KeysAndSpecialCodes) {
  platform::InputEvent brk;
  brk.type = platform::InputEvent::kBreak;
  time->At(0, Key(platform::scan::kF1));
  time->At(0, Key(platform::scan::kUp, platform::kAlt));    // swallowed
  time->At(0, Key(platform::scan::kDown, platform::kAlt));  // swallowed
  time->At(0, Char(22));
  time->At(10, brk);
  time->At(10, Char(0x8B));  // a character above 128 is not a hot key
  time->At(0, Key(platform::scan::kIns, platform::kCtrl));
  time->Deliver();
  static std::vector<int> steps;
  steps.clear();
  FontStepHook = [](int d) { steps.push_back(d); };
  RegisterHotKey(1, 0x8B, [] { steps.push_back(99); });
  EXPECT_EQ(ReadKey(), 187);
  EXPECT_EQ(ReadKey(), 242);
  EXPECT_EQ(ReadKey(), 241);
  EXPECT_EQ(ReadKey(), 0x8B);
  EXPECT_EQ(ReadKey(), 241);
  EXPECT_EQ(steps, (std::vector<int>{1, -1}));
}

TEST_F(EventsTest, BreakArrivingWithAKeyDoesNotLoseTheKey) {
  platform::InputEvent brk;
  brk.type = platform::InputEvent::kBreak;
  time->At(0, Char('a'));
  time->At(0, brk);
  time->Deliver();
  EXPECT_EQ(ReadKey(), 'a');
  EXPECT_EQ(ReadKey(), 241);
}

TEST_F(EventsTest, PendingKeyTextComesFirst) {
  console::PushKeys("ab");
  time->At(0, Char('c'));
  time->Deliver();
  EXPECT_EQ(ReadKey(), 'a');
  EXPECT_EQ(ReadKey(), 'b');
  EXPECT_EQ(ReadKey(), 'c');  // the pushed stroke was dropped with the text
}

int hotRuns = 0;
int hotInner = 0;
void HotCallback() {
  ++hotRuns;
  hotInner = ReadKey();
}

TEST_F(EventsTest, HotKeyDoesNotReEnterItself) {
  hotRuns = hotInner = 0;
  RegisterHotKey(7, 191, HotCallback);  // F5
  time->At(0, Key(platform::scan::kF1 + 4));
  time->At(0, Key(platform::scan::kF1 + 4));  // read inside the callback: swallowed
  time->At(0, Char('q'));
  time->At(0, Char('z'));
  time->Deliver();
  EXPECT_EQ(ReadKey(), 'z');
  EXPECT_EQ(hotRuns, 1);
  EXPECT_EQ(hotInner, 'q');

  UnregisterHotKeys(7);
  time->At(0, Key(platform::scan::kF1 + 4));
  time->Deliver();
  EXPECT_EQ(ReadKey(), 191);
  RegisterHotKey(7, 100, HotCallback);  // at or below 128: ignored
  uint8_t k = 100;
  EXPECT_FALSE(HotKeyDispatch(k));
  EXPECT_EQ(k, 100);
}

int idleCalls = 0;

TEST_F(EventsTest, WaitingForAKeySleepsAndRunsTheIdleHook) {
  idleCalls = 0;
  SetIdleHook([] { ++idleCalls; }, 50);
  time->At(2000, Char('k'));
  EXPECT_EQ(ReadKey(), 'k');
  EXPECT_GE(idleCalls, 3);
  EXPECT_LE(idleCalls, 4);
  // Two seconds took a handful of waits, not thousands of 1 ms polls.
  EXPECT_LT(time->waits, 40);

  Window w(10, 5, 40, 15);
  w.Draw();
  idleCalls = 0;
  const int waits = time->waits;
  time->At(3000, Char('m'));
  EXPECT_EQ(ReadKey(), 'm');
  EXPECT_GE(idleCalls, 5);
  EXPECT_LT(time->waits - waits, 60);
}

TEST_F(EventsTest, MouseReportsWithoutAMouseAreDropped) {
  time->At(0, Press(5, 5));
  time->At(0, Release(5, 5));
  time->At(2000, Char('k'));
  EXPECT_EQ(ReadKey(), 'k');
  EXPECT_LT(time->waits, 40);
  EXPECT_FALSE(platform::MouseEventWaiting());
}

class WindowKeysTest : public EventsTest {
 protected:
  void SetUp() override {
    EventsTest::SetUp();
    WithMouse();
    w = std::make_unique<Window>(10, 5, 40, 15);
    w->Draw();
  }
  void TearDown() override {
    w.reset();
    EventsTest::TearDown();
  }
  uint8_t Key() {
    uint8_t k = 0;
    w->GetKey(k);
    return k;
  }
  std::unique_ptr<Window> w;
};

TEST_F(WindowKeysTest, CloseBoxClosesOnlyWhenReleasedOnIt) {
  time->At(0, Press(12, 5));
  time->At(50, MoveHeld(20, 9));
  time->At(50, Release(20, 9));
  time->At(50, Char('x'));
  EXPECT_EQ(Key(), 'x');
  EXPECT_EQ(Row(5, 11, 13), "[\xfe]");

  time->At(0, Press(13, 5));
  time->At(80, Release(13, 5));
  EXPECT_EQ(Key(), 27);
}

TEST_F(WindowKeysTest, DraggingTheCornerMovesTheWindow) {
  time->At(0, Press(10, 5));
  time->At(50, MoveHeld(12, 6));
  time->At(50, MoveHeld(15, 8));
  time->At(50, Release(15, 8));
  time->At(50, Char('x'));
  EXPECT_EQ(Key(), 'x');
  EXPECT_EQ(w->x1, 15);
  EXPECT_EQ(w->y1, 8);
  EXPECT_EQ(w->x2, 45);
  EXPECT_EQ(CharAt(15, 8), 0xC9);

  w->MakeFixed();
  time->At(0, Press(15, 8));
  time->At(50, MoveHeld(20, 10));
  time->At(50, Release(20, 10));
  time->At(50, Char('y'));
  uint8_t k;
  do k = Key();
  while (k == 1);
  EXPECT_EQ(k, 'y');
  EXPECT_EQ(w->x1, 15);
}

TEST_F(WindowKeysTest, ClickInsidePlacesTheCursor) {
  time->At(0, Press(20, 10));
  EXPECT_EQ(Key(), 5);
  EXPECT_EQ(console::CursorScreenColumn(), 20);
  EXPECT_EQ(console::CursorScreenRow(), 10);
  // A press on the frame away from any bar gives nothing.
  time->At(0, Release(20, 10));
  time->At(300, Press(25, 15));
  time->At(50, Release(25, 15));
  time->At(50, Char('n'));
  uint8_t k;
  do k = Key();
  while (k == 1 || k == 7);
  EXPECT_EQ(k, 'n');
}

TEST_F(WindowKeysTest, HeldScrollBarRepeatsAfterTheLongDelay) {
  w->Done();
  w = std::make_unique<Window>(10, 5, 40, 15);
  w->ShowVBar(0);
  w->ShowHBar(0);
  w->Draw();
  // Vertical track rows 6..13; its lower half starts at row 10.
  time->At(0, Press(40, 12));
  time->At(1000, Release(40, 12));
  std::vector<long long> at;
  uint8_t k;
  while ((k = Key()) == 209) at.push_back(time->nowMs);
  ASSERT_GE(at.size(), 5u);
  EXPECT_GT(at[1] - at[0], 480);
  EXPECT_LT(at[1] - at[0], 520);
  for (size_t i = 2; i < at.size(); ++i) {
    EXPECT_GT(at[i] - at[i - 1], 80);
    EXPECT_LT(at[i] - at[i - 1], 120);
  }

  struct {
    int x, y, code;
  } hits[] = {{40, 5, 200}, {40, 14, 208}, {40, 7, 201}, {10, 15, 203},
              {38, 15, 205}, {12, 15, 243}, {30, 15, 244}};
  for (auto h : hits) {
    SetMousePos(h.x, h.y);
    EXPECT_EQ(w->ScrollBarHit(), h.code) << h.x << "," << h.y;
    EXPECT_EQ(w->OnScrollBar, 1);
  }
  SetMousePos(20, 10);
  EXPECT_EQ(w->ScrollBarHit(), 0);
}

TEST(TimerTest, Helpers) {
  Timer a{10, 0, 0, 5}, b{9, 59, 59, 95};
  EXPECT_EQ(HundredthsBetween(a, b), 10);
  EXPECT_EQ(HundredthsBetween(b, a), -10);
  EXPECT_EQ(ToneFrequency(0, 1), 33);
  EXPECT_EQ(ToneFrequency(2, 10), 219);
}

}  // namespace
}  // namespace ui
