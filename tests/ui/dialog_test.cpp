#include "ui/dialog.h"

#include <gtest/gtest.h>

#include "text/literal.h"
#include "ui/ui_fixture.h"

namespace ui {
namespace {

using namespace testing;
using namespace text::literals;

class DialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ResetDialogs();
  }
  // Input at once, one event after another.
  void Input(std::initializer_list<platform::InputEvent> events) {
    for (const auto& e : events) time->At(0, e);
    time->Deliver();
  }
};

const platform::InputEvent kEnter = Char(13), kEsc = Char(27);

TEST_F(DialogTest, PromptAnswers) {
  struct Case {
    const char* buttons;
    size_t buttonsLen;
    std::vector<platform::InputEvent> keys;
    int answer;
  } cases[] = {
      {"IN", 2, {Char('I')}, 1},
      {"IN", 2, {Char('i')}, 1},
      {"IN", 2, {Char('n')}, 2},
      {"IN", 2, {kEnter}, 1},
      {"IN", 2, {kEsc}, 0},
      {"IN", 2, {Char('x'), Key(platform::scan::kF1), Char('N')}, 2},  // others are ignored
      {"NI", 2, {Char('N')}, 1},
      {"NI", 2, {Char('i')}, 2},
      {"NI", 2, {kEnter}, 1},
      {"INS", 3, {kEsc}, 3},
      {"INS", 3, {Char('n')}, 2},
      {"", 0, {Char('x')}, 1},  // "Tovább": any key but Esc
      {"", 0, {kEnter}, 1},
      {"", 0, {kEsc}, 0},
      {"ab~c~d", 6, {Char('a'), Char('c')}, 1},  // the marked letter answers
      {"Ok\0\x1b" "Vissza", 10, {kEsc}, 2},      // a caption answering Esc keeps its number
      {"Ok\0\x1b" "Vissza", 10, {Char('V'), Char('O')}, 1},
      {"\xa0rva\0\x82rt", 8, {Char(0x90)}, 2},  // accented hot letters, upper-cased: é -> É
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.buttons, c.buttonsLen) + " / " + std::to_string(&c - cases));
    FillPattern();
    const auto before = Screen();
    for (const auto& k : c.keys) time->At(0, k);
    time->Deliver();
    EXPECT_EQ(Prompt("K\x82rd\x82s?", std::string_view(c.buttons, c.buttonsLen)), c.answer);
    EXPECT_EQ(Screen(), before);
    EXPECT_EQ(TopWindow, nullptr);
    EXPECT_FALSE(platform::KeyStrokeReady());
  }
}

// A literal with its 0 bytes.
template <size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// What Prompt built, seen while it waits for the answer.
struct Built {
  int lines = 0;
  std::vector<std::string> captions;
  std::vector<int> keys;
};
Built built;
void NoteDialog() {
  auto* d = dynamic_cast<Dialog*>(TopWindow);
  if (!d) return;
  built.lines = d->LineCount;
  built.captions.clear();
  built.keys.clear();
  for (int i = 0; i < d->ButtonCount; ++i) {
    built.captions.push_back(d->Buttons[i]->Caption);
    built.keys.push_back(d->Buttons[i]->Key);
  }
}

TEST_F(DialogTest, PromptSplitsLinesAndButtons) {
  struct Case {
    std::string text, buttons;
    int lines;
    std::vector<std::string> captions;
    std::vector<int> keys;
  } cases[] = {
      {"Egy\nKett\x8b", "IN", 2, {"~I~gen", "~N~em"}, {'I', 'N'}},
      {Bytes("Egy\0Kett\x8b\0"), "NI", 2, {"~N~em", "~I~gen"}, {'N', 'I'}},
      {"", "INS", 1, {"~I~gen", "~N~em", "ESC"}, {'I', 'N', 27}},
      {Bytes("a\0\0b"), "", 3, {"Tov\xa0" "bb"}, {0}},
      {Bytes("a\0b\nc"), Bytes("ok\0\0*Csillag\0m~e~gse"), 3,
       {"~o~k", "Csillag", "m~e~gse"}, {'O', '*', 'E'}},
  };
  BeforeWaitHook = NoteDialog;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buttons);
    built = Built{};
    time->At(100, kEsc);  // after the dialog has started waiting
    Prompt(c.text, c.buttons);
    EXPECT_EQ(built.lines, c.lines);
    EXPECT_EQ(built.captions, c.captions);
    EXPECT_EQ(built.keys, c.keys);
  }
  BeforeWaitHook = nullptr;
}

