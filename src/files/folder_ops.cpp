#include "files/folder_ops.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <vector>

#include "console/screen.h"
#include "platform/dos_fs.h"
#include "platform/keyboard.h"
#include "platform/lifecycle.h"
#include "text/literal.h"
#include "text/strings.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"

namespace files {

using namespace text::literals;
namespace io = platform::io;

const std::string kInsideFolderMessage = "Benne állok a törlendő mappában!"_cp;
const std::string kNoSuchFolderMessage = "A megadott mappa nem létezik!\0Nem törlök!"_cp;
const std::string kDeleteFailedMessage = "Hiba!"_cp;
const std::string kRootFolderMessage = "Meghajtó gyökérmappájában nem törlök!"_cp;

namespace {

[[noreturn]] void StopWithIoError(platform::IoCode code) {
  static char report[64];
  std::snprintf(report, sizeof report, "Runtime error %u (I/O)\n", static_cast<unsigned>(code));
  platform::SetExitReport(report);
  platform::StopProgram(code);
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

// One pattern against a name, position by position.
bool MatchesOne(std::string_view name, std::string_view pattern) {
  for (size_t i = 0;; ++i) {
    if (i >= name.size()) return i >= pattern.size();
    if (i >= pattern.size()) return false;
    const char p = pattern[i];
    if (p == '*') return true;
    if (p != '$' && UpperAscii(p) != UpperAscii(name[i])) return false;
  }
}

// The path with a separator before a name added to it.
std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '\\' && out.back() != ':') out += '\\';
  return out + std::string(name);
}

// The host folder of a DOS path, empty when it does not resolve.
std::string HostOf(std::string_view path) {
  platform::HostPath hp;
  if (platform::ResolvePath(path, hp) != io::kOk) return {};
  return hp.path;
}

// True when host path inner is outer or lies below it.
bool HostInside(const std::string& inner, const std::string& outer) {
  if (inner.empty() || outer.empty()) return false;
  if (inner == outer || outer == "/") return true;
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
         inner[outer.size()] == '/';
}

// A symbolic link (to a folder or anything else): the walks delete it as a
// link and never follow it.
bool IsLink(std::string_view path) {
  const std::string host = HostOf(path);
  std::error_code ec;
  return !host.empty() && std::filesystem::is_symlink(std::filesystem::symlink_status(host, ec));
}

// True when a drive's root folder is the folder or lies below it.
bool HoldsDriveRoot(const std::string& host) {
  for (const auto& d : platform::DriveTable())
    if (HostInside(d.hostRoot, host)) return true;
  return false;
}

// True when the host folder is a drive's root folder.
bool IsDriveRoot(const std::string& host) {
  for (const auto& d : platform::DriveTable())
    if (d.hostRoot == host) return true;
  return false;
}

// True when a drive's current folder is the folder or lies below it.
bool HoldsCurrentFolder(const std::string& host) {
  for (char letter : platform::DriveLetters())
    if (HostInside(HostOf(platform::CurrentFolder(letter)), host)) return true;
  return false;
}

void Tell(std::string_view text) { ui::Prompt(text, ""); }

void TellRoot(std::string_view folder) {
  Tell(kRootFolderMessage + std::string(1, '\0') + std::string(folder));
}

// The entries of a folder (all attributes), "." and ".." left out.
std::vector<platform::DirEntry> Entries(std::string_view folder) {
  std::vector<platform::DirEntry> out;
  platform::DirSearch search;
  platform::DirEntry e;
  for (platform::IoCode rc = platform::FindFirst(Join(folder, "*.*"), platform::attr::kAny, search, e);
       rc == io::kOk; rc = platform::FindNext(search, e))
    if (e.name != "." && e.name != "..") out.push_back(e);
  platform::FindClose(search);
  return out;
}

bool IsFolderEntry(std::string_view folder, const platform::DirEntry& e) {
  return (e.attributes & platform::attr::kDirectory) && !IsLink(Join(folder, e.name));
}

// Deletes what the folder holds, depth first.
bool DeleteContents(const std::string& folder) {
  for (const auto& e : Entries(folder)) {
    const std::string path = Join(folder, e.name);
    if (IsFolderEntry(folder, e)) {
      if (!DeleteContents(path)) return false;
      if (platform::RemoveFolder(path) != io::kOk) return false;
    } else if (platform::DeleteFile(path) != io::kOk) {
      Tell(kDeleteFailedMessage);
      return false;
    }
  }
  return true;
}

// Walks the tree below folder. visit is called for each folder, the root
// first; it answers false to stop the whole walk, and clears descend to
// leave the folder's sub-tree out.
template <typename Visit>
bool Walk(const std::string& folder, Visit& visit) {
  bool descend = true;
  if (!visit(folder, descend)) return false;
  if (!descend) return true;
  for (const auto& e : Entries(folder)) {
    if (e.name.empty() || e.name[0] == '.' || !IsFolderEntry(folder, e)) continue;
    if (!Walk(Join(folder, e.name), visit)) return false;
  }
  return true;
}

// The root of a walk without its closing "\", except a drive's root ("C:\"),
// which without it would name the drive's current folder.
std::string WithoutClosingSeparator(std::string_view root) {
  std::string r(root);
  if (!r.empty() && r.back() == '\\' && !(r.size() == 3 && r[1] == ':')) r.pop_back();
  return r;
}

}  // namespace

