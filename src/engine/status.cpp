#include "engine/status.h"

#include "engine/open_files.h"

namespace engine {

uint16_t IoStatus = 0;
bool OpOk = false;
bool RecordLive = false;
int32_t CurrentOpenMode = ModeShared;
int32_t CurrentMembership = 0;
std::vector<uint8_t> ScratchBuffer;
bool LockingEnabled = true;
int16_t LockSuspendDepth = 0;
bool PausedLocking = true;

void (*IndexStartHook)() = nullptr;
void (*IndexStopHook)() = nullptr;

namespace {
int32_t savedMode = ModeShared;
int32_t savedMembership = 0;
}  // namespace

void SetOpenMode(int32_t mode, int32_t membership) {
  savedMode = CurrentOpenMode;
  savedMembership = CurrentMembership;
  CurrentOpenMode = mode;
  CurrentMembership = membership;
}

void RestoreOpenMode() {
  CurrentOpenMode = savedMode;
  CurrentMembership = savedMembership;
}

void ResetOpenMode() {
  CurrentOpenMode = ModeShared;
  CurrentMembership = 0;
}

void StartEngine() {
  ScratchBuffer.assign(kScratchSize, 0);
  if (IndexStartHook) IndexStartHook();
  LockingEnabled = true;
  LockSuspendDepth = 0;
  ClearOpenFileTable();
}

void StopEngine() {
  if (IndexStopHook) IndexStopHook();
  ScratchBuffer.clear();
  ScratchBuffer.shrink_to_fit();
}

void ResetEngine() {
  IoStatus = 0;
  OpOk = false;
  RecordLive = false;
  CurrentOpenMode = ModeShared;
  CurrentMembership = 0;
  savedMode = ModeShared;
  savedMembership = 0;
  PausedLocking = true;
  StartEngine();
}

}  // namespace engine
