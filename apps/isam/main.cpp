// isam: a command-line tool for the engine's data files.
//
//   isam info FILE RECLEN
//       The header of a data file and its counts, one "Name: value" a line:
//       FirstFree, FreeCount, RootPage, SlotCount, TransactionFlag,
//       SharedUsers (as stored) and LiveRecords (slots whose byte 4 is not 0).
//       The file is opened read-only and shared; nothing is changed.
//   isam keys INDEX KEYLEN [--dup]
//   isam check INDEX KEYLEN [--dup] [--data FILE RECLEN]
//   isam load DATA RECLEN INDEX KEYLEN [--dup] POS LEN
//       Index files: see index_commands.cpp.
//   isam rebuild "Datafile Indexfile Rh D Kp Kh [Kp Kh]..."
//       Rebuilds an index from its data file (rebuild_command.cpp).
//   isam reset-stuck MASK [EXCLUDED_PART [EXCLUDED_NAMES]]
//       Clears the transaction flag and the shared-user count left in the
//       headers of the matching files by stations that stopped, listing each
//       file. Names containing EXCLUDED_PART, or occurring in EXCLUDED_NAMES
//       ("JOG.DAT;JEL.DAT"), are skipped (case ignored).
//
// Paths are host paths (or DOS paths with a drive letter). Exit code 0 on
// success, 1 with a message on standard error otherwise; a fatal engine
// error ends with the engine's report and its code. The terminal's full
// screen is taken only if a message box has to wait for a key.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine/locking.h"
#include "engine/status.h"
#include "platform/cp852.h"
#include "platform/dos_dir.h"
#include "platform/dos_name.h"
#include "platform/dos_path.h"
#include "platform/lifecycle.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "settings/registry_settings.h"
#include "ui/events.h"

int IndexCommand(int argc, char** argv);            // -1: a usage error
int RebuildCommand(std::string_view commandUtf8);

namespace {

bool screenTaken = false;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "isam: %s\n", message.c_str());
  std::fflush(stderr);
  platform::StopProgram(1);
}

// A box waits for a key: only then is the terminal taken over, and the box
// drawn so far shown on it.
void TakeScreenForBox() {
  if (screenTaken) return;
  screenTaken = true;
  auto real = platform::MakePosixTerminal();
  if (!real->Start()) Fail("a message needs a terminal, and there is none");
  platform::SetTerminal(std::move(real));
  platform::InvalidateScreen();
  platform::RefreshScreen();
}

// A path of the command line (UTF-8, host or DOS form) as a DOS path in
// code page 852 naming the same file, absolute so that no search path is
// consulted.
std::string DosPathOf(std::string_view arg, bool pattern) {
  const std::string cp = platform::Utf8ToCp852(arg);
  if (arg.size() >= 2 && arg[1] == ':') return cp;
  std::error_code ec;
  std::filesystem::path host = std::filesystem::absolute(std::string(arg), ec);
  if (ec) Fail(std::string(arg) + ": " + ec.message());
  std::string name;
  if (pattern) {
    name = host.filename().string();
    host = host.parent_path();
  }
  std::string dos;
  if (!platform::DosPathOfHost(host.lexically_normal().string(), dos)) {
    Fail(std::string(arg) + ": no drive holds this path");
  }
  if (pattern) {
    if (dos.empty() || dos.back() != '\\') dos += '\\';
    dos += platform::Utf8ToCp852(name);
  }
  return dos;
}

