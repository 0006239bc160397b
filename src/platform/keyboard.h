// The keyboard layer: the key strokes, mouse events and break flag of the
// system, read from the current terminal.
//
// The terminal delivers decoded input events (key_decoder.h). This layer
// queues them and offers two ways of reading keys, both on the same queue:
//
// - character-style: KeyWaiting / ReadKeyChar give one byte per call, the
//   character of a key or 0 followed by the key's scan code, remapped for the
//   modifiers as a PC BIOS does (F1 59, Shift+F1 84, Ctrl+F1 94, Alt+F1 104);
// - event-style: KeyStrokeReady / TakeKeyStroke give KeyStrokes, with the
//   function and cursor keys as function-key codes, plus one pending slot
//   (PlaceKeyStroke) that is read before the queue.
//
// Mouse events wait in a queue of their own; the break event (Ctrl+C, or
// SIGINT once InstallBreakSignal ran) sets the break flag.
//
// Alt with keypad digits: while Alt is held, digits typed on the keypad are
// collected (code := code * 10 + digit, modulo 256) and delivered as one
// character. A terminal reports no key releases, so the code is delivered when
// the next other input arrives or after a pause (AltDigitsPauseMs) without
// input. Only terminals that send the keypad's digits distinguishably (SS3 p..y
// in application keypad mode) can report such keys at all.
//
// All of it runs on the program's one thread; only the break flag may be set
// from a signal handler.
#pragma once

#include <cstdint>

#include "platform/input_event.h"

namespace platform {

// A key stroke, one 32-bit value: bits 0-7 the character (0 when none),
// bits 8-15 the scan code, bits 16-23 the shift state (ShiftBits), bits 24-25
// the kind. For a function key (kind 2) the low 16 bits hold the function-key
// code instead of character and scan code.
using KeyStroke = uint32_t;

enum KeyStrokeKind : uint8_t {
  kStrokeChar = 0,      // a key that produced a character
  kStrokeFunction = 2,  // a function, cursor or editing key
  kStrokePhysical = 3,  // another key without a character (Alt+letter, Shift+Tab...)
};

// Function-key codes (the low 16 bits of a kind 2 stroke).
enum FunctionKey : uint16_t {
  kFnF1 = 0xFF01, kFnF2, kFnF3, kFnF4, kFnF5, kFnF6, kFnF7, kFnF8, kFnF9, kFnF10,
  kFnF11 = 0xFF0B, kFnF12 = 0xFF0C,
  kFnHome = 0xFF20, kFnUp, kFnPgUp, kFnLeft, kFnCentre, kFnRight, kFnEnd, kFnDown, kFnPgDn,
  kFnIns, kFnDel,
};

constexpr KeyStroke MakeKeyStroke(uint16_t low, uint8_t shift, uint8_t kind) {
  return static_cast<KeyStroke>(low) | static_cast<KeyStroke>(shift) << 16 |
         static_cast<KeyStroke>(kind) << 24;
}
constexpr uint8_t StrokeChar(KeyStroke k) { return static_cast<uint8_t>(k); }
constexpr uint8_t StrokeScan(KeyStroke k) { return static_cast<uint8_t>(k >> 8); }
constexpr uint16_t StrokeCode(KeyStroke k) { return static_cast<uint16_t>(k); }
constexpr uint8_t StrokeShift(KeyStroke k) { return static_cast<uint8_t>(k >> 16); }
constexpr uint8_t StrokeKind(KeyStroke k) { return static_cast<uint8_t>(k >> 24) & 3; }

// The scan code that character-style reading delivers for a key without a
// character: the key's scan code remapped for the modifiers (Alt is looked at
// first, then Ctrl, then Shift); keys without a remapping keep their code.
uint8_t RemapScanCode(uint8_t scan, uint8_t shift);

// The function-key code of a scan code as event-style reading remaps it
// (F1..F12 with each modifier, Home..Del), or 0 when the key has none.
uint16_t FunctionKeyOfScan(uint8_t scan);

// The event-style stroke of a key: kind 0 for a key with a character; kind 2
// when the key has a function-key code, with its shift state; kind 3
// otherwise, with character 0 and the scan code (Alt+digits remapped to
// 120..131, so that Alt+1 is 0x7800).
KeyStroke StrokeOfKey(const PhysicalKey& key);

// ---- Character-style reading ----

// True when ReadKeyChar returns without waiting. Reads what the terminal has
// sent; mouse events go to their queue, the break event to the break flag.
bool KeyWaiting();

// Waits for a key and returns its character, or 0 for a key without one; the
// next call then returns that key's remapped scan code without waiting.
// Waits in slices of at most one second.
uint8_t ReadKeyChar();

// ---- Event-style reading ----

// True when a key stroke can be taken without waiting; *next (when given)
// receives it without taking it. The placed stroke comes first.
bool KeyStrokeReady(KeyStroke* next = nullptr);

// Waits for the next key stroke and takes it.
KeyStroke TakeKeyStroke();

// Puts a stroke into the single pending slot that the next KeyStrokeReady /
// TakeKeyStroke returns first; a second call replaces the first.
void PlaceKeyStroke(KeyStroke stroke);

// ---- Mouse ----

bool MouseEventWaiting();
// Takes the oldest mouse event; false when there is none.
bool TakeMouseEvent(MouseEvent& event);

// ---- Other input ----

// True (once) when the terminal changed its size since the last call.
bool TakeResize();

// The break flag: set by the terminal's break event (Ctrl+C) and by SIGINT
// once InstallBreakSignal ran; cleared by whoever reports it.
bool BreakFlag();
void SetBreakFlag(bool on);

// Makes SIGINT set the break flag instead of ending the program.
void InstallBreakSignal();

// ---- Waiting ----

// Waits until a key stroke, a mouse event, the break flag or a resize is there
// to be taken, at most timeoutMs (-1: no limit), sleeping on the terminal
// meanwhile. Returns whether something is there.
bool WaitForInput(int timeoutMs);

// ---- Diagnostics ----

// Called with every input event as the terminal delivered it (raw bytes
// included), before the layer sorts it into its queues; null to stop.
void SetInputObserver(void (*observer)(const InputEvent& event));

// Takes the next queued key as the keyboard reported it (after Alt+keypad
// digits are collected into one character), without waiting; false when no
// key is queued. For tools that show a key's parts.
bool TakeKey(PhysicalKey& key);

// ---- Settings and tests ----

inline constexpr int kDefaultAltDigitsPauseMs = 700;
// How long collected Alt+keypad digits wait for more before they are delivered.
void SetAltDigitsPauseMs(int ms);

// Drops every queued event, the pending scan code, the placed stroke,
// collected Alt digits and the break and resize flags; restores the defaults.
void ResetKeyboard();

}  // namespace platform
