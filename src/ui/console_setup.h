// The console window on a terminal: the 80 x 25 screen the system is drawn
// for, asked of the terminal at start-up and the terminal's own size given
// back at the end.
//
// A terminal has no font the program could choose, so there is no font
// fitting and no font step: Alt+Up and Alt+Down are swallowed by the event
// reader all the same. The window title is kept on the terminal's title stack
// while the program runs (the terminal pushes it when taken over and pops it
// when given back).
//
// A terminal smaller than 80 x 25 shows the part of the screen that fits; its
// top row then carries a notice asking for a larger window. After every
// resize the screen is drawn again whole.
#pragma once

#include <cstdint>

namespace ui {

// Set when the environment variable TERMINAL has the value "TERMINAL": the
// terminal's window is left at the size the user gave it.
extern bool TerminalMode;
bool TerminalModeFromEnvironment();

// The terminal's size as found by ConsoleSetup (0 before).
extern int SavedColumns;
extern int SavedRows;

// Start-up (once until ConsoleShutdown): remembers the terminal's size, asks for 80 x 25 (unless
// TerminalMode), sets the screen size and the text window to the whole
// screen, and installs the redraw after a resize.
void ConsoleSetup();
// Shutdown: asks for the size the terminal had at start-up when it was
// changed.
void ConsoleShutdown();

// Draws the notice on a terminal smaller than 80 x 25; nothing on a large
// enough one. Returns whether the notice is shown.
bool ShowUndersizeNotice();
// The redraw after a resize: the whole screen, then the notice if needed.
void RedrawAfterResize();

// The start-up of the toolkit as a module: mouse detection and the event
// reader's state, base colour, cursor, window stack, dialogs.
void StartToolkitModule();

}  // namespace ui
