// The start-up order of the system, in one place.
//
// Modules start top to bottom and stop bottom to top. A module that joins
// the system adds its line here, at its place in the order:
//   1. the platform's text-console layer (terminal, screen buffer)
//   2. the text and number utilities
//   3. the console control handler (Ctrl+C becomes a key)
//   4. the registry module (StationId empty)
//   5. the settings file names
//   6. the user-interface module (screen, mouse and keyboard layers, console
//      window, ProgramFolder and the data search path, today's date, update
//      settings, the toolkit, the text window set to the whole screen)
//   7. the record maintenance layer, screen utilities, code page tables, list
//      screens and the database engine (buffers, open-file table)
//   8. the suite-year defaults and the FTP module
#include "updater/startup.h"

#include <unistd.h>

#include <iterator>

#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/keyboard.h"
#include "platform/lifecycle.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "platform/dos_path.h"
#include "settings/registry_settings.h"
#include "settings/settings_files.h"
#include "ui/console_setup.h"
#include "engine/status.h"
#include "updater/suite_year.h"

namespace updater {

namespace {

const char* argv0 = "";

void StartConsolePlatform() {
  platform::SetTerminal(platform::MakePosixTerminal());
  if (!platform::CurrentTerminal().Start()) {
    static const char kMsg[] = "No way to get the console handle\n";
    ssize_t ignored = ::write(STDERR_FILENO, kMsg, sizeof kMsg - 1);
    (void)ignored;
    platform::StopProgram(1);
  }
  platform::ScreenStart();
  platform::ResetKeyboard();
  console::ResetScreenOutput();
  platform::RefreshScreen();
}

void StopConsolePlatform() {
  platform::CurrentTerminal().Stop();
  platform::ScreenStop();
}

void StartBreakHandler() { console::InstallBreakHandler(); }

// The settings file names hang on the program's own file.
void StartSettingsFileNames() {
  settings::SetProgramFile(platform::ProgramFile(argv0));
  settings::StartSettingsFiles();
}

// The user-interface module: the file names again, the program's folder as
// the start of the data search path, the update settings.
void StartUserInterface() {
  settings::SetSettingsFileNames();
  ui::TerminalMode = ui::TerminalModeFromEnvironment();
  ui::ConsoleSetup();
  platform::RefreshScreen();
  settings::SetProgramFolder(settings::FolderOf(settings::ProgramFile()));
  settings::SetDataSearchPath(settings::ProgramFolder());
  settings::LoadUpdateSettings();
  ui::StartToolkitModule();
  console::SetTextWindow(1, 1, 80, 25);
}

void StopUserInterface() { ui::ConsoleShutdown(); }

const platform::ModuleEntry kStartupOrder[] = {
    {"console platform layer", StartConsolePlatform, StopConsolePlatform},
    {"console control handler", StartBreakHandler, nullptr},
    {"registry module", settings::StartRegistrySettings, nullptr},
    {"settings file names", StartSettingsFileNames, nullptr},
    {"user interface", StartUserInterface, StopUserInterface},
    {"database engine", engine::StartEngine, engine::StopEngine},
    {"suite-year defaults", updater::StartSuiteYear, nullptr},
};

}  // namespace

void StartProgram(int argc, char** argv) {
  argv0 = argc > 0 && argv[0] ? argv[0] : "";
  platform::InstallExitSignalHandlers();
  platform::StartModules(kStartupOrder, std::size(kStartupOrder));
}

void EndProgram(int code) { platform::StopProgram(code); }

const char* ProgramArgv0() { return argv0; }

}  // namespace updater
