#include "updater/update_run.h"

#include <cstdio>
#include <string>

#include "console/screen.h"
#include "files/folder_ops.h"
#include "files/program_launch.h"
#include "lists/temp_folder.h"
#include "platform/dos_fs.h"
#include "platform/lifecycle.h"
#include "settings/settings_files.h"
#include "text/literal.h"
#include "text/strings.h"
#include "ui/colours.h"
#include "ui/dialog.h"
#include "ui/window.h"
#include "updater/ftp_transfer.h"
#include "updater/suite_year.h"

namespace updater {

namespace {

using namespace text::literals;

constexpr uint8_t kShade = 176;  // "░"

// A step that cannot fail in a sound installation failed: the program stops
// with the I/O code as its exit code, after the terminal is put back.
[[noreturn]] void RunTimeError(platform::IoCode code) {
  static char report[64];
  std::snprintf(report, sizeof report, "Runtime error %u\n", static_cast<unsigned>(code));
  platform::SetExitReport(report);
  platform::StopProgram(code);
}

void MustEnter(std::string_view folder) {
  if (platform::IoCode rc = platform::ChangeFolder(folder)) RunTimeError(rc);
}

const ui::FrameSet& ProgramFrameSet(int style) {
  switch (style) {
    case 1:
    case 4:
    case 5:
      return ui::FrameSetOf(style);
    default:
      return ui::FrameSetOf(ui::kDoubleFrame);
  }
}

}  // namespace

void DrawProgramScreen(int left, int top, int right, int bottom, int frameStyle, int shadow) {
  const uint8_t attr = console::GetTextAttr();
  console::SetTextWindow(1, 2, 80, 24);
  ui::DrawWindowFrame("", ui::FrameSetOf(ui::kDoubleFrame), attr, attr);
  ui::FillWindow(kShade, 0x07);
  if (left == 0) {
    left = 10;
    top = 6;
    right = 70;
    bottom = 19;
  }
  if (shadow) ui::DrawShadow(left, top, right, bottom);
  console::SetTextWindow(left, top, right, bottom);
  ui::FillWindow(' ', console::GetTextAttr());
  ui::DrawWindowFrame("", ProgramFrameSet(frameStyle), console::GetTextAttr(),
                      console::GetTextAttr());
}

std::string ProgramFolderOf(std::string_view programFile) {
  return settings::FolderOf(programFile);
}

std::string ClientIdOf(std::string_view programFile) {
  const size_t cut = programFile.find_last_of("\\/:");
  std::string name(cut == std::string_view::npos ? programFile : programFile.substr(cut + 1));
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) {
    const std::string extension = name.substr(dot);
    name.erase(name.find(extension), extension.size());
  }
  std::erase(name, ' ');
  auto removeBracketed = [&name](char open, char close) {
    const size_t from = name.find(open);
    if (from == std::string::npos) return;
    const size_t to = name.find(close);
    if (to != std::string::npos && to > from) name.erase(from, to - from + 1);
  };
  removeBracketed('(', ')');
  removeBracketed('[', ']');
  name.erase(0, std::min<size_t>(5, name.size()));
  return name;
}

std::string RemoteFolderFor(std::string_view clientId) {
  if (clientId.empty()) return DefaultProgramId();
  return "ugy" + std::string(SuiteYear) + "/" + std::string(clientId);
}

void UpdateRun(std::string_view programFile) {
  ui::FillWindow(kShade, console::GetTextAttr());
  DrawProgramScreen(0, 0, 0, 0, 3, 1);
  ui::WriteAt(1, 1, "Vantor-kettős könyvelés  programfrissítés 20"_cp + std::string(SuiteYear),
              console::GetTextAttr());
  ui::WriteAt(1, 2, std::string(46, '='), console::GetTextAttr());
  if (ui::Prompt("Program-frissítő letöltése, majd a programfrissítés indulhat?"_cp, "IN") != 1)
    return;

  const std::string tempFolder = lists::GetTempFolder();
  if (!tempFolder.empty()) MustEnter(tempFolder);

  const std::string programFolder = ProgramFolderOf(programFile);
  const std::string remoteFolder = RemoteFolderFor(ClientIdOf(programFile));

  (void)platform::MakeFolder(WorkFolderName);  // an existing one is fine
  MustEnter(WorkFolderName);

  files::DeleteFileQuiet("UNZIP.EXE");
  files::DeleteFileQuiet(PayloadName);
  files::DeleteFileQuiet("frissit.exe");

  ui::SavedRowRef status;
  ui::StatusMessage(true, "zip letöltése......"_cp, status);
  bool stepOk = FtpDownload(remoteFolder, ArchiveName);
  ui::StatusMessage(false, "", status);

  // The archive's own result is not looked at: a missing archive shows in
  // the check of the unpacked files.
  ui::StatusMessage(true, "unzip.exe letöltése"_cp, status);
  stepOk = FtpDownload("", "unzip.exe");
  ui::StatusMessage(false, "", status);

  ui::StatusMessage(true, "kicsomagolás ......"_cp, status);
  if (stepOk) files::RunProgram("unzip.exe", "-qo " + std::string(ArchiveName), false);
  ui::StatusMessage(false, "", status);

  if (stepOk)
    stepOk = platform::FileExists(PayloadName) && platform::FileExists("unzip.exe") &&
             platform::FileExists("frissit.exe");
  files::DeleteFileQuiet(ArchiveName);

  if (stepOk)
    files::RunProgram("frissit.exe", "", false);
  else
    ui::Prompt("Nincs mind:" + std::string(PayloadName) + " unzip.exe frissit.exe", "");

  MustEnter(programFolder);
}

}  // namespace updater
