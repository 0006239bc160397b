#include "lists/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/dos_fs.h"
#include "platform/lifecycle.h"
#include "text/literal.h"
#include "text/strings.h"
#include "ui/dialog.h"

namespace lists {

using namespace text::literals;

namespace {

// A step that cannot fail in a sound system failed: the program ends with
// the I/O code, as a run-time error would end it.
[[noreturn]] void StopWithIoError(platform::IoCode code) {
  static char report[64];
  std::snprintf(report, sizeof report, "Runtime error %u (I/O)\n", static_cast<unsigned>(code));
  platform::SetExitReport(report);
  platform::StopProgram(code);
}

// The host folder the temporary files go to.
std::string HostTempFolder() {
  const char* env = std::getenv("TMPDIR");
  if (env && env[0] == '/') return env;
  return "/tmp";
}

// True when a file can be created in the folder (with its closing "\");
// the test file is erased again.
bool Writable(const std::string& folder) {
  const std::string name = folder + std::string(kTempTestFile);
  platform::DosFile file;
  if (platform::OpenFile(name, platform::Access::Write, platform::Share::DenyNone,
                         platform::Disposition::CreateAlways, file) != platform::io::kOk)
    return false;
  if (platform::IoCode rc = file.Close()) StopWithIoError(rc);
  if (platform::IoCode rc = platform::DeleteFile(name)) StopWithIoError(rc);
  return true;
}

char DriveLetterOf(std::string_view drive) {
  if (drive.empty()) return 0;
  char c = drive[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return c;
}

}  // namespace

std::string GetTempFolder() {
  std::string folder;
  if (platform::DosPathOfHost(HostTempFolder(), folder)) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    if (folder.size() > text::kMaxText || !Writable(folder)) folder.clear();
  } else {
    folder.clear();
  }
  if (folder.empty())
    ui::TimedNotice(3, "Nincsen vagy hibás a \"gettemppath\", lassabb lesz a program"_cp);
  return folder;
}

std::string VolumeLabel(std::string_view drive) {
  // "C", "C:" and "C:\" all name the root of C:.
  if (drive.size() > 1 && drive[1] != ':') return {};
  const char letter = DriveLetterOf(drive);
  if (letter < 'A' || letter > 'Z') return {};
  return text::CutToCapacity(platform::DriveLabel(letter, platform::NameCode::Cp852));
}

uint32_t UtcStampOfLocal(uint32_t localDosDateTime) {
  time_t t;
  if (localDosDateTime == 0 || !platform::TimeFromDosDateTime(localDosDateTime, t)) return 0;
  const std::tm* utc = std::gmtime(&t);
  if (!utc || utc->tm_year < 80 || utc->tm_year > 80 + 127) return 0;
  const uint32_t date = static_cast<uint32_t>(((utc->tm_year - 80) << 9) | ((utc->tm_mon + 1) << 5) |
                                              utc->tm_mday);
  const uint32_t time = static_cast<uint32_t>((utc->tm_hour << 11) | (utc->tm_min << 5) |
                                              (utc->tm_sec / 2));
  return (date << 16) | time;
}

void FileStampAndSize(std::string_view name, uint32_t& stamp, uint32_t& size) {
  stamp = size = 0;
  platform::DirSearch search;
  platform::DirEntry entry;
  if (platform::FindFirst(name, platform::attr::kAny, search, entry) == platform::io::kOk) {
    stamp = UtcStampOfLocal(entry.dosDateTime);
    size = static_cast<uint32_t>(entry.size);
  }
  platform::FindClose(search);
}

uint32_t FileStamp(std::string_view name) {
  uint32_t stamp, size;
  FileStampAndSize(name, stamp, size);
  return stamp;
}

bool SameFileStamp(std::string_view a, std::string_view b) {
  uint32_t stampA, sizeA, stampB, sizeB;
  FileStampAndSize(a, stampA, sizeA);
  FileStampAndSize(b, stampB, sizeB);
  return stampA == stampB && static_cast<int32_t>(stampA) > 0 && sizeA == sizeB && sizeA != 0;
}

uint32_t FileCreationStamp(std::string_view name) {
  platform::DosFile file;
  if (platform::OpenFile(name, platform::Access::Read, platform::Share::DenyNone,
                         platform::Disposition::OpenExisting, file) != platform::io::kOk)
    return 0;
  uint32_t local = 0;
  const platform::IoCode rc = file.GetCreationStamp(local);
  if (platform::IoCode closed = file.Close()) StopWithIoError(closed);
  return rc == platform::io::kOk ? UtcStampOfLocal(local) : 0;
}

bool RenameFile(std::string_view oldName, std::string_view newName) {
  return platform::RenameFile(oldName, newName) == platform::io::kOk;
}

}  // namespace lists
