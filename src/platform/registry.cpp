#include "platform/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/cp852.h"

namespace platform {

namespace {

// --- Texts of the file --------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends the code page 852 byte of the UTF-8 character at pos and returns the
// number of bytes it took. A character the code page lacks, and a byte that is
// not UTF-8, give "?" (the file may have been edited in another encoding).
size_t AppendDecoded(std::string_view s, size_t pos, std::string& out) {
  char32_t c = 0;
  const int n = DecodeUtf8(s, pos, c);
  if (n <= 0) {
    out.push_back('?');
    return 1;
  }
  const int b = UnicodeToCp852(c);
  out.push_back(b >= 0 ? static_cast<char>(b) : '?');
  return static_cast<size_t>(n);
}

std::string DecodePlain(std::string_view s) {
  std::string out;
  for (size_t pos = 0; pos < s.size();) pos += AppendDecoded(s, pos, out);
  return out;
}

bool IsControlByte(unsigned char b) { return b < 0x20 || b == 0x7F; }

// Code page 852 text as UTF-8; control bytes, "\" and the quotation mark
// escaped when quoting.
std::string Encode(std::string_view cp852, bool quoted) {
  std::string out;
  for (char ch : cp852) {
    const auto b = static_cast<unsigned char>(ch);
    if (quoted && (ch == '\\' || ch == '"')) {
      out.push_back('\\');
      out.push_back(ch);
    } else if (quoted && IsControlByte(b)) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else if (b < 0x80) {
      out.push_back(ch);
    } else {
      AppendUtf8(out, kCp852ToUnicode[b]);
    }
  }
  return out;
}

std::string Quoted(std::string_view cp852) { return "\"" + Encode(cp852, true) + "\""; }

// Reads a quoted text starting at s[pos] == '"'. On success pos is after the
// closing quotation mark. An unknown escape keeps its backslash, so that a
// hand-written "C:\DATA" still reads as written.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
  ++pos;
  while (pos < s.size()) {
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\' && pos + 1 < s.size()) {
      const char e = s[pos + 1];
      if (e == '\\' || e == '"') {
        out.push_back(e);
        pos += 2;
        continue;
      }
      if (e == 'x' && pos + 3 < s.size() && HexDigit(s[pos + 2]) >= 0 && HexDigit(s[pos + 3]) >= 0) {
        out.push_back(static_cast<char>(HexDigit(s[pos + 2]) * 16 + HexDigit(s[pos + 3])));
        pos += 4;
        continue;
      }
    }
    pos += AppendDecoded(s, pos, out);
  }
  return false;
}

RegistryValue ParseData(std::string_view data) {
  RegistryValue v;
  data = TrimBlanks(data);
  if (!data.empty() && data.front() == '"') {
    size_t pos = 0;
    std::string text;
    if (ParseQuoted(data, pos, text) && TrimBlanks(data.substr(pos)).empty()) {
      v.type = RegistryValue::Type::Text;
      v.text = std::move(text);
    }
    return v;
  }
  if (data.size() > 6 && SameIgnoringAsciiCase(data.substr(0, 6), "dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.size() > 8) return v;
    uint32_t n = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return v;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    v.type = RegistryValue::Type::Number;
    v.number = n;
  }
  return v;
}

std::string FormatValueLine(std::string_view name, const RegistryValue& v) {
  std::string line = name.empty() ? std::string("@") : Quoted(name);
  line += '=';
  if (v.type == RegistryValue::Type::Number) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number));
    line += buf;
  } else {
    line += Quoted(v.text);
  }
  return line;
}

bool SameKey(std::string_view a, std::string_view b) { return SameIgnoringAsciiCase(a, b); }

// True when key is below parent (or is it).
bool KeyWithin(std::string_view key, std::string_view parent) {
  if (parent.empty()) return true;
  if (key.size() < parent.size()) return false;
  if (!SameIgnoringAsciiCase(key.substr(0, parent.size()), parent)) return false;
  return key.size() == parent.size() || key[parent.size()] == '\\';
}

}  // namespace

