// Directory search and whole-file operations of the DOS namespace: attributes,
// DOS date-times, delete, rename, copy, folders, existence tests and drive
// facts. Every operation answers with a run-time I/O code (io_codes.h) and
// takes DOS paths (dos_path.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dos_name.h"
#include "platform/dos_time.h"
#include "platform/io_codes.h"

namespace platform {

// DOS attribute bits. On the host: a folder is kDirectory; a file without
// any write permission, or one this process may not write, is kReadOnly; a name beginning with "." is kHidden;
// every file that is not a folder carries kArchive.
namespace attr {
inline constexpr uint8_t kReadOnly = 1;
inline constexpr uint8_t kHidden = 2;
inline constexpr uint8_t kSystem = 4;
inline constexpr uint8_t kVolumeLabel = 8;
inline constexpr uint8_t kDirectory = 16;
inline constexpr uint8_t kArchive = 32;
inline constexpr uint8_t kAny = 63;
}  // namespace attr

// One entry of a folder.
struct DirEntry {
  std::string name;         // in the code page of the search (unmappable characters "?")
  uint8_t attributes = 0;
  uint32_t dosDateTime = 0;  // last write, local time; 0 when outside 1980..2107
  uint64_t size = 0;        // 0 for a folder
};

// A directory search in progress: the matching entries of the folder, taken
// when the search starts, in the order of their names ignoring case, with
// "." and ".." first (they exist in every folder but a drive's root).
class DirSearch {
 public:
  bool Active() const { return next_ <= entries_.size() && active_; }

 private:
  friend IoCode FindFirst(DosName, uint8_t, DirSearch&, DirEntry&);
  friend IoCode FindNext(DirSearch&, DirEntry&);
  friend void FindClose(DirSearch&);
  std::vector<DirEntry> entries_;
  size_t next_ = 0;
  bool active_ = false;
};

// Starts a search: pattern is a DOS path whose last name may hold "*" and "?"
// (matched as MatchesDosPattern does). An entry with the hidden, system or
// directory bit is found only when attributes holds that bit; plain files
// always are. Codes: 0 and the first entry, 2 nothing matches, 3 the folder
// does not exist, 123 bad name.
IoCode FindFirst(DosName pattern, uint8_t attributes, DirSearch& search, DirEntry& entry);
// The next entry; 18 when there is none.
IoCode FindNext(DirSearch& search, DirEntry& entry);
// Ends the search (also safe on one that never started or has ended).
void FindClose(DirSearch& search);

// The attributes, time and size of one file or folder (the name itself, no
// pattern); entry.name is the name as the host keeps it. A drive's root is a
// folder.
IoCode GetFileInfo(DosName path, DirEntry& entry);

// Last-write time of a file or folder as a DOS date-time, and setting it
// (87 for a value that is no real date and time).
IoCode GetFileStamp(DosName path, uint32_t& dosDateTime);
IoCode SetFileStamp(DosName path, uint32_t dosDateTime);

// True when the path names a file (anything but a folder) / a folder.
bool FileExists(DosName path);
bool FolderExists(DosName path);

// Deletes a file. A folder gives 5, and so does a read-only file (Windows
// does not delete those).
IoCode DeleteFile(DosName path);

// Renames or moves a file or folder. An existing target gives 5, except the
// source itself under another case ("vevo.dat" to "VEVO.DAT"). A file moved
// to a folder of another host file system is copied and deleted; a folder
// there gives 17.
IoCode RenameFile(DosName from, DosName to);

// Copies a file, keeping its last-write time and its read-only state. An
// existing target is overwritten unless failIfExists (5 then); the source
// itself as target gives 5. A target left unfinished by a failure is removed.
IoCode CopyFile(DosName from, DosName to, bool failIfExists = false);

// Creates a folder (5 when the name exists, 3 when the folder above it does
// not).
IoCode MakeFolder(DosName path);

// Removes an empty folder: 5 when it is not empty or is a drive's root,
// 16 when it is the current folder of a drive (or holds one), 3 when it does
// not exist or is a file.
IoCode RemoveFolder(DosName path);

// What a drive is, as far as the host tells.
enum class DriveKind : uint8_t { Unknown, Removable, Fixed, Remote, CdRom, RamDisk };

// The kind of a drive by the host file system of its folder: network file
// systems are Remote, ISO 9660 and UDF CdRom, tmpfs and ramfs RamDisk, a
// folder under /media or /run/media Removable, anything else Fixed; Unknown
// when the letter is not mapped or its folder is missing.
DriveKind GetDriveKind(char letter);

// The drive's volume label in the given code page: the label of the drive
// table when it gives one, otherwise the label of the file system the
// drive's folder lies on, where the host knows it (the name under which
// udev lists that device in /dev/disk/by-label); empty when there is none or
// the letter is not mapped.
std::string DriveLabel(char letter, NameCode code = NameCode::Cp852);

// Where file system labels are looked up (tests point it elsewhere).
void SetLabelFolder(std::string hostFolder);

// The size and free space of the host file system under a drive.
IoCode DriveSpace(char letter, uint64_t& totalBytes, uint64_t& freeBytes);

}  // namespace platform
