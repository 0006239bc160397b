#include "ui/keycode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/terminal.h"

namespace ui {
namespace {

using namespace platform;

// Bytes as terminals send them, through the decoder and the keyboard layer,
// to the one-byte key code.
class KeyCodeTest : public testing::Test {
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

  // The key codes of everything the bytes give.
  std::vector<int> CodesOf(const std::string& bytes) {
    ResetKeyboard();
    term_->ScriptBytes(bytes);
    std::vector<int> codes;
    while (KeyStrokeReady()) codes.push_back(KeyCodeOf(TakeKeyStroke()));
    return codes;
  }

  HeadlessTerminal* term_ = nullptr;
  std::unique_ptr<Terminal> previous_;
};

struct Row {
  const char* key;
  int code;
  std::vector<std::string> forms;  // xterm / tmux, VT220, rxvt, Linux console ...
};

// Every row of the system's key table.
const std::vector<Row>& KeyTable() {
  static const std::vector<Row> rows = {
      {"F1", 187, {"\x1bOP", "\x1b[11~", "\x1b[[A"}},
      {"F2", 188, {"\x1bOQ", "\x1b[12~", "\x1b[[B"}},
      {"F3", 189, {"\x1bOR", "\x1b[13~", "\x1b[[C"}},
      {"F4", 190, {"\x1bOS", "\x1b[14~", "\x1b[[D"}},
      {"F5", 191, {"\x1b[15~", "\x1b[[E"}},
      {"F6", 192, {"\x1b[17~"}},
      {"F7", 193, {"\x1b[18~"}},
      {"F8", 194, {"\x1b[19~"}},
      {"F9", 195, {"\x1b[20~"}},
      {"F10", 196, {"\x1b[21~"}},
      {"Shift+F1", 212, {"\x1b[1;2P", "\x1bO2P"}},
      {"Shift+F2", 213, {"\x1b[1;2Q"}},
      {"Shift+F3", 214, {"\x1b[1;2R", "\x1b[25~"}},
      {"Shift+F4", 215, {"\x1b[1;2S", "\x1b[26~"}},
      {"Shift+F5", 216, {"\x1b[15;2~", "\x1b[28~"}},
      {"Shift+F6", 217, {"\x1b[17;2~", "\x1b[29~"}},
      {"Shift+F7", 218, {"\x1b[18;2~", "\x1b[31~"}},
      {"Shift+F8", 219, {"\x1b[19;2~", "\x1b[32~"}},
      {"Shift+F9", 220, {"\x1b[20;2~", "\x1b[33~"}},
      {"Shift+F10", 221, {"\x1b[21;2~", "\x1b[34~"}},
      {"Ctrl+F1", 222, {"\x1b[1;5P", "\x1b[11^"}},
      {"Ctrl+F2", 223, {"\x1b[1;5Q", "\x1b[12^"}},
      {"Ctrl+F3", 224, {"\x1b[1;5R"}},
      {"Ctrl+F4", 225, {"\x1b[1;5S"}},
      {"Ctrl+F5", 226, {"\x1b[15;5~", "\x1b[15^"}},
      {"Ctrl+F6", 227, {"\x1b[17;5~"}},
      {"Ctrl+F7", 228, {"\x1b[18;5~"}},
      {"Ctrl+F8", 229, {"\x1b[19;5~"}},
      {"Ctrl+F9", 230, {"\x1b[20;5~"}},
      {"Ctrl+F10", 231, {"\x1b[21;5~", "\x1b[21^"}},
      {"Alt+F1", 132, {"\x1b[1;3P", "\x1b\x1bOP", "\x1b\x1b[11~"}},
      {"Alt+F2", 133, {"\x1b[1;3Q"}},
      {"Alt+F3", 134, {"\x1b[1;3R"}},
      {"Alt+F4", 135, {"\x1b[1;3S"}},
      {"Alt+F5", 136, {"\x1b[15;3~"}},
      {"Alt+F6", 137, {"\x1b[17;3~"}},
      {"Alt+F7", 138, {"\x1b[18;3~"}},
      {"Alt+F8", 139, {"\x1b[19;3~"}},
      {"Alt+F9", 140, {"\x1b[20;3~"}},
      {"Alt+F10", 141, {"\x1b[21;3~", "\x1b\x1b[21~"}},
      {"Shift+Tab", 143, {"\x1b[Z"}},
      {"Ctrl+Left", 243, {"\x1b[1;5D", "\x1bO5D", "\x1bOd"}},
      {"Ctrl+Right", 244, {"\x1b[1;5C", "\x1bOc"}},
      {"Ctrl+PgDn", 246, {"\x1b[6;5~", "\x1b[6^"}},
      {"Ctrl+Home", 247, {"\x1b[1;5H", "\x1b[1;5~", "\x1b[7^"}},
      {"Ctrl+Ins", 241, {"\x1b[2;5~", "\x1b[2^"}},
      {"Shift+Ins", 242, {"\x1b[2;2~", "\x1b[2$"}},
      {"Home", 199, {"\x1b[H", "\x1bOH", "\x1b[1~", "\x1b[7~"}},
      {"Up", 200, {"\x1b[A", "\x1bOA"}},
      {"PgUp", 201, {"\x1b[5~"}},
      {"Left", 203, {"\x1b[D", "\x1bOD"}},
      {"Right", 205, {"\x1b[C", "\x1bOC"}},
      {"End", 207, {"\x1b[F", "\x1bOF", "\x1b[4~", "\x1b[8~"}},
      {"Down", 208, {"\x1b[B", "\x1bOB"}},
      {"PgDn", 209, {"\x1b[6~"}},
      {"Ins", 210, {"\x1b[2~"}},
      {"Del", 211, {"\x1b[3~"}},
      {"Alt+Up", 248, {"\x1b[1;3A", "\x1b\x1b[A", "\x1b\x1bOA"}},
      {"Alt+Down", 249, {"\x1b[1;3B", "\x1b\x1b[B"}},
      {"Alt+Q", 144, {"\x1bq", "\x1bQ"}},
      {"Alt+W", 145, {"\x1bw"}},
      {"Alt+P", 153, {"\x1bp"}},
      {"Alt+A", 158, {"\x1b" "a"}},
      {"Alt+L", 166, {"\x1bl"}},
      {"Alt+Z", 172, {"\x1bz"}},
      {"Alt+M", 178, {"\x1bm"}},
      {"Alt+1", 250, {"\x1b" "1"}},
      {"Alt+2", 251, {"\x1b" "2"}},
      {"Alt+3", 252, {"\x1b" "3"}},
      {"Alt+4", 253, {"\x1b" "4"}},
      {"Alt+5", 254, {"\x1b" "5"}},
      {"Enter", 13, {"\r"}},
      {"Esc", 27, {"\x1b"}},
      {"Backspace", 8, {"\x7f", "\x08"}},
      {"Tab", 9, {"\t"}},
      {"Ctrl+A", 1, {"\x01"}},
      {"Ctrl+Z", 26, {"\x1a"}},
      // The event reader turns the character 22 into 242.
      {"Ctrl+V", 22, {"\x16"}},
      {"o double acute", 139, {"\xc5\x91"}},
      {"U double acute", 0xEB, {"\xc5\xb0"}},
      // Keys the table has no code for.
      {"F11", 0, {"\x1b[23~"}},
      {"Ctrl+Alt+F1", 0, {"\x1b[1;7P"}},
      {"Shift+Ctrl+Left", 0, {"\x1b[1;6D"}},
      {"Ctrl+Up", 0, {"\x1b[1;5A"}},
      {"Alt+6", 0, {"\x1b" "6"}},
      {"Shift+Home", 0, {"\x1b[1;2H"}},
      {"keypad 5", 0, {"\x1b[E"}},
  };
  return rows;
}

TEST_F(KeyCodeTest, EveryRowOfTheKeyTable) {
  for (const Row& row : KeyTable()) {
    for (const std::string& form : row.forms) {
      // (The Shift+F forms without a modifier parameter are rxvt's; the
      // Linux console numbers them differently, see the decoder's tests.)
      EXPECT_EQ(CodesOf(form), std::vector<int>{row.code})
          << row.key << " from " << testing::PrintToString(form);
    }
  }
}

TEST_F(KeyCodeTest, AllAltLetters) {
  // Alt+letter is 128 + the letter key's scan code (Q 16 .. M 50).
  const std::string rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const int firstScan[] = {16, 30, 44};
  for (int r = 0; r < 3; ++r) {
    for (size_t i = 0; i < rows[r].size(); ++i) {
      EXPECT_EQ(CodesOf(std::string("\x1b") + rows[r][i]),
                std::vector<int>{128 + firstScan[r] + static_cast<int>(i)})
          << rows[r][i];
    }
  }
}

TEST_F(KeyCodeTest, CtrlLettersAreTheirControlCodes) {
  for (int c = 1; c <= 26; ++c) {
    if (c == 3) continue;  // Ctrl+C is the break event
    EXPECT_EQ(CodesOf(std::string(1, static_cast<char>(c))), std::vector<int>{c}) << c;
  }
}

TEST_F(KeyCodeTest, CtrlCIsNoKeyButTheBreakFlag) {
  EXPECT_TRUE(CodesOf("\x03").empty());
  EXPECT_TRUE(BreakFlag());
}

TEST_F(KeyCodeTest, ManyKeysInOneRead) {
  EXPECT_EQ(CodesOf("\x1bOP\x1b[1;2P\x1b[1;5P\x1b[1;3Pa\x1bq\x1b" "1\x1b[2;5~\x1b[2;2~"),
            (std::vector<int>{187, 212, 222, 132, 'a', 144, 250, 241, 242}));
}

// Strokes built by hand (a key pushed back, another platform's layer): only
// the shift state and the value count, not how they were typed.
TEST(KeyCodeOfStroke, ShiftStatesAndValues) {
  struct Case {
    KeyStroke stroke;
    int code;
  };
  const Case cases[] = {
      {MakeKeyStroke(kFnF1, kLeftShift, kStrokeFunction), 212},
      {MakeKeyStroke(kFnF1, kRightShift, kStrokeFunction), 212},
      {MakeKeyStroke(kFnF1, kLeftShift | kRightShift, kStrokeFunction), 212},
      {MakeKeyStroke(kFnF1, kLeftShift | kCtrl, kStrokeFunction), 0},
      {MakeKeyStroke(kFnF10, kCtrl, kStrokeFunction), 231},
      {MakeKeyStroke(kFnF10, kAlt, kStrokeFunction), 141},
      {MakeKeyStroke(kFnDel, 0, kStrokeFunction), 211},
      {MakeKeyStroke(kFnCentre, 0, kStrokeFunction), 0},
      {MakeKeyStroke(kFnF11, 0, kStrokeFunction), 0},
      {MakeKeyStroke(0x0F00, kRightShift, kStrokePhysical), 143},
      {MakeKeyStroke(0x0F00, 0, kStrokePhysical), 0},
      {MakeKeyStroke(0x1000, kAlt, kStrokePhysical), 144},
      {MakeKeyStroke(0x3200, kAlt, kStrokePhysical), 178},
      {MakeKeyStroke(0x1000, kAlt | kCtrl, kStrokePhysical), 0},
      {MakeKeyStroke(0x7800, kAlt, kStrokePhysical), 250},
      {MakeKeyStroke(0x7C00, kAlt, kStrokePhysical), 254},
      {MakeKeyStroke(0x7D00, kAlt, kStrokePhysical), 0},
      {MakeKeyStroke(0x0F00, kAlt, kStrokePhysical), 0},
      // The character wins over everything else.
      {MakeKeyStroke('x' | 45 << 8, kAlt, kStrokeChar), 'x'},
      {MakeKeyStroke(0xA0, 0, kStrokeChar), 0xA0},
      // A function key's low byte is no character.
      {MakeKeyStroke(kFnF2, 0, kStrokeFunction), 188},
      {0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeyCodeOf(c.stroke), c.code) << std::hex << "stroke 0x" << c.stroke;
}

}  // namespace
}  // namespace ui
