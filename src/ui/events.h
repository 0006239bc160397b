// The key and mouse event reader of the toolkit, hot keys, the idle hook,
// and the timer, beep and key-flush helpers.
//
// Every screen reads the user through ReadKey, which gives one key code byte:
// a character's code page 852 byte, 128 + scan code for a key without one,
// or one of the mouse codes below. The window on top of the window stack sees
// the mouse first (close box, dragging by the top-left corner, scroll bars,
// cursor placement).
//
// Mouse codes (delivered in the key byte):
//   5 left button went down      6 right button went down
//   1 left button still down     2 right button still down
//   7 left button released       255 right button released
//   3 left released, second press of a double click
//   4 right released, second press of a double click
// Other special codes: 241 Ctrl+C and Ctrl+Ins, 242 Ctrl+V and Shift+Ins.
// Alt+Up (248) and Alt+Down (249) step the console font where there is one
// and never reach a screen.
//
// Waiting. ReadEvent is one poll and does not block. ReadKey and the windows'
// GetKey sleep on the terminal whenever nothing can come without new input,
// until input arrives or the idle hook falls due, so a screen waiting for a
// key costs next to nothing. Only a held mouse button (which produces a code
// on every poll) and the countdowns of the dialogs poll with short sleeps.
#pragma once

#include <cstdint>

#include "platform/input_event.h"
#include "ui/window.h"

namespace ui {

// --- Mouse state ----------------------------------------------------------------

// The last mouse event taken (evaluated again on every poll without a new one).
extern platform::MouseEvent LastMouseEvent;
extern uint16_t HeldButtons;
extern uint16_t LastReleased;
extern int32_t LastUpTime;   // hundredths of the day of the last button-up
extern uint8_t PendingDouble;
extern uint8_t PendingRelease;
extern uint8_t Dragging;     // the button was already down at the previous poll
extern uint8_t Moving;       // the last event was a move
extern uint8_t FirstRepeat;  // the next auto-repeat waits the long delay
extern uint8_t LastBarCode;

// Two presses of one button closer than this many hundredths are a double click.
inline constexpr int kDoubleClickHundredths = 24;

// --- Time -----------------------------------------------------------------------

struct Timer {
  int16_t hour = 0, minute = 0, second = 0, hundredth = 0;
};

// Where the event reader gets its time and does its waiting. The system one
// reads the local clock and sleeps on the terminal; tests install their own
// to drive the mouse timing without real waiting.
class TimeSource {
 public:
  virtual ~TimeSource() = default;
  virtual Timer Now() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Waits at most milliseconds for input; returns whether there is some.
  virtual bool WaitForInput(int milliseconds) = 0;
};
// Installs a time source (none: the system's). Not owned.
void SetTimeSource(TimeSource* source);
TimeSource& Time();

void StartTimer(Timer& timer);
// Hundredths of a second since the timer started (negative across midnight).
int32_t ElapsedHundredths(const Timer& timer);
int32_t HundredthsBetween(const Timer& a, const Timer& b);
int32_t HundredthsOfDay();

// --- Reading ----------------------------------------------------------------------

// One poll: a key code, a mouse code, or 0 when nothing happened.
uint8_t ReadEvent();
// The next non-zero code, through the top window's GetKey when there is one.
uint8_t ReadKey();
// True when a new poll cannot produce a code before new input arrives (no
// key, mouse event or break waiting, no button held, nothing pending).
bool EventReaderIdle();
// Sleeps until input arrives, at most milliseconds (and at most a second, so
// that a break signal is seen).
void WaitForInput(int milliseconds);

// --- Hot keys ---------------------------------------------------------------------

using HotKeyCallback = void (*)();
// Enters a callback for a key code above 128 under a group tag.
void RegisterHotKey(uint8_t tag, uint8_t key, HotKeyCallback callback);
void UnregisterHotKeys(uint8_t tag);
void ClearHotKeys();
// Runs the callback registered for key (unless it is already running) or the
// font step of Alt+Up / Alt+Down; the key becomes 0 then. Returns whether the
// key was handled.
bool HotKeyDispatch(uint8_t& key);
// The font steps of Alt+Up and Alt+Down; none where the console has no font
// to change (the keys are swallowed all the same).
extern void (*FontStepHook)(int direction);

// The mouse handling of an active key bar: given the mouse code of a poll
// (or 0), returns the code to deliver. None while no key bar is shown.
extern uint8_t (*KeyBarMouseHook)(uint8_t code);

// Called by the event reader when the terminal changed its size.
extern void (*TerminalResizedHook)();
// Called before the readers sleep waiting for input.
extern void (*BeforeWaitHook)();

// Called while ReadKey waits, every interval hundredths of a second.
void SetIdleHook(void (*procedure)(), int32_t intervalHundredths);

// --- Helpers ----------------------------------------------------------------------

// Waits the auto-repeat delay (long for the first repeat) and tells whether
// the same button is still held without moving.
bool MouseRepeatDue();
// Drops every waiting key.
void FlushKeys();
void ErrorBeep();
// Plays a note: octave 0.., note 1 the octave's C; duration 0 leaves it on.
void Tone(int octave, int note, unsigned duration);
// The frequency Tone plays, rounded to the nearest hertz.
int ToneFrequency(int octave, int note);

// Start-up of the event reader: empty hot-key table, no idle hook, a mouse
// when the terminal reports one.
void StartEvents();
// Back to the values before start-up (tests).
void ResetEvents();

}  // namespace ui
