#include "platform/keyboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#include "platform/terminal.h"

namespace platform {
namespace {

constexpr uint8_t kShift = kLeftShift;

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    auto t = std::make_unique<HeadlessTerminal>();
    term_ = t.get();
    previous_ = SetTerminal(std::move(t));
    ResetKeyboard();
  }
  void TearDown() override {
    ResetKeyboard();
    SetTerminal(std::move(previous_));
  }

  // Reads character-style while keys are waiting.
  std::vector<int> ReadAllChars() {
    std::vector<int> got;
    while (KeyWaiting()) got.push_back(ReadKeyChar());
    return got;
  }

  HeadlessTerminal* term_ = nullptr;
  std::unique_ptr<Terminal> previous_;
};

// Bytes a terminal sends -> the bytes ReadKeyChar delivers: the character, or
// 0 and the scan code remapped for the modifiers.
TEST_F(KeyboardTest, ReadKeyCharPairs) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"a", "a", {'a'}},
      {"Enter", "\r", {13}},
      {"keypad Enter", "\x1bOM", {13}},
      {"o double acute", "\xc5\x91", {139}},
      {"Ctrl+V", "\x16", {22}},
      {"F1", "\x1bOP", {0, 59}},
      {"Shift+F1", "\x1b[1;2P", {0, 84}},
      {"Ctrl+F1", "\x1b[1;5P", {0, 94}},
      {"Alt+F1", "\x1b[1;3P", {0, 104}},
      {"Ctrl+Alt+F1: Alt first", "\x1b[1;7P", {0, 104}},
      {"Ctrl+Shift+F1: Ctrl before Shift", "\x1b[1;6P", {0, 94}},
      {"F10", "\x1b[21~", {0, 68}},
      {"Alt+F10", "\x1b[21;3~", {0, 113}},
      {"F11", "\x1b[23~", {0, 133}},
      {"Shift+F12", "\x1b[24;2~", {0, 136}},
      {"Ctrl+F11", "\x1b[23;5~", {0, 137}},
      {"Alt+F12", "\x1b[24;3~", {0, 140}},
      {"Alt+1", "\x1b" "1", {0, 120}},
      {"Alt+=", "\x1b=", {0, 131}},
      {"Alt+Q", "\x1bq", {0, 16}},
      {"Alt+Enter", "\x1b\r", {0, 166}},
      {"Alt+keypad /", "\x1bO3o", {0, 164}},
      {"Alt+Home", "\x1b[1;3H", {0, 151}},
      {"Alt+Up", "\x1b[1;3A", {0, 152}},
      {"Alt+Down", "\x1b[1;3B", {0, 160}},
      {"Alt+Del", "\x1b[3;3~", {0, 163}},
      {"Up", "\x1b[A", {0, 72}},
      {"Shift+Home keeps its code", "\x1b[1;2H", {0, 71}},
      {"Shift+Tab", "\x1b[Z", {0, 15}},
      {"Ctrl+Home", "\x1b[1;5H", {0, 119}},
      {"Ctrl+Up", "\x1b[1;5A", {0, 141}},
      {"Ctrl+PgUp", "\x1b[5;5~", {0, 132}},
      {"Ctrl+Left", "\x1b[1;5D", {0, 115}},
      {"Ctrl+keypad 5", "\x1b[1;5E", {0, 143}},
      {"Ctrl+Right", "\x1b[1;5C", {0, 116}},
      {"Ctrl+End", "\x1b[1;5F", {0, 117}},
      {"Ctrl+Down", "\x1b[1;5B", {0, 145}},
      {"Ctrl+PgDn", "\x1b[6;5~", {0, 118}},
      {"Ctrl+Ins", "\x1b[2;5~", {0, 146}},
      {"Ctrl+Del", "\x1b[3;5~", {0, 147}},
      {"Ctrl+keypad *", "\x1bO5j", {0, 150}},
      {"Ctrl+keypad /", "\x1bO5o", {0, 149}},
      {"keypad / is a grey key", "\x1bOo", {0, 53}},
      {"keypad digit", "\x1bOq", {'1'}},
      {"two keys", "\x1bOPx", {0, 59, 'x'}},
  };
  for (const Case& c : cases) {
    ResetKeyboard();
    term_->ScriptBytes(c.bytes);
    EXPECT_EQ(ReadAllChars(), c.expected) << c.name;
  }
}

