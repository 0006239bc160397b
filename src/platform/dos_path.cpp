#include "platform/dos_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/cp852.h"
#include "platform/dos_path_internal.h"

namespace platform {
namespace {

struct Drive {
  bool present = false;
  std::string root;      // normalized absolute host folder
  std::string realRoot;  // the same with links resolved (when it exists)
  std::string label;
  std::vector<std::string> folder;  // current folder: host names below root
};

struct State {
  bool ready = false;
  std::array<Drive, 26> drives;
  char current = 'C';
};

State& S() {
  static State s;
  return s;
}

char UpperLetter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  return (c >= 'A' && c <= 'Z') ? c : 0;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Host folder names of an absolute path, lexically ("." dropped, ".." taken
// back, never above "/").
std::vector<std::string> HostParts(std::string_view path) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view p = path.substr(pos, end - pos);
    if (p == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!p.empty() && p != ".") {
      parts.emplace_back(p);
    }
    pos = end + 1;
  }
  return parts;
}

std::string JoinHost(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out;
}

std::string RealPathOf(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf) == nullptr) return {};
  return buf;
}

// The names of path below root when root holds it (component-wise), with
// length the number of root's own names; false otherwise.
bool Below(const std::vector<std::string>& root, const std::vector<std::string>& path,
           std::vector<std::string>& rest) {
  if (root.size() > path.size()) return false;
  for (size_t i = 0; i < root.size(); ++i)
    if (root[i] != path[i]) return false;
  rest.assign(path.begin() + static_cast<long>(root.size()), path.end());
  return true;
}

// The drive whose folder holds the host path, deepest first; 0 when none.
char DriveHolding(const std::string& hostPath, std::vector<std::string>& rest) {
  const auto parts = HostParts(hostPath);
  char best = 0;
  size_t bestDepth = 0;
  for (int i = 0; i < 26; ++i) {
    const Drive& d = S().drives[i];
    if (!d.present) continue;
    for (const std::string* root : {&d.root, &d.realRoot}) {
      if (root->empty()) continue;
      auto rootParts = HostParts(*root);
      std::vector<std::string> r;
      if (Below(rootParts, parts, r) && (best == 0 || rootParts.size() > bestDepth)) {
        best = static_cast<char>('A' + i);
        bestDepth = rootParts.size();
        rest = std::move(r);
      }
    }
  }
  return best;
}

// Makes the drive holding the working folder current there. A working folder
// outside every drive moves to the root of C:.
void TakeWorkingFolder() {
  State& s = S();
  char buf[PATH_MAX];
  std::vector<std::string> rest;
  char d = getcwd(buf, sizeof buf) ? DriveHolding(buf, rest) : 0;
  if (d == 0) {
    d = 'C';
    rest.clear();
    if (chdir(s.drives['C' - 'A'].root.c_str()) != 0) {
      // Nothing better to do: the folder state still names C:'s root.
    }
  }
  s.current = d;
  s.drives[d - 'A'].folder = std::move(rest);
}

bool BuildTable(const std::vector<DriveMapping>& entries, std::array<Drive, 26>& out) {
  for (auto& d : out) d = Drive{};
  out['C' - 'A'].present = true;
  out['C' - 'A'].root = "/";
  std::vector<DriveMapping> all = entries;
  if (const char* env = getenv("DRIVES")) {
    std::vector<DriveMapping> fromEnv;
    ParseDriveList(env, fromEnv);  // a bad entry ends the list; the rest stands
    all.insert(all.end(), fromEnv.begin(), fromEnv.end());
  }
  for (size_t i = 0; i < all.size(); ++i) {
    const DriveMapping& m = all[i];
    const char letter = UpperLetter(m.letter);
    if (letter == 0 || m.hostRoot.empty() || m.hostRoot[0] != '/') {
      if (i < entries.size()) return false;
      continue;
    }
    Drive& d = out[letter - 'A'];
    d.present = true;
    d.root = JoinHost(HostParts(m.hostRoot));
    d.label = m.label;
  }
  for (auto& d : out)
    if (d.present) d.realRoot = RealPathOf(d.root);
  return true;
}

void EnsureReady() {
  State& s = S();
  if (s.ready) return;
  s.ready = true;
  BuildTable({}, s.drives);
  TakeWorkingFolder();
}

