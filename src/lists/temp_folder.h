// The temporary folder, volume labels, file stamps and renaming: thin
// operations over the platform's DOS namespace that the list screens and the
// update run share.
//
// Every name is a DOS path in code page 852 (platform/dos_path.h). File
// stamps are DOS date-times (the date in the high 16 bits, the time in the
// low 16 bits) of the time in UTC, the way the file system keeps it: a stamp
// read on a workstation in another time zone, or in summer time, is the same
// stamp. 0 means no stamp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lists {

// The name of the test file written into the temporary folder.
inline constexpr std::string_view kTempTestFile = "$OWK.$$$";

// The temporary folder as a DOS path with its closing "\" ("C:\tmp\"): the
// host folder of TMPDIR, else /tmp. Empty when that folder is no DOS path,
// its path is longer than 255 characters, or a file cannot be created in it
// (it is tested by creating and erasing kTempTestFile). An empty answer is
// announced with a timed notice of 3 seconds. A test file that was created
// but cannot be closed or erased stops the program with the I/O code.
std::string GetTempFolder();

// The volume label of a drive, in code page 852: drive is a letter alone
// ("C"), "C:" or a root ("C:\"). Empty when the drive has no label or is not
// mapped.
std::string VolumeLabel(std::string_view drive);

// The DOS date-time (UTC) of a file's or folder's last write, from a
// directory search; 0 when nothing matches.
uint32_t FileStamp(std::string_view name);

// The stamp and the size (low 32 bits) of a file; both 0 when nothing
// matches.
void FileStampAndSize(std::string_view name, uint32_t& stamp, uint32_t& size);

// True when both files have the same stamp, which is above 0 as a signed
// value, and the same size, which is not 0.
bool SameFileStamp(std::string_view a, std::string_view b);

// The DOS date-time (UTC) of a file's creation, from the opened file (the
// last write where the host keeps no creation time); 0 when the file cannot
// be opened for reading.
uint32_t FileCreationStamp(std::string_view name);

// Renames or moves a file or folder; true on success (an existing target is
// not overwritten).
bool RenameFile(std::string_view oldName, std::string_view newName);

// A local-time DOS date-time as the DOS date-time of the same moment in UTC;
// 0 stays 0, as does a value that is no real date and time.
uint32_t UtcStampOfLocal(uint32_t localDosDateTime);

}  // namespace lists
