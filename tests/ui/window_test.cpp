#include "ui/window.h"

#include <gtest/gtest.h>

#include "text/literal.h"
#include "ui/ui_fixture.h"

namespace ui {
namespace {

using namespace text::literals;
using testing::UiTest;

class WindowTest : public UiTest {};

struct ConsoleState {
  uint16_t tl, br;
  int col, row, attr, cursorMode, cursorSize, mouseVisible, mx, my;
  bool operator==(const ConsoleState&) const = default;
};
ConsoleState Capture() {
  return {platform::WindowTopLeft, platform::WindowBottomRight, console::CursorColumn(),
          console::CursorRow(), console::GetTextAttr(), CursorMode, platform::CursorSize(),
          MouseVisible, MouseX, MouseY};
}

TEST_F(WindowTest, StackedWindowsClosedInReverseRestoreScreenAndConsoleState) {
  WithMouse();
  FillPattern();
  console::SetTextWindow(3, 4, 60, 20);
  console::SetCursorPos(7, 5);
  console::SetTextAttr(0x1E);
  SetCursorBlock();
  HideMouse();
  SetMousePos(33, 9);
  const auto screen0 = Screen();
  const ConsoleState state0 = Capture();

  Window a(5, 5, 40, 15);
  a.SetTitle("Els\x8b");
  a.Draw();
  a.SetBodyAttr(0x4F);
  console::SetCursorPos(2, 2);
  SetCursorNormal();
  ShowMouse();
  const auto screen1 = Screen();
  const ConsoleState state1 = Capture();

  Window b(20, 10, 70, 22);
  EXPECT_EQ(TopWindow, &b);
  EXPECT_EQ(b.Below, &a);
  b.Draw();
  WriteAt(1, 1, "tartalom", 0x2A);
  SetCursorHidden();
  HideMouse();
  EXPECT_NE(Screen(), screen1);

  b.Done();
  EXPECT_EQ(TopWindow, &a);
  EXPECT_EQ(Screen(), screen1);
  EXPECT_EQ(Capture(), state1);

  a.Done();
  EXPECT_EQ(TopWindow, nullptr);
  EXPECT_EQ(Screen(), screen0);
  EXPECT_EQ(Capture(), state0);
  a.Done();  // a second close changes nothing
  EXPECT_EQ(Screen(), screen0);
}

TEST_F(WindowTest, WindowNeverDrawnRestoresOnlyTheState) {
  FillPattern();
  const auto screen0 = Screen();
  {
    Window w(10, 10, 20, 20);
    console::SetTextAttr(0x70);
  }  // closed by its destructor
  EXPECT_EQ(Screen(), screen0);
  EXPECT_EQ(console::GetTextAttr(), 0x07);
  EXPECT_EQ(TopWindow, nullptr);
}

TEST_F(WindowTest, FrameStyles) {
  struct Case {
    int style;
    uint8_t tl, bl, tr, br, top, left;
  } cases[] = {
      {1, 0xDA, 0xC0, 0xBF, 0xD9, 0xC4, 0xB3}, {2, 0xC9, 0xC8, 0xBB, 0xBC, 0xCD, 0xBA},
      {3, 0xC9, 0xC8, 0xBB, 0xBC, 0xCD, 0xBA}, {5, 0xB0, 0xB0, 0xB0, 0xB0, 0xB0, 0xB0},
      {6, ':', ':', ':', ':', ':', ':'},       {9, 0xDA, 0xC0, 0xBF, 0xD9, 0xC4, 0xB3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Window w(10, 5, 30, 12);
    w.SetFrameStyle(c.style);
    w.Draw();
    EXPECT_EQ(CharAt(10, 5), c.tl);
    EXPECT_EQ(CharAt(10, 12), c.bl);
    EXPECT_EQ(CharAt(30, 5), c.tr);
    EXPECT_EQ(CharAt(30, 12), c.br);
    EXPECT_EQ(CharAt(20, 5), c.top);
    EXPECT_EQ(CharAt(10, 8), c.left);
    EXPECT_EQ(Row(5, 11, 13), "[\xfe]");  // close box, in the frame's attribute
    EXPECT_EQ(AttrAt(12, 5), w.FrameAttr);
    EXPECT_EQ(WindowWidth(), 19);  // the text window is the inside
    EXPECT_EQ(WindowHeight(), 6);
    w.Done();
  }
  EXPECT_EQ(StyleOf(FrameSetOf(3)), 2);
  EXPECT_EQ(StyleOf(FrameSet{1, 2, 3, 4, 5, 6, 7, 8}), 1);
}

TEST_F(WindowTest, BlankStyleUsesWholeRectangleAndDrawsNoFrame) {
  Window w(10, 5, 30, 12);
  w.SetFrameStyle(4);
  w.SetTitle("Cim");
  w.Draw();
  EXPECT_EQ(Row(5, 10, 30), std::string(21, ' '));
  EXPECT_EQ(WindowWidth(), 21);
  EXPECT_EQ(WindowHeight(), 8);
  w.ChangeTitle("Uj");  // still writes a row of blanks and the title
  // At 10 + (19 - 2) div 2 + 1 = 19.
  EXPECT_EQ(Row(5, 10, 30), std::string(9, ' ') + "Uj" + std::string(10, ' '));
  EXPECT_EQ(AttrAt(19, 5), w.TitleAttr);
  EXPECT_EQ(AttrAt(10, 5), w.FrameAttr);
}

TEST_F(WindowTest, TitleSplitAtByteZeroAndCutToInnerWidth) {
  Window w(1, 1, 21, 5);  // inner width 19
  w.SetTitle(std::string("Fent\0Lent hosszabb", 18));
  w.Draw();
  // "Fent" (4) at 1 + (19 - 4) / 2 + 1 = 9; "Lent hosszabb" (13) at 1 + 3 + 1 = 5.
  EXPECT_EQ(Row(1, 9, 12), "Fent");
  EXPECT_EQ(Row(5, 5, 17), "Lent hosszabb");
  EXPECT_EQ(AttrAt(9, 1), w.TitleAttr);
  w.Done();

  Window l(1, 1, 11, 4);  // inner width 9
  l.SetTitle("0123456789ABCDEF");
  l.Draw();
  // Cut to 9 characters from column 2; the close box covers the first three.
  EXPECT_EQ(Row(1, 1, 11), "\xc9[\xfe]345678\xbb");
  l.ChangeTitle(std::string("ab\0cd", 5));  // the whole text, not split: columns 4..8
  EXPECT_EQ(Row(1, 5, 9), std::string("b\0cd\xcd", 5));
}

TEST_F(WindowTest, MoveToRefusesPositionsOffTheScreen) {
  FillPattern();
  Window w(10, 5, 30, 12);
  w.Draw();
  const auto drawn = Screen();
  struct {
    int x, y;
  } refused[] = {{0, 5}, {5, 0}, {61, 5}, {10, 19}, {81, 1}, {-3, 2}};
  for (auto p : refused) {
    w.MoveTo(p.x, p.y);
    EXPECT_EQ(w.x1, 10) << p.x << "," << p.y;
    EXPECT_EQ(w.y1, 5);
    EXPECT_EQ(Screen(), drawn);
  }
  w.MoveTo(60, 18);  // exactly to the corner is fine
  EXPECT_EQ(w.x2, 80);
  EXPECT_EQ(w.y2, 25);
}

TEST_F(WindowTest, MoveToCarriesTheImageAndRestoresWhatWasUnder) {
  WithMouse();
  FillPattern();
  const auto screen0 = Screen();
  Window w(10, 5, 30, 12);
  w.SetTitle("Mozog");
  w.Draw();
  WriteAt(2, 3, "szoveg", 0x1F);
  console::SetCursorPos(4, 2);
  const uint64_t writes = term->writeCalls;
  w.MoveTo(15, 8);
  EXPECT_EQ(term->writeCalls, writes + 1);  // shown in one refresh
  EXPECT_EQ(Row(8 + 3, 16 + 1, 16 + 6), "szoveg");
  EXPECT_EQ(CharAt(15, 8), 0xC9);
  EXPECT_EQ(console::CursorColumn(), 4);
  EXPECT_EQ(console::CursorRow(), 2);
  EXPECT_EQ(console::WindowRect().left, 16);
  // What the old place covered is back (outside the new rectangle).
  EXPECT_EQ(platform::CellAt(5, 10), screen0[4 * 80 + 9]);
  w.Done();
  EXPECT_EQ(Screen(), screen0);
}

TEST_F(WindowTest, WriteFlowWrapsAndScrolls) {
  console::SetTextWindow(1, 1, 80, 3);
  console::SetCursorPos(70, 1);
  WriteFlow("ABCDEFGHIJKLMNO");  // 15 characters: 11 here, 4 on the next line
  EXPECT_EQ(Row(1, 70, 80), "ABCDEFGHIJK");
  EXPECT_EQ(Row(2, 1, 5), "LMNO ");
  EXPECT_EQ(console::CursorColumn(), 5);
  EXPECT_EQ(console::CursorRow(), 2);

  console::SetCursorPos(75, 3);  // last row: the window scrolls first
  WriteFlow("0123456789");
  EXPECT_EQ(Row(1, 1, 4), "LMNO");
  EXPECT_EQ(Row(2, 75, 80), "012345");
  EXPECT_EQ(Row(3, 1, 5), "6789 ");
  EXPECT_EQ(console::CursorRow(), 3);

  console::SetCursorPos(71, 1);  // ends exactly in the last column
  WriteFlow("abcdefghij");
  EXPECT_EQ(console::CursorColumn(), 1);
  EXPECT_EQ(console::CursorRow(), 2);
  WriteFlowLine("x");
  EXPECT_EQ(console::CursorColumn(), 1);
  EXPECT_EQ(console::CursorRow(), 3);
}

TEST_F(WindowTest, ScrollThumbs) {
  Window w(10, 5, 30, 16);
  w.ShowVBar(0);
  w.ShowHBar(0);
  w.Draw();
  EXPECT_EQ(CharAt(30, 5), 30);
  EXPECT_EQ(CharAt(30, 15), 31);
  EXPECT_EQ(CharAt(10, 16), 17);
  EXPECT_EQ(CharAt(28, 16), 16);
  // Vertical track rows 6..14 (9 cells).
  w.SetVThumb(1, 10);
  EXPECT_EQ(CharAt(30, 6), 0xFE);
  w.SetVThumb(20, 10);  // taken as 10: (10 - 1) / 10 * 9 = 8 -> row 14
  EXPECT_EQ(CharAt(30, 14), 0xFE);
  EXPECT_EQ(CharAt(30, 6), 0xBA);
  // Horizontal track columns 11..27 (17 cells).
  w.SetHThumb(5, 10);  // 5 / 10 * 17 = 8 -> column 19
  EXPECT_EQ(CharAt(19, 16), 0xFE);
  w.SetHThumb(10, 10);  // the last track cell, never the arrow
  EXPECT_EQ(CharAt(27, 16), 0xFE);
  EXPECT_EQ(CharAt(28, 16), 16);
  const auto before = Screen();
  w.SetHThumb(0, 10);
  w.SetVThumb(3, 0);
  EXPECT_EQ(Screen(), before);
}

TEST_F(WindowTest, ShadowClearsIntensityOnlyAwayFromTheEdges) {
  console::FillRect(1, 1, 80, 25, 'x', 0x1F);
  DrawShadow(10, 5, 20, 10);
  EXPECT_EQ(AttrAt(21, 6), 0x17);
  EXPECT_EQ(AttrAt(22, 11), 0x17);
  EXPECT_EQ(AttrAt(12, 11), 0x17);
  EXPECT_EQ(AttrAt(11, 11), 0x1F);
  EXPECT_EQ(AttrAt(21, 5), 0x1F);
  EXPECT_EQ(CharAt(21, 6), 'x');
  UndoShadow(10, 5, 20, 10);
  EXPECT_EQ(AttrAt(21, 6), 0x1F);

  const auto before = Screen();
  DrawShadow(10, 5, 79, 10);
  DrawShadow(10, 5, 20, 24);
  EXPECT_EQ(Screen(), before);
}

TEST_F(WindowTest, SavedRows) {
  FillPattern();
  const auto screen0 = Screen();
  SavedRowRef saved;
  RestoreRow(saved, true);  // nothing
  EXPECT_EQ(Screen(), screen0);

  ShowRowMessage(7, "", 0x4E, saved);
  ASSERT_TRUE(saved);
  EXPECT_EQ(Screen(), screen0);

  ShowRowMessage(30, "Uzenet", 0x4E, saved);  // the row is clipped to 25
  EXPECT_EQ(saved->row, 25);
  EXPECT_EQ(Row(25, 37, 42), "Uzenet");  // 1 + (80 - 1 - 6) div 2
  EXPECT_EQ(AttrAt(37, 25), 0x4E);
  EXPECT_EQ(AttrAt(43, 25), platform::CellAttr(screen0[24 * 80 + 42]));
  RestoreRow(saved, true);
  EXPECT_FALSE(saved);
  EXPECT_EQ(Screen(), screen0);

  console::SetTextAttr(0x30);
  console::SetTextWindow(5, 1, 10, 25);
  ClearRow(3, saved, true);
  EXPECT_EQ(Row(3, 5, 10), "      ");
  EXPECT_EQ(AttrAt(5, 3), 0x30);
  EXPECT_EQ(CharAt(4, 3), platform::CellChar(screen0[2 * 80 + 3]));
  RestoreRow(saved, false);
  EXPECT_TRUE(saved);
  EXPECT_EQ(Screen(), screen0);
}

TEST_F(WindowTest, GrowWindow) {
  struct {
    int l, t, r, b;
    int el, et, er, eb;
  } cases[] = {
      {5, 5, 10, 10, 4, 4, 11, 11},
      {1, 5, 10, 10, 1, 5, 10, 10},    // touches the left edge
      {5, 1, 10, 10, 5, 1, 10, 10},    // the top
      {5, 5, 80, 10, 5, 5, 80, 10},    // the right
      {5, 5, 10, 25, 5, 5, 10, 25},    // the bottom
  };
  for (auto c : cases) {
    console::SetTextWindow(c.l, c.t, c.r, c.b);
    GrowWindow();
    const auto r = console::WindowRect();
    EXPECT_EQ(r.left, c.el);
    EXPECT_EQ(r.top, c.et);
    EXPECT_EQ(r.right, c.er);
    EXPECT_EQ(r.bottom, c.eb);
  }
  console::SetTextWindow(70, 20, 79, 25);
  GrowWindowForShadow();
  EXPECT_EQ(console::WindowRect().right, 80);
  EXPECT_EQ(console::WindowRect().bottom, 25);
}

TEST_F(WindowTest, ColourSchemeFollowsTheBaseColour) {
  EXPECT_EQ(ResolveColour(FrameColour), 0x0F);
  EXPECT_EQ(ResolveColour(TitleColour), 0x70);
  EXPECT_EQ(ResolveColour(ButtonShadowColour), 0x78);
  EXPECT_EQ(ResolveColour(FieldOffColour), 0x80);
  EXPECT_EQ(ResolveColour(ColourRecord{4, 0}), 0x7F);
  EXPECT_EQ(ResolveColour(ColourRecord{77, 0x55}), 0x07);
  BaseColour = 0x9E;  // bright blue background, yellow
  EXPECT_EQ(ResolveColour(ButtonColour), 0x16);
  EXPECT_EQ(ResolveColour(DialogColour), 0x61);
  EXPECT_EQ(ResolveColour(ButtonShadowColour), 0x68);
  EXPECT_EQ(MakeAttr(0x0F, 0x0F), 0x7F);
}

TEST_F(WindowTest, PointerTestsNeedAVisiblePointer) {
  WithMouse();
  Region r;
  r.SetRegion(10, 5, 20, 8);
  SetMousePos(10, 5);
  EXPECT_TRUE(r.MouseAtOrigin());
  EXPECT_FALSE(r.MouseInside());
  r.SetInclusive();
  EXPECT_TRUE(r.MouseInside());
  EXPECT_FALSE(r.MouseOutside());
  SetMousePos(21, 5);
  EXPECT_TRUE(r.MouseOutside());
  HideMouse();
  EXPECT_FALSE(r.MouseOutside());
  EXPECT_FALSE(r.MouseAtOrigin());
}

}  // namespace
}  // namespace ui