bool DeleteFileQuiet(std::string_view name) { return platform::DeleteFile(name) == io::kOk; }

bool MatchesPattern(std::string_view name, std::string_view patterns) {
  if (patterns.empty() || name == patterns) return true;
  size_t pos = 0;
  for (;;) {
    const size_t end = patterns.find(';', pos);
    if (MatchesOne(name, patterns.substr(pos, end == std::string_view::npos ? end : end - pos)))
      return true;
    if (end == std::string_view::npos) return false;
    pos = end + 1;
  }
}

bool FolderExists(std::string_view path) {
  if (path.empty()) return false;
  const std::string start = platform::CurrentFolder();
  // Entering a folder of another drive makes that drive current and moves
  // its own current folder: both are put back.
  std::string otherDrive;
  if (path.size() >= 2 && path[1] == ':' && UpperAscii(path[0]) != platform::CurrentDrive()) {
    otherDrive = platform::CurrentFolder(path[0]);
    if (otherDrive.empty()) return false;
  }
  const bool entered = platform::ChangeFolder(path) == io::kOk;
  if (!otherDrive.empty()) platform::ChangeFolder(otherDrive);
  platform::ChangeFolder(start);
  return entered;
}

std::string ParentFolder(std::string_view path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

bool CopyFileTo(std::string_view source, std::string_view target) {
  return platform::CopyFile(source, target) == io::kOk;
}

int CopyFileBuffered(std::string_view source, std::string_view target) {
  platform::DosFile in, out;
  if (platform::OpenFile(source, platform::Access::Read, platform::Share::DenyNone,
                         platform::Disposition::OpenExisting, in) != io::kOk)
    return kCopySourceFailed;
  // Creating the target empties it: a target that is the source itself would
  // lose its data before a byte was read.
  if (HostOf(target) == in.hostPath()) return kCopyTargetFailed;
  if (platform::CreateFile(target, out) != io::kOk) return kCopyTargetFailed;
  static constexpr size_t kBlock = 30000;
  std::vector<char> buffer(kBlock);
  bool complete = true;
  for (;;) {
    size_t got = 0;
    if (platform::IoCode rc = in.Read(buffer.data(), kBlock, &got)) StopWithIoError(rc);
    if (got == 0) break;
    size_t put = 0;
    const platform::IoCode rc = out.Write(buffer.data(), got, &put);
    if (rc && rc != io::kShortWrite) StopWithIoError(rc);
    if (put < got) {
      complete = false;
      break;
    }
  }
  uint32_t stamp = 0;
  if (in.GetStamp(stamp) == io::kOk && stamp != 0) out.SetStamp(stamp);
  if (platform::IoCode rc = in.Close()) StopWithIoError(rc);
  if (platform::IoCode rc = out.Close(); rc && complete) StopWithIoError(rc);
  return complete ? kCopyOk : kCopyDiskFull;
}

void DeleteMatchingFiles(std::string_view namePatterns, std::string_view extPatterns) {
  const std::string here = platform::CurrentFolder();
  const std::string host = HostOf(here);
  platform::HostPath hp;
  if (host.empty() || (platform::ResolvePath(here, hp) == io::kOk && hp.isRoot()) ||
      IsDriveRoot(host)) {
    TellRoot(here);
    return;
  }
  for (const auto& e : Entries(here)) {
    if ((e.attributes & platform::attr::kDirectory) || e.name.empty() || e.name[0] == '.') continue;
    const size_t dot = e.name.rfind('.');
    const std::string_view ext =
        dot == std::string::npos ? std::string_view() : std::string_view(e.name).substr(dot);
    if (MatchesPattern(e.name, namePatterns) && MatchesPattern(ext, extPatterns))
      DeleteFileQuiet(e.name);  // one that cannot be deleted stays
  }
}

bool DeleteFolderTree(std::string_view folder) {
  platform::HostPath hp;
  if (folder.empty() || platform::ResolvePath(folder, hp) != io::kOk || !hp.exists ||
      !platform::FolderExists(folder)) {
    Tell(kNoSuchFolderMessage);
    return false;
  }
  if (hp.isRoot() || HoldsDriveRoot(hp.path)) {
    TellRoot(folder);
    return false;
  }
  if (HoldsCurrentFolder(hp.path)) {
    Tell(kInsideFolderMessage);
    return false;
  }
  // The walk names every entry from the folder's own full path, so that a
  // relative name or "X:" cannot be read against another folder meanwhile.
  std::string full;
  if (!platform::DosPathOfHost(hp.path, full)) {
    Tell(kNoSuchFolderMessage);
    return false;
  }
  return DeleteContents(full);
}

bool DeleteFolderFiles(std::string_view folder) {
  platform::HostPath hp;
  if (platform::ResolvePath(folder, hp) == io::kOk && hp.exists &&
      (hp.isRoot() || IsDriveRoot(hp.path))) {
    TellRoot(folder);
    return false;
  }
  for (const auto& e : Entries(folder)) {
    if (IsFolderEntry(folder, e)) continue;
    if (platform::DeleteFile(Join(folder, e.name)) != io::kOk) return false;
  }
  return platform::RemoveFolder(folder) == io::kOk;
}

void MakeFolderPath(std::string_view path) {
  const std::string parent = ParentFolder(path);
  std::string running;
  size_t pos = 0;
  for (;;) {
    const size_t end = parent.find('\\', pos);
    const std::string part = parent.substr(pos, end == std::string::npos ? end : end - pos);
    running = pos == 0 ? part : running + "\\" + part;
    if (running.empty() || running.back() != ':') platform::MakeFolder(running);
    if (end == std::string::npos) break;
    pos = end + 1;
  }
}

void FindInTree(std::string& found, std::string_view name, std::string_view root) {
  found.clear();
  auto visit = [&](const std::string& folder, bool&) {
    const std::string candidate = Join(folder, name);
    if (platform::FileExists(candidate) || platform::FolderExists(candidate)) {
      found = candidate;
      return false;
    }
    return true;
  };
  Walk(WithoutClosingSeparator(root), visit);
}

void SearchFolderInteractive(std::string& found, std::string_view folderName,
                             std::string_view root) {
  found.clear();
  const uint8_t attr = console::GetTextAttr();
  const int width = ui::WindowWidth();
  auto visit = [&](const std::string& folder, bool& descend) {
    ui::FillAt(1, 23, width, ' ', attr);
    ui::WriteAt(1, 23, folder, attr);
    const std::string candidate = Join(folder, folderName);
    if (FolderExists(candidate)) {
      ui::FillAt(1, 24, width, ' ', attr);
      ui::WriteAt(1, 24, candidate, attr);
      if (ui::Prompt(candidate, "Kiválasztja\0Tovább keres"_cp) == 1) {
        found = candidate;
        return false;
      }
    }
    if (platform::KeyStrokeReady() && ui::ReadKey() == 211 &&
        ui::Prompt("Biztosan megszakít?"_cp, "IN") == 1)
      descend = false;
    return true;
  };
  Walk(WithoutClosingSeparator(root), visit);
}

uint32_t FileSizeOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\:");
  const std::string_view wanted = slash == std::string_view::npos ? path : path.substr(slash + 1);
  platform::DirSearch search;
  platform::DirEntry e;
  uint32_t size = 0;
  for (platform::IoCode rc = platform::FindFirst(path, platform::attr::kAny, search, e);
       rc == io::kOk; rc = platform::FindNext(search, e)) {
    if (!(e.attributes & platform::attr::kDirectory) && SameAsciiIgnoringCase(e.name, wanted)) {
      size = static_cast<uint32_t>(e.size);
      break;
    }
  }
  platform::FindClose(search);
  return size;
}

}  // namespace files
