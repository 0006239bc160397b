// uidemo: two framed windows over a patterned background and a prompt, for
// trying the toolkit in a real terminal (and for its end-to-end test).
//
//   p        asks "Menti a változásokat?" with Igen / Nem and shows the answer
//   t        the same with the ten-second countdown
//   q        ends the program
// The top window can be dragged by its top-left corner.
//
//   uidemo [--log FILE]   also appends "answer N" for every answer to FILE
#include <cstdio>
#include <cstring>
#include <string>

#include "console/screen.h"
#include "text/literal.h"
#include "ui/console_setup.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"
#include "updater/startup.h"

using namespace text::literals;

namespace {

FILE* logFile = nullptr;

void Background() {
  console::LockUpdates();
  console::FillRect(1, 1, 80, 25, 0xB1, 0x13);
  console::PutText(" uidemo: p = kérdés, t = időzített kérdés, q = vége "_cp, 1, 2, 0x1E);
  console::UnlockUpdates();
  console::RefreshScreen();
}

void ShowAnswer(int answer) {
  ui::WriteAt(2, 4, "Válasz: "_cp + std::to_string(answer) + "   ", 0x1E);
  if (logFile) {
    std::fprintf(logFile, "answer %d\n", answer);
    std::fflush(logFile);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--log") == 0) logFile = std::fopen(argv[i + 1], "a");

  updater::StartProgram(argc, argv);
  ui::TerminalMode = ui::TerminalModeFromEnvironment();
  ui::ConsoleSetup();
  ui::StartToolkitModule();

  Background();
  console::SetTextAttr(0x1F);
  ui::Window first(5, 3, 45, 12);
  first.SetTitle("Első ablak"_cp);
  first.Draw();
  ui::WriteAt(2, 2, "Ez az első ablak."_cp, 0x1F);
  ui::DrawShadow(5, 3, 45, 12);

  console::SetTextAttr(0x2F);
  ui::Window second(30, 12, 70, 20);
  second.SetTitle("Második ablak\0húzható a bal felső sarkánál"_cp);
  second.Draw();
  ui::WriteAt(2, 2, "Nyomja meg a p betűt a kérdéshez."_cp, 0x2F);
  ShowAnswer(-1);

  for (;;) {
    const uint8_t key = ui::ReadKey();
    if (key == 'q' || key == 'Q') break;
    if (key == 'p' || key == 'P') ShowAnswer(ui::Prompt("Menti a változásokat?"_cp, "IN"));
    if (key == 't' || key == 'T') ShowAnswer(ui::PromptTimed("Menti a változásokat?"_cp, "IN"));
  }

  second.Done();
  first.Done();
  ui::ConsoleShutdown();
  if (logFile) std::fclose(logFile);
  updater::EndProgram(0);
}