std::string NormaliseRegistryPath(std::string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out.push_back('\\');
      out.append(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

// --- The document -------------------------------------------------------------

RegistryDocument::Line RegistryDocument::ParseLine(std::string_view raw) {
  Line line;
  line.text = std::string(raw);
  const std::string_view t = TrimBlanks(raw);
  if (t.empty() || t.front() == ';' || t.front() == '#') return line;  // Other
  if (t.front() == '[') {
    const size_t close = t.rfind(']');
    if (close == t.size() - 1 && close > 0) {
      line.key = NormaliseRegistryPath(DecodePlain(t.substr(1, close - 1)));
      if (!line.key.empty()) line.kind = Kind::Key;
      else line.kind = Kind::Damaged;
    } else {
      line.kind = Kind::Damaged;
    }
    return line;
  }
  line.kind = Kind::Damaged;
  size_t pos = 0;
  std::string name;
  if (t.front() == '"') {
    if (!ParseQuoted(t, pos, name)) return line;
  } else if (t.front() == '@') {
    pos = 1;
  } else {
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return line;
    name = DecodePlain(TrimBlanks(t.substr(0, eq)));
    if (name.empty()) return line;
    pos = eq;
  }
  while (pos < t.size() && IsBlank(t[pos])) ++pos;
  if (pos >= t.size() || t[pos] != '=') return line;
  line.kind = Kind::Value;
  line.name = std::move(name);
  line.value = ParseData(t.substr(pos + 1));
  return line;
}

void RegistryDocument::Reindex() {
  // A line belongs to the block of the last key line above it; a "[" line
  // that is not a key ends the block, so that what follows it is not taken
  // for values of the key before.
  bool inKey = false;
  std::string key;
  for (Line& l : lines_) {
    if (l.kind == Kind::Key) {
      inKey = true;
      key = l.key;
      l.inKey = true;
      continue;
    }
    if (l.kind == Kind::Damaged) {
      const std::string_view t = TrimBlanks(l.text);
      if (!t.empty() && t.front() == '[') inKey = false;
    }
    l.inKey = inKey;
    if (l.kind != Kind::Key) l.key = inKey ? key : std::string();
  }
}

RegistryDocument RegistryDocument::Parse(std::string_view bytes) {
  RegistryDocument doc;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view raw = bytes.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    doc.lines_.push_back(ParseLine(raw));
    start = end + 1;
  }
  doc.Reindex();
  return doc;
}

std::string RegistryDocument::Serialize() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.text;
    out += '\n';
  }
  return out;
}

bool RegistryDocument::KeyExists(std::string_view key) const {
  if (key.empty()) return true;
  for (const Line& l : lines_)
    if (l.kind == Kind::Key && KeyWithin(l.key, key)) return true;
  return false;
}

bool RegistryDocument::CreateKey(std::string_view key) {
  for (const Line& l : lines_)
    if (l.kind == Kind::Key && SameKey(l.key, key)) return false;
  if (key.empty()) return false;
  if (!lines_.empty() && !TrimBlanks(lines_.back().text).empty()) lines_.push_back(ParseLine(""));
  lines_.push_back(ParseLine("[" + Encode(key, false) + "]"));
  Reindex();
  return true;
}

RegistryResult RegistryDocument::Find(std::string_view key, std::string_view name,
                                      RegistryValue& out) const {
  for (const Line& l : lines_) {
    if (l.kind == Kind::Value && l.inKey && SameKey(l.key, key) &&
        SameIgnoringAsciiCase(l.name, name)) {
      out = l.value;
      return RegistryResult::Ok;
    }
  }
  return RegistryResult::NotFound;
}

