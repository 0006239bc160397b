#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text/literal.h"

namespace platform {
namespace {

using namespace text::literals;
using namespace std::string_literals;
namespace fs = std::filesystem;

// Points both stores at a fresh temporary folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor-registry-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    SaveEnv("XDG_CONFIG_HOME", savedXdg_, hadXdg_);
    SaveEnv("VANTOR_MACHINE_DIR", savedMachine_, hadMachine_);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("VANTOR_MACHINE_DIR", (root_ + "/machine").c_str(), 1);
  }
  void TearDown() override {
    RestoreEnv("XDG_CONFIG_HOME", savedXdg_, hadXdg_);
    RestoreEnv("VANTOR_MACHINE_DIR", savedMachine_, hadMachine_);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  static void SaveEnv(const char* name, std::string& value, bool& had) {
    const char* v = std::getenv(name);
    had = v != nullptr;
    value = v ? v : "";
  }
  static void RestoreEnv(const char* name, const std::string& value, bool had) {
    if (had) setenv(name, value.c_str(), 1);
    else unsetenv(name);
  }
  std::string UserFile() const { return root_ + "/config/vantor/registry"; }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteUserStore(const std::string& bytes) {
    fs::create_directories(root_ + "/config/vantor");
    std::ofstream(UserFile(), std::ios::binary) << bytes;
  }

  std::string root_;

 private:
  std::string savedXdg_, savedMachine_;
  bool hadXdg_ = false, hadMachine_ = false;
};

TEST_F(RegistryTest, StoresLiveWhereTheEnvironmentSays) {
  EXPECT_EQ(RegistryStoreFile(RegistryRoot::CurrentUser), UserFile());
  EXPECT_EQ(RegistryStoreFile(RegistryRoot::LocalMachine), root_ + "/machine/registry");
  unsetenv("VANTOR_MACHINE_DIR");
  EXPECT_EQ(RegistryStoreFile(RegistryRoot::LocalMachine), "/etc/vantor/registry");
  // A relative XDG_CONFIG_HOME does not count; HOME/.config is used instead.
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(RegistryStoreFile(RegistryRoot::CurrentUser), home + "/.config/vantor/registry");
  }
}

TEST(RegistryPath, Normalised) {
  EXPECT_EQ(NormaliseRegistryPath("\\Software\\Vantor\\Console\\"), "Software\\Vantor\\Console");
  EXPECT_EQ(NormaliseRegistryPath("Software\\\\Vantor"), "Software\\Vantor");
  EXPECT_EQ(NormaliseRegistryPath("\\\\"), "");
}

// How lines of a store file read. Each case is a whole file and one look-up.
struct ReadCase {
  const char* what;
  std::string file;
  std::string key;
  std::string name;
  RegistryResult result;
  RegistryValue::Type type;
  std::string text;
  uint32_t number;
};