TEST_F(KeyboardTest, ScanCodeFollowsWithoutWaiting) {
  term_->ScriptBytes("\x1bOP");
  EXPECT_EQ(ReadKeyChar(), 0);
  // Nothing is left at the terminal, yet the scan code is there.
  EXPECT_TRUE(KeyWaiting());
  EXPECT_EQ(ReadKeyChar(), 59);
  EXPECT_FALSE(KeyWaiting());
}

// The scan-code remapping, row by row; keys a row does not name keep their
// code, and a held Alt decides even when its row has no entry.
TEST(ScanRemap, Table) {
  struct Case {
    uint8_t scan, shift, expected;
  };
  const Case cases[] = {
      {2, kAlt, 120},   {11, kAlt, 129},   {13, kAlt, 131},  {59, kAlt, 104},  {68, kAlt, 113},
      {87, kAlt, 139},  {88, kAlt, 140},   {71, kAlt, 151},  {72, kAlt, 152},  {73, kAlt, 153},
      {75, kAlt, 155},  {77, kAlt, 157},   {79, kAlt, 159},  {83, kAlt, 163},  {28, kAlt, 166},
      {53, kAlt, 164},  {76, kAlt, 76},    {15, kAlt, 15},   {15, kAlt | kCtrl, 15},
      {15, kCtrl, 148}, {59, kCtrl, 94},   {68, kCtrl, 103}, {87, kCtrl, 137}, {88, kCtrl, 138},
      {53, kCtrl, 149}, {55, kCtrl, 150},  {71, kCtrl, 119}, {72, kCtrl, 141}, {73, kCtrl, 132},
      {74, kCtrl, 142}, {75, kCtrl, 115},  {76, kCtrl, 143}, {77, kCtrl, 116}, {78, kCtrl, 78},
      {79, kCtrl, 117}, {80, kCtrl, 145},  {81, kCtrl, 118}, {82, kCtrl, 146}, {83, kCtrl, 147},
      {59, kShift, 84}, {68, kRightShift, 93}, {87, kShift, 135}, {88, kShift, 136},
      {87, 0, 133},     {88, 0, 134},      {59, 0, 59},      {72, kShift, 72}, {30, kAlt, 30},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RemapScanCode(c.scan, c.shift), c.expected)
        << "scan " << int(c.scan) << " shift " << int(c.shift);
}

TEST(ScanRemap, FunctionKeyCodes) {
  struct Case {
    uint8_t scan;
    uint16_t expected;
  };
  const Case cases[] = {
      {59, kFnF1},   {68, kFnF10},  {84, kFnF1},  {93, kFnF10}, {94, kFnF1},   {103, kFnF10},
      {104, kFnF1},  {113, kFnF10}, {133, kFnF11}, {134, kFnF12}, {136, kFnF12}, {137, kFnF11},
      {140, kFnF12}, {71, kFnHome}, {72, kFnUp},  {73, kFnPgUp}, {75, kFnLeft}, {76, kFnCentre},
      {77, kFnRight}, {79, kFnEnd}, {80, kFnDown}, {81, kFnPgDn}, {82, kFnIns}, {83, kFnDel},
      {74, 0},       {78, 0},       {114, 0},     {15, 0},      {30, 0},
      // 87 is F11's own scan code but also Shift+F4 remapped: F11 has to be
      // remapped (to 133) before it gets its function-key code.
      {87, kFnF4},
  };
  for (const Case& c : cases) EXPECT_EQ(FunctionKeyOfScan(c.scan), c.expected) << int(c.scan);
}

