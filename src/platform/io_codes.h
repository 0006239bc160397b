// The run-time I/O codes that every file and process operation of the
// platform answers with. They are the codes the system's callers test and show
// (0 success, 2 file not found, 5 access denied, ...): a host failure (errno)
// is turned into the code the Windows system would have given for the same
// situation, so that nothing above the platform sees a POSIX error number.
#pragma once

#include <cstdint>

namespace platform {

using IoCode = uint16_t;

namespace io {
inline constexpr IoCode kOk = 0;
inline constexpr IoCode kFileNotFound = 2;
inline constexpr IoCode kPathNotFound = 3;
inline constexpr IoCode kTooManyOpenFiles = 4;
inline constexpr IoCode kAccessDenied = 5;       // also: exists already, sharing
inline constexpr IoCode kInvalidHandle = 6;
inline constexpr IoCode kNotEnoughMemory = 8;
inline constexpr IoCode kInvalidAccessMode = 12;
inline constexpr IoCode kInvalidDrive = 15;      // a drive letter the table lacks
inline constexpr IoCode kCannotRemoveFolder = 16;  // a current folder of a drive
inline constexpr IoCode kNotSameDevice = 17;     // folder moved to another drive
inline constexpr IoCode kNoMoreFiles = 18;       // directory search exhausted
inline constexpr IoCode kInvalidParameter = 87;  // e.g. an impossible date-time
inline constexpr IoCode kInvalidName = 123;      // a name byte the host cannot take
inline constexpr IoCode kNegativeSeek = 131;
inline constexpr IoCode kBadProgramFormat = 193;  // neither ELF nor "#!" script
inline constexpr IoCode kShortRead = 100;
inline constexpr IoCode kShortWrite = 101;       // also: disk full
inline constexpr IoCode kFileNotOpen = 103;
inline constexpr IoCode kNotOpenForReading = 104;
inline constexpr IoCode kNotOpenForWriting = 105;
inline constexpr IoCode kWriteProtected = 150;
inline constexpr IoCode kDriveNotReady = 152;    // a mapped folder that is missing
inline constexpr IoCode kSeekError = 156;
inline constexpr IoCode kGeneralFailure = 162;
}  // namespace io

// The code for a failed host call's errno. ENOENT gives "file not found";
// callers that know the folder is missing too use io::kPathNotFound instead.
IoCode IoCodeFromErrno(int err);

}  // namespace platform