std::string JoinUnder(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The name under which dir holds name: the name itself when the host has
// it, else the one entry equal ignoring case (the first in byte order when
// several are). Empty when there is none.
std::string LookUp(const std::string& dir, const std::string& name) {
  struct stat st;
  if (lstat(JoinUnder(dir, name).c_str(), &st) == 0) return name;
  DIR* h = opendir(dir.c_str());
  if (!h) return {};
  std::string found;
  while (dirent* e = readdir(h)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    if (SameNameIgnoringCase(n, name) && (found.empty() || n < found)) found = n;
  }
  closedir(h);
  return found;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

namespace detail {

IoCode ParseDosPath(DosName in, bool lastIsPattern, ParsedPath& out) {
  EnsureReady();
  out = ParsedPath{};
  std::string_view text = in.text;
  if (text.empty()) return io::kPathNotFound;
  out.drive = S().current;
  if (text.size() >= 2 && text[1] == ':') {
    out.drive = UpperLetter(text[0]);
    out.driveGiven = true;
    if (out.drive == 0) return io::kInvalidName;
    text.remove_prefix(2);
  } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    return io::kPathNotFound;  // a network name (\\server\share) has no drive here
  }
  out.absolute = !text.empty() && IsSeparator(text[0]);

  // The names, as UTF-8; ".." kept as a step up.
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = pos;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::string_view raw = text.substr(pos, end - pos);
    const bool last = end >= text.size();
    pos = end + 1;
    if (raw.empty() || raw == ".") continue;
    if (raw == "..") {
      names.emplace_back("..");
      continue;
    }
    const bool pattern = last && lastIsPattern;
    for (unsigned char b : raw) {
      char32_t c = NameByteToUnicode(b, in.code);
      if (!ValidNameChar(c) && !(pattern && (c == U'*' || c == U'?')))
        return io::kInvalidName;
    }
    if (!pattern) {
      // Windows drops trailing dots and blanks of every name.
      while (!raw.empty() && (raw.back() == '.' || raw.back() == ' ')) raw.remove_suffix(1);
      if (raw.empty()) continue;
    }
    if (pattern) {
      out.pattern = NameToUtf8(raw, in.code);
      out.hasPattern = true;
    } else {
      names.push_back(NameToUtf8(raw, in.code));
    }
  }
  out.names = std::move(names);
  return io::kOk;
}

IoCode ResolveParsed(const ParsedPath& in, HostPath& out) {
  State& s = S();
  out = HostPath{};
  if (in.drive < 'A' || in.drive > 'Z' || !s.drives[in.drive - 'A'].present)
    return io::kPathNotFound;
  const Drive& d = s.drives[in.drive - 'A'];
  out.drive = in.drive;

  std::vector<std::string> logical;
  if (!in.absolute) logical = d.folder;
  for (const auto& n : in.names) {
    if (n == "..") {
      if (!logical.empty()) logical.pop_back();  // never above the root
    } else {
      logical.push_back(n);
    }
  }

  if (!IsFolder(d.root)) return io::kDriveNotReady;
  out.path = d.root;
  bool folderOk = true, exists = true;
  for (size_t i = 0; i < logical.size(); ++i) {
    std::string name = logical[i];
    if (folderOk) {
      std::string actual = LookUp(out.path, name);
      exists = !actual.empty();
      if (exists) name = std::move(actual);
    }
    out.path = JoinUnder(out.path, name);
    out.parts.push_back(std::move(name));
    if (i + 1 < logical.size()) folderOk = folderOk && exists && IsFolder(out.path);
  }
  out.folderExists = folderOk;
  out.exists = folderOk && exists;
  return io::kOk;
}

std::vector<std::string> CurrentHostFolders(bool allDrives) {
  EnsureReady();
  std::vector<std::string> out;
  for (int i = 0; i < 26; ++i) {
    const Drive& d = S().drives[i];
    if (!d.present || (!allDrives && S().current != 'A' + i)) continue;
    std::string p = d.root;
    for (const auto& n : d.folder) p = JoinUnder(p, n);
    out.push_back(std::move(p));
  }
  return out;
}

bool HostPathWithin(const std::string& path, const std::string& folder) {
  std::vector<std::string> rest;
  return Below(HostParts(folder), HostParts(path), rest);
}

}  // namespace detail

bool ParseDriveList(std::string_view text, std::vector<DriveMapping>& out) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view entry = text.substr(pos, end - pos);
    pos = end + 1;
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t')) entry.remove_prefix(1);
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t')) entry.remove_suffix(1);
    if (entry.empty()) continue;
    DriveMapping m;
    m.letter = UpperLetter(entry[0]);
    if (m.letter == 0 || entry.size() < 3 || entry[1] != '=' || entry[2] != '/') return false;
    entry.remove_prefix(2);
    if (size_t bar = entry.find('|'); bar != std::string_view::npos) {
      m.label = std::string(entry.substr(bar + 1));
      entry = entry.substr(0, bar);
    }
    m.hostRoot = std::string(entry);
    out.push_back(std::move(m));
  }
  return true;
}

bool SetDriveTable(const std::vector<DriveMapping>& entries) {
  EnsureReady();
  std::array<Drive, 26> table;
  if (!BuildTable(entries, table)) return false;
  S().drives = std::move(table);
  TakeWorkingFolder();
  return true;
}