// Bytes -> the event-style stroke.
TEST_F(KeyboardTest, KeyStrokeKinds) {
  struct Case {
    const char* name;
    std::string bytes;
    KeyStroke expected;
  };
  const Case cases[] = {
      {"a", "a", MakeKeyStroke('a' | 30 << 8, 0, kStrokeChar)},
      {"Ctrl+A", "\x01", MakeKeyStroke(1 | 30 << 8, kCtrl, kStrokeChar)},
      {"o double acute", "\xc5\x91", MakeKeyStroke(139 | 26 << 8, 0, kStrokeChar)},
      {"F1", "\x1bOP", MakeKeyStroke(kFnF1, 0, kStrokeFunction)},
      {"Shift+F1", "\x1b[1;2P", MakeKeyStroke(kFnF1, kShift, kStrokeFunction)},
      {"Alt+F10", "\x1b[21;3~", MakeKeyStroke(kFnF10, kAlt, kStrokeFunction)},
      {"F11", "\x1b[23~", MakeKeyStroke(kFnF11, 0, kStrokeFunction)},
      {"Ctrl+F12", "\x1b[24;5~", MakeKeyStroke(kFnF12, kCtrl, kStrokeFunction)},
      {"Ctrl+Left", "\x1b[1;5D", MakeKeyStroke(kFnLeft, kCtrl, kStrokeFunction)},
      {"Ctrl+PgDn", "\x1b[6;5~", MakeKeyStroke(kFnPgDn, kCtrl, kStrokeFunction)},
      {"Alt+Up", "\x1b[1;3A", MakeKeyStroke(kFnUp, kAlt, kStrokeFunction)},
      {"Shift+Ins", "\x1b[2;2~", MakeKeyStroke(kFnIns, kShift, kStrokeFunction)},
      {"keypad 5", "\x1b[E", MakeKeyStroke(kFnCentre, 0, kStrokeFunction)},
      {"Del", "\x1b[3~", MakeKeyStroke(kFnDel, 0, kStrokeFunction)},
      {"Alt+Q", "\x1bq", MakeKeyStroke(0x1000, kAlt, kStrokePhysical)},
      {"Alt+M", "\x1bm", MakeKeyStroke(0x3200, kAlt, kStrokePhysical)},
      {"Alt+1", "\x1b" "1", MakeKeyStroke(0x7800, kAlt, kStrokePhysical)},
      {"Alt+5", "\x1b" "5", MakeKeyStroke(0x7C00, kAlt, kStrokePhysical)},
      {"Alt+0", "\x1b" "0", MakeKeyStroke(0x8100, kAlt, kStrokePhysical)},
      {"Shift+Tab", "\x1b[Z", MakeKeyStroke(0x0F00, kShift, kStrokePhysical)},
      {"Alt+Enter", "\x1b\r", MakeKeyStroke(0x1C00, kAlt, kStrokePhysical)},
      {"Ctrl+@", std::string(1, '\0'), MakeKeyStroke(0x0300, kCtrl, kStrokePhysical)},
  };
  for (const Case& c : cases) {
    ResetKeyboard();
    term_->ScriptBytes(c.bytes);
    KeyStroke peeked = 0;
    ASSERT_TRUE(KeyStrokeReady(&peeked)) << c.name;
    EXPECT_EQ(peeked, c.expected) << c.name;
    EXPECT_EQ(TakeKeyStroke(), c.expected) << c.name;
    EXPECT_FALSE(KeyStrokeReady()) << c.name;
  }
}