TEST_F(DialogTest, LayoutNumbers) {
  Dialog d;
  d.AddLine(std::string(20, 'x'));
  d.AddButton("~I~gen", 'I');
  d.AddButton("~N~em", 'N');
  d.Layout();
  EXPECT_EQ(d.x1, 30);
  EXPECT_EQ(d.x2, 51);
  EXPECT_EQ(d.y1, 10);
  EXPECT_EQ(d.y2, 16);
  EXPECT_EQ(d.ButtonOffset, 3);
  EXPECT_EQ(d.Buttons[0]->x1, 33);
  EXPECT_EQ(d.Buttons[1]->x1, 42);
  EXPECT_EQ(d.Buttons[1]->x2, 47);
  EXPECT_EQ(d.Buttons[1]->y1, 14);
  EXPECT_EQ(d.Buttons[1]->Width, 6);

  Dialog many;
  for (int i = 0; i < 30; ++i) many.AddButton("A", 'A');
  for (int i = 0; i < 25; ++i) many.AddLine(std::string(100, 'y'));
  many.Layout();
  EXPECT_EQ(many.ButtonCount, 19);  // 19 x 4 = 76
  EXPECT_EQ(many.LineCount, 19);
  EXPECT_EQ(many.x1, 1);
  EXPECT_EQ(many.x2, 80);
  EXPECT_EQ(many.y1, 1);
  EXPECT_EQ(many.y2, 25);
}

TEST_F(DialogTest, DialogPicture) {
  time->At(0, Char('n'));
  Dialog d;
  d.AddLine("Els\x94 sor");
  d.AddLine("");
  d.AddButton("~I~gen", 'I');
  d.AddButton("~N~em", 'N');
  // Observe the screen while the dialog waits: the key arrives after a while.
  time->scheduled.front().atMs = time->nowMs + 500;
  static std::string shown;
  static std::string attrs;
  SetIdleHook(
      [] {
        if (!shown.empty()) return;
        for (int r = 9; r <= 17; ++r) {
          for (int c = 30; c <= 51; ++c) {
            shown += static_cast<char>(platform::CellChar(platform::CellAt(r, c)));
            attrs += static_cast<char>(platform::CellAttr(platform::CellAt(r, c)));
          }
          shown += '\n';
        }
      },
      10);
  EXPECT_EQ(d.Run(), 'N');
  EXPECT_EQ(d.Chosen, 2);
  // Two lines: rows 9..16; inner width 18 (the buttons: 2 x 9): columns 31..50.
  const auto line = [&](int r) { return shown.substr(static_cast<size_t>((r - 9) * 23), 22); };
  EXPECT_EQ(line(9), " \xc9[\xfe]" + std::string(15, '\xcd') + "\xbb" + line(9).substr(21));
  EXPECT_EQ(line(16).substr(1, 20), "\xc8" + std::string(18, '\xcd') + "\xbc");
  EXPECT_EQ(line(14).substr(33 - 30, 7), " Igen \xdc");
  EXPECT_EQ(line(15).substr(34 - 30, 6), "\xdf\xdf\xdf\xdf\xdf\xdf");
  EXPECT_EQ(line(11).substr(37 - 30, 8), "Els\x94 sor");  // centred: 31 + (20 - 8) div 2
  EXPECT_EQ(static_cast<uint8_t>(attrs[(14 - 9) * 22 + 4]), ResolveColour(ButtonHotColour));  // I
  EXPECT_EQ(static_cast<uint8_t>(attrs[(14 - 9) * 22 + 5]), ResolveColour(ButtonColour));     // g
  EXPECT_EQ(static_cast<uint8_t>(attrs[(11 - 9) * 22 + 7]), ResolveColour(DialogColour));
}

TEST_F(DialogTest, DefaultFirstDrawsTheFirstButtonPressed) {
  time->At(0, kEnter);
  time->scheduled.front().atMs = time->nowMs + 300;
  static std::string row;
  SetIdleHook(
      [] {
        if (row.empty())
          for (int c = 33; c <= 39; ++c) row += static_cast<char>(platform::CellChar(platform::CellAt(14, c)));
      },
      10);
  EXPECT_EQ(PromptDefaultFirst(std::string(20, 'x'), "IN"), 1);
  EXPECT_EQ(row, "  Igen ");  // moved one column right, no shadow end
  EXPECT_EQ(DefaultFirst, 0);
}

