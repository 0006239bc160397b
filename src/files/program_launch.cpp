#include "files/program_launch.h"

#include <vector>

#include "console/screen.h"
#include "platform/dos_fs.h"
#include "platform/lifecycle.h"
#include "platform/process.h"
#include "platform/terminal.h"
#include "settings/settings_files.h"
#include "text/literal.h"
#include "text/strings.h"
#include "ui/events.h"
#include "ui/window.h"

namespace files {

using namespace text::literals;
namespace io = platform::io;

const std::string kPauseText = "Tovább bármivel..."_cp;
const std::string kExitAfterEnter = "Az Enter lenyomása után a program kilép!"_cp;

namespace {

platform::IoCode lastLaunchError = io::kOk;

// The pause line runs as a small shell program on the terminal the child
// has just left: it goes to the terminal's bottom row, for a fresh line
// clears it and scrolls one row up, writes the text and reads one key (the
// whole key: a function key sends several bytes at once) in raw mode, which
// it then puts back. Without a terminal it ends at once.
constexpr const char* kPauseScript =
    "exec </dev/tty >/dev/tty 2>/dev/null || exit 0\n"
    "printf '\\033[999;1H'\n"
    "[ \"$2\" = fresh ] && printf '\\033[K\\r\\n'\n"
    "printf '%s' \"$1\"\n"
    "s=$(stty -g) || exit 0\n"
    "stty raw -echo\n"
    "dd bs=64 count=1 >/dev/null 2>&1\n"
    "stty \"$s\"\n"
    "printf '\\r\\n'\n";

void PauseLine(bool freshRow) {
  std::string shell;
  if (!platform::DosPathOfHost("/bin/sh", shell)) shell = "sh";
  uint16_t ignored = 0;
  platform::RunAndWait({shell, "-c", kPauseScript, "pause", kPauseText, freshRow ? "fresh" : "keep"},
                       ignored);
}

bool Absolute(std::string_view name) {
  return (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '\\');
}

std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '\\' && out.back() != ':') out += '\\';
  return out + std::string(name);
}

uint16_t Run(std::string_view programIn, std::string_view parametersIn, bool pause, bool freshRow) {
  const std::string program = text::TrimRight(programIn);
  const std::string parameters = text::TrimRight(parametersIn);
  lastLaunchError = io::kOk;

  if (text::UpperOem(program) == "CD") {
    if (platform::ChangeFolder(parameters) == io::kOk ||
        platform::ChangeFolder(text::FileNameChars(parameters)) == io::kOk)
      return 0;
  }

  ui::ScreenState state;
  ui::SaveScreenState(state);
  console::CellBuffer screen;
  console::SaveRect(1, 1, 80, 25, true, screen);
  platform::Terminal& terminal = platform::CurrentTerminal();
  const bool hadTerminal = terminal.Started();
  if (hadTerminal) terminal.Stop();
  ui::RestoreScreenState(state);

  const std::string found = FindProgramFile(program);
  std::string commandLine;
  if (!found.empty() && found.find('"') == std::string::npos)
    commandLine = "\"" + found + "\"";
  else if (program.find('"') == std::string::npos)
    commandLine = "\"" + program + "\"";
  else
    commandLine = program;
  commandLine += "  " + parameters;

  uint16_t exitCode = 0;
  lastLaunchError = platform::RunAndWait(commandLine, exitCode);
  if (lastLaunchError) exitCode = kNotStarted;
  if (pause) PauseLine(freshRow);

  if (hadTerminal) terminal.Start();
  console::RestoreRect(1, 1, 80, 25, true, screen);
  ui::RestoreScreenState(state);
  return exitCode;
}

}  // namespace

std::string FindProgramFile(std::string_view name) {
  if (name.empty()) return {};
  std::vector<std::string> candidates;
  if (name.find('.') != std::string_view::npos) {
    candidates.emplace_back(name);
  } else {
    for (const char* ext : {".exe", ".bat", ".com"}) candidates.push_back(std::string(name) + ext);
  }
  std::vector<std::string> places = {platform::CurrentFolder()};
  if (!Absolute(name)) {
    const std::string& list = settings::ProgramFolder();
    for (int i = 1, n = text::FieldCount(list, ';'); i <= n; ++i) {
      std::string folder = text::Trim(text::FieldOf(list, ';', i));
      if (!folder.empty()) places.push_back(folder);
    }
  }
  for (const std::string& candidate : candidates) {
    if (Absolute(candidate)) {
      if (platform::FileExists(candidate)) return candidate;
      continue;
    }
    for (const std::string& place : places) {
      const std::string path = Join(place, candidate);
      if (platform::FileExists(path)) return path;
    }
  }
  return {};
}

uint16_t RunProgram(std::string_view program, std::string_view parameters, bool pause) {
  return Run(program, parameters, pause, true);
}

uint16_t RunProgramKeepLine(std::string_view program, std::string_view parameters, bool pause) {
  return Run(program, parameters, pause, false);
}

uint16_t RunCommandLine(std::string_view commandLine) {
  std::string_view line = commandLine;
  const bool endAfter = !line.empty() && line.back() == '\0';
  if (endAfter) line.remove_suffix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\0')) line.remove_suffix(1);
  const size_t blank = line.find(' ');
  const std::string_view program = blank == std::string_view::npos ? line : line.substr(0, blank);
  const std::string_view parameters =
      blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  const uint16_t code = RunProgramKeepLine(program, parameters, false);
  if (endAfter) platform::StopProgram(0);
  return code;
}

uint16_t RunProgramThenExit(std::string_view programName) {
  if (programName.empty() || programName.back() != '\0')
    return RunProgramKeepLine(programName, "", false);
  programName.remove_suffix(1);
  const uint16_t code = RunProgramKeepLine(programName, "", false);
  ui::WriteFlowLine(kExitAfterEnter);
  ui::ReadKey();
  platform::StopProgram(0);
  return code;
}

bool OpenWithShell(std::string_view file, std::string_view parameters) {
  return platform::ShellOpen(file, parameters) == io::kOk;
}

platform::IoCode LastLaunchError() { return lastLaunchError; }

}  // namespace files
