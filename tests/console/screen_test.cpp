#include "console/screen.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/terminal.h"

namespace console {
namespace {

using platform::CellAttr;
using platform::CellAt;
using platform::CellChar;

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto t = std::make_unique<platform::HeadlessTerminal>();
    term = t.get();
    platform::SetTerminal(std::move(t));
    platform::ResetScreen();
    ResetScreenOutput();
    term->Start();
  }

  // The characters of row r, columns from..to.
  static std::string Row(int r, int from = 1, int to = 80) {
    std::string s;
    for (int c = from; c <= to; ++c) s += static_cast<char>(CellChar(CellAt(r, c)));
    return s;
  }

  platform::HeadlessTerminal* term = nullptr;
};

TEST_F(ScreenTest, PutTextStopsAtRightEdgeAndEmptyTextDoesNotRefresh) {
  PutText("0123456789", 3, 75, 0x1E);
  EXPECT_EQ(Row(3, 75, 80), "012345");
  EXPECT_EQ(CellChar(CellAt(4, 1)), ' ');  // nothing wrapped
  EXPECT_EQ(CellAttr(CellAt(3, 80)), 0x1E);

  const uint64_t writes = term->writeCalls;
  PutText("", 3, 1, 0x1E);
  EXPECT_EQ(term->writeCalls, writes);
}

TEST_F(ScreenTest, RunsContinueOntoFollowingRowsAndStopAtScreenEnd) {
  FillCells(5, 'x', 1, 78, 0x20);
  EXPECT_EQ(Row(1, 78, 80), "xxx");
  EXPECT_EQ(Row(2, 1, 3), "xx ");

  FillCells(10000, '#', 25, 70, 0x07);  // larger than the rest of the screen
  EXPECT_EQ(Row(25, 70, 80), std::string(11, '#'));
  EXPECT_EQ(CellChar(CellAt(1, 1)), ' ');  // no wrap to the top

  PutChars("abc", 25, 79);  // keeps the attributes
  EXPECT_EQ(Row(25, 79, 80), "ab");
  EXPECT_EQ(CellAttr(CellAt(25, 79)), 0x07);

  SetCellAttributes(3, 2, 80, 0x4F);
  EXPECT_EQ(CellAttr(CellAt(2, 80)), 0x4F);
  EXPECT_EQ(CellAttr(CellAt(3, 2)), 0x4F);
  EXPECT_EQ(CellAttr(CellAt(3, 3)), 0x07);

  PutAttributes(std::string("\x11\x22", 2), 25, 80);
  EXPECT_EQ(CellAttr(CellAt(25, 80)), 0x11);
}

TEST_F(ScreenTest, FillCellsDownWrapsToNextColumn) {
  FillCellsDown(3, '*', 24, 10, 0x07);
  EXPECT_EQ(CellChar(CellAt(24, 10)), '*');
  EXPECT_EQ(CellChar(CellAt(25, 10)), '*');
  EXPECT_EQ(CellChar(CellAt(1, 11)), '*');
  EXPECT_EQ(CellChar(CellAt(2, 11)), ' ');

  FillCellsDown(100, '+', 24, 80, 0x07);  // stops at the end of the screen
  EXPECT_EQ(CellChar(CellAt(25, 80)), '+');
  EXPECT_EQ(CellChar(CellAt(1, 1)), ' ');

  PutTextDown("abcd", 23, 5, 0x07);
  EXPECT_EQ(CellChar(CellAt(25, 5)), 'c');
  EXPECT_EQ(CellChar(CellAt(1, 6)), ' ');
}

TEST(SwapColours, Table) {
  struct Case { uint8_t in, out; };
  const Case cases[] = {{0x1E, 0x61}, {0x07, 0x70}, {0x70, 0x07}, {0xFF, 0x77}, {0x8F, 0x70}};
  for (const auto& c : cases) EXPECT_EQ(SwapColours(c.in), c.out) << int(c.in);
}

TEST_F(ScreenTest, InvertCellsSwapsColours) {
  FillCells(2, 'a', 1, 1, 0x1E);
  InvertCells(1, 1, 1);
  EXPECT_EQ(CellAttr(CellAt(1, 1)), 0x61);
  EXPECT_EQ(CellAttr(CellAt(1, 2)), 0x1E);
  EXPECT_EQ(CellChar(CellAt(1, 1)), 'a');
}