TEST_F(DialogTest, ButtonFaces) {
  console::FillRect(1, 1, 80, 25, ' ', ResolveColour(DialogColour));
  DialogButton b;
  b.SetButton("~O~k", 'O');
  b.Width = 8;  // as the layout makes it: "Ok" centred in 8 columns
  b.PlaceButton(10, 5);
  b.DrawButton(false);
  EXPECT_EQ(Row(5, 10, 18), "   Ok   \xdc");
  EXPECT_EQ(Row(6, 11, 18), std::string(8, '\xdf'));
  EXPECT_EQ(AttrAt(13, 5), ResolveColour(ButtonHotColour));
  EXPECT_EQ(AttrAt(14, 5), ResolveColour(ButtonColour));
  EXPECT_EQ(AttrAt(18, 5), ResolveColour(ButtonShadowColour));
  b.DrawButton(false);  // already so: nothing drawn
  b.SetFocus(true);     // every letter bright, arrows in the blank ends
  EXPECT_EQ(Row(5, 10, 17), "\x10  Ok  \x11");
  EXPECT_EQ(AttrAt(14, 5), ResolveColour(ButtonHotColour));
  b.DrawButton(true);  // pressed: one column right, the shadow gone
  EXPECT_EQ(Row(5, 10, 18), " \x10  Ok  \x11");
  EXPECT_EQ(AttrAt(10, 5), ResolveColour(DialogColour));
  EXPECT_EQ(Row(6, 11, 18), std::string(8, ' '));
  EXPECT_EQ(b.DrawnAs, 2);
}

TEST_F(DialogTest, FlashMessage) {
  FillPattern();
  const auto before = Screen();
  console::SetTextAttr(0x1E);
  static std::string seen;
  struct Watch : FakeTime {
    using FakeTime::FakeTime;
    void Sleep(int ms) override {
      if (seen.empty()) seen = Row(12, 36, 42);
      FakeTime::Sleep(ms);
    }
  } watch(term);
  SetTimeSource(&watch);
  seen.clear();
  const long long t0 = watch.nowMs;
  FlashMessage("abc", 500);  // 40 - round(1.5) = 38
  EXPECT_EQ(seen.substr(2, 3), "abc");
  EXPECT_EQ(watch.nowMs - t0, 500);
  EXPECT_EQ(Screen(), before);
  EXPECT_EQ(console::GetTextAttr(), 0x1E);

  seen.clear();
  FlashMessage("abcd", 10);  // 40 - 2
  EXPECT_EQ(seen.substr(2, 4), "abcd");
  const long long t1 = watch.nowMs;
  FlashMessageSeconds("x", 2);
  EXPECT_GE(watch.nowMs - t1, 1500);
  EXPECT_LE(watch.nowMs - t1, 2000);
  EXPECT_EQ(Screen(), before);
  SetTimeSource(time.get());
}

TEST_F(DialogTest, MouseOnButtonsAndCloseBox) {
  WithMouse();
  // Text of 20 characters with "IN": window 30..51 x 10..16, buttons on row
  // 14 at 33..38 and 42..47, close box at 31..33 of row 10.
  const std::string text(20, 'x');
  FillPattern();
  const auto before = Screen();
  time->At(0, Press(44, 14));
  time->At(80, Release(44, 14));
  EXPECT_EQ(Prompt(text, "IN"), 2);
  EXPECT_EQ(Screen(), before);

  // Pressed on "Igen", released off it: nothing is chosen.
  time->At(300, Press(34, 14));
  time->At(50, MoveHeld(34, 12));
  time->At(50, Release(34, 12));
  time->At(300, Char('n'));
  EXPECT_EQ(Prompt(text, "IN"), 2);

  time->At(300, Press(32, 10));
  time->At(80, Release(32, 10));
  EXPECT_EQ(Prompt(text, "IN"), 0);
  EXPECT_EQ(Screen(), before);

  // A click exactly as tmux sends it: press and release at once.
  time->At(300, Press(35, 14));
  time->At(0, Release(35, 14));
  EXPECT_EQ(Prompt(text, "IN"), 1);
}

TEST_F(DialogTest, TimedPrompt) {
  const long long t0 = time->nowMs;
  EXPECT_EQ(PromptTimed("Mehet?", "IN"), 1);
  EXPECT_GE(time->nowMs - t0, 10000);
  EXPECT_LE(time->nowMs - t0, 10300);

  time->At(2000, Char('n'));
  EXPECT_EQ(PromptTimed("Mehet?", "IN"), 2);
  // "NI" is no preset here: its first letter makes one button "NI".
  time->At(500, Char('i'));
  time->At(500, Char('n'));
  EXPECT_EQ(PromptTimed("Mehet?", "NI"), 1);
  EXPECT_EQ(DefaultFirst, 0);
}

