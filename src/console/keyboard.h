// Key input for the rest of the system: the one-byte key code read in two
// steps, keys pushed back to be read again, and the break flag that Ctrl+C
// sets instead of ending the program.
//
// The key code is one byte: a key's code page 852 character, or 128 + the
// key's scan code for a key without one (F1 187, Up 200). The event reader of
// the toolkit reads PendingKeyText first, one character per read, then the
// key strokes of the keyboard layer (platform/keyboard.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/keyboard.h"

namespace console {

using platform::KeyStroke;

// Capacity of PendingKeyText.
inline constexpr size_t kPendingKeyTextCapacity = 255;

// Keys waiting to be read again (counted string, capacity 255).
extern std::string PendingKeyText;

// Waits for a key and returns its code: the character, or for a key without
// one its scan code (remapped for the modifiers) with bit 7 set.
uint8_t ReadKeyCode();

// Puts a key stroke with this character (or function-key code) in bits 0-15
// and this kind in bits 24-31 into the keyboard layer's pending slot.
void PushKey(uint16_t character, uint8_t kind);

// Stores text (cut to 255) as PendingKeyText and pushes each of its first 15
// characters as a kind 0 stroke (the pending slot keeps the last), so that
// code waiting for a key sees one.
void PushKeys(std::string_view text);

// The break flag: set by Ctrl+C (the terminal's break event, or SIGINT once
// InstallBreakHandler ran); cleared by the reader that reports it.
bool BreakFlag();
void SetBreakFlag(bool on);

// Registers the break handler at start-up: SIGINT sets the break flag and no
// longer ends the program. (Ctrl+C typed on the taken-over terminal arrives
// as a key byte and sets the flag without a signal.)
void InstallBreakHandler();

// Puts this module's state back to its start-up values (tests); resets the
// keyboard layer too.
void ResetKeyboardInput();

}  // namespace console
