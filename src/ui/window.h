// Framed windows, the window stack, the console state snapshot, the pointer
// and cursor rules, and the text-placement helpers every screen is built from.
//
// A window saves the cells it covers when it is first opened and gives them
// back when it is closed; the console state (text window, cursor, attribute,
// pointer, cursor shape) it found at creation is restored at the same time.
// Windows close in the reverse order of their creation.
//
// Coordinates are 1-based screen columns (1..80) and rows (1..25) unless a
// name says window-relative. Texts are code page 852 bytes; inside a title
// the byte 0 separates the top part from the bottom part.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/screen.h"
#include "ui/colours.h"

namespace ui {

// --- Pointer and cursor -----------------------------------------------------

// Whether a mouse is there (a terminal that reports the mouse), and whether
// its pointer counts as shown. A terminal draws its own pointer, so showing
// and hiding only keep these flags for the rules that depend on them.
extern uint8_t MousePresent;
extern uint8_t MouseVisible;
// The pointer position, 1-based.
extern int16_t MouseX;
extern int16_t MouseY;
// The recorded text cursor shape: 0 hidden, 1 normal, 2 block.
extern int16_t CursorMode;

void HideMouse();
void ShowMouse();
void SetMousePos(int x, int y);
void SetCursorNormal();
void SetCursorHidden();
void SetCursorBlock();
// Shows the shape of mode m (0 hidden, 2 block, else normal) without changing
// CursorMode.
void ApplyCursorMode(int m);

// Hides the pointer for the lifetime of the object, then shows it again if it
// was shown before. Every drawing operation of the toolkit is bracketed so.
class PointerHidden {
 public:
  PointerHidden() : wasVisible_(MouseVisible != 0) { HideMouse(); }
  ~PointerHidden() {
    if (wasVisible_) ShowMouse();
  }
  PointerHidden(const PointerHidden&) = delete;
  PointerHidden& operator=(const PointerHidden&) = delete;

 private:
  bool wasVisible_;
};

// --- Console state snapshot ---------------------------------------------------

struct ScreenState {
  uint16_t windowTopLeft = 0;      // 0-based: column in the low byte, row in the high byte
  uint16_t windowBottomRight = 0;
  uint8_t cursorColumn = 1;        // window-relative
  uint8_t cursorRow = 1;
  uint8_t attr = 0x07;
  int16_t mouseX = 1;
  int16_t mouseY = 1;
  uint8_t mouseVisible = 0;
  int16_t cursorMode = 1;
};

void SaveScreenState(ScreenState& state);
void RestoreScreenState(const ScreenState& state);

// --- Regions and windows ------------------------------------------------------

// A rectangle of the screen, the base of every on-screen object.
struct Region {
  int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint8_t inclusive = 0;  // whether the mouse tests count the border as inside

  void SetRegion(int left, int top, int right, int bottom);
  void SetInclusive() { inclusive = 1; }
  // Note the order: both columns, then both rows.
  void GetRegion(int& left, int& right, int& top, int& bottom) const;

  // Pointer tests (all false while the pointer is hidden).
  bool MouseInside() const;
  bool MouseOutside() const;
  bool MouseAtOrigin() const;
};

class Window;
// The most recently created window that is still open, or none.
extern Window* TopWindow;

class Window : public Region {
 public:
  // Creates the window over (x1, y1)-(x2, y2) and puts it on top of the
  // stack; nothing is drawn. The console state is remembered for Done.
  Window(int x1, int y1, int x2, int y2);
  // Closes the window (Done) if that was not done yet.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Virtual operations, in their order of override.
  // Closes the window: it leaves the stack, the covered cells come back and
  // the console state of the creation is restored. Once only.
  virtual void Done();
  // Draws the whole window (opening it first if needed) and leaves the text
  // window set to its inside.
  virtual void Draw();
  // Moves the window so that its top-left corner is (x, y); refused silently
  // when any corner would leave the screen.
  virtual void MoveTo(int x, int y);
  // Reads one key with the window's mouse handling (close box, dragging by
  // the top-left corner, scroll bars, cursor placement).
  virtual void GetKey(uint8_t& key);

  // Saves the covered cells (first time only), sets the text window to the
  // inside and clears it.
  void Open();
  void SetFrameStyle(int style) { FrameStyle = static_cast<uint8_t>(style); }
  void SetTitle(std::string_view text);
  // SetTitle, and the top border redrawn at once.
  void ChangeTitle(std::string_view text);
  void SetFrameAttr(uint8_t a) { FrameAttr = a; }
  void SetTitleAttr(uint8_t a) { TitleAttr = a; }
  // Stores the attribute and makes it the console's current one.
  void SetBodyAttr(uint8_t a);
  void ShowHBar(int offset);
  void ShowVBar(int offset);
  // Redraw the bar's track with the thumb for position pos of total.
  void SetHThumb(int pos, int total);
  void SetVThumb(int pos, int total);
  // State 0 shows "[■]", 1 "[*]"; drawn only when forced or changed.
  void DrawCloseBox(int state, bool force);
  void MakeFixed() { Movable = 0; }
  bool MouseOnCloseBox() const;
  // The key code for a pointer on a scroll bar, or 0.
  uint8_t ScrollBarHit();
  bool IsOpen() const { return !closed_; }