TEST_F(ScreenTest, DrawFrameTitles) {
  struct Case {
    std::string titles;
    std::string top, bottom;  // rows 1 and 5 of a frame from column 1 to 12
  };
  const std::string tl = "\xD5", tr = "\xB8", bl = "\xD4", br = "\xBE", h = "\xCD";
  auto line = [&](const std::string& l, const std::string& mid, const std::string& r) {
    return l + mid + r;
  };
  const Case cases[] = {
      {"", line(tl, std::string(10, '\xCD'), tr), line(bl, std::string(10, '\xCD'), br)},
      {"Cim", line(tl, h + h + h + "Cim" + h + h + h + h, tr),
       line(bl, std::string(10, '\xCD'), br)},
      {std::string("Fent\0Lent", 9), line(tl, h + h + h + "Fent" + h + h + h, tr),
       line(bl, h + h + h + "Lent" + h + h + h, br)},
      {std::string("\0Al", 3), line(tl, std::string(10, '\xCD'), tr),
       line(bl, h + h + h + h + "Al" + h + h + h + h, br)},
      // A title longer than the inner width runs over the right corner.
      {"ABCDEFGHIJKLM", "\xD5" "ABCDEFGHIJKLM", line(bl, std::string(10, '\xCD'), br)},
  };
  for (const auto& c : cases) {
    platform::ResetScreen();
    DrawFrame(1, 1, 12, 5, 0x1F, 0x1E, c.titles);
    EXPECT_EQ(Row(1, 1, static_cast<int>(c.top.size())), c.top);
    EXPECT_EQ(Row(5, 1, 12), c.bottom);
    EXPECT_EQ(Row(3, 1, 1), "\xB3");
    EXPECT_EQ(Row(3, 12, 12), "\xB3");
    EXPECT_EQ(Row(3, 2, 11), std::string(10, ' '));  // the inside is not touched
  }
}

TEST_F(ScreenTest, DrawFrameWithLeftEqualRightHasNoInnerLine) {
  DrawFrame(5, 2, 5, 4, 0x07, 0x07, "");
  EXPECT_EQ(CellChar(CellAt(2, 5)), 0xB8);  // the top-right corner is drawn last
  EXPECT_EQ(CellChar(CellAt(4, 5)), 0xBE);
  EXPECT_EQ(CellChar(CellAt(2, 6)), ' ');
  EXPECT_EQ(CellChar(CellAt(3, 5)), 0xB3);
}

TEST_F(ScreenTest, SaveAndRestoreRectRoundTrip) {
  for (int r = 1; r <= 25; ++r) FillCells(80, static_cast<uint8_t>('A' + r % 26), r, 1, 0x17);
  uint16_t before[platform::kScreenCells];
  std::copy(std::begin(platform::ScreenBuffer), std::end(platform::ScreenBuffer), before);

  CellBuffer saved;
  ASSERT_TRUE(SaveRect(70, 20, 80, 25, true, saved));
  EXPECT_EQ(saved.size(), 11u * 6u);
  FillRect(70, 20, 80, 25, ' ', 0x70);
  EXPECT_EQ(CellAttr(CellAt(25, 80)), 0x70);
  RestoreRect(70, 20, 80, 25, true, saved);
  EXPECT_TRUE(saved.empty());
  EXPECT_TRUE(std::equal(std::begin(platform::ScreenBuffer), std::end(platform::ScreenBuffer), before));

  CellBuffer none;
  EXPECT_TRUE(SaveRect(1, 5, 10, 4, true, none));  // bottom < top: nothing copied
  EXPECT_TRUE(none.empty());

  // A rectangle partly off the screen neither crashes nor writes outside it.
  CellBuffer edge;
  EXPECT_TRUE(SaveRect(75, 24, 90, 30, true, edge));
  RestoreRect(75, 24, 90, 30, true, edge);
  EXPECT_TRUE(std::equal(std::begin(platform::ScreenBuffer), std::end(platform::ScreenBuffer), before));
}

TEST_F(ScreenTest, TextWindowPlacementHelpers) {
  SetTextWindow(11, 6, 30, 10);  // 20 wide
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(CursorScreenColumn(), 11);
  EXPECT_EQ(PutTextCentred("abcd", 2, 0x07), 11 + 8);
  EXPECT_EQ(Row(7, 19, 22), "abcd");
  PutTextRight("xyz", 3, 0x07);
  EXPECT_EQ(Row(8, 28, 30), "xyz");
  EXPECT_EQ(PutTextCentred(std::string(30, 'q'), 1, 0x07), 11);  // cut to the width
  EXPECT_EQ(Row(6, 31, 31), " ");

  const Rect r = WindowRect();
  EXPECT_EQ(r.left, 11);
  EXPECT_EQ(r.bottom, 10);
  EXPECT_EQ(ToWindowColumn(5), 1);
  EXPECT_EQ(ToWindowColumn(15), 5);
  EXPECT_EQ(ToScreenRow(2), 7);

  // Ignored settings of the window and the cursor.
  SetTextWindow(10, 10, 5, 12);
  SetTextWindow(1, 1, 81, 25);
  EXPECT_EQ(WindowRect().left, 11);
  SetCursorPos(3, 2);
  SetCursorPos(21, 1);
  SetCursorPos(0, 1);
  EXPECT_EQ(CursorColumn(), 3);
  EXPECT_EQ(CursorRow(), 2);
}