void RegistryDocument::Set(std::string_view key, std::string_view name, const RegistryValue& value) {
  for (Line& l : lines_) {
    if (l.kind == Kind::Value && l.inKey && SameKey(l.key, key) &&
        SameIgnoringAsciiCase(l.name, name)) {
      // Keep the name as the file spells it.
      Line fresh = ParseLine(FormatValueLine(l.name, value));
      fresh.inKey = true;
      fresh.key = l.key;
      l = std::move(fresh);
      return;
    }
  }
  if (!key.empty()) CreateKey(key);
  // After the last value (or unreadable line) of the key's first block, so
  // that comments and blank lines before the next key stay where they are.
  size_t at = lines_.size();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::Key || !SameKey(lines_[i].key, key)) continue;
    at = i + 1;
    for (size_t j = i + 1; j < lines_.size() && lines_[j].kind != Kind::Key; ++j) {
      if (!lines_[j].inKey) break;
      if (lines_[j].kind != Kind::Other) at = j + 1;
    }
    break;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                ParseLine(FormatValueLine(name, value)));
  Reindex();
}

// --- The store files ----------------------------------------------------------

namespace {

RegistryResult ResultOfErrno(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return RegistryResult::AccessDenied;
    default:
      return RegistryResult::Failed;
  }
}

std::string StoreFolder(RegistryRoot root) {
  if (root == RegistryRoot::LocalMachine) {
    const char* dir = std::getenv("VANTOR_MACHINE_DIR");
    return (dir && *dir) ? std::string(dir) : std::string("/etc/vantor");
  }
  // XDG: a relative XDG_CONFIG_HOME is to be ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/vantor";
  const char* home = std::getenv("HOME");
  std::string h = (home && *home) ? home : "";
  if (h.empty()) {
    struct passwd pw;
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
      h = found->pw_dir;
  }
  return h + "/.config/vantor";
}

// Creates the folder and its parents. The per-user folder is private, as the
// XDG rules ask; the per-machine folder is readable by every user.
RegistryResult MakeFolders(const std::string& folder, mode_t mode) {
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    struct stat st;
    if (stat(part.c_str(), &st) == 0) continue;
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return ResultOfErrno(errno);
  }
  return RegistryResult::Ok;
}

// Reads a whole store. A missing file is an empty store.
RegistryResult LoadStore(const std::string& file, RegistryDocument& doc, bool* existed = nullptr) {
  if (existed) *existed = false;
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      doc = RegistryDocument();
      return RegistryResult::Ok;
    }
    return ResultOfErrno(errno);
  }
  std::string bytes;
  char buf[8192];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      close(fd);
      return ResultOfErrno(err);
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (existed) *existed = true;
  doc = RegistryDocument::Parse(bytes);
  return RegistryResult::Ok;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

const char kNewStoreHeader[] =
    "; Vantor registry store. Keys are [path] lines, values \"name\"=\"text\" or\n"
    "; \"name\"=dword:hexadecimal below their key. Edit only while no program of the\n"
    "; suite is running.\n";

// Writes the store through a temporary file in its folder and renames it over
// the store: a reader sees either the old or the new store, never a part.
RegistryResult ReplaceStore(const std::string& folder, const std::string& file,
                            const RegistryDocument& doc, mode_t defaultMode) {
  std::string tmp = folder + "/.registry.XXXXXX";
  const int fd = mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return ResultOfErrno(errno);
  struct stat st;
  const mode_t mode = stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : defaultMode;
  const std::string bytes = doc.Serialize();
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(tmp.c_str(), file.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    return ResultOfErrno(err);
  }
  return RegistryResult::Ok;
}

