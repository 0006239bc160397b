// The registry of the host: a per-user and a per-machine store of keys that
// hold named values, each value a text or a 32-bit number.
//
// Where the stores live:
//   per-user    $XDG_CONFIG_HOME/vantor/registry  (default ~/.config/vantor/registry)
//   per-machine $VANTOR_MACHINE_DIR/registry      (default /etc/vantor/registry)
// The variables are read on every operation, so a test may point them at a
// temporary folder at any time.
//
// The store file is a text file in UTF-8 that a person can read and change
// with an editor (the layout follows the registry export files of Windows):
//
//   ; comments and blank lines are kept as they are
//   [Software\Vantor\Console]
//   "FontSize21"=dword:00120000
//   "FaceName"="Lucida Console"
//   @="the key's unnamed value"
//
// A key is a "[path]" line; the values below it belong to it until the next
// "[" line. Texts are written between quotation marks with \\ for a backslash,
// \" for a quotation mark and \xHH for a control byte; a number is "dword:"
// and one to eight hexadecimal digits. When reading, a value name may also be
// written without quotation marks (FaceName="Arial"). Key paths and value
// names are compared ignoring the case of A..Z, as the Windows registry does;
// a key exists when it has its own "[...]" line or a key below it has one.
//
// A damaged store (a line that cannot be understood, a number that is not
// one) is read as far as it makes sense: a line that cannot be understood is
// ignored, but kept in the file when the store is written again; a value whose
// data cannot be understood exists but has no readable type, so reading it
// answers WrongType; after a "[" line that is not a key, values are ignored up
// to the next key. Nothing in a store file can crash a reader.
//
// Texts cross this interface as code page 852 bytes and are kept in the file
// as UTF-8 (a character that code page 852 lacks reads back as "?").
//
// Changes are atomic and serialised between processes: each write takes an
// exclusive lock on "registry.lock" beside the store, reads the store afresh,
// changes it, writes it to a temporary file in the same folder and renames
// that over the store, then drops the lock. So readers (which take no lock)
// always see a whole store, and two processes writing at the same moment both
// keep their change. Every read reads the file afresh.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryRoot : uint8_t { CurrentUser, LocalMachine };

enum class RegistryResult : uint8_t {
  Ok,
  NotFound,      // the key or the value does not exist
  WrongType,     // the value holds the other type, or data that is not readable
  AccessDenied,  // the store (or its folder or lock) may not be written
  Failed,        // any other failure of the host
  NotOpen,       // the operation was made on a key that is not open
};

// One value as stored.
struct RegistryValue {
  enum class Type : uint8_t { Text, Number, Unreadable };
  Type type = Type::Unreadable;
  std::string text;      // Text: code page 852 bytes
  uint32_t number = 0;   // Number
};

// Key paths: "\Software\Vantor\Console\" and "Software\Vantor\Console" name
// the same key; empty names between backslashes are dropped.
std::string NormaliseRegistryPath(std::string_view path);

// The contents of one store file. Parsing never fails; every line is kept as
// it was read so that writing the document back changes only what was set.
class RegistryDocument {
 public:
  static RegistryDocument Parse(std::string_view fileBytes);
  // The file form: the lines, each ended by LF.
  std::string Serialize() const;

  // REQUIRES for the key paths: normalised (NormaliseRegistryPath).
  bool KeyExists(std::string_view key) const;
  // Adds the key's "[...]" line unless it exists. Returns true when the
  // document changed.
  bool CreateKey(std::string_view key);
  // Ok with the value, or NotFound.
  RegistryResult Find(std::string_view key, std::string_view name, RegistryValue& out) const;
  // Sets a value, replacing the line of an existing one (whatever its type)
  // or adding a line at the end of the key's first block (the key's "[...]"
  // line is added at the end when the key has none).
  void Set(std::string_view key, std::string_view name, const RegistryValue& value);

  size_t LineCount() const { return lines_.size(); }

 private:
  enum class Kind : uint8_t { Other, Key, Value, Damaged };
  struct Line {
    std::string text;  // as in the file (UTF-8), without its line end
    Kind kind = Kind::Other;
    std::string key;   // Key: the key's path; Value: the key it belongs to
    std::string name;  // Value: the value's name (code page 852)
    RegistryValue value;
    bool inKey = false;  // Value or Damaged line inside a key's block
  };
  static Line ParseLine(std::string_view text);
  void Reindex();

  std::vector<Line> lines_;
};

// The host file of a store (the environment is read on each call).
std::string RegistryStoreFile(RegistryRoot root);

// An open key of a store: the stand-in for a registry key handle. It remembers
// which key it names; every read and write goes to the store file.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens the key. Without create: NotFound when the key does not exist.
  // With create: the key is created when missing (a write of the store).
  RegistryResult Open(RegistryRoot root, std::string_view path, bool create);
  bool IsOpen() const { return open_; }
  void Close() { open_ = false; }

  // True when the value exists (of any type, readable or not).
  bool ValueExists(std::string_view name) const;
  // Ok, NotFound or WrongType (and Failed when the store cannot be read).
  RegistryResult ReadText(std::string_view name, std::string& out) const;
  RegistryResult ReadNumber(std::string_view name, uint32_t& out) const;
  RegistryResult WriteText(std::string_view name, std::string_view value);
  RegistryResult WriteNumber(std::string_view name, uint32_t value);

 private:
  RegistryResult Read(std::string_view name, RegistryValue& out) const;
  RegistryResult Write(std::string_view name, const RegistryValue& value);

  bool open_ = false;
  RegistryRoot root_ = RegistryRoot::CurrentUser;
  std::string path_;
};

}  // namespace platform