  Window* Below = nullptr;
  uint8_t FrameStyle = kDoubleFrame;
  std::unique_ptr<std::string> Title;
  uint8_t FrameAttr = 0;
  uint8_t TitleAttr = 0;
  uint8_t BodyAttr = 0;
  std::unique_ptr<console::CellBuffer> Background;
  ScreenState Saved;
  uint8_t HBar = 0;
  int16_t HBarOffset = 0;
  uint8_t VBar = 0;
  int16_t VBarOffset = 0;
  uint8_t Movable = 1;
  uint8_t CloseBoxState = 1;
  uint8_t OnScrollBar = 0;
  uint8_t VTrackChar = 0;
  uint8_t HTrackChar = 0;

 protected:
  // The closing steps of Done without the once-only guard (for derived Done).
  void CloseWindow();
  bool closed_ = false;

 private:
  void SaveBackground();
};

// --- Text placement -------------------------------------------------------------

// Window-relative: text cut at the window's right edge.
void WriteAt(int x, int y, std::string_view text, uint8_t attr);
// At the cursor in the current attribute, wrapping at the window's right edge
// and scrolling the window at its bottom.
void WriteFlow(std::string_view text);
// WriteFlow, then column 1 of the next line (scrolling on the last line).
void WriteFlowLine(std::string_view text);
// Window-relative, one character a row, cut at the window's bottom.
void WriteDown(int x, int y, std::string_view text, uint8_t attr);
// Absolute, cut at the screen's right edge / bottom.
void WriteAtScreen(int x, int y, std::string_view text, uint8_t attr);
void WriteDownAtScreen(int x, int y, std::string_view text, uint8_t attr);
// Absolute row y, centred in columns x1..x2 and cut to x2 - x1 - 1
// characters; the console state is left as it was.
void WriteCentred(int x1, int x2, int y, std::string_view text, uint8_t attr);
// Absolute: characters only / attributes only.
void WriteCharsAt(int x, int y, std::string_view text);
void WriteAttrsAt(int x, int y, std::string_view attrs);
// Window-relative run of count cells; x = 0 means column 1 with one cell
// fewer, y = 0 row 1.
void FillAt(int x, int y, int count, uint8_t ch, uint8_t attr);
void FillWindow(uint8_t ch, uint8_t attr);
// Absolute rectangles: inverse video / one attribute for every cell.
void InvertArea(int x1, int y1, int x2, int y2);
void ColourArea(int x1, int y1, int x2, int y2, uint8_t attr);
int WindowWidth();
int WindowHeight();
int WindowCellBytes();
// The current window's cells to / from a caller-owned buffer.
void SaveWindowCells(console::CellBuffer& buffer);
void RestoreWindowCells(console::CellBuffer& buffer);
// One cell larger on every side, unless the window touches a screen edge.
void GrowWindow();
// Two columns wider and one row taller, clipped to the screen.
void GrowWindowForShadow();
// A frame around the current text window (none for the blank set), with the
// title's parts before and after its first byte 0 on the top and bottom
// borders; then the text window shrinks by one cell on every side and the
// cursor goes to its (1, 1).
void DrawWindowFrame(std::string_view title, const FrameSet& frameSet, uint8_t titleAttr,
                     uint8_t frameAttr);
// Darkens (clears the intensity bit of) the cells right of and below the
// rectangle; nothing when the shadow would reach the screen's last column or
// row. UndoShadow brightens the same cells.
void DrawShadow(int x1, int y1, int x2, int y2);
void UndoShadow(int x1, int y1, int x2, int y2);

// One screen row saved with its position.
struct SavedRow {
  uint8_t column = 1;
  uint8_t row = 1;
  uint8_t width = 0;
  std::string chars;  // the row's 80 characters
  std::string attrs;  // the row's 80 attributes
};
using SavedRowRef = std::unique_ptr<SavedRow>;

// Stores the row's characters and attributes in saved (a new record first
// when allocate is set or there is none).
void SaveRow(int row, SavedRowRef& saved, bool allocate);
// Saves the row into a new record, then shows text on it centred in the
// current window's columns with attr.
void ShowRowMessage(int row, std::string_view text, uint8_t attr, SavedRowRef& saved);
// Writes the saved row back; release frees the record. Nothing without one.
void RestoreRow(SavedRowRef& saved, bool release);
// Blanks the current window's columns of a row in the current attribute,
// saving the row first when save is set.
void ClearRow(int row, SavedRowRef& saved, bool save);

// Start-up of the toolkit: base colour from the console, pointer at (1, 1)
// and shown when there is a mouse, normal cursor, no window, text window the
// whole screen.
void StartToolkit();
// Back to the values before start-up (tests).
void ResetToolkit();

}  // namespace ui