// Runs change on the store under the store's lock: read, change, write. The
// change answers whether it changed anything (nothing is written otherwise).
RegistryResult ChangeStore(RegistryRoot root,
                           const std::function<bool(RegistryDocument&)>& change) {
  const std::string folder = StoreFolder(root);
  const std::string file = folder + "/registry";
  const bool user = root == RegistryRoot::CurrentUser;
  RegistryResult r = MakeFolders(folder, user ? 0700 : 0755);
  if (r != RegistryResult::Ok) return r;
  const std::string lockName = folder + "/registry.lock";
  const int lockFd = open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, user ? 0600 : 0644);
  if (lockFd < 0) return ResultOfErrno(errno);
  // flock belongs to the open file description, so the lock is this call's
  // alone even if another part of the process has the lock file open.
  while (flock(lockFd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int err = errno;
      close(lockFd);
      return ResultOfErrno(err);
    }
  }
  RegistryDocument doc;
  bool existed = false;
  r = LoadStore(file, doc, &existed);
  // A store written for the first time starts with a word on its layout.
  if (r == RegistryResult::Ok && !existed) doc = RegistryDocument::Parse(kNewStoreHeader);
  if (r == RegistryResult::Ok && change(doc)) r = ReplaceStore(folder, file, doc, user ? 0600 : 0644);
  close(lockFd);  // drops the lock
  return r;
}

}  // namespace

std::string RegistryStoreFile(RegistryRoot root) { return StoreFolder(root) + "/registry"; }

// --- Keys ---------------------------------------------------------------------

RegistryResult RegistryKey::Open(RegistryRoot root, std::string_view path, bool create) {
  open_ = false;
  const std::string key = NormaliseRegistryPath(path);
  if (key.empty()) return RegistryResult::Failed;
  for (char c : key)
    if (IsControlByte(static_cast<unsigned char>(c))) return RegistryResult::Failed;
  RegistryResult r;
  if (create) {
    r = ChangeStore(root, [&](RegistryDocument& doc) { return doc.CreateKey(key); });
  } else {
    RegistryDocument doc;
    r = LoadStore(RegistryStoreFile(root), doc);
    if (r == RegistryResult::Ok && !doc.KeyExists(key)) r = RegistryResult::NotFound;
  }
  if (r != RegistryResult::Ok) return r;
  root_ = root;
  path_ = key;
  open_ = true;
  return RegistryResult::Ok;
}

RegistryResult RegistryKey::Read(std::string_view name, RegistryValue& out) const {
  if (!open_) return RegistryResult::NotOpen;
  RegistryDocument doc;
  const RegistryResult r = LoadStore(RegistryStoreFile(root_), doc);
  if (r != RegistryResult::Ok) return r;
  return doc.Find(path_, name, out);
}

bool RegistryKey::ValueExists(std::string_view name) const {
  RegistryValue v;
  return Read(name, v) == RegistryResult::Ok;
}

RegistryResult RegistryKey::ReadText(std::string_view name, std::string& out) const {
  RegistryValue v;
  const RegistryResult r = Read(name, v);
  if (r != RegistryResult::Ok) return r;
  if (v.type != RegistryValue::Type::Text) return RegistryResult::WrongType;
  out = std::move(v.text);
  return RegistryResult::Ok;
}

RegistryResult RegistryKey::ReadNumber(std::string_view name, uint32_t& out) const {
  RegistryValue v;
  const RegistryResult r = Read(name, v);
  if (r != RegistryResult::Ok) return r;
  if (v.type != RegistryValue::Type::Number) return RegistryResult::WrongType;
  out = v.number;
  return RegistryResult::Ok;
}

RegistryResult RegistryKey::Write(std::string_view name, const RegistryValue& value) {
  if (!open_) return RegistryResult::NotOpen;
  return ChangeStore(root_, [&](RegistryDocument& doc) {
    doc.Set(path_, name, value);
    return true;
  });
}

RegistryResult RegistryKey::WriteText(std::string_view name, std::string_view value) {
  RegistryValue v;
  v.type = RegistryValue::Type::Text;
  v.text = std::string(value);
  return Write(name, v);
}

RegistryResult RegistryKey::WriteNumber(std::string_view name, uint32_t value) {
  RegistryValue v;
  v.type = RegistryValue::Type::Number;
  v.number = value;
  return Write(name, v);
}

}  // namespace platform
