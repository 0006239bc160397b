#include "engine/data_file.h"

#include <algorithm>
#include <cstring>

#include "engine/errors.h"
#include "engine/le32.h"
#include "engine/locking.h"
#include "engine/open_files.h"
#include "engine/status.h"
#include "platform/dos_dir.h"
#include "platform/lifecycle.h"
#include "settings/registry_settings.h"
#include "settings/settings_files.h"
#include "text/literal.h"
#include "text/picture.h"
#include "ui/dialog.h"

namespace engine {

using namespace text::literals;
namespace io = platform::io;

namespace {

// The access and sharing of the engine's most recent open or make, which
// FlushFile reopens with.
platform::Access lastAccess = platform::Access::ReadWrite;
platform::Share lastShare = platform::Share::DenyNone;

// Counts read from a damaged header may sit at the ends of the range: the
// arithmetic on them saturates instead of overflowing.
int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
int32_t Step(int32_t v, int d) { return Clamp32(int64_t{v} + d); }

int64_t SlotOffset(const DataFile& f, int32_t record) { return int64_t{record} * f.RecLen; }
int64_t LockOffset(const DataFile& f, int32_t record) {
  return (int64_t{record} + 1) * f.RecLen - 1;
}

uint8_t* Scratch() {
  if (ScratchBuffer.size() < static_cast<size_t>(kScratchSize)) {
    ScratchBuffer.assign(kScratchSize, 0);
  }
  return ScratchBuffer.data();
}

bool ValidRecLen(int32_t recLen) { return recLen >= kMinRecLen && recLen <= kMaxRecLen; }

// A record length the engine cannot handle: the open or make is refused.
bool RefuseRecLen(std::string_view name, int32_t recLen) {
  if (ValidRecLen(recLen)) return false;
  OpOk = false;
  IoStatus = io::kInvalidAccessMode;
  ui::Prompt("Hibás rekordhossz a(z) "_cp + std::string(name) + " állománynál!"_cp + '\0' +
                 "Rekordméret: "_cp + std::to_string(recLen) + " (19..10000)",
             "");
  return true;
}

// Whether the whole slot lies inside the file (a failed read of it is then
// another station's lock, not the end of the file).
bool SlotWithinFile(const DataFile& f, int32_t record) {
  int64_t size = 0;
  if (f.Handle.Size(size) != io::kOk) return false;
  return record >= 0 && SlotOffset(f, record) + f.RecLen <= size;
}

// Reads n bytes of the slot; the code of the read.
platform::IoCode ReadSlot(DataFile& f, int32_t record, uint8_t* buf, size_t n, size_t* done) {
  if (platform::IoCode rc = f.Handle.Seek(SlotOffset(f, record))) return rc;
  return f.Handle.Read(buf, n, done);
}

// Reads the whole slot while this program holds its lock: the slot holds no
// other lock byte, so no other station's lock can refuse the read.
platform::IoCode ReadHeldSlot(DataFile& f, int32_t record, uint8_t* buf) {
  if (platform::IoCode rc = f.Handle.Seek(SlotOffset(f, record))) return rc;
  return f.Handle.ReadLockedRange(buf, static_cast<size_t>(f.RecLen));
}

// Writes the slot. A write that fails while extending the file (disk full)
// cuts the file back to its old size, so that it keeps whole slots and stays
// readable. Only the last slot this program knows of (a new one is counted
// before it is written) or one beyond can extend the file, so only then is
// the old size asked for.
platform::IoCode WriteSlot(DataFile& f, int32_t record, const uint8_t* buf) {
  int64_t oldSize = -1;
  if (record >= f.LiveSlots - 1) f.Handle.Size(oldSize);
  platform::IoCode rc = f.Handle.Seek(SlotOffset(f, record));
  if (rc == io::kOk) rc = f.Handle.Write(buf, static_cast<size_t>(f.RecLen));
  if (rc != io::kOk && oldSize >= 0 && SlotOffset(f, record) + f.RecLen > oldSize) {
    f.Handle.SetSize(oldSize);
  }
  return rc;
}

[[noreturn]] void Damaged(const DataFile& f, int32_t record, uint16_t code) {
  IoStatus = code;
  CheckIoStatus(f, record);
  StopEngineProgram(code);  // not reached
}

// The disk header just read into buf becomes the descriptor's, checked for
// damage first: a header that points outside the file ends in the fatal
// report (code 100) rather than in writes at absurd places.
void AdoptHeader(DataFile& f, const uint8_t* buf) {
  DataFile disk;
  DecodeHeader(buf, disk);
  f.TransactionFlag = disk.TransactionFlag;
  f.SharedUsers = disk.SharedUsers;
  if (f.RecLen >= kChangeCountEnd) f.ChangeCount = static_cast<uint32_t>(Get32(buf + kChangeCountAt));
  if (disk.FirstFree == f.FirstFree && disk.FreeCount == f.FreeCount &&
      disk.RootPage == f.RootPage && disk.SlotCount == f.SlotCount) {
    return;
  }
  int64_t size = 0;
  f.Handle.Size(size);
  const bool sane = disk.SlotCount >= 1 && int64_t{disk.SlotCount} * f.RecLen <= size &&
                    (disk.FirstFree == -1 ||
                     (disk.FirstFree >= 1 && disk.FirstFree < disk.SlotCount)) &&
                    disk.FreeCount >= 0;
  if (!sane) Damaged(f, 0, io::kShortRead);
  f.FirstFree = disk.FirstFree;
  f.FreeCount = disk.FreeCount;
  f.RootPage = disk.RootPage;
  f.SlotCount = disk.SlotCount;
  f.LiveSlots = disk.SlotCount;
}

void IllegalOperation(const DataFile& f) {
  ui::Prompt("Illegális file müvelet!"_cp + '\0' + NameWithoutFolder(f.Name), "");
}

void AccessOfMode(int32_t mode, platform::Access& access, platform::Share& share) {
  switch (mode) {
    case ModeReadOnly: access = platform::Access::Read; share = platform::Share::DenyNone; break;
    case ModeExclusive:
    case ModeDenyWrite:
      access = platform::Access::ReadWrite;
      share = platform::Share::DenyWrite;
      break;
    default: access = platform::Access::ReadWrite; share = platform::Share::DenyNone; break;
  }
}

// folder + the first 6 characters of the base name + StationId + extension.
std::string StationCopyName(std::string_view name) {
  const size_t cut = name.find_last_of("\\/:");
  const size_t baseStart = cut == std::string_view::npos ? 0 : cut + 1;
  const std::string_view folder = name.substr(0, baseStart);
  const std::string_view file = name.substr(baseStart);
  const size_t dot = file.rfind('.');
  const std::string_view base = file.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? "" : file.substr(dot);
  return std::string(folder) + std::string(base.substr(0, 6)) + settings::StationId() +
         std::string(ext);
}

// A new, empty file's header written as slot 0 of an open handle.
void WriteNewHeader(DataFile& f) {
  f.FirstFree = -1;
  f.FreeCount = 0;
  f.RootPage = 0;
  f.SlotCount = 1;
  f.LiveSlots = 1;
  f.TransactionFlag = 0;
  f.SharedUsers = 0;
  uint8_t* s = Scratch();
  std::memset(s, 0, static_cast<size_t>(f.RecLen));
  EncodeHeader(f, s);
  const int64_t lockAt = LockOffset(f, 0);
  f.Handle.LockByte(lockAt);
  IoStatus = WriteSlot(f, 0, s);
  f.Handle.UnlockByte(lockAt);
  CheckIoStatus(f, 0);
}

void ResetDescriptor(DataFile& f, int32_t mode) {
  f.Mode = mode;
  f.TransactionDepth = 0;
  f.SharedDepth = 0;
  f.HeldLocks.clear();
}

// Steps shared by both opens once the OS file is open: the header, the live
// slot count, the table entry.
void FinishOpen(DataFile& f, int32_t mode, int32_t membership) {
  ResetDescriptor(f, mode);
  f.FirstFree = -1;
  f.FreeCount = 0;
  f.RootPage = 0;
  f.SlotCount = 0;
  uint8_t* s = Scratch();
  ReadRecordForUpdate(f, 0, s);
  DecodeHeader(s, f);
  UnlockRecord(f, 0);
  int64_t size = 0;
  IoStatus = f.Handle.Size(size);
  CheckIoStatus(f, 0);
  f.LiveSlots = static_cast<int32_t>(std::min<int64_t>(size / f.RecLen, INT32_MAX));
  OpOk = true;
  f.TableSlot = static_cast<int16_t>(TakeTableEntry());
  RegisterFile(f.TableSlot, &f, KindData);
  TableEntry(f.TableSlot).member = membership;
  f.TransactionFlag = 0;
}

}  // namespace

void EncodeHeader(const DataFile& f, uint8_t* out) {
  Put32(out + 0, f.FirstFree);
  Put32(out + 4, f.FreeCount);
  Put32(out + 8, f.RootPage);
  Put32(out + 12, f.SlotCount);
  out[16] = f.TransactionFlag;
  const auto su = static_cast<uint16_t>(f.SharedUsers);
  out[17] = static_cast<uint8_t>(su);
  out[18] = static_cast<uint8_t>(su >> 8);
  if (f.RecLen >= kChangeCountEnd) Put32(out + kChangeCountAt, static_cast<int32_t>(f.ChangeCount));
}

void DecodeHeader(const uint8_t* in, DataFile& f) {
  f.FirstFree = Get32(in + 0);
  f.FreeCount = Get32(in + 4);
  f.RootPage = Get32(in + 8);
  f.SlotCount = Get32(in + 12);
  f.TransactionFlag = in[16];
  f.SharedUsers = static_cast<int16_t>(in[17] | in[18] << 8);
  if (f.RecLen >= kChangeCountEnd) f.ChangeCount = static_cast<uint32_t>(Get32(in + kChangeCountAt));
}

bool ReadChangeCount(DataFile& f, uint32_t& count) {
  if (f.RecLen < kChangeCountEnd) return false;
  uint8_t* s = Scratch();
  // The whole slot, so that the read also meets another station's lock of
  // its last byte; the lock is tested before the bytes are read.
  size_t got = 0;
  const platform::IoCode rc = f.Handle.ReadAt(0, s, static_cast<size_t>(f.RecLen), &got);
  if (rc != io::kOk || got != static_cast<size_t>(f.RecLen)) return false;
  count = static_cast<uint32_t>(Get32(s + kChangeCountAt));
  return true;
}

bool SharedHeader(const DataFile& f) {
  return f.Mode == ModeShared || f.Mode == ModeReadOnly || f.Mode == ModeDenyWrite;
}

std::string NameWithoutFolder(std::string_view name) {
  const size_t cut = name.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

std::string RecordLengthMessage(std::string_view name, int64_t size, int32_t recLen) {
  return "Hibás rekordhossz a(z) "_cp + std::string(name) + " állománynál!"_cp + '\0' +
         "Fileméret  : "_cp + text::FormatNumber("###.###.###.", static_cast<long double>(size)) +
         '\0' + "Rekordméret: "_cp + text::FormatNumber("####", recLen) + "  Nem osztható!"_cp;
}

// --- Opening and closing ------------------------------------------------------------

void OpenDataFile(DataFile& f, std::string_view name, int32_t recLen) {
  if (CurrentOpenMode == ModeExclusive) {
    OpenDataFileExclusive(f, name, recLen);
    return;
  }
  if (RefuseRecLen(name, recLen)) return;
  const int32_t mode = CurrentOpenMode;
  f.Name = settings::LocateDataFile(name).substr(0, 255);
  f.RecLen = recLen;
  f.TableSlot = 0;
  platform::Access access;
  platform::Share share;
  AccessOfMode(mode, access, share);
  lastAccess = access;
  lastShare = share;

  std::string sizeName(name);
  if (mode == ModeStationCopy) {
    f.Name = StationCopyName(name).substr(0, 255);
    sizeName = f.Name;
    if (platform::CreateFile(f.Name, f.Handle) == io::kOk) {
      OpOk = true;
      WriteNewHeader(f);
      f.Handle.Close();
    }
  }

  IoStatus = platform::OpenFile(f.Name, access, share, platform::Disposition::OpenExisting,
                                f.Handle);
  OpOk = IoStatus == io::kOk;
  if (!OpOk) return;

  // The record length must divide the size of the file under the caller's
  // name (a file found only through the locator is not checked).
  platform::DirEntry entry;
  const uint64_t size = platform::GetFileInfo(sizeName, entry) == io::kOk ? entry.size : 0;
  if (size % static_cast<uint64_t>(recLen) != 0) {
    ui::Prompt(RecordLengthMessage(name, static_cast<int64_t>(size), recLen), "");
    StopEngineProgram(0);
  }
  FinishOpen(f, mode, CurrentMembership);
}

void OpenDataFileExclusive(DataFile& f, std::string_view name, int32_t recLen) {
  if (RefuseRecLen(name, recLen)) return;
  f.Name = settings::LocateDataFile(name).substr(0, 255);
  f.RecLen = recLen;
  f.TableSlot = 0;
  lastAccess = platform::Access::ReadWrite;
  lastShare = platform::Share::DenyWrite;
  IoStatus = platform::OpenFile(f.Name, lastAccess, lastShare,
                                platform::Disposition::OpenExisting, f.Handle);
  OpOk = IoStatus == io::kOk;
  if (!OpOk) return;
  FinishOpen(f, ModeExclusive, 0);
}

void MakeDataFile(DataFile& f, std::string_view name, int32_t recLen) {
  if (CurrentOpenMode == ModeStationCopy) {
    OpenDataFile(f, name, recLen);
    return;
  }
  if (RefuseRecLen(name, recLen)) return;
  f.Name = std::string(name).substr(0, 255);
  f.RecLen = recLen;
  f.TableSlot = 0;
  lastAccess = platform::Access::ReadWrite;
  lastShare = platform::Share::DenyNone;
  IoStatus = platform::CreateFile(f.Name, f.Handle);
  if (IoStatus != io::kOk) {
    OpOk = false;
    return;
  }
  OpOk = true;
  WriteNewHeader(f);
  IoStatus = f.Handle.Close();
  CheckIoStatus(f, 0);
  OpenDataFile(f, name, recLen);
}

void OpenOrMakeDataFile(DataFile& f, std::string_view name, int32_t recLen) {
  OpenDataFile(f, name, recLen);
  if (!OpOk) MakeDataFile(f, name, recLen);
}

void CloseDataFile(DataFile& f) {
  const int32_t mode = f.Mode;
  const bool savedLocking = LockingEnabled;
  LockingEnabled = true;
  if (f.Handle.IsOpen()) {
    uint8_t* s = Scratch();
    bool write = true;
    if (SharedHeader(f)) {
      ReadRecord(f, 0, s);
      DataFile disk;
      DecodeHeader(s, disk);
      if (disk.TransactionFlag == 0 && f.TransactionDepth <= 0 && f.SharedDepth <= 0) {
        write = false;
      } else {
        RefreshHeaderLocked(f);
      }
    }
    if (write) {
      f.SlotCount = f.LiveSlots;
      if (f.TransactionDepth > 0) {
        f.TransactionFlag = 0;
        f.TransactionDepth = 0;
      }
      if (f.SharedDepth > 0 && f.SharedUsers > 0) --f.SharedUsers;
      std::memset(s, 0, static_cast<size_t>(f.RecLen));
      EncodeHeader(f, s);
      if (mode != ModeReadOnly && (mode == ModeExclusive || SharedHeader(f))) {
        WriteRecord(f, 0, s);
      }
    }
    IoStatus = f.Handle.Close();
    if (mode == ModeStationCopy) platform::DeleteFile(f.Name);
    CheckIoStatus(f, 0);
  }
  FreeTableEntry(f.TableSlot);
  f.TableSlot = 0;
  f.TransactionDepth = 0;
  f.SharedDepth = 0;
  f.HeldLocks.clear();
  LockingEnabled = savedLocking;
}

void RecreateDataFile(DataFile& f) {
  const std::string name = settings::LocateDataFile(f.Name);
  const int32_t recLen = f.RecLen;
  SetOpenMode(f.Mode, TableEntry(f.TableSlot).member);
  CloseDataFile(f);
  MakeDataFile(f, name, recLen);
  RestoreOpenMode();
}

void FlushFile(DataFile& f) {
  f.Handle.Close();
  f.HeldLocks.clear();
  IoStatus = platform::OpenFile(f.Name, lastAccess, lastShare,
                                platform::Disposition::OpenExisting, f.Handle);
  CheckIoStatus(f, 0);
}

// --- Header transfer --------------------------------------------------------------

void RefreshHeaderLocked(DataFile& f) {
  if (!SharedHeader(f)) return;
  uint8_t* s = Scratch();
  ReadRecordForUpdate(f, 0, s);
  AdoptHeader(f, s);
}

void RefreshHeader(DataFile& f) {
  if (!SharedHeader(f)) return;
  uint8_t* s = Scratch();
  ReadRecord(f, 0, s);
  AdoptHeader(f, s);
}

namespace {

// The descriptor's header as a whole slot 0 in the scratch buffer.
uint8_t* HeaderImage(const DataFile& f) {
  uint8_t* s = Scratch();
  std::memset(s, 0, static_cast<size_t>(f.RecLen));
  EncodeHeader(f, s);
  return s;
}

}  // namespace

void StoreHeader(DataFile& f) {
  if (SharedHeader(f)) WriteRecord(f, 0, HeaderImage(f));
}

void StoreHeaderKeepLock(DataFile& f) {
  if (SharedHeader(f)) WriteRecordKeepLock(f, 0, HeaderImage(f));
}

// --- Records -----------------------------------------------------------------------

int32_t AllocateSlot(DataFile& f) {
  RefreshHeaderLocked(f);
  uint8_t* s = Scratch();
  int32_t record;
  if (f.FirstFree == -1) {
    record = f.LiveSlots;
    if (record < 1 || record == INT32_MAX) Damaged(f, record, io::kShortRead);
    ++f.LiveSlots;
    std::memset(s, 0, static_cast<size_t>(f.RecLen));  // a placeholder
    IoStatus = WriteSlot(f, record, s);
    CheckIoStatus(f, record);
    LockRecord(f, record);
  } else {
    record = f.FirstFree;
    // The chain must point at a slot of the file, and that slot must be
    // free: a live one means the chain is damaged (a loop comes back to a
    // slot that was taken).
    if (record < 1 || record >= f.LiveSlots) Damaged(f, record, io::kShortRead);
    ReadRecordForUpdate(f, record, s);
    if (RecordLive) Damaged(f, record, io::kShortRead);
    f.FirstFree = Get32(s);
    f.FreeCount = Step(f.FreeCount, -1);
  }
  f.SlotCount = f.LiveSlots;
  StoreHeader(f);
  return record;
}

void AddRecord(DataFile& f, int32_t& record, const void* buf) {
  if (f.Mode == ModeReadOnly) {
    IllegalOperation(f);
    return;
  }
  const int32_t r = AllocateSlot(f);
  WriteRecord(f, r, buf);
  record = r;
}

namespace {

// The slot put on the free chain with contents s (bytes 0..4 replaced).
void FreeSlot(DataFile& f, int32_t record, uint8_t* s) {
  Put32(s, f.FirstFree);
  s[4] = 0;
  WriteRecord(f, record, s);
  f.FirstFree = record;
  f.FreeCount = Step(f.FreeCount, 1);
  f.SlotCount = f.LiveSlots;
  StoreHeader(f);
}

void CheckDeletable(DataFile& f, int32_t record) {
  // Slot 0 is the header: deleting it would destroy the file.
  if (record < 1) Damaged(f, record, 201);
}

}  // namespace

void DeleteRecord(DataFile& f, int32_t record) {
  if (f.Mode == ModeReadOnly) {
    IllegalOperation(f);
    return;
  }
  CheckDeletable(f, record);
  RefreshHeaderLocked(f);
  uint8_t* s = Scratch();
  ReadRecord(f, record, s);
  FreeSlot(f, record, s);
}

void DeleteRecordAs(DataFile& f, int32_t record, const void* buf) {
  if (f.Mode == ModeReadOnly) {
    IllegalOperation(f);
    return;
  }
  CheckDeletable(f, record);
  RefreshHeaderLocked(f);
  uint8_t* s = Scratch();
  std::memcpy(s, buf, static_cast<size_t>(f.RecLen));
  FreeSlot(f, record, s);
}

void ReadRecord(DataFile& f, int32_t record, void* out) {
  auto* buf = static_cast<uint8_t*>(out);
  const size_t n = static_cast<size_t>(f.RecLen);
  bool otherHolds = false;
  bool took = false;
  if (record >= 0 && !HoldsLock(f, record) && CurrentOpenMode != ModeDenyWrite) {
    const platform::IoCode rc = f.Handle.LockByte(LockOffset(f, record));
    took = rc == io::kOk;
    otherHolds = rc == io::kAccessDenied;
  }
  if (!otherHolds) {
    IoStatus = took ? ReadHeldSlot(f, record, buf) : ReadSlot(f, record, buf, n, nullptr);
    if (took) f.Handle.UnlockByte(LockOffset(f, record));
    // Without trying the lock (ModeDenyWrite), a read that another station's
    // lock refused shows as a short read of a slot inside the file.
    otherHolds = !took && IoStatus == io::kShortRead && SlotWithinFile(f, record) &&
                 RecordLockedByOther(f, record);
  }
  if (otherHolds) {
    // Everything but the locked last byte, which keeps its old value.
    size_t got = 0;
    const platform::IoCode rc = ReadSlot(f, record, buf, n - 1, &got);
    IoStatus = rc != io::kOk ? rc : got < n - 1 ? io::kShortRead : io::kOk;
  }
  CheckIoStatus(f, record);
  RecordLive = record == 0 || buf[4] != 0;
}

void ReadRecordForUpdate(DataFile& f, int32_t record, void* out) {
  auto* buf = static_cast<uint8_t*>(out);
  LockRecord(f, record);
  const bool lockHeld = LockApplies(f, record);
  int unexplained = 0;
  for (int poll = 0;; ++poll) {
    IoStatus = lockHeld && HoldsLock(f, record)
                   ? ReadHeldSlot(f, record, buf)
                   : ReadSlot(f, record, buf, static_cast<size_t>(f.RecLen), nullptr);
    if (lockHeld || IoStatus == io::kOk) break;
    if (IoStatus != io::kAccessDenied && IoStatus != io::kShortRead &&
        IoStatus != io::kGeneralFailure) {
      break;
    }
    // Retried while another station's lock is the reason; a slot beyond the
    // end of the file, or a failure that persists without a lock, is a real
    // error and goes to the report instead of waiting for ever.
    if (!SlotWithinFile(f, record)) break;
    if (!RecordLockedByOther(f, record) && ++unexplained > 3) break;
    PausePoll(poll);
  }
  CheckIoStatus(f, record);
  RecordLive = record == 0 || buf[4] != 0;
  if (!RecordLive) UnlockRecord(f, record);
}

void WriteRecord(DataFile& f, int32_t record, const void* buf) {
  WriteRecordKeepLock(f, record, buf);
  UnlockRecord(f, record);
}

void WriteRecordKeepLock(DataFile& f, int32_t record, const void* buf) {
  IoStatus = WriteSlot(f, record, static_cast<const uint8_t*>(buf));
  CheckIoStatus(f, record);
}

void ReadNextRecord(DataFile& f, void* out) {
  auto* buf = static_cast<uint8_t*>(out);
  const size_t n = static_cast<size_t>(f.RecLen);
  int64_t position = 0;
  f.Handle.Position(position);
  const int32_t p = Clamp32(position / f.RecLen);
  IoStatus = ReadSlot(f, p, buf, n, nullptr);
  if (IoStatus != io::kOk) {
    std::memset(buf, 0, n);
    size_t got = 0;
    const platform::IoCode rc = ReadSlot(f, p, buf, n - 1, &got);
    IoStatus = rc == io::kOk && got == n - 1 ? io::kOk : io::kShortRead;
    CheckIoStatusWaitKey(f, p);
  }
  f.Handle.Seek((position / f.RecLen + 1) * f.RecLen);
}

int32_t FileLength(DataFile& f) {
  RefreshHeader(f);
  return f.LiveSlots;
}

int32_t UsedRecords(DataFile& f) {
  RefreshHeader(f);
  return Clamp32(int64_t{f.LiveSlots} - f.FreeCount - 1);
}

bool RecordLockedByOther(DataFile& f, int32_t record) {
  if (record < 0) return false;
  uint8_t b = 0;
  return f.Handle.ReadAt(LockOffset(f, record), &b, 1) != io::kOk;
}

}  // namespace engine
