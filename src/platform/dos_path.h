// The DOS namespace on the host: drive letters mapped to host folders, a
// current folder per drive, and DOS paths resolved to host paths.
//
// A DOS path names a drive (or the current one), then folders from the drive's
// root ("\DATA\VEVO.DAT") or from the drive's current folder ("..\PRG\X").
// Resolution follows Windows:
//  - "\" and "/" both separate names; repeated separators count as one;
//  - "." is skipped and ".." goes one folder up, but never above the root of
//    the drive (".." at the root stays at the root);
//  - trailing dots and blanks of a name are dropped ("VEVO.DAT " and "X." name
//    "VEVO.DAT" and "X");
//  - each name is looked up as written first; when the host has no such entry,
//    the one entry of the folder that is equal ignoring case is taken (when
//    several are, the first in byte order); a name that does not exist yet
//    keeps the case it was given;
//  - a name holding a character the host cannot take (a control character,
//    the byte 0, one of  * ? " < > | :) is refused with io::kInvalidName.
//
// State: the drive table and the current folders are module state, set up on
// first use from the DRIVES variable and the process's working folder.
// ResetDosNamespace() sets them up again (for tests). The current drive's
// current folder is always the process's working folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dos_name.h"
#include "platform/io_codes.h"

namespace platform {

// One drive of the table. hostRoot is an absolute host folder; label is UTF-8
// (the drive's volume label, empty when it has none).
struct DriveMapping {
  char letter = 0;
  std::string hostRoot;
  std::string label;
};

// Parses a drive list as the DRIVES variable holds it: entries separated by
// ";", each "X=/host/folder" optionally followed by "|label", for example
// "D=/srv/konyv;E=/media/usb|PENDRIVE". Blank entries are skipped. Returns
// false (out then holds the entries read so far) at the first bad entry: a
// letter outside A..Z or a folder that is not absolute.
bool ParseDriveList(std::string_view text, std::vector<DriveMapping>& out);

// Replaces the drive table: C: is "/" unless the entries map it elsewhere; the
// DRIVES variable is applied on top of the entries (the environment overrides
// a setting). Afterwards every drive's current folder is its root, except the
// drive that holds the process's working folder, which becomes current there.
// Returns false, changing nothing, when an entry is bad.
bool SetDriveTable(const std::vector<DriveMapping>& entries);

// The drive table in use, in letter order.
std::vector<DriveMapping> DriveTable();

// The letters of the drive table, in order ("CDE").
std::string DriveLetters();

// True when the letter (either case) is in the drive table.
bool DrivePresent(char letter);

// Sets the module up again: the table from the DRIVES variable alone, the
// current drive and folder from the process's working folder. For tests.
void ResetDosNamespace();

// The current drive's letter (upper case).
char CurrentDrive();

// The current folder of a drive (0: the current drive) as a DOS path:
// "C:\DATA\VEVO", a root as "C:\". Characters the code page lacks show as
// "?". Empty when the letter is not in the table.
std::string CurrentFolder(char letter = 0, NameCode code = NameCode::Cp852);

// Makes a folder current: the path's drive becomes the current drive and the
// folder its current folder; "X:" alone goes back to drive X's own current
// folder. Codes: 15 unknown drive, 3 missing folder (or not a folder),
// 5 not allowed to enter, 152 the drive's host folder is missing, 123 bad name.
IoCode ChangeFolder(DosName path);

// A DOS path resolved on the host.
struct HostPath {
  char drive = 0;                  // upper-case letter
  std::vector<std::string> parts;  // host names below the drive's root (UTF-8)
  std::string path;                // the absolute host path
  bool folderExists = false;       // every folder up to the last name exists
  bool exists = false;             // ... and the last name too
  bool isRoot() const { return parts.empty(); }
};

// Resolves a DOS path. Answers 0 also when the last name or its folder does
// not exist (see the flags); otherwise 3 (empty path, unknown drive),
// 123 (a name the host cannot take) or 152 (the drive's folder is missing).
IoCode ResolvePath(DosName path, HostPath& out);

// The code for using a resolved path that must exist: 0, 2 when only the last
// name is missing, 3 when a folder on the way is.
inline IoCode MustExist(const HostPath& p) {
  return p.exists ? io::kOk : p.folderExists ? io::kFileNotFound : io::kPathNotFound;
}

// Maps an absolute host path to a DOS path through the drive whose folder
// holds it (the deepest one). False when no drive holds it or a name has a
// character the code page lacks or a name may not hold.
bool DosPathOfHost(std::string_view hostPath, std::string& dosPath,
                   NameCode code = NameCode::Cp852);

// The running program's own file as a DOS path: argv0 made absolute (looked
// up on PATH when it holds no "/"); only when that gives no file or no DOS
// path, /proc/self/exe. Empty when neither maps.
std::string ProgramFile(const char* argv0);

}  // namespace platform