TEST_F(KeyboardTest, StrokeFieldAccessors) {
  const KeyStroke k = MakeKeyStroke(0x1E41, kCtrl | kAlt, kStrokePhysical);
  EXPECT_EQ(StrokeChar(k), 0x41);
  EXPECT_EQ(StrokeScan(k), 0x1E);
  EXPECT_EQ(StrokeCode(k), 0x1E41);
  EXPECT_EQ(StrokeShift(k), kCtrl | kAlt);
  EXPECT_EQ(StrokeKind(k), kStrokePhysical);
  EXPECT_EQ(k, 0x030C1E41u);
}

TEST_F(KeyboardTest, PlacedStrokeComesFirstAndIsReplaced) {
  term_->ScriptBytes("x");
  PlaceKeyStroke(MakeKeyStroke('a', 0, kStrokeChar));
  PlaceKeyStroke(MakeKeyStroke(kFnF2, 0, kStrokeFunction));  // replaces 'a'
  KeyStroke peeked = 0;
  ASSERT_TRUE(KeyStrokeReady(&peeked));
  EXPECT_EQ(peeked, MakeKeyStroke(kFnF2, 0, kStrokeFunction));
  EXPECT_EQ(TakeKeyStroke(), MakeKeyStroke(kFnF2, 0, kStrokeFunction));
  EXPECT_EQ(StrokeChar(TakeKeyStroke()), 'x');
  EXPECT_FALSE(KeyStrokeReady());
}

TEST_F(KeyboardTest, PlacedStrokeIsNotReadCharacterStyle) {
  PlaceKeyStroke(MakeKeyStroke('a', 0, kStrokeChar));
  EXPECT_FALSE(KeyWaiting());
  EXPECT_TRUE(KeyStrokeReady());
}

TEST_F(KeyboardTest, MouseEventsGoToTheirOwnQueue) {
  term_->ScriptBytes("\x1b[<0;10;5Mx\x1b[<0;10;5m");
  // The key reader sees only the key, the mouse reader both reports in order.
  EXPECT_EQ(ReadAllChars(), std::vector<int>{'x'});
  MouseEvent m;
  ASSERT_TRUE(MouseEventWaiting());
  ASSERT_TRUE(TakeMouseEvent(m));
  EXPECT_EQ(m.buttons, 1);
  EXPECT_EQ(m.column, 9);
  EXPECT_EQ(m.row, 4);
  EXPECT_EQ(m.action, kMouseDown);
  ASSERT_TRUE(TakeMouseEvent(m));
  EXPECT_EQ(m.buttons, 0);
  EXPECT_EQ(m.action, kMouseUp);
  EXPECT_FALSE(TakeMouseEvent(m));
  EXPECT_FALSE(MouseEventWaiting());
}

TEST_F(KeyboardTest, UnreadMouseEventsDoNotPileUp) {
  for (int i = 0; i < 300; ++i) {
    InputEvent e;
    e.type = InputEvent::kMouse;
    e.mouse.column = static_cast<uint16_t>(i);
    e.mouse.action = kMouseMove;
    term_->ScriptEvent(e);
  }
  term_->ScriptBytes("k");
  // Each look at the keys takes in what the terminal has ready, in bounded
  // portions.
  for (int polls = 0; polls < 10 && !KeyWaiting(); ++polls) {
  }
  ASSERT_TRUE(KeyWaiting());
  int count = 0;
  MouseEvent m;
  uint16_t first = 0, last = 0;
  while (TakeMouseEvent(m)) {
    if (count++ == 0) first = m.column;
    last = m.column;
  }
  EXPECT_LT(count, 300);
  EXPECT_EQ(last, 299);  // the newest are kept
  EXPECT_EQ(first, 300 - count);
}

TEST_F(KeyboardTest, BreakEventSetsTheFlagAndIsNoKey) {
  term_->ScriptBytes("\x03");
  EXPECT_FALSE(KeyWaiting());
  EXPECT_FALSE(KeyStrokeReady());
  EXPECT_TRUE(BreakFlag());
  SetBreakFlag(false);
  EXPECT_FALSE(BreakFlag());
}