void Print(const std::string& cp852) {
  const std::string utf8 = platform::Cp852ToUtf8(cp852);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int Info(std::string_view fileArg, std::string_view recLenArg) {
  char* end = nullptr;
  const std::string recLenText(recLenArg);
  const long recLen = std::strtol(recLenText.c_str(), &end, 10);
  if (recLenText.empty() || *end != '\0' || recLen < engine::kMinRecLen ||
      recLen > engine::kMaxRecLen) {
    Fail("record length must be a number from 19 to 10000, not \"" + recLenText + "\"");
  }
  const std::string name = DosPathOf(fileArg, false);
  platform::DirEntry entry;
  const platform::IoCode rc = platform::GetFileInfo(name, entry);
  if (rc != platform::io::kOk || (entry.attributes & platform::attr::kDirectory)) {
    Fail(std::string(fileArg) + ": " +
         (rc == platform::io::kOk ? std::string("is a folder")
                                  : platform::Cp852ToUtf8(engine::RuntimeErrorText(rc)) +
                                        " (code " + std::to_string(rc) + ")"));
  }
  if (entry.size < static_cast<uint64_t>(recLen)) {
    Fail(std::string(fileArg) + ": " + std::to_string(entry.size) +
         " bytes, too short for a header slot of " + std::to_string(recLen));
  }
  if (entry.size % static_cast<uint64_t>(recLen) != 0) {
    Fail(std::string(fileArg) + ": size " + std::to_string(entry.size) +
         " is not a multiple of the record length " + std::to_string(recLen) +
         " (wrong record length?)");
  }

  engine::SetOpenMode(engine::ModeReadOnly, 0);
  engine::DataFile f;
  engine::OpenDataFile(f, name, static_cast<int32_t>(recLen));
  engine::RestoreOpenMode();
  if (!engine::OpOk) {
    Fail(std::string(fileArg) + ": cannot open: " +
         platform::Cp852ToUtf8(engine::RuntimeErrorText(engine::IoStatus)) + " (code " +
         std::to_string(engine::IoStatus) + ")");
  }
  // The stored header as it is now (the open keeps the transaction flag of
  // this program, not the file's).
  engine::RefreshHeader(f);
  std::vector<uint8_t> buf(static_cast<size_t>(recLen));
  int64_t live = 0;
  for (int32_t r = 1; r < f.LiveSlots; ++r) {
    engine::ReadRecord(f, r, buf.data());
    live += engine::RecordLive;
  }
  std::printf("FirstFree: %d\nFreeCount: %d\nRootPage: %d\nSlotCount: %d\n", f.FirstFree,
              f.FreeCount, f.RootPage, f.SlotCount);
  std::printf("TransactionFlag: %d\nSharedUsers: %d\nLiveRecords: %lld\n", f.TransactionFlag,
              f.SharedUsers, static_cast<long long>(live));
  engine::CloseDataFile(f);
  return 0;
}

int ResetStuck(std::string_view maskArg, std::string_view part, std::string_view names) {
  const std::string mask = DosPathOf(maskArg, true);
  const size_t cut = mask.find_last_of('\\');
  const std::string folder = cut == std::string::npos ? "." : mask.substr(0, cut + 1);
  if (!platform::FolderExists(folder)) Fail(std::string(maskArg) + ": no such folder");
  const int n = engine::ResetStuckHeaders(mask, platform::Utf8ToCp852(part),
                                          platform::Utf8ToCp852(names),
                                          [](std::string_view s, bool endLine) {
                                            Print(std::string(s) + (endLine ? "\n" : ""));
                                          });
  if (n == 0) std::printf("no file matches %s\n", std::string(maskArg).c_str());
  return 0;
}

void Usage() {
  Fail(
      "usage: isam info FILE RECLEN\n"
      "       isam keys INDEX KEYLEN [--dup]\n"
      "       isam check INDEX KEYLEN [--dup] [--data FILE RECLEN]\n"
      "       isam load DATA RECLEN INDEX KEYLEN [--dup] POS LEN\n"
      "       isam rebuild \"Datafile Indexfile Rh D Kp Kh [Kp Kh]...\"\n"
      "       isam reset-stuck MASK [EXCLUDED_PART [EXCLUDED_NAMES]]");
}

}  // namespace

int main(int argc, char** argv) {
  platform::InstallExitSignalHandlers();
  // The headless screen, not even started, until a box needs the real one
  // (so that a fatal report is printed without waiting for a key).
  platform::ScreenStart();
  ui::BeforeWaitHook = TakeScreenForBox;
  settings::StartRegistrySettings();
  engine::StartEngine();

  if (argc < 2) Usage();
  const std::string_view command = argv[1];
  int rc = 1;
  if (command == "info" && argc == 4) {
    rc = Info(argv[2], argv[3]);
  } else if (command == "keys" || command == "check" || command == "load") {
    rc = IndexCommand(argc, argv);
    if (rc == -1) Usage();
  } else if (command == "rebuild" && argc == 3) {
    rc = RebuildCommand(argv[2]);
  } else if (command == "reset-stuck" && argc >= 3 && argc <= 5) {
    rc = ResetStuck(argv[2], argc > 3 ? argv[3] : "", argc > 4 ? argv[4] : "");
  } else {
    Usage();
  }
  std::fflush(stdout);
  engine::StopEngine();
  platform::StopProgram(rc);
}