std::vector<DriveMapping> DriveTable() {
  EnsureReady();
  std::vector<DriveMapping> out;
  for (int i = 0; i < 26; ++i) {
    const Drive& d = S().drives[i];
    if (d.present) out.push_back({static_cast<char>('A' + i), d.root, d.label});
  }
  return out;
}

std::string DriveLetters() {
  EnsureReady();
  std::string out;
  for (int i = 0; i < 26; ++i)
    if (S().drives[i].present) out += static_cast<char>('A' + i);
  return out;
}

bool DrivePresent(char letter) {
  EnsureReady();
  const char l = UpperLetter(letter);
  return l != 0 && S().drives[l - 'A'].present;
}

void ResetDosNamespace() {
  S() = State{};
  EnsureReady();
}

char CurrentDrive() {
  EnsureReady();
  return S().current;
}

std::string CurrentFolder(char letter, NameCode code) {
  EnsureReady();
  const char l = letter == 0 ? S().current : UpperLetter(letter);
  if (l == 0 || !S().drives[l - 'A'].present) return {};
  std::string out{l, ':', '\\'};
  const auto& folder = S().drives[l - 'A'].folder;
  for (size_t i = 0; i < folder.size(); ++i) {
    if (i) out += '\\';
    out += Utf8ToName(folder[i], code);
  }
  return out;
}

IoCode ChangeFolder(DosName path) {
  detail::ParsedPath parsed;
  if (IoCode rc = detail::ParseDosPath(path, false, parsed)) return rc;
  if (!DrivePresent(parsed.drive)) return io::kInvalidDrive;
  HostPath hp;
  if (IoCode rc = detail::ResolveParsed(parsed, hp)) return rc;
  if (!hp.exists || !IsFolder(hp.path)) return io::kPathNotFound;
  if (chdir(hp.path.c_str()) != 0) return IoCodeFromErrno(errno);
  State& s = S();
  s.current = hp.drive;
  s.drives[hp.drive - 'A'].folder = std::move(hp.parts);
  return io::kOk;
}

IoCode ResolvePath(DosName path, HostPath& out) {
  detail::ParsedPath parsed;
  if (IoCode rc = detail::ParseDosPath(path, false, parsed)) {
    out = HostPath{};
    return rc;
  }
  return detail::ResolveParsed(parsed, out);
}

bool DosPathOfHost(std::string_view hostPath, std::string& dosPath, NameCode code) {
  EnsureReady();
  if (hostPath.empty() || hostPath[0] != '/') return false;
  std::vector<std::string> rest;
  const char d = DriveHolding(std::string(hostPath), rest);
  if (d == 0) return false;
  std::string out{d, ':', '\\'};
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& n = rest[i];
    if (n.back() == '.' || n.back() == ' ') return false;  // resolution would drop them
    size_t pos = 0;
    while (pos < n.size()) {
      char32_t c = 0;
      int len = DecodeUtf8(n, pos, c);
      if (len <= 0 || !ValidNameChar(c)) return false;
      pos += static_cast<size_t>(len);
    }
    bool exact = false;
    std::string name = Utf8ToName(n, code, &exact);
    if (!exact) return false;
    if (i) out += '\\';
    out += name;
  }
  dosPath = std::move(out);
  return true;
}

std::string ProgramFile(const char* argv0) {
  auto isProgram = [](const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  };
  std::string host;
  std::string_view name = argv0 ? argv0 : "";
  if (name.find('/') != std::string_view::npos) {
    std::string abs(name);
    if (name[0] != '/') {
      char buf[PATH_MAX];
      if (getcwd(buf, sizeof buf)) abs = std::string(buf) + "/" + abs;
    }
    abs = JoinHost(HostParts(abs));
    if (abs[0] == '/' && isProgram(abs)) host = abs;
  } else if (!name.empty()) {
    const char* env = getenv("PATH");
    std::string_view list = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (host.empty() && pos <= list.size()) {
      size_t end = list.find(':', pos);
      if (end == std::string_view::npos) end = list.size();
      std::string dir(list.substr(pos, end - pos));
      pos = end + 1;
      if (dir.empty()) dir = ".";
      std::string candidate = dir + "/" + std::string(name);
      if (isProgram(candidate) && access(candidate.c_str(), X_OK) == 0) {
        if (candidate[0] != '/') {
          char buf[PATH_MAX];
          if (!getcwd(buf, sizeof buf)) continue;
          candidate = std::string(buf) + "/" + candidate;
        }
        host = JoinHost(HostParts(candidate));
      }
    }
  }
  std::string dos;
  if (!host.empty() && DosPathOfHost(host, dos)) return dos;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0 && DosPathOfHost(std::string_view(buf, static_cast<size_t>(n)), dos)) return dos;
  return {};
}

}  // namespace platform
