// filesdemo: a full-screen program that starts other programs, for trying
// the program launch in a real terminal (and for its end-to-end tests).
//
//   r   runs the program with its parameters
//   p   the same with the pause line on a fresh row
//   k   the same with the pause line over the bottom row
//   c   "CD" to the folder
//   q   ends the program
//
//   filesdemo [--log FILE] [--program NAME] [--params TEXT] [--folder DOSPATH]
// Each run appends "run CODE ERROR" (ERROR: why nothing ran, 0 when it ran)
// and each "CD" "cd CODE FOLDER" to FILE; the screen itself is left alone.
#include <cstdio>
#include <cstring>
#include <string>

#include "console/screen.h"
#include "files/program_launch.h"
#include "platform/dos_fs.h"
#include "text/literal.h"
#include "ui/console_setup.h"
#include "ui/events.h"
#include "ui/window.h"
#include "updater/startup.h"

using namespace text::literals;

namespace {

FILE* logFile = nullptr;

void Log(const std::string& line) {
  if (!logFile) return;
  std::fprintf(logFile, "%s\n", line.c_str());
  std::fflush(logFile);
}

}  // namespace

int main(int argc, char** argv) {
  std::string program = "child.exe", params, folder = "..";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--log") == 0) logFile = std::fopen(argv[i + 1], "a");
    if (std::strcmp(argv[i], "--program") == 0) program = argv[i + 1];
    if (std::strcmp(argv[i], "--params") == 0) params = argv[i + 1];
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
  }

  updater::StartProgram(argc, argv);
  ui::TerminalMode = ui::TerminalModeFromEnvironment();
  ui::ConsoleSetup();
  ui::StartToolkitModule();

  console::LockUpdates();
  console::FillRect(1, 1, 80, 25, 0xB0, 0x17);
  console::PutText(" filesdemo: r = futtatás, p = szünettel, k = szünet a sorban, c = CD, q = vége "_cp,
                   1, 1, 0x1E);
  console::UnlockUpdates();
  console::SetTextAttr(0x2F);
  ui::Window box(10, 6, 70, 18);
  box.SetTitle("Programindítás"_cp);
  box.Draw();
  ui::WriteAt(2, 2, "Program: "_cp + program, 0x2F);
  ui::WriteAt(2, 3, "Paraméterek: "_cp + params, 0x2F);
  ui::WriteAt(2, 4, "Mappa: "_cp + folder, 0x2F);
  ui::WriteAt(2, 6, "Árvíztűrő tükörfúrógép ░▒▓█"_cp, 0x2E);
  console::SetCursorPos(2, 8);

  for (;;) {
    const uint8_t key = ui::ReadKey();
    if (key == 'q' || key == 'Q') break;
    if (key == 'r' || key == 'p' || key == 'k') {
      const uint16_t code = key == 'k' ? files::RunProgramKeepLine(program, params, true)
                                       : files::RunProgram(program, params, key == 'p');
      Log("run " + std::to_string(code) + " " + std::to_string(files::LastLaunchError()));
    }
    if (key == 'c') {
      const uint16_t code = files::RunProgram("cd", folder, false);
      Log("cd " + std::to_string(code) + " " + platform::CurrentFolder());
    }
  }

  box.Done();
  ui::ConsoleShutdown();
  if (logFile) std::fclose(logFile);
  updater::EndProgram(0);
}
