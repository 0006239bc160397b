#include "console/keyboard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <string>

#include "platform/terminal.h"

namespace console {
namespace {

using platform::MakeKeyStroke;

class ConsoleKeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    auto t = std::make_unique<platform::HeadlessTerminal>();
    term_ = t.get();
    previous_ = platform::SetTerminal(std::move(t));
    ResetKeyboardInput();
  }
  void TearDown() override {
    ResetKeyboardInput();
    platform::SetTerminal(std::move(previous_));
  }

  platform::HeadlessTerminal* term_ = nullptr;
  std::unique_ptr<platform::Terminal> previous_;
};

// The two-step reading with bit 7 set on the scan code: the same codes as the
// key table for most keys, its own codes where the remapping differs.
TEST_F(ConsoleKeyboardTest, ReadKeyCode) {
  struct Case {
    const char* name;
    std::string bytes;
    int code;
  };
  const Case cases[] = {
      {"F1", "\x1bOP", 187},          {"F10", "\x1b[21~", 196},
      {"Shift+F1", "\x1b[1;2P", 212}, {"Ctrl+F1", "\x1b[1;5P", 222},
      {"Up", "\x1b[A", 200},          {"Home", "\x1b[H", 199},
      {"Del", "\x1b[3~", 211},        {"Shift+Tab", "\x1b[Z", 143},
      {"Ctrl+Left", "\x1b[1;5D", 243}, {"Ctrl+Right", "\x1b[1;5C", 244},
      {"Ctrl+PgDn", "\x1b[6;5~", 246}, {"Ctrl+Home", "\x1b[1;5H", 247},
      {"Alt+Q", "\x1bq", 144},        {"Alt+M", "\x1bm", 178},
      {"F11", "\x1b[23~", 133},
      // where the two-step reading gives other codes than the key table
      {"Alt+F1", "\x1b[1;3P", 232},   {"Alt+F10", "\x1b[21;3~", 241},
      {"Ctrl+Ins", "\x1b[2;5~", 146}, {"Alt+Up", "\x1b[1;3A", 152},
      {"Alt+Down", "\x1b[1;3B", 160},
      // Alt+digits are remapped to 120.. and Shift+Ins is not remapped at
      // all, so these differ from the key table as well.
      {"Alt+1", "\x1b" "1", 248},     {"Alt+5", "\x1b" "5", 252},
      {"Shift+Ins", "\x1b[2;2~", 210},
      // characters
      {"a", "a", 'a'},                {"Enter", "\r", 13},
      {"Esc", "\x1b", 27},            {"o double acute", "\xc5\x91", 139},
  };
  for (const Case& c : cases) {
    ResetKeyboardInput();
    term_->ScriptBytes(c.bytes);
    EXPECT_EQ(ReadKeyCode(), c.code) << c.name;
    EXPECT_FALSE(platform::KeyWaiting()) << c.name;
  }
}

TEST_F(ConsoleKeyboardTest, PushKeyFillsThePendingSlot) {
  PushKey(platform::kFnF3, platform::kStrokeFunction);
  platform::KeyStroke k = 0;
  ASSERT_TRUE(platform::KeyStrokeReady(&k));
  EXPECT_EQ(k, MakeKeyStroke(platform::kFnF3, 0, platform::kStrokeFunction));
  PushKey('q', 0);  // replaces it
  EXPECT_EQ(platform::TakeKeyStroke(), MakeKeyStroke('q', 0, 0));
  EXPECT_FALSE(platform::KeyStrokeReady());
}

TEST_F(ConsoleKeyboardTest, PushKeysOneCharacter) {
  PushKeys("x");
  EXPECT_EQ(PendingKeyText, "x");
  // Waiting code sees a key; once it is taken nothing is left waiting.
  ASSERT_TRUE(platform::KeyStrokeReady());
  EXPECT_EQ(platform::TakeKeyStroke(), MakeKeyStroke('x', 0, 0));
  EXPECT_FALSE(platform::KeyStrokeReady());
}

TEST_F(ConsoleKeyboardTest, PushKeysKeepsTheTextAndTheLastOfFifteen) {
  struct Case {
    std::string text;
    std::string pending;
    int slot;  // the character in the pending slot, -1 for none
  };
  const std::string long300(300, 'k');
  const std::string twenty = "abcdefghijklmnopqrst";
  const Case cases[] = {
      {"abc", "abc", 'c'},
      {twenty, twenty, 'o'},  // the 15th character
      {long300, long300.substr(0, 255), 'k'},
      {std::string("\x82\0z", 3), std::string("\x82\0z", 3), 'z'},  // any byte, 0 too
      {"", "", -1},
  };
  for (const Case& c : cases) {
    ResetKeyboardInput();
    PushKeys(c.text);
    EXPECT_EQ(PendingKeyText, c.pending);
    EXPECT_LE(PendingKeyText.size(), kPendingKeyTextCapacity);
    platform::KeyStroke k = 0;
    if (c.slot < 0) {
      EXPECT_FALSE(platform::KeyStrokeReady());
    } else {
      ASSERT_TRUE(platform::KeyStrokeReady(&k)) << c.text;
      EXPECT_EQ(k, MakeKeyStroke(static_cast<uint8_t>(c.slot), 0, 0)) << c.text;
    }
  }
}

TEST_F(ConsoleKeyboardTest, CtrlCSetsTheBreakFlagAndReadingGoesOn) {
  term_->ScriptBytes("\x03" "a");
  EXPECT_EQ(ReadKeyCode(), 'a');
  EXPECT_TRUE(BreakFlag());
  SetBreakFlag(false);
  EXPECT_FALSE(BreakFlag());
}

TEST_F(ConsoleKeyboardTest, SigintAfterInstallBreakHandlerOnlySetsTheFlag) {
  InstallBreakHandler();
  std::raise(SIGINT);
  EXPECT_TRUE(BreakFlag());
  std::raise(SIGINT);  // still handled: the handler stays
  EXPECT_TRUE(BreakFlag());
}

TEST_F(ConsoleKeyboardTest, ResetClearsPendingTextAndFlag) {
  PushKeys("abc");
  SetBreakFlag(true);
  ResetKeyboardInput();
  EXPECT_TRUE(PendingKeyText.empty());
  EXPECT_FALSE(BreakFlag());
  EXPECT_FALSE(platform::KeyStrokeReady());
}

}  // namespace
}  // namespace console
