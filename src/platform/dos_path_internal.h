// Pieces of the DOS path resolution shared by the files of the DOS namespace
// (search patterns need the path's folder resolved and its last name kept
// raw). Not for use outside src/platform.
#pragma once

#include <string>
#include <vector>

#include "platform/dos_path.h"

namespace platform::detail {

struct ParsedPath {
  char drive = 0;
  bool driveGiven = false;
  bool absolute = false;
  std::vector<std::string> names;  // UTF-8; ".." for a step up
  bool hasPattern = false;
  std::string pattern;  // the last name, unchanged, when lastIsPattern
};

// Splits a DOS path into drive and names and checks every character. With
// lastIsPattern the last name may hold "*" and "?" and is kept as written
// (in out.pattern) instead of joining the names.
IoCode ParseDosPath(DosName in, bool lastIsPattern, ParsedPath& out);

// Resolves the parsed names on the host (see ResolvePath).
IoCode ResolveParsed(const ParsedPath& in, HostPath& out);

// The host paths of the current folders: of the current drive only, or of
// every drive.
std::vector<std::string> CurrentHostFolders(bool allDrives);

// True when folder is path itself or one of the folders above it (host
// paths, name by name).
bool HostPathWithin(const std::string& path, const std::string& folder);

}  // namespace platform::detail
