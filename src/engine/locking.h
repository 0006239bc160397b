// Record and header locks, transactions and shared use of whole files, the
// locking switches, and the repair of header words left by stopped stations.
//
// The lock of slot R is an exclusive one-byte lock of the slot's last byte,
// (R + 1) x RecLen - 1, owned by the open file (platform/byte_lock.h).
// Slot 0's lock is the header lock. Locks apply while LockingEnabled is on
// and CurrentOpenMode is not ModeDenyWrite; slot 0 in every mode, record
// slots only in ModeShared files outside a transaction of this program.
//
// Waiting. A station waits for another by polling: at once a few times, then
// with sleeps that grow from 0.1 ms to 2 ms, so that a wait costs little CPU
// and still ends within a few milliseconds of the other station's release.
// The waits for a record, a transaction or shared use show a small box.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace engine {

struct DataFile;

// Whether slot record's lock is taken and released at all (see above).
bool LockApplies(const DataFile& f, int32_t record);
// Whether this program holds slot record's lock through f.
bool HoldsLock(const DataFile& f, int32_t record);

void LockRecord(DataFile& f, int32_t record);
void UnlockRecord(DataFile& f, int32_t record);

// The header lock held for a search, which runs with locking suspended:
// taken (waiting) when other stations' changes keep the search from reading
// one state of an index. False when this program holds it already, when it
// cannot be had at all, or while CurrentOpenMode forbids every lock; the
// search then goes on without it.
bool HoldHeaderForSearch(DataFile& f);
void ReleaseHeaderHold(DataFile& f);

// Exclusive use of one file among the stations: false when the user gave up
// waiting with Esc. Nested calls count.
bool BeginTransaction(DataFile& f);
void EndTransaction(DataFile& f);
// BeginTransaction on every member file of the open-file table; on Esc those
// already entered are left again and the answer is false.
bool BeginMemberTransactions();
void EndMemberTransactions();
// Shared use: keeps other stations out of transactions on the file.
bool BeginSharedUse(DataFile& f);
void EndSharedUse(DataFile& f);

void SetMembership(DataFile& f, int32_t flag);
void ClearMemberships();

void SetLocking(bool on);
void SuspendLocking();
void ResumeLocking();
void PauseLocking();
void RestoreLocking();

// Clears TransactionFlag and SharedUsers in every file matching the mask
// whose name is not in excludedNames and does not hold excludedPart, one
// line per file: "    1. NAME" followed by " Tranzakció!" and/or " Lock!".
// The lines go through out (nothing: WriteFlow / WriteFlowLine on the
// screen). Returns the number of files listed.
using LineWriter = std::function<void(std::string_view text, bool endLine)>;
int ResetStuckHeaders(std::string_view mask, std::string_view excludedPart,
                      std::string_view excludedNames, const LineWriter& out = nullptr);

// The pause of the n-th poll of a wait, in microseconds (0 for the first few).
int PollPauseMicros(int poll);
// Waits that pause (calls WaitPollHook first).
void PausePoll(int poll);

// Called once per poll of every wait (tests count polls; nothing by default).
extern void (*WaitPollHook)();

}  // namespace engine
