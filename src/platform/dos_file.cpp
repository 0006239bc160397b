#include "platform/dos_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/byte_lock.h"
#include "platform/dos_path.h"
#include "platform/dos_time.h"
#include "platform/syscall_count.h"

namespace platform {
namespace {

IoCode LastError() { return IoCodeFromErrno(errno); }

// Reads until n bytes came, the file ended or an error; EINTR is retried.
IoCode ReadLoop(int fd, bool positional, int64_t offset, void* buf, size_t n, size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < n) {
    syscall_count::Read();
    ssize_t r = positional ? pread(fd, p + got, n - got, static_cast<off_t>(offset + got))
                           : read(fd, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return io::kOk;
}

IoCode WriteLoop(int fd, bool positional, int64_t offset, const void* buf, size_t n, size_t& put) {
  put = 0;
  const auto* p = static_cast<const char*>(buf);
  while (put < n) {
    syscall_count::Write();
    ssize_t r = positional ? pwrite(fd, p + put, n - put, static_cast<off_t>(offset + put))
                           : write(fd, p + put, n - put);
    if (r < 0) {
      if (errno == EINTR) continue;
      return put > 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) ? io::kShortWrite
                                                                                : LastError();
    }
    if (r == 0) return io::kShortWrite;
    put += static_cast<size_t>(r);
  }
  return io::kOk;
}

}  // namespace

DosFile::~DosFile() {
  if (fd_ >= 0) ::close(fd_);
}

DosFile::DosFile(DosFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      pos_(other.pos_),
      access_(other.access_),
      share_(other.share_),
      hostWritable_(other.hostWritable_),
      hostPath_(std::move(other.hostPath_)) {}

DosFile& DosFile::operator=(DosFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    pos_ = other.pos_;
    access_ = other.access_;
    share_ = other.share_;
    hostWritable_ = other.hostWritable_;
    hostPath_ = std::move(other.hostPath_);
  }
  return *this;
}

IoCode DosFile::CheckOpen(bool reading, bool writing) const {
  if (fd_ < 0) return io::kInvalidHandle;
  // Windows refuses a read through a handle opened for writing only, and the
  // other way round, with "access denied".
  if (reading && access_ == Access::Write) return io::kAccessDenied;
  if (writing && access_ == Access::Read) return io::kAccessDenied;
  return io::kOk;
}

// Every read and write is one positioned transfer at offset; `moved` tells
// how many bytes went, for the file position. A byte locked by another open
// file in the range makes the whole transfer fail (unless the caller holds
// the only lock the range can hold).
IoCode DosFile::ReadFrom(int64_t offset, void* buf, size_t n, size_t* done, bool testLocks,
                         size_t& moved) {
  moved = 0;
  if (done) *done = 0;
  if (IoCode rc = CheckOpen(true, false)) return rc;
  if (offset < 0) return io::kNegativeSeek;
  if (testLocks && byte_lock::RangeLockedByOther(fd_, offset, n, false)) return io::kShortRead;
  IoCode rc = ReadLoop(fd_, true, offset, buf, n, moved);
  if (done) *done = moved;
  if (rc) return rc;
  return (moved < n && !done) ? io::kShortRead : io::kOk;
}

IoCode DosFile::WriteTo(int64_t offset, const void* buf, size_t n, size_t* done, size_t& moved) {
  moved = 0;
  if (done) *done = 0;
  if (IoCode rc = CheckOpen(false, true)) return rc;
  if (offset < 0) return io::kNegativeSeek;
  if (byte_lock::RangeLockedByOther(fd_, offset, n, true)) return io::kAccessDenied;
  IoCode rc = WriteLoop(fd_, true, offset, buf, n, moved);
  if (done) *done = moved;
  return rc;
}

IoCode DosFile::Read(void* buf, size_t n, size_t* done) {
  size_t moved = 0;
  const IoCode rc = ReadFrom(pos_, buf, n, done, true, moved);
  pos_ += static_cast<int64_t>(moved);
  return rc;
}

IoCode DosFile::ReadLockedRange(void* buf, size_t n, size_t* done) {
  size_t moved = 0;
  const IoCode rc = ReadFrom(pos_, buf, n, done, false, moved);
  pos_ += static_cast<int64_t>(moved);
  return rc;
}

IoCode DosFile::Write(const void* buf, size_t n, size_t* done) {
  size_t moved = 0;
  const IoCode rc = WriteTo(pos_, buf, n, done, moved);
  pos_ += static_cast<int64_t>(moved);
  return rc;
}

IoCode DosFile::ReadAt(int64_t offset, void* buf, size_t n, size_t* done) {
  size_t moved = 0;
  return ReadFrom(offset, buf, n, done, true, moved);
}

IoCode DosFile::WriteAt(int64_t offset, const void* buf, size_t n, size_t* done) {
  size_t moved = 0;
  return WriteTo(offset, buf, n, done, moved);
}

IoCode DosFile::Seek(int64_t offset) {
  if (IoCode rc = CheckOpen(false, false)) return rc;
  if (offset < 0) return io::kNegativeSeek;
  pos_ = offset;
  return io::kOk;
}

IoCode DosFile::Position(int64_t& offset) const {
  offset = 0;
  if (IoCode rc = CheckOpen(false, false)) return rc;
  offset = pos_;
  return io::kOk;
}

IoCode DosFile::Size(int64_t& size) const {
  size = 0;
  if (IoCode rc = CheckOpen(false, false)) return rc;
  struct stat st;
  if (fstat(fd_, &st) != 0) return LastError();
  size = st.st_size;
  return io::kOk;
}

IoCode DosFile::Truncate() {
  int64_t pos = 0;
  if (IoCode rc = Position(pos)) return rc;
  return SetSize(pos);
}

IoCode DosFile::SetSize(int64_t size) {
  if (IoCode rc = CheckOpen(false, true)) return rc;
  if (size < 0) return io::kNegativeSeek;
  while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return LastError();
  }
  return io::kOk;
}

