// Data files: fixed-length record slots addressed by number, with the file
// header in slot 0 and a chain of free slots that new records reuse.
//
// Layout. Slot n starts at byte n x RecLen. RecLen is not stored: every open
// and make passes it, always the same for one file (19..10000). Slot 0 holds
// the header, bytes 0..18, little-endian:
//    0  4 signed  FirstFree        first slot of the free chain, -1 when empty
//    4  4 signed  FreeCount        slots on the free chain
//    8  4 signed  RootPage         index files: the root page; data files 0
//   12  4 signed  SlotCount        slots including slot 0 (a new file: 1)
//   16  1         TransactionFlag  1 while a station holds a transaction
//   17  2 signed  SharedUsers      stations holding shared use
// A slot 0 of at least 23 bytes also carries, in bytes 19..22, a change
// count that every change of an index's tree raises by one (unsigned,
// wrapping); readers of an index compare it to see whether the tree changed
// while they read it. Data files keep it 0.
// A slot is live when its byte 4 is not 0. A free slot holds the next free
// slot's number in bytes 0..3 (-1 at the end) and 0 in byte 4; the chain is
// a stack (a deletion pushes, an allocation pops).
//
// Sharing. Several stations use one file at once. In the modes with a shared
// header (ModeShared, ModeReadOnly, ModeDenyWrite) the header is reread and
// rewritten under the lock of slot 0 around every change; in ModeShared
// records are locked by their slot's last byte while a station updates them
// (locking.h).
//
// Failures. Opens and makes answer with OpOk and IoStatus. Every other I/O
// failure is fatal (CheckIoStatus, errors.h). A damaged file (a header whose
// counts or free chain point outside the file) ends in the fatal report too,
// never in a crash or an endless loop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dos_file.h"

namespace engine {

struct DataFile {
  platform::DosFile Handle;  // the OS file (closed when not open)
  int32_t RecLen = 0;
  std::string Name;          // as attached: after locating, up to 255 characters

  // The program's copy of the header, in the header's order.
  int32_t FirstFree = -1;
  int32_t FreeCount = 0;
  int32_t RootPage = 0;
  int32_t SlotCount = 0;
  uint8_t TransactionFlag = 0;
  int16_t SharedUsers = 0;
  uint32_t ChangeCount = 0;  // bytes 19..22 when RecLen >= 23

  int32_t LiveSlots = 0;     // slot count as this program knows it
  int32_t Mode = 0;          // the OpenMode it was opened in
  int16_t TableSlot = 0;     // entry of the open-file table, 0 = none
  int16_t TransactionDepth = 0;
  int16_t SharedDepth = 0;

  // The slots whose lock this program holds through this descriptor. A lock
  // of the platform can be taken again by its holder, where the system
  // expects a second attempt to fail, and a read that tried and released a
  // lock would then drop the holder's own; the list keeps the holder's locks
  // out of such tries.
  std::vector<int32_t> HeldLocks;
};

// The header's 19 bytes to and from a buffer (of RecLen bytes), with the
// change count where RecLen leaves room for it.
inline constexpr int32_t kChangeCountAt = 19;
inline constexpr int32_t kChangeCountEnd = 23;
void EncodeHeader(const DataFile& f, uint8_t* out);
void DecodeHeader(const uint8_t* in, DataFile& f);

// Reads slot 0 of a shared file as another station may be changing it: the
// change count stored now, and false when another station holds the lock of
// slot 0 (a change under way) or the slot cannot be read whole.
bool ReadChangeCount(DataFile& f, uint32_t& count);

// Whether the file's header is reread and rewritten at each change (modes 0,
// 1 and 4).
bool SharedHeader(const DataFile& f);

// Opens an existing file in CurrentOpenMode (mode 2: OpenDataFileExclusive).
// A name without "\" is located first (settings::LocateDataFile). A size that
// RecLen does not divide shows the record-length message and stops the
// program (code 0). A RecLen outside 19..10000 is refused: OpOk false,
// IoStatus 12, and a message.
void OpenDataFile(DataFile& f, std::string_view name, int32_t recLen);
void OpenDataFileExclusive(DataFile& f, std::string_view name, int32_t recLen);
// Creates or empties the file with a new header, then opens it.
void MakeDataFile(DataFile& f, std::string_view name, int32_t recLen);
void OpenOrMakeDataFile(DataFile& f, std::string_view name, int32_t recLen);
// Writes the header back where needed, closes, frees the table entry.
void CloseDataFile(DataFile& f);
// Closes and makes the file again, empty, in its own mode and membership.
void RecreateDataFile(DataFile& f);
// Closes and reopens the OS file (everything written out, every lock of this
// program on it dropped), with the access and sharing of the engine's most
// recent open or make.
void FlushFile(DataFile& f);

void AddRecord(DataFile& f, int32_t& record, const void* buf);
void DeleteRecord(DataFile& f, int32_t record);
void DeleteRecordAs(DataFile& f, int32_t record, const void* buf);
void ReadRecord(DataFile& f, int32_t record, void* buf);
void ReadRecordForUpdate(DataFile& f, int32_t record, void* buf);
void WriteRecord(DataFile& f, int32_t record, const void* buf);
void WriteRecordKeepLock(DataFile& f, int32_t record, const void* buf);
void ReadNextRecord(DataFile& f, void* buf);

int32_t FileLength(DataFile& f);
int32_t UsedRecords(DataFile& f);
bool RecordLockedByOther(DataFile& f, int32_t record);

void RefreshHeader(DataFile& f);
void RefreshHeaderLocked(DataFile& f);
void StoreHeader(DataFile& f);
void StoreHeaderKeepLock(DataFile& f);

// Allocates a slot (the free chain's head, or a new slot at the end, which is
// then locked): used by AddRecord and by the index layer for pages.
int32_t AllocateSlot(DataFile& f);

// The record-length message's three lines (byte 0 between them).
std::string RecordLengthMessage(std::string_view name, int64_t size, int32_t recLen);

// The file's name without its folder.
std::string NameWithoutFolder(std::string_view name);

}  // namespace engine