TEST(RegistryDocumentRead, Table) {
  using T = RegistryValue::Type;
  const RegistryResult Ok = RegistryResult::Ok, NotFound = RegistryResult::NotFound;
  const std::vector<ReadCase> cases = {
      {"text", "[A\\B]\n\"N\"=\"hello\"\n", "A\\B", "N", Ok, T::Text, "hello", 0},
      {"number", "[A]\n\"N\"=dword:00120000\n", "A", "N", Ok, T::Number, "", 0x120000},
      {"short number, upper-case prefix", "[A]\n\"N\"=DWORD:ff\n", "A", "N", Ok, T::Number, "", 255},
      {"CR LF line ends", "[A]\r\n\"N\"=\"x\"\r\n", "A", "N", Ok, T::Text, "x", 0},
      {"blanks around", "  [A]  \n  \"N\" = \"x\"  \n", "A", "N", Ok, T::Text, "x", 0},
      {"escapes", "[A]\n\"N\"=\"a\\\\b\\\"c\\x01\"\n", "A", "N", Ok, T::Text, "a\\b\"c\x01", 0},
      {"unknown escape keeps its backslash", "[A]\n\"N\"=\"C:\\DATA\"\n", "A", "N", Ok, T::Text,
       "C:\\DATA", 0},
      {"UTF-8 becomes code page 852", "[A]\n\"N\"=\"Árvíztűrő\"\n", "A", "N", Ok, T::Text,
       "Árvíztűrő"_cp, 0},
      {"character code page 852 lacks", "[A]\n\"N\"=\"a€b\"\n", "A", "N", Ok, T::Text, "a?b", 0},
      {"bytes that are not UTF-8", "[A]\n\"N\"=\"a\xff" "b\"\n", "A", "N", Ok, T::Text, "a?b", 0},
      {"unquoted name", "[A]\nFaceName=\"Arial\"\n", "A", "FaceName", Ok, T::Text, "Arial", 0},
      {"unnamed value", "[A]\n@=\"d\"\n", "A", "", Ok, T::Text, "d", 0},
      {"key and name ignore case", "[software\\VANTOR]\n\"fontsize\"=dword:1\n", "Software\\Vantor",
       "FontSize", Ok, T::Number, "", 1},
      {"first of two wins", "[A]\n\"N\"=\"1\"\n\"N\"=\"2\"\n", "A", "N", Ok, T::Text, "1", 0},
      {"second block of the same key", "[A]\n[B]\n[a]\n\"N\"=\"x\"\n", "A", "N", Ok, T::Text, "x", 0},
      {"value of another key", "[A]\n\"N\"=\"x\"\n[B]\n", "B", "N", NotFound, T::Unreadable, "", 0},
      {"value before any key", "\"N\"=\"x\"\n[A]\n", "A", "N", NotFound, T::Unreadable, "", 0},
      {"value after a broken key line", "[A]\n[B\n\"N\"=\"x\"\n", "A", "N", NotFound, T::Unreadable,
       "", 0},
      {"comment", "[A]\n;\"N\"=\"x\"\n", "A", "N", NotFound, T::Unreadable, "", 0},
      {"bad number", "[A]\n\"N\"=dword:12g4\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"number of nine digits", "[A]\n\"N\"=dword:123456789\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"number without digits", "[A]\n\"N\"=dword:\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"unclosed text", "[A]\n\"N\"=\"abc\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"junk after text", "[A]\n\"N\"=\"abc\" x\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"unknown type", "[A]\n\"N\"=hex:01,02\n", "A", "N", Ok, T::Unreadable, "", 0},
      {"no end of last line", "[A]\n\"N\"=dword:7", "A", "N", Ok, T::Number, "", 7},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const RegistryDocument doc = RegistryDocument::Parse(c.file);
    RegistryValue v;
    ASSERT_EQ(doc.Find(c.key, c.name, v), c.result);
    if (c.result != RegistryResult::Ok) continue;
    EXPECT_EQ(v.type, c.type);
    if (c.type == T::Text) {
      EXPECT_EQ(v.text, c.text);
    } else if (c.type == T::Number) {
      EXPECT_EQ(v.number, c.number);
    }
  }
}

TEST(RegistryDocumentRead, KeyExistsThroughItsSubkeys) {
  const RegistryDocument doc = RegistryDocument::Parse("[Software\\Vantor\\Console]\n");
  EXPECT_TRUE(doc.KeyExists("Software"));
  EXPECT_TRUE(doc.KeyExists("software\\vantor"));
  EXPECT_TRUE(doc.KeyExists("Software\\Vantor\\Console"));
  EXPECT_FALSE(doc.KeyExists("Software\\Van"));
  EXPECT_FALSE(doc.KeyExists("Software\\Vantor\\Console\\X"));
}

