#include "ui/console_setup.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "console/screen.h"
#include "platform/terminal.h"
#include "text/literal.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"

namespace ui {

using namespace text::literals;

bool TerminalMode = false;
int SavedColumns = 0;
int SavedRows = 0;

namespace {

constexpr std::string_view kLargerWindow = "Nagyítsa az ablakot legalább 80 x 25 méretűre!"_cpv;

bool setUp = false;
bool sizeRequested = false;
// The terminal's byte count right after the notice was drawn: when more was
// written since, a refresh may have drawn over it.
uint64_t bytesAfterNotice = 0;
bool noticeShown = false;

// Before the program sleeps waiting for input: the notice is drawn again if
// the screen changed under it.
void KeepNotice() {
  const platform::Terminal& t = platform::CurrentTerminal();
  if (noticeShown && t.bytesWritten == bytesAfterNotice) return;
  ShowUndersizeNotice();
}

}  // namespace

bool TerminalModeFromEnvironment() {
  const char* v = std::getenv("TERMINAL");
  return v != nullptr && std::string_view(v) == "TERMINAL";
}

void ConsoleSetup() {
  if (setUp) return;  // once per run: a second call would take 80 x 25 as the user's size
  setUp = true;
  platform::Terminal& t = platform::CurrentTerminal();
  int columns = 0, rows = 0;
  t.Size(columns, rows);
  SavedColumns = columns;
  SavedRows = rows;
  sizeRequested = false;
  if (!TerminalMode && t.Started() && (columns != 80 || rows != 25)) {
    t.RequestSize(80, 25);
    sizeRequested = true;
  }
  console::ScreenColumns = platform::kScreenColumns;
  console::ScreenRows = platform::kScreenRows;
  console::SetTextWindow(1, 1, 80, 25);
  TerminalResizedHook = RedrawAfterResize;
  BeforeWaitHook = KeepNotice;
  noticeShown = false;
}

void ConsoleShutdown() {
  setUp = false;
  platform::Terminal& t = platform::CurrentTerminal();
  if (sizeRequested && SavedColumns > 0 && SavedRows > 0) t.RequestSize(SavedColumns, SavedRows);
  sizeRequested = false;
  if (TerminalResizedHook == RedrawAfterResize) TerminalResizedHook = nullptr;
  if (BeforeWaitHook == KeepNotice) BeforeWaitHook = nullptr;
}

bool ShowUndersizeNotice() {
  platform::Terminal& t = platform::CurrentTerminal();
  if (!t.Started()) return false;
  int columns = 80, rows = 25;
  t.Size(columns, rows);
  noticeShown = false;
  if (columns >= 80 && rows >= 25) return false;
  if (columns < 1 || rows < 1) return false;
  // The whole top row, so that no part of the screen row is left beside it.
  std::string notice(kLargerWindow);
  notice.resize(static_cast<size_t>(columns), ' ');
  t.ShowBanner(notice, console::CursorScreenRow() - 1, console::CursorScreenColumn() - 1);
  noticeShown = true;
  bytesAfterNotice = t.bytesWritten;
  return true;
}

void RedrawAfterResize() {
  platform::InvalidateScreen();
  console::RefreshScreen();
  ShowUndersizeNotice();
}

void StartToolkitModule() {
  StartEvents();
  StartToolkit();
  ResetDialogs();
}

}  // namespace ui
