#include "platform/io_codes.h"

#include <cerrno>

namespace platform {

IoCode IoCodeFromErrno(int err) {
  switch (err) {
    case 0: return io::kOk;
    case ENOENT: return io::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return io::kPathNotFound;
    case EMFILE:
    case ENFILE: return io::kTooManyOpenFiles;
    // Windows answers "access denied" for all of these: no permission, a
    // name that exists already, a folder where a file is wanted, a file in
    // use, and (once byte locks exist) another holder's lock.
    case EACCES:
    case EPERM:
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: return io::kAccessDenied;
    case EBADF: return io::kInvalidHandle;
    case ENOMEM: return io::kNotEnoughMemory;
    case EXDEV: return io::kNotSameDevice;
    case EINVAL: return io::kInvalidParameter;
    case ENOEXEC: return io::kBadProgramFormat;
    case EROFS: return io::kWriteProtected;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return io::kShortWrite;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return io::kDriveNotReady;
    case ESPIPE: return io::kSeekError;
    default: return io::kGeneralFailure;  // EIO, lost network mounts, ...
  }
}

}  // namespace platform