IoCode DosFile::Flush() {
  if (IoCode rc = CheckOpen(false, false)) return rc;
  if (access_ != Access::Read && fsync(fd_) != 0 && errno != EINVAL) return LastError();
  return io::kOk;
}

IoCode DosFile::GetStamp(uint32_t& dosDateTime) const {
  dosDateTime = 0;
  if (IoCode rc = CheckOpen(false, false)) return rc;
  struct stat st;
  if (fstat(fd_, &st) != 0) return LastError();
  dosDateTime = DosDateTimeFromTime(st.st_mtime);
  return io::kOk;
}

IoCode DosFile::SetStamp(uint32_t dosDateTime) {
  if (IoCode rc = CheckOpen(false, false)) return rc;
  time_t t;
  if (!TimeFromDosDateTime(dosDateTime, t)) return io::kInvalidParameter;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  if (futimens(fd_, times) != 0) return LastError();
  return io::kOk;
}

IoCode DosFile::GetCreationStamp(uint32_t& dosDateTime) const {
  dosDateTime = 0;
  if (IoCode rc = CheckOpen(false, false)) return rc;
  struct statx sx;
  if (statx(fd_, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &sx) == 0) {
    const time_t t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    dosDateTime = DosDateTimeFromTime(t);
    return io::kOk;
  }
  return GetStamp(dosDateTime);
}

IoCode DosFile::Close() {
  if (fd_ < 0) return io::kInvalidHandle;
  const int fd = std::exchange(fd_, -1);
  hostPath_.clear();
  // The descriptor is gone even when close reports an error (EINTR too), so
  // it is never closed twice.
  if (::close(fd) != 0 && errno != EINTR) return LastError();
  return io::kOk;
}

IoCode OpenFile(DosName name, Access access, Share share, Disposition disposition,
                DosFile& file) {
  if (file.IsOpen()) file.Close();
  HostPath hp;
  if (IoCode rc = ResolvePath(name, hp)) return rc;
  if (!hp.folderExists) return io::kPathNotFound;
  if (hp.isRoot()) return io::kAccessDenied;  // a drive's root is a folder

  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Write: flags |= O_WRONLY; break;
    case Access::ReadWrite: flags |= O_RDWR; break;
    default: return io::kInvalidAccessMode;
  }
  switch (disposition) {
    case Disposition::OpenExisting:
      if (!hp.exists) return io::kFileNotFound;
      break;
    case Disposition::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Disposition::OpenAlways: flags |= O_CREAT; break;
    default: return io::kInvalidParameter;
  }
  if (hp.exists) {
    // A folder, a pipe or a device is not a file to open: Windows says
    // "access denied", and a pipe would block the open.
    struct stat st;
    if (stat(hp.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return io::kAccessDenied;
  }
  // The host descriptor is opened for reading and writing whenever the host
  // allows it, whatever the handle's access: byte locks need it (byte_lock.h),
  // and emptying a file needs write access too. The handle still refuses what
  // its access does not allow. The emptying itself waits until the share
  // modes of other open files have been tested.
  const bool truncate = (flags & O_TRUNC) != 0;
  flags &= ~O_TRUNC;
  const int wanted = flags & O_ACCMODE;
  flags = (flags & ~O_ACCMODE) | O_RDWR;
  int fd;
  do {
    fd = ::open(hp.path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  bool hostWritable = true;
  if (fd < 0 && wanted != O_RDWR && !truncate &&
      (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    flags = (flags & ~O_ACCMODE) | wanted;
    hostWritable = wanted == O_WRONLY;
    do {
      fd = ::open(hp.path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) return errno == ENOENT ? io::kPathNotFound : LastError();
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return io::kAccessDenied;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (IoCode rc = byte_lock::ClaimShareMode(fd, hostWritable, access, share)) {
    ::close(fd);
    return rc;
  }
  if (truncate) {
    int r;
    while ((r = ftruncate(fd, 0)) != 0 && errno == EINTR) {
    }
    if (r != 0) {
      const IoCode rc = LastError();
      ::close(fd);
      return rc;
    }
  }
  file.fd_ = fd;
  file.pos_ = 0;
  file.hostWritable_ = hostWritable;
  file.access_ = access;
  file.share_ = share;
  file.hostPath_ = std::move(hp.path);
  return io::kOk;
}

}  // namespace platform
