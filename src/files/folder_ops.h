// Folder operations: deleting files quietly, pattern lists, folder tests,
// copying, deleting by patterns and whole folder trees, creating the folders
// of a path, searching a tree for a name, and file sizes.
//
// Paths are DOS paths in code page 852 (platform/dos_path.h), at most 255
// characters. Every operation leaves the current folder (of every drive) as
// it found it. A name the host cannot take fails like a missing one.
//
// Safety of the deletions: a drive letter may stand for the host's root
// ("C:" is "/"), so DeleteMatchingFiles, DeleteFolderTree and
// DeleteFolderFiles refuse to work in a drive's root folder, or in a folder
// that holds another drive's root, and say so. A symbolic link inside a tree
// is deleted as a link; the tree walks never follow one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// Messages (code page 852; a 0 byte separates lines).
extern const std::string kInsideFolderMessage;  // the folder holds a current folder
extern const std::string kNoSuchFolderMessage;  // two lines: missing, not deleting
extern const std::string kDeleteFailedMessage;
extern const std::string kRootFolderMessage;    // followed by a line with the folder

// Deletes a file; true when it was deleted. Never fails otherwise.
bool DeleteFileQuiet(std::string_view name);

// True when name matches one of the ";"-separated patterns. In a pattern "*"
// matches the rest of the name (at least one character), "$" any one
// character, and every other character itself, ASCII letters ignoring case;
// without a "*" only a name of the pattern's length matches. An empty list
// matches every name, and so does a list equal to the name.
bool MatchesPattern(std::string_view name, std::string_view patterns);

// True when the path can be entered as a folder.
bool FolderExists(std::string_view path);

// The path up to its last "\", without it; empty when it has none.
std::string ParentFolder(std::string_view path);

// Copies a file, overwriting an existing target; true on success.
bool CopyFileTo(std::string_view source, std::string_view target);

// CopyFileBuffered's answers.
inline constexpr int kCopyOk = 0;
inline constexpr int kCopySourceFailed = 2;
inline constexpr int kCopyTargetFailed = 3;
inline constexpr int kCopyDiskFull = 4;

// Copies a file in blocks of 30000 bytes and gives the target the source's
// last-write time. A read, write or close error other than a full disk stops
// the program with its I/O code.
int CopyFileBuffered(std::string_view source, std::string_view target);

// In the current folder, deletes every file (not folders, not names that
// begin with ".") whose whole name matches namePatterns and whose extension
// (from its last ".", the dot included; empty when it has none) matches
// extPatterns. A file that cannot be deleted is left. Refused, with a
// message, in a drive's root folder.
void DeleteMatchingFiles(std::string_view namePatterns, std::string_view extPatterns);

// Deletes every file and sub-folder of the folder; the folder itself stays,
// empty. Answers false, after a message, when the folder is missing, holds
// (or is) the current folder of a drive, is a drive's root or holds one, or a
// file cannot be deleted; false without a message when a sub-folder cannot be
// entered or removed.
bool DeleteFolderTree(std::string_view folder);

// Deletes the files of the folder (not its sub-folders), stopping at the
// first failure, then removes the folder; true when all of it succeeded.
// Refused, with a message, for a drive's root.
bool DeleteFolderFiles(std::string_view folder);

// Creates every folder of the path but its last name (the path of a file to
// come); existing folders and errors are ignored.
void MakeFolderPath(std::string_view path);

// Searches the tree under root, depth first in directory order, for a file
// or folder called name: found is folder + "\" + name of the first folder
// that holds one (the root first), empty when there is none. Folders whose
// names begin with "." are not searched.
void FindInTree(std::string& found, std::string_view name, std::string_view root);

// The same walk looking for a folder called folderName, with the user:
// each folder visited is shown on row 23 of the current text window, each
// find on row 24 and in a prompt ("Kiválasztja" keeps it, "Tovább keres"
// goes on); Del, and "Igen" to the question that follows, stops searching
// the current folder's sub-tree. found is empty when nothing was chosen.
void SearchFolderInteractive(std::string& found, std::string_view folderName,
                             std::string_view root);

// The size of a file (low 32 bits), 0 when there is none. A pattern in the
// last name finds only a file whose name is the pattern itself.
uint32_t FileSizeOf(std::string_view path);

}  // namespace files