TEST_F(ScreenTest, LineOperations) {
  SetTextWindow(1, 1, 10, 4);
  for (int r = 1; r <= 4; ++r) FillCells(10, static_cast<uint8_t>('0' + r), r, 1, 0x07);
  SetTextAttr(0x1F);
  SetCursorPos(5, 2);
  InsertWindowLine();
  EXPECT_EQ(Row(1, 1, 10), "1111111111");
  EXPECT_EQ(Row(2, 1, 10), "          ");
  EXPECT_EQ(CellAttr(CellAt(2, 1)), 0x1F);
  EXPECT_EQ(Row(3, 1, 10), "2222222222");
  EXPECT_EQ(Row(4, 1, 10), "3333333333");
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(Row(1, 11, 11), " ");

  DeleteWindowLine();
  EXPECT_EQ(Row(2, 1, 10), "2222222222");
  EXPECT_EQ(Row(3, 1, 10), "3333333333");
  EXPECT_EQ(Row(4, 1, 10), "          ");
  EXPECT_EQ(CellAttr(CellAt(4, 1)), 0x07);  // attributes stay

  ScrollWindowUp();
  EXPECT_EQ(Row(1, 1, 10), "2222222222");
  EXPECT_EQ(Row(2, 1, 10), "3333333333");

  SetCursorPos(4, 1);
  ClearLineEnd();
  EXPECT_EQ(Row(1, 1, 10), "222       ");

  ClearWindow();
  EXPECT_EQ(Row(2, 1, 10), "          ");
  EXPECT_EQ(CellAttr(CellAt(2, 1)), 0x1F);
  EXPECT_EQ(CursorScreenRow(), 1);
}

TEST_F(ScreenTest, AttributeOperations) {
  SetTextAttr(0x17);
  SetForeground(0x8C);
  EXPECT_EQ(GetTextAttr(), 0x9C);
  SetBackground(2);
  EXPECT_EQ(GetTextAttr(), 0xAC);
  LowIntensity();
  EXPECT_EQ(GetTextAttr(), 0x24);
  HighIntensity();
  EXPECT_EQ(GetTextAttr(), 0x2C);
}

TEST_F(ScreenTest, RefreshSendsOnlyChangesAndNothingWhenUnchanged) {
  RefreshScreen();
  const uint64_t full = term->output.size();
  EXPECT_GT(full, 2000u);  // the first refresh draws everything

  term->output.clear();
  RefreshScreen();
  EXPECT_TRUE(term->output.empty());

  PutText("\x8B", 10, 40, 0x07);  // ő
  EXPECT_NE(term->output.find("\x1b[10;40H"), std::string::npos);
  EXPECT_NE(term->output.find("\xC5\x91"), std::string::npos);  // UTF-8 of ő
  EXPECT_LT(term->output.size(), 40u);

  term->output.clear();
  LockUpdates();
  PutText("zz", 1, 1, 0x07);
  EXPECT_TRUE(term->output.empty());
  UnlockUpdates();
  UnlockUpdates();  // never below 0
  EXPECT_EQ(platform::UpdateLock, 0);
  RefreshScreen();
  EXPECT_NE(term->output.find("zz"), std::string::npos);

  // A new start of the terminal (after a child program) repaints all.
  term->Stop();
  term->Start();
  term->output.clear();
  RefreshScreen();
  EXPECT_GT(term->output.size(), 2000u);
}

TEST_F(ScreenTest, ColoursAndGlyphsOnTheWire) {
  RefreshScreen();
  term->output.clear();
  PutText(std::string("\x10\x1E\xC9", 3), 1, 1, 0x9E);  // bright yellow on blue... bright bg
  const std::string& o = term->output;
  EXPECT_NE(o.find("\x1b[0;93;104m"), std::string::npos) << o;
  EXPECT_NE(o.find("\xE2\x96\xBA\xE2\x96\xB2\xE2\x95\x94"), std::string::npos);  // ► ▲ ╔
}

}  // namespace
}  // namespace console
