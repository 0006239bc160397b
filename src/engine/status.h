// The engine's status and settings: one set for the whole program, shared by
// the data files, the index files and everything built on them.
//
// Every engine operation leaves its answer here: IoStatus (the run-time I/O
// code of the last file operation, 0 = success), OpOk (success of the last
// open, make, key operation or search) and RecordLive (the record last read
// is live). The ScratchBuffer is the engine's one record buffer: every
// operation may leave it in any state, and no operation runs inside another.
#pragma once

#include <cstdint>
#include <vector>

namespace engine {

// The largest record the engine handles, and the size of its scratch buffer.
inline constexpr int32_t kScratchSize = 10000;
// The smallest record: the file header needs 19 bytes.
inline constexpr int32_t kHeaderSize = 19;
inline constexpr int32_t kMinRecLen = kHeaderSize;
inline constexpr int32_t kMaxRecLen = kScratchSize;

extern uint16_t IoStatus;
extern bool OpOk;
extern bool RecordLive;

// How the following opens and makes open their files (see OpenMode), and
// the member flag they get in the open-file table.
enum OpenMode : int32_t {
  ModeShared = 0,        // read and write, others too; header and record locks
  ModeReadOnly = 1,      // read only, others read and write; no adding or deleting
  ModeExclusive = 2,     // read and write, others only read; header kept in memory
  ModeStationCopy = 3,   // a private per-station file, empty at open, erased at close
  ModeDenyWrite = 4,     // read and write, others only read; no byte locks at all
};
extern int32_t CurrentOpenMode;
extern int32_t CurrentMembership;

// The scratch buffer (kScratchSize bytes once the engine has started).
extern std::vector<uint8_t> ScratchBuffer;

// Locking switches: LockingEnabled (initially on), the suspension depth of
// SuspendLocking / ResumeLocking and the copy kept by PauseLocking.
extern bool LockingEnabled;
extern int16_t LockSuspendDepth;
extern bool PausedLocking;

// The open-mode pair: SetOpenMode keeps the current (mode, membership) in a
// single save slot (a second call overwrites it) and sets the new pair;
// RestoreOpenMode puts the saved pair back; ResetOpenMode sets (0, 0).
void SetOpenMode(int32_t mode, int32_t membership);
void RestoreOpenMode();
void ResetOpenMode();

// Start of the engine module: the scratch buffer, locking on, an empty
// open-file table. Stop: the buffers are freed (files still open stay open;
// their owners close them).
void StartEngine();
void StopEngine();
// Everything of the engine back to its start-up values (tests).
void ResetEngine();

// Hooks of the index layer, called by StartEngine / StopEngine / ResetEngine
// so that its page buffers live as long as the scratch buffer.
extern void (*IndexStartHook)();
extern void (*IndexStopHook)();

}  // namespace engine
