// Open files of the DOS namespace.
//
// A DosFile is one open file: the host descriptor together with the access
// and share mode it was opened with, so that the byte locks and the share
// modes between processes can be enforced on it (open-file-description locks
// belong to the descriptor, which is why the handle keeps it and is never
// copied). Every operation answers with a run-time I/O code (io_codes.h).
//
// The descriptor is closed on exec, so a started program never inherits it,
// and closed when the handle is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dos_name.h"
#include "platform/io_codes.h"

namespace platform {

enum class Access : uint8_t { Read, Write, ReadWrite };

// What the opener lets other openers do meanwhile.
enum class Share : uint8_t { DenyNone, DenyWrite, DenyReadWrite };

enum class Disposition : uint8_t {
  OpenExisting,  // the file must exist (2 or 3 otherwise)
  CreateAlways,  // create it, or empty an existing one
  CreateNew,     // create it; an existing one gives 5
  OpenAlways,    // open it, creating it when missing
};

class DosFile {
 public:
  DosFile() = default;
  ~DosFile();
  DosFile(DosFile&& other) noexcept;
  DosFile& operator=(DosFile&& other) noexcept;
  DosFile(const DosFile&) = delete;
  DosFile& operator=(const DosFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  Access access() const { return access_; }
  Share share() const { return share_; }
  // The absolute host path the file was opened under.
  const std::string& hostPath() const { return hostPath_; }

  // Reads up to n bytes at the file position and advances it. With done, a
  // read that ends early at the end of the file is not an error and done
  // tells how many bytes came; without it, fewer than n bytes give 100.
  IoCode Read(void* buf, size_t n, size_t* done = nullptr);
  // Writes n bytes at the file position and advances it; fewer written
  // (disk full) give 101, and done tells how many were.
  IoCode Write(const void* buf, size_t n, size_t* done = nullptr);
  // Read for a caller that holds this file's lock of every locked byte the
  // range can hold: the test of other files' locks is left out.
  IoCode ReadLockedRange(void* buf, size_t n, size_t* done = nullptr);
  // The same at a byte offset, leaving the file position alone.
  IoCode ReadAt(int64_t offset, void* buf, size_t n, size_t* done = nullptr);
  IoCode WriteAt(int64_t offset, const void* buf, size_t n, size_t* done = nullptr);

  // Sets the file position (from the start; 131 when negative). A position
  // beyond the end is allowed, as on Windows.
  IoCode Seek(int64_t offset);
  IoCode Position(int64_t& offset) const;
  IoCode Size(int64_t& size) const;
  // Cuts the file at the file position.
  IoCode Truncate();
  // Makes the file size bytes long, cutting or extending it with zeros.
  IoCode SetSize(int64_t size);
  // Writes the host's buffers of the file out to the disk.
  IoCode Flush();

  // Last-write time as a DOS date-time, and setting it.
  IoCode GetStamp(uint32_t& dosDateTime) const;
  IoCode SetStamp(uint32_t dosDateTime);
  // Creation time as a DOS date-time (the last-write time where the host
  // file system keeps no creation time).
  IoCode GetCreationStamp(uint32_t& dosDateTime) const;

  // Closes the file; a handle that is not open gives 6. Its byte locks and
  // share mode go with it.
  IoCode Close();

  // An exclusive lock of the one byte at offset, owned by this open file
  // (byte_lock.h); 5 at once when another open file holds it. Reads and
  // writes of other open files that touch the byte fail until it is
  // unlocked or this file is closed.
  IoCode LockByte(int64_t offset);
  // Releases this open file's lock of the byte (0 also when none was held).
  IoCode UnlockByte(int64_t offset);

 private:
  friend IoCode OpenFile(DosName, Access, Share, Disposition, DosFile&);
  IoCode CheckOpen(bool reading, bool writing) const;
  IoCode ReadFrom(int64_t offset, void* buf, size_t n, size_t* done, bool testLocks,
                  size_t& moved);
  IoCode WriteTo(int64_t offset, const void* buf, size_t n, size_t* done, size_t& moved);

  int fd_ = -1;
  // The file position, kept here: reads and writes go to it with one
  // positioned call each, and seeking costs no system call. No other
  // descriptor shares it (files are never inherited).
  int64_t pos_ = 0;
  Access access_ = Access::Read;
  Share share_ = Share::DenyNone;
  bool hostWritable_ = false;  // the host descriptor may write (and lock)
  std::string hostPath_;
};

// Opens (or creates) a file. A name that is a folder gives 5, a missing
// folder on the way 3, a missing file (OpenExisting) 2. A new file keeps the
// case of its name; an existing one is found ignoring case.
IoCode OpenFile(DosName name, Access access, Share share, Disposition disposition,
                DosFile& file);

// Creates a file (or empties an existing one) for reading and writing.
inline IoCode CreateFile(DosName name, DosFile& file) {
  return OpenFile(name, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways, file);
}

}  // namespace platform