TEST(RegistryDocumentWrite, EveryByteComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  RegistryDocument doc;
  RegistryValue v{RegistryValue::Type::Text, all, 0};
  doc.Set("K", all, v);  // the name too
  doc.Set("K", "N", RegistryValue{RegistryValue::Type::Number, "", 0xFFFFFFFFu});
  const RegistryDocument back = RegistryDocument::Parse(doc.Serialize());
  RegistryValue got;
  ASSERT_EQ(back.Find("K", all, got), RegistryResult::Ok);
  EXPECT_EQ(got.type, RegistryValue::Type::Text);
  EXPECT_EQ(got.text, all);
  ASSERT_EQ(back.Find("K", "N", got), RegistryResult::Ok);
  EXPECT_EQ(got.number, 0xFFFFFFFFu);
}

TEST(RegistryDocumentWrite, ChangesOnlyTheLineItSets) {
  const std::string file =
      "; my notes\n"
      "[A]\n"
      "\"Old\"=dword:zz\n"
      "garbage line\n"
      "\n"
      "; about B\n"
      "[B]\n"
      "fontsize=dword:1\n";
  RegistryDocument doc = RegistryDocument::Parse(file);
  // A value of another (or no readable) type is replaced in place; the file's
  // spelling of the name stays.
  doc.Set("A", "old", RegistryValue{RegistryValue::Type::Text, "t", 0});
  // A new value goes after the key's last value, before the blank line and
  // the comment that belong to the next key.
  doc.Set("a", "New", RegistryValue{RegistryValue::Type::Number, "", 2});
  doc.Set("C\\D", "X", RegistryValue{RegistryValue::Type::Text, "y", 0});
  EXPECT_EQ(doc.Serialize(),
            "; my notes\n"
            "[A]\n"
            "\"Old\"=\"t\"\n"
            "garbage line\n"
            "\"New\"=dword:00000002\n"
            "\n"
            "; about B\n"
            "[B]\n"
            "fontsize=dword:1\n"
            "\n"
            "[C\\D]\n"
            "\"X\"=\"y\"\n");
}

TEST_F(RegistryTest, OpenReadWrite) {
  RegistryKey key;
  EXPECT_EQ(key.Open(RegistryRoot::CurrentUser, "\\Software\\Vantor\\", false), RegistryResult::NotFound);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(key.WriteText("X", "y"), RegistryResult::NotOpen);
  EXPECT_FALSE(fs::exists(UserFile())) << "opening without create writes nothing";

  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, "\\Software\\Vantor\\", true), RegistryResult::Ok);
  EXPECT_TRUE(fs::exists(UserFile()));
  EXPECT_FALSE(key.ValueExists("Name"));
  std::string s;
  uint32_t n = 0;
  EXPECT_EQ(key.ReadText("Name", s), RegistryResult::NotFound);
  ASSERT_EQ(key.WriteText("Name", "Tűz"_cp), RegistryResult::Ok);
  ASSERT_EQ(key.WriteNumber("Size", 18u << 16), RegistryResult::Ok);
  EXPECT_TRUE(key.ValueExists("name"));
  ASSERT_EQ(key.ReadText("Name", s), RegistryResult::Ok);
  EXPECT_EQ(s, "Tűz"_cp);
  ASSERT_EQ(key.ReadNumber("Size", n), RegistryResult::Ok);
  EXPECT_EQ(n, 18u << 16);
  EXPECT_EQ(key.ReadNumber("Name", n), RegistryResult::WrongType);
  EXPECT_EQ(key.ReadText("Size", s), RegistryResult::WrongType);
  // Overwriting changes the type.
  ASSERT_EQ(key.WriteText("Size", "big"), RegistryResult::Ok);
  EXPECT_EQ(key.ReadNumber("Size", n), RegistryResult::WrongType);
  key.Close();

  // Another handle (another program) sees the values; the file is UTF-8.
  RegistryKey other;
  ASSERT_EQ(other.Open(RegistryRoot::CurrentUser, "software\\vantor", false), RegistryResult::Ok);
  ASSERT_EQ(other.ReadText("Name", s), RegistryResult::Ok);
  EXPECT_EQ(s, "Tűz"_cp);
  EXPECT_NE(Slurp(UserFile()).find("\"Name\"=\"Tűz\""), std::string::npos);
  // Nothing is left behind but the store and its lock.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(root_ + "/config/vantor"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry", "registry.lock"}));
}

