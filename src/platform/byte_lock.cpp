// Byte locks and share modes through open-file-description locks. See
// byte_lock.h for why OFD locks, and why reads and writes test the locks.
#include "platform/byte_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/syscall_count.h"

namespace platform {
namespace byte_lock {
namespace {

// Set once when the kernel refuses an OFD command; the process-owned
// commands are used from then on.
std::atomic<bool> noOfd{false};

// Marker bytes, relative to kShareMarkerBase.
constexpr int64_t kGate = 0;
constexpr int64_t kHasRead = 1;
constexpr int64_t kHasWrite = 2;
constexpr int64_t kDeniesRead = 3;
constexpr int64_t kDeniesWrite = 4;

struct flock MakeLock(short type, int64_t start, int64_t len) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(len);
  fl.l_pid = 0;  // required 0 by the OFD commands
  return fl;
}

// fcntl with the OFD command, or the process-owned one after a fallback.
// cmd is one of F_OFD_SETLK, F_OFD_SETLKW, F_OFD_GETLK. EINTR is retried.
int LockCall(int fd, int cmd, struct flock& fl) {
  for (;;) {
    syscall_count::Lock();
    int rc;
    if (!noOfd.load(std::memory_order_relaxed)) {
      rc = fcntl(fd, cmd, &fl);
      if (rc == 0) return 0;
      if (errno == EINVAL) {
        noOfd.store(true);
        continue;
      }
    } else {
      const int posixCmd = cmd == F_OFD_SETLK ? F_SETLK : cmd == F_OFD_SETLKW ? F_SETLKW : F_GETLK;
      fl.l_pid = 0;
      rc = fcntl(fd, posixCmd, &fl);
      if (rc == 0) return 0;
    }
    if (errno != EINTR) return -1;
  }
}

// True when another open file holds a lock on the marker byte that keeps out
// an exclusive lock (i.e. any lock at all).
bool MarkerHeld(int fd, int64_t marker) {
  struct flock fl = MakeLock(F_WRLCK, kShareMarkerBase + marker, 1);
  if (LockCall(fd, F_OFD_GETLK, fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

bool TakeMarker(int fd, int64_t marker) {
  struct flock fl = MakeLock(F_RDLCK, kShareMarkerBase + marker, 1);
  return LockCall(fd, F_OFD_SETLK, fl) == 0;
}

void DropMarker(int fd, int64_t marker) {
  struct flock fl = MakeLock(F_UNLCK, kShareMarkerBase + marker, 1);
  LockCall(fd, F_OFD_SETLK, fl);
}

}  // namespace

bool RangeLockedByOther(int fd, int64_t offset, size_t n, bool forWrite) {
  if (n == 0 || offset < 0) return false;
  // A read is kept out by another's exclusive lock; a write by any lock.
  struct flock fl = MakeLock(forWrite ? F_WRLCK : F_RDLCK, offset, static_cast<int64_t>(n));
  if (LockCall(fd, F_OFD_GETLK, fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

IoCode ClaimShareMode(int fd, bool writable, Access access, Share share) {
  const bool reads = access != Access::Write;
  const bool writes = access != Access::Read;
  const bool deniesWrite = share != Share::DenyNone;
  const bool deniesRead = share == Share::DenyReadWrite;

  // The gate makes test-and-take one step: an exclusive lock held only for
  // the calls below, waited for (the holder never waits on anything).
  struct flock gate = MakeLock(writable ? F_WRLCK : F_RDLCK, kShareMarkerBase + kGate, 1);
  const bool gated = LockCall(fd, F_OFD_SETLKW, gate) == 0;

  IoCode rc = io::kOk;
  if ((reads && MarkerHeld(fd, kDeniesRead)) || (writes && MarkerHeld(fd, kDeniesWrite)) ||
      (deniesWrite && MarkerHeld(fd, kHasWrite)) || (deniesRead && MarkerHeld(fd, kHasRead))) {
    rc = io::kAccessDenied;
  } else {
    // A shared lock needs a descriptor open for reading; one that only
    // writes (the host refused reading) cannot carry markers.
    struct Want {
      bool on;
      int64_t marker;
    };
    const Want wants[] = {{reads, kHasRead},
                          {writes, kHasWrite},
                          {deniesRead, kDeniesRead},
                          {deniesWrite, kDeniesWrite}};
    for (const Want& w : wants) {
      if (w.on && !TakeMarker(fd, w.marker)) {
        if (errno == EBADF) continue;  // write-only host descriptor
        for (const Want& u : wants) DropMarker(fd, u.marker);
        rc = errno == EAGAIN || errno == EACCES ? io::kAccessDenied : IoCodeFromErrno(errno);
        break;
      }
    }
  }
  if (gated) {
    gate.l_type = F_UNLCK;
    LockCall(fd, F_OFD_SETLK, gate);
  }
  return rc;
}

bool UsingOpenFileLocks() { return !noOfd.load(); }

}  // namespace byte_lock

IoCode DosFile::LockByte(int64_t offset) {
  if (fd_ < 0) return io::kInvalidHandle;
  if (offset < 0) return io::kNegativeSeek;
  struct flock fl = byte_lock::MakeLock(hostWritable_ ? F_WRLCK : F_RDLCK, offset, 1);
  if (byte_lock::LockCall(fd_, F_OFD_SETLK, fl) == 0) return io::kOk;
  // Held by another open file (EAGAIN/EACCES): Windows answers a lock
  // violation, which the system takes as "access denied".
  if (errno == EAGAIN || errno == EACCES) return io::kAccessDenied;
  return IoCodeFromErrno(errno);
}

IoCode DosFile::UnlockByte(int64_t offset) {
  if (fd_ < 0) return io::kInvalidHandle;
  if (offset < 0) return io::kNegativeSeek;
  struct flock fl = byte_lock::MakeLock(F_UNLCK, offset, 1);
  if (byte_lock::LockCall(fd_, F_OFD_SETLK, fl) == 0) return io::kOk;
  return IoCodeFromErrno(errno);
}

}  // namespace platform
