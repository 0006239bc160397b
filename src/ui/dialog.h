// Message boxes and prompts: the standard question with push buttons, and
// the smaller notices (status line, timed notice, flash message, key-choice
// boxes, wait-for-a-key line, progress line).
//
// Texts are code page 852; inside one text the byte 0 (or, failing that, the
// byte 10) separates lines and button captions, and "~" around a letter marks
// a caption's hot letter.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/window.h"

namespace ui {

// A set of key codes.
using KeySet = std::bitset<256>;

// While set, Run draws the first button pressed in (the Enter default).
extern uint8_t DefaultFirst;

// The bytes whose caption gets its first letter as the hot key: digits,
// ASCII letters and the Hungarian accented letters of code page 852.
bool InHotLetterSet(uint8_t ch);

// A push button: one row, its caption centred in Width columns, with a
// shadow to the right and below.
class DialogButton : public Region {
 public:
  virtual ~DialogButton() = default;
  // Caption (cut to 30) and key; not drawn yet, not focused.
  void SetButton(std::string_view caption, uint8_t key);
  void PlaceButton(int x, int y);
  // Draws the button raised (down = false) or pressed; nothing when it is
  // already drawn so.
  void DrawButton(bool down);
  // Stores the focus and redraws the button as it is.
  void SetFocus(bool flag);

  uint8_t Key = 0;
  std::string Caption;
  int16_t Width = 0;
  uint8_t DrawnAs = 0;  // 0 not drawn, 1 up, 2 down
  uint8_t Focused = 0;
};

class Dialog : public Window {
 public:
  // A dialog in the dialog colour (which is the console's current attribute
  // until it closes); it is placed by Run.
  Dialog();
  ~Dialog() override;
  // Closes the window and releases lines and buttons.
  void Done() override;

  void AddLine(std::string_view text);
  void AddButton(std::string_view caption, uint8_t key);
  // Lays the dialog out, draws it and reads keys until a button is taken or
  // Enter or Esc is pressed; returns the last key (the answer is Chosen).
  uint8_t Run();
  // The same, with a ten-second countdown that answers Enter.
  uint8_t RunTimed();
  // Places the window and the buttons (done by Run).
  void Layout();

  uint8_t AnyKey = 0;
  int16_t ButtonCount = 0;
  int16_t LineCount = 0;
  int16_t ButtonOffset = 0;
  std::vector<std::unique_ptr<DialogButton>> Buttons;
  std::vector<std::string> Lines;
  int16_t Chosen = 0;

 private:
  uint8_t RunLoop(bool timed);
  void PlaceButtons();
  // Handles a key against the shown buttons; true when one was taken.
  bool TakeButton(uint8_t& key);
};

// The standard question or notice. Returns 0 when cancelled, or the number of
// the chosen button (Enter answers 1). buttons "IN", "NI" and "INS" are
// presets; an empty text gives one "Tovább" button that any key answers.
int Prompt(std::string_view text, std::string_view buttons);
// Prompt with the first button drawn as the Enter default.
int PromptDefaultFirst(std::string_view text, std::string_view buttons);
// Prompt that answers Enter after ten seconds without a key.
int PromptTimed(std::string_view text, std::string_view buttons);

// Shows (show = true) a message centred on row 25, keeping what it covered in
// saved; hiding puts the row back and releases saved.
void StatusMessage(bool show, std::string_view text, SavedRowRef& saved);
// A framed notice over rows 22..25 that counts the seconds down; any key
// ends it early (and is consumed).
void TimedNotice(int seconds, std::string_view text);
// The text in inverse on row 12 for a while.
void FlashMessage(std::string_view text, unsigned milliseconds);
void FlashMessageSeconds(std::string_view text, int seconds);
// A framed box of lines that waits for one of the allowed keys (upper-cased);
// returns the key's position in allowed, or the key when allowed is empty.
int ChoiceBox(std::string_view text, std::string_view allowed);
// The same with a set of keys, read through ReadKey; the key is echoed.
uint8_t ChoiceBoxSet(std::string_view text, const KeySet& allowed);
// "Vége, nyomjon le egy billentyüt ..." at window position (x, y); returns the
// next key.
uint8_t WaitKeyLine(int x, int y);
// text, a bar filled for done of total, and the percentage, on a window row.
void ProgressLine(std::string_view text, long total, long done, int row);

// Back to the values before start-up (tests).
void ResetDialogs();

}  // namespace ui