TEST_F(RegistryTest, UserStoreIsPrivate) {
  RegistryKey key;
  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, "K", true), RegistryResult::Ok);
  struct stat st;
  ASSERT_EQ(stat(UserFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, DamagedStoreReadsWhatItCanAndKeepsTheRest) {
  WriteUserStore("\x00\xff garbage\n[K]\n\"Good\"=\"yes\"\n\"Bad\"=dword:xyz\n[broken\n"
                 "\"Lost\"=\"no\"\n"s);
  RegistryKey key;
  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, "K", false), RegistryResult::Ok);
  std::string s;
  uint32_t n = 0;
  ASSERT_EQ(key.ReadText("Good", s), RegistryResult::Ok);
  EXPECT_EQ(s, "yes");
  EXPECT_TRUE(key.ValueExists("Bad"));
  EXPECT_EQ(key.ReadNumber("Bad", n), RegistryResult::WrongType);
  EXPECT_EQ(key.ReadText("Lost", s), RegistryResult::NotFound);
  // A write repairs the value and keeps every other line for the person who
  // will mend the file.
  ASSERT_EQ(key.WriteNumber("Bad", 5), RegistryResult::Ok);
  ASSERT_EQ(key.ReadNumber("Bad", n), RegistryResult::Ok);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(Slurp(UserFile()),
            "\x00\xff garbage\n[K]\n\"Good\"=\"yes\"\n\"Bad\"=dword:00000005\n[broken\n"
            "\"Lost\"=\"no\"\n"s);
}

TEST_F(RegistryTest, UnwritableStoreFailsTheWrite) {
  // The machine folder lies below a plain file, so nothing can be created
  // there (this holds for root as well).
  std::ofstream(root_ + "/file") << "x";
  setenv("VANTOR_MACHINE_DIR", (root_ + "/file/machine").c_str(), 1);
  RegistryKey key;
  EXPECT_EQ(key.Open(RegistryRoot::LocalMachine, "K", false), RegistryResult::NotFound);
  EXPECT_NE(key.Open(RegistryRoot::LocalMachine, "K", true), RegistryResult::Ok);
  EXPECT_FALSE(key.IsOpen());
}

// Two processes write different values into one store at the same time. Each
// write reads, changes and replaces the whole file; without the lock the
// slower writer would put back a store that lacks the other's last values.
TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kValues = 150;
  RegistryKey setup;
  ASSERT_EQ(setup.Open(RegistryRoot::CurrentUser, "Software\\Race", true), RegistryResult::Ok);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      char go;
      close(ready[1]);
      if (read(ready[0], &go, 1) != 0) _exit(3);  // both start when the pipe closes
      RegistryKey key;
      if (key.Open(RegistryRoot::CurrentUser, "Software\\Race", false) != RegistryResult::Ok)
        _exit(2);
      for (int i = 0; i < kValues; ++i) {
        const std::string name = std::string(1, static_cast<char>('A' + c)) + std::to_string(i);
        const RegistryResult r = (i % 2) ? key.WriteNumber(name, static_cast<uint32_t>(i))
                                         : key.WriteText(name, "v" + std::to_string(i));
        if (r != RegistryResult::Ok) _exit(1);
      }
      _exit(0);
    }
    children[c] = pid;
  }
  close(ready[0]);
  close(ready[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  RegistryKey key;
  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, "Software\\Race", false), RegistryResult::Ok);
  int missing = 0;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kValues; ++i) {
      const std::string name = std::string(1, static_cast<char>('A' + c)) + std::to_string(i);
      std::string s;
      uint32_t n = 0;
      const bool ok = (i % 2) ? key.ReadNumber(name, n) == RegistryResult::Ok && n == static_cast<uint32_t>(i)
                              : key.ReadText(name, s) == RegistryResult::Ok && s == "v" + std::to_string(i);
      if (!ok) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
}

}  // namespace
}  // namespace platform
