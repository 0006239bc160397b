#include "engine/locking.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine/open_files.h"
#include "engine/status.h"
#include "engine/wait_box.h"
#include "platform/dos_dir.h"
#include "platform/dos_file.h"
#include "platform/keyboard.h"
#include "text/literal.h"
#include "text/picture.h"
#include "text/strings.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"

namespace engine {

using namespace text::literals;
namespace io = platform::io;

void (*WaitPollHook)() = nullptr;

namespace {

int64_t LockOffset(const DataFile& f, int32_t record) {
  return (int64_t{record} + 1) * f.RecLen - 1;
}

// Lets a lock of this program go and takes it off the descriptor's list.
void DropLock(DataFile& f, int32_t record) {
  f.Handle.UnlockByte(LockOffset(f, record));
  f.HeldLocks.erase(std::remove(f.HeldLocks.begin(), f.HeldLocks.end(), record),
                    f.HeldLocks.end());
}

void ProgrammerError() {
  ui::Prompt("A programozó elrontotta"_cp + '\0' + "a tranzakció kezelést"_cp + '\0' +
                 "Értesítse (kíméletesen)!"_cp,
             "");
}

// Whether the user pressed Esc while the box is shown (other keys are taken
// and dropped).
bool EscPressed() { return platform::KeyWaiting() && ui::ReadKey() == 27; }

}  // namespace

int PollPauseMicros(int poll) {
  if (poll < 3) return 0;
  const int shift = std::min(poll - 3, 5);
  return std::min(100 << shift, 2000);
}

void PausePoll(int poll) {
  if (WaitPollHook) WaitPollHook();
  const int us = PollPauseMicros(poll);
  if (us == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
}

bool LockApplies(const DataFile& f, int32_t record) {
  if (!LockingEnabled || CurrentOpenMode == ModeDenyWrite) return false;
  if (record != 0 && (f.Mode != ModeShared || f.TransactionDepth > 0)) return false;
  return true;
}

bool HoldsLock(const DataFile& f, int32_t record) {
  return std::find(f.HeldLocks.begin(), f.HeldLocks.end(), record) != f.HeldLocks.end();
}

void LockRecord(DataFile& f, int32_t record) {
  if (!LockApplies(f, record) || HoldsLock(f, record)) return;
  WaitBox box;
  for (int poll = 0;; ++poll) {
    const platform::IoCode rc = f.Handle.LockByte(LockOffset(f, record));
    if (rc == io::kOk) break;
    if (rc != io::kAccessDenied) {
      // Not another station's lock (a closed file, a negative number...).
      IoStatus = rc;
      CheckIoStatus(f, record);
      return;
    }
    if (record != 0) box.ShowRecordBusy(f.Name, record);
    PausePoll(poll);
  }
  f.HeldLocks.push_back(record);
  box.Remove(true);
}

void UnlockRecord(DataFile& f, int32_t record) {
  if (LockApplies(f, record)) DropLock(f, record);
}

bool HoldHeaderForSearch(DataFile& f) {
  if (HoldsLock(f, 0) || CurrentOpenMode == ModeDenyWrite) return false;
  for (int poll = 0;; ++poll) {
    const platform::IoCode rc = f.Handle.LockByte(LockOffset(f, 0));
    if (rc == io::kOk) break;
    if (rc != io::kAccessDenied) return false;
    PausePoll(poll);
  }
  f.HeldLocks.push_back(0);
  return true;
}

void ReleaseHeaderHold(DataFile& f) { DropLock(f, 0); }

// --- Transactions and shared use ---------------------------------------------------

bool BeginTransaction(DataFile& f) {
  if (f.SharedDepth > 0) return true;
  if (f.TransactionDepth > 0) {
    ++f.TransactionDepth;
    return true;
  }
  WaitBox box;
  for (int poll = 0;; ++poll) {
    RefreshHeaderLocked(f);
    const bool busy = f.TransactionFlag != 0;
    const bool shared = f.SharedUsers > 0;
    if (!busy && !shared) {
      f.TransactionFlag = 1;
      StoreHeader(f);
      break;
    }
    UnlockRecord(f, 0);
    box.ShowFileBusy(busy ? TransactionRunningLine() : FileTakenLine(), f.Name);
    if (EscPressed()) {
      box.Remove(false);
      return false;
    }
    PausePoll(poll);
  }
  box.Remove(false);
  ++f.TransactionDepth;
  return true;
}

void EndTransaction(DataFile& f) {
  if (f.TransactionDepth <= 0 && f.SharedDepth <= 0) ProgrammerError();
  if (f.SharedDepth <= 0) {
    --f.TransactionDepth;
    if (f.TransactionDepth == 0) {
      RefreshHeaderLocked(f);
      f.TransactionFlag = 0;
      StoreHeader(f);
    }
  }
  if (f.TransactionDepth < 0) f.TransactionDepth = 0;
  if (f.SharedDepth < 0) f.SharedDepth = 0;
}

bool BeginSharedUse(DataFile& f) {
  if (f.TransactionDepth > 0) return true;
  if (f.SharedDepth > 0) {
    ++f.SharedDepth;
    return true;
  }
  WaitBox box;
  for (int poll = 0;; ++poll) {
    RefreshHeaderLocked(f);
    if (f.TransactionFlag == 0) {
      ++f.SharedUsers;
      StoreHeader(f);
      break;
    }
    UnlockRecord(f, 0);
    box.ShowFileBusy(TransactionRunningLine(), NameWithoutFolder(f.Name));
    if (EscPressed()) {
      box.Remove(false);
      return false;
    }
    PausePoll(poll);
  }
  box.Remove(false);
  ++f.SharedDepth;
  return true;
}

void EndSharedUse(DataFile& f) {
  if (f.TransactionDepth <= 0 && f.SharedDepth <= 0) ProgrammerError();
  if (f.TransactionDepth <= 0) {
    --f.SharedDepth;
    if (f.SharedDepth == 0) {
      RefreshHeaderLocked(f);
      if (f.SharedUsers > 0) --f.SharedUsers;
      StoreHeader(f);
    }
  }
  if (f.TransactionDepth < 0) f.TransactionDepth = 0;
  if (f.SharedDepth < 0) f.SharedDepth = 0;
}

namespace {

bool IsMember(const OpenFileEntry& e) {
  return e.file != nullptr && e.member == 1 && (e.kind == KindData || e.kind == KindIndex);
}

}  // namespace

bool BeginMemberTransactions() {
  const int mark = TableHighWater();
  for (int i = 1; i <= mark; ++i) {
    if (!IsMember(TableEntry(i))) continue;
    if (!BeginTransaction(*TableEntry(i).file)) {
      for (int j = 1; j < i; ++j) {
        if (IsMember(TableEntry(j))) EndTransaction(*TableEntry(j).file);
      }
      return false;
    }
  }
  return true;
}

void EndMemberTransactions() {
  const int mark = TableHighWater();
  for (int i = 1; i <= mark; ++i) {
    if (IsMember(TableEntry(i))) EndTransaction(*TableEntry(i).file);
  }
}

void SetMembership(DataFile& f, int32_t flag) {
  if (f.TableSlot >= 1) TableEntry(f.TableSlot).member = flag;
}

void ClearMemberships() {
  const int mark = TableHighWater();
  for (int i = 1; i <= mark; ++i) TableEntry(i).member = 0;
}

// --- Switches ---------------------------------------------------------------------------

void SetLocking(bool on) {
  LockingEnabled = on;
  LockSuspendDepth = on ? 0 : 1;
}

void SuspendLocking() {
  ++LockSuspendDepth;
  LockingEnabled = false;
}

void ResumeLocking() {
  --LockSuspendDepth;
  if (LockSuspendDepth <= 0) {
    LockSuspendDepth = 0;
    LockingEnabled = true;
  } else {
    LockingEnabled = false;
  }
}

void PauseLocking() {
  PausedLocking = LockingEnabled;
  LockingEnabled = false;
}

void RestoreLocking() { LockingEnabled = PausedLocking; }

// --- Stuck header words ------------------------------------------------------------

int ResetStuckHeaders(std::string_view mask, std::string_view excludedPart,
                      std::string_view excludedNames, const LineWriter& out) {
  auto write = [&](std::string_view s, bool endLine) {
    if (out) {
      out(s, endLine);
    } else if (endLine) {
      ui::WriteFlowLine(s);
    } else {
      ui::WriteFlow(s);
    }
  };
  const std::string part = text::UpperOem(excludedPart);
  const std::string names = text::UpperOem(excludedNames);
  const size_t cut = mask.find_last_of("\\/:");
  const std::string folder(cut == std::string_view::npos ? "" : mask.substr(0, cut + 1));

  int count = 0;
  platform::DirSearch search;
  platform::DirEntry entry;
  for (platform::IoCode rc = platform::FindFirst(mask, platform::attr::kAny, search, entry);
       rc == io::kOk; rc = platform::FindNext(search, entry)) {
    // Folders and labels hold no header.
    if (entry.attributes & (platform::attr::kDirectory | platform::attr::kVolumeLabel)) continue;
    const std::string upper = text::UpperOem(entry.name);
    if (names.find(upper) != std::string::npos) continue;
    if (!part.empty() && upper.find(part) != std::string::npos) continue;
    ++count;
    write(text::FormatNumber("#####", count) + ". " + entry.name, false);

    platform::DosFile file;
    if (platform::OpenFile(folder + entry.name, platform::Access::ReadWrite,
                           platform::Share::DenyNone, platform::Disposition::OpenExisting,
                           file) == io::kOk) {
      uint8_t header[kHeaderSize];
      if (file.ReadAt(0, header, sizeof header) == io::kOk) {
        const bool transaction = header[16] != 0;
        const bool users = header[17] != 0 || header[18] != 0;
        if (transaction) write(" Tranzakció!"_cpv, false);
        if (users) write(" Lock!", false);
        if (transaction || users) {
          header[16] = header[17] = header[18] = 0;
          file.WriteAt(0, header, sizeof header);
        }
      }
      file.Close();
    }
    write("", true);
  }
  platform::FindClose(search);
  return count;
}

}  // namespace engine