TEST_F(DialogTest, StatusMessage) {
  FillPattern();
  const auto before = Screen();
  console::SetTextAttr(0x1E);
  SavedRowRef saved;
  StatusMessage(true, "Let\x94lt\x82s", saved);  // 8 + 2 blanks: column (79 - 10) / 2 + 1 = 35
  EXPECT_EQ(Row(25, 35, 44), " Let\x94lt\x82s ");
  EXPECT_EQ(AttrAt(35, 25), 0x1E);
  EXPECT_EQ(console::GetTextAttr(), 0x1E);
  StatusMessage(false, "", saved);
  EXPECT_FALSE(saved);
  EXPECT_EQ(Screen(), before);

  for (int len : {79, 80, 90}) {
    StatusMessage(true, std::string(len, 'm'), saved);
    EXPECT_EQ(Row(25, 1, std::min(len, 80)), std::string(std::min(len, 80), 'm')) << len;
    StatusMessage(false, "", saved);
  }
  EXPECT_EQ(Screen(), before);
}

TEST_F(DialogTest, TimedNoticeCountsDownOrEndsOnAKey) {
  FillPattern();
  const auto before = Screen();
  const long long t0 = time->nowMs;
  static std::vector<std::string> seen;
  seen.clear();
  struct Watch : FakeTime {
    using FakeTime::FakeTime;
    void Sleep(int ms) override {
      seen.push_back(Row(24, 2, 4));
      FakeTime::Sleep(ms);
    }
  } watch(term);
  watch.nowMs = t0;
  SetTimeSource(&watch);
  TimedNotice(3, "Figyelem");
  EXPECT_GE(watch.nowMs - t0, 3000);
  EXPECT_LE(watch.nowMs - t0, 3200);
  EXPECT_EQ(seen.front(), "  3");
  EXPECT_EQ(seen.back(), "  1");
  EXPECT_EQ(Screen(), before);

  watch.At(400, Char('x'));
  const long long t1 = watch.nowMs;
  TimedNotice(3, "Figyelem");
  EXPECT_LE(watch.nowMs - t1, 600);
  EXPECT_FALSE(platform::KeyStrokeReady());  // the key was consumed
  EXPECT_EQ(Screen(), before);
  SetTimeSource(time.get());
}

TEST_F(DialogTest, ChoiceBoxes) {
  FillPattern();
  const auto before = Screen();
  Input({Char('x'), Char('b')});
  EXPECT_EQ(ChoiceBox(std::string("Mit?\0A vagy B", 13), "AB"), 2);
  EXPECT_EQ(Screen(), before);
  Input({Key(platform::scan::kF1)});
  EXPECT_EQ(ChoiceBox("Mit?", ""), 128 + 59);
  KeySet yn;
  yn.set('I');
  yn.set('N');
  Input({Char('z')});  // waiting keys are dropped first
  time->At(100, Char('q'));
  time->At(0, Char('i'));
  EXPECT_EQ(ChoiceBoxSet("Igen vagy nem?", yn), 'I');
  EXPECT_EQ(Screen(), before);
}

TEST_F(DialogTest, ProgressLineAndWaitKeyLine) {
  console::SetTextAttr(0x07);
  ProgressLine("T\x94lt\x82s", 10, 5, 3);
  // 80 - 6 - 8 = 66 bar cells, 33 of them filled.
  EXPECT_EQ(Row(3, 1, 8), "T\x94lt\x82s\xb3>");
  EXPECT_EQ(Row(3, 74, 79), "\xb3  50%");
  EXPECT_EQ(AttrAt(7, 3), 0x07);
  EXPECT_EQ(AttrAt(8, 3), 0x70);
  EXPECT_EQ(AttrAt(40, 3), 0x70);
  EXPECT_EQ(AttrAt(41, 3), 0x07);
  EXPECT_EQ(console::CursorColumn(), 41);
  ProgressLine("x", 10, 20, 4);  // done beyond total: full bar
  EXPECT_EQ(AttrAt(3 + 70, 4), 0x70);
  ProgressLine("x", 10, 5, 40);  // outside the window: nothing
  EXPECT_EQ(console::CursorRow(), 4);

  Input({Char('z')});  // dropped
  time->At(100, Char('k'));
  EXPECT_EQ(WaitKeyLine(5, 10), 'k');
  EXPECT_EQ(Row(10, 5, 9), "V\x82ge,");
  EXPECT_EQ(console::CursorColumn(), 5 + 35);
}

}  // namespace
}  // namespace ui