TEST_F(KeyboardTest, SigintSetsTheBreakFlagAndTheProgramGoesOn) {
  InstallBreakSignal();
  ASSERT_FALSE(BreakFlag());
  std::raise(SIGINT);
  EXPECT_TRUE(BreakFlag());
}

TEST_F(KeyboardTest, ResizeIsReportedOnce) {
  InputEvent e;
  e.type = InputEvent::kResize;
  term_->ScriptEvent(e);
  EXPECT_TRUE(TakeResize());
  EXPECT_FALSE(TakeResize());
}

// Alt held while keypad digits are typed: the digits form one character,
// delivered when the next other key comes.
TEST_F(KeyboardTest, AltKeypadDigitsFormOneCharacter) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"Alt 1 3 0", "\x1b\x1bOq\x1b\x1bOs\x1b\x1bOpx", {130, 'x'}},
      {"modifier form", "\x1bO3q\x1bO3s\x1bO3px", {130, 'x'}},
      {"modulo 256", "\x1b\x1bOs\x1b\x1bOp\x1b\x1bOpx", {44, 'x'}},  // 300 - 256
      {"code 0 gives nothing", "\x1b\x1bOpx", {'x'}},
      {"two codes around a key", "\x1b\x1bOw\x1b\x1bOsx\x1b\x1bOu\x1b\x1bOpy", {73, 'x', 50, 'y'}},
      {"keypad centre with Alt is 5", "\x1b\x1bOr\x1b[1;3Ex", {25, 'x'}},
      {"without Alt the digits are keys", "\x1bOq\x1bOs", {'1', '3'}},
      {"grey cursor keys are no digits", "\x1b[1;3Hx", {0, 151, 'x'}},
      {"Ctrl+Alt digits are no digits", "\x1bO7qx", {0, 159, 'x'}},
  };
  for (const Case& c : cases) {
    ResetKeyboard();
    term_->ScriptBytes(c.bytes);
    EXPECT_EQ(ReadAllChars(), c.expected) << c.name;
  }
}

TEST_F(KeyboardTest, AltKeypadDigitsBeforeAMouseEvent) {
  term_->ScriptBytes("\x1b\x1bOt\x1b\x1bOp\x1b[<0;1;1M");
  EXPECT_EQ(ReadAllChars(), std::vector<int>{40});
  EXPECT_TRUE(MouseEventWaiting());
}

TEST_F(KeyboardTest, AltKeypadDigitsAfterAPause) {
  SetAltDigitsPauseMs(30);
  term_->ScriptBytes("\x1b\x1bOt\x1b\x1bOp");
  EXPECT_FALSE(KeyWaiting());  // Alt may still be held
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_TRUE(KeyWaiting());
  const KeyStroke k = TakeKeyStroke();
  EXPECT_EQ(StrokeChar(k), 40);
  EXPECT_EQ(StrokeKind(k), kStrokeChar);
}

TEST_F(KeyboardTest, ReadKeyCharWaitsOutTheAltPause) {
  SetAltDigitsPauseMs(30);
  term_->ScriptBytes("\x1b\x1bOq\x1b\x1bOp");
  // Nothing else comes: the read returns once the pause is over.
  EXPECT_EQ(ReadKeyChar(), 10);
}

TEST_F(KeyboardTest, ResetDropsEverything) {
  term_->ScriptBytes("\x1bOPab\x03\x1b[<0;1;1M");
  EXPECT_EQ(ReadKeyChar(), 0);
  PlaceKeyStroke(1);
  SetAltDigitsPauseMs(5);
  ResetKeyboard();
  EXPECT_FALSE(KeyWaiting());
  EXPECT_FALSE(KeyStrokeReady());
  EXPECT_FALSE(MouseEventWaiting());
  EXPECT_FALSE(BreakFlag());
}

}  // namespace
}  // namespace platform
