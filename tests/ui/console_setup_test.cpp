#include "ui/console_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "ui/ui_fixture.h"

namespace ui {
namespace {

using namespace testing;

class ConsoleSetupTest : public UiTest {
 protected:
  void TearDown() override {
    ConsoleShutdown();
    TerminalMode = false;
    UiTest::TearDown();
  }
  static size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
  }
};

TEST_F(ConsoleSetupTest, AsksFor80x25AndGivesTheSizeBack) {
  term->SetSize(100, 40);
  ConsoleSetup();
  EXPECT_EQ(Count(term->output, "\x1b[8;25;80t"), 1u);
  EXPECT_EQ(SavedColumns, 100);
  EXPECT_EQ(SavedRows, 40);
  term->output.clear();
  ConsoleShutdown();
  EXPECT_EQ(term->output, "\x1b[8;40;100t");
  term->output.clear();
  ConsoleShutdown();  // once only
  EXPECT_EQ(term->output, "");
}

TEST_F(ConsoleSetupTest, NoRequestInTerminalModeOrAtTheRightSize) {
  for (bool mode : {true, false}) {
    TerminalMode = mode;
    term->SetSize(mode ? 120 : 80, mode ? 50 : 25);
    term->output.clear();
    ConsoleSetup();
    ConsoleShutdown();
    EXPECT_EQ(Count(term->output, "\x1b[8;"), 0u) << mode;
  }
}

TEST_F(ConsoleSetupTest, TerminalModeComesFromTheEnvironment) {
  setenv("TERMINAL", "TERMINAL", 1);
  EXPECT_TRUE(TerminalModeFromEnvironment());
  setenv("TERMINAL", "xterm", 1);
  EXPECT_FALSE(TerminalModeFromEnvironment());
  unsetenv("TERMINAL");
  EXPECT_FALSE(TerminalModeFromEnvironment());
}

TEST_F(ConsoleSetupTest, SmallTerminalShowsANoticeAndResizeRedrawsAll) {
  ConsoleSetup();
  console::PutText("Fejl\x82" "c", 1, 1, 0x1F);
  term->SetSize(30, 20);
  platform::InputEvent resize;
  resize.type = platform::InputEvent::kResize;
  time->At(0, resize);
  time->At(100, Char('a'));
  term->output.clear();
  EXPECT_EQ(ReadKey(), 'a');
  // The whole screen was sent again, cut to the terminal, and the notice
  // ("Nagyítsa az ablakot ...") drawn over the top row.
  EXPECT_EQ(Count(term->output, "\x1b[2J"), 1u);
  EXPECT_NE(term->output.find("Fejléc"), std::string::npos);
  EXPECT_NE(term->output.find("\x1b[1;1H\x1b[0;7mNagyítsa az ablakot"), std::string::npos);
  EXPECT_EQ(term->output.find("méretűre"), std::string::npos);  // cut to 30 columns

  // A change drawn over the notice: it comes back before the next wait.
  console::PutText("X", 1, 1, 0x1F);
  time->At(100, Char('b'));
  term->output.clear();
  EXPECT_EQ(ReadKey(), 'b');
  EXPECT_EQ(Count(term->output, "Nagyítsa"), 1u);
  // Nothing changed: no new notice either.
  time->At(100, Char('c'));
  term->output.clear();
  EXPECT_EQ(ReadKey(), 'c');
  EXPECT_EQ(Count(term->output, "Nagyítsa"), 0u);

  // Large enough again: a whole redraw, no notice.
  term->SetSize(80, 25);
  time->At(0, resize);
  time->At(100, Char('d'));
  term->output.clear();
  EXPECT_EQ(ReadKey(), 'd');
  EXPECT_EQ(Count(term->output, "\x1b[2J"), 1u);
  EXPECT_EQ(Count(term->output, "Nagyítsa"), 0u);
}

}  // namespace
}  // namespace ui
