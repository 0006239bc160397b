#include "settings/registry_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings_fixture.h"

namespace settings {
namespace {

using platform::RegistryKey;
using platform::RegistryResult;
using platform::RegistryRoot;

constexpr const char* kConsole = "Software\\Vantor\\Console";

void PutNumber(RegistryRoot root, const std::string& key, const std::string& name, uint32_t v) {
  RegistryKey k;
  ASSERT_EQ(k.Open(root, key, true), RegistryResult::Ok);
  ASSERT_EQ(k.WriteNumber(name, v), RegistryResult::Ok);
}

void PutText(RegistryRoot root, const std::string& key, const std::string& name, const std::string& v) {
  RegistryKey k;
  ASSERT_EQ(k.Open(root, key, true), RegistryResult::Ok);
  ASSERT_EQ(k.WriteText(name, v), RegistryResult::Ok);
}

// The text of a value, nullopt when it cannot be read as text.
std::optional<std::string> GetText(RegistryRoot root, const std::string& key, const std::string& name) {
  RegistryKey k;
  std::string s;
  if (k.Open(root, key, false) != RegistryResult::Ok) return std::nullopt;
  if (k.ReadText(name, s) != RegistryResult::Ok) return std::nullopt;
  return s;
}

std::optional<uint32_t> GetNumber(RegistryRoot root, const std::string& key, const std::string& name) {
  RegistryKey k;
  uint32_t n = 0;
  if (k.Open(root, key, false) != RegistryResult::Ok) return std::nullopt;
  if (k.ReadNumber(name, n) != RegistryResult::Ok) return std::nullopt;
  return n;
}

using RegistrySettingsTest = SettingsTest;

TEST_F(RegistrySettingsTest, StationIdIsCutToFourAndEmptiedAtStart) {
  SetStationId("ABCDEF");
  EXPECT_EQ(StationId(), "ABCD");
  StartRegistrySettings();
  EXPECT_EQ(StationId(), "");
}

// ReadConsoleFont against what the store holds, for a workstation "AB".
TEST_F(RegistrySettingsTest, ReadConsoleFontFallbacks) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, uint32_t>> numbers;
    std::vector<std::pair<std::string, std::string>> texts;
    int height;
    std::string face;
  };
  const std::vector<Case> cases = {
      {"own values", {{"AB_FontSize21", 18u << 16}, {"FontSize", 12u << 16}}, {{"AB_FaceName", "Consolas"}}, 18,
       "Consolas"},
      {"values of another station are not ours", {{"FontSize21", 20u << 16}}, {{"FaceName", "Arial"}}, 0,
       "Lucida Console"},
      {"shared FontSize as the fallback", {{"FontSize", 12u << 16}}, {}, 12, "Lucida Console"},
      {"own size of the wrong type", {{"FontSize", 12u << 16}}, {{"AB_FontSize21", "18"}}, 12, "Lucida Console"},
      {"face name of the wrong type", {{"AB_FaceName", 5}}, {}, 0, "Lucida Console"},
      {"low half ignored", {{"AB_FontSize21", (16u << 16) | 9u}}, {}, 16, "Lucida Console"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(Host("/config/vantor"));
    for (const auto& [n, v] : c.numbers) PutNumber(RegistryRoot::CurrentUser, kConsole, n, v);
    for (const auto& [n, v] : c.texts) PutText(RegistryRoot::CurrentUser, kConsole, n, v);
    SetStationId("AB");
    std::string face = "junk";
    EXPECT_EQ(ReadConsoleFont(face), c.height);
    EXPECT_EQ(face, c.face);
  }
}

TEST_F(RegistrySettingsTest, ReadConsoleFontWithoutTheKey) {
  std::string face = "junk";
  EXPECT_EQ(ReadConsoleFont(face), 0);
  EXPECT_EQ(face, "");
}

TEST_F(RegistrySettingsTest, WriteConsoleFontNamesFollowTheStation) {
  ASSERT_TRUE(WriteConsoleFont(18, "Consolas"));
  EXPECT_EQ(GetNumber(RegistryRoot::CurrentUser, kConsole, "FontSize21"), 18u << 16);
  EXPECT_EQ(GetText(RegistryRoot::CurrentUser, kConsole, "FaceName"), "Consolas");

  SetStationId("KX");
  ASSERT_TRUE(WriteConsoleFont(20, ""));  // an empty face name is not written
  EXPECT_EQ(GetNumber(RegistryRoot::CurrentUser, kConsole, "KX_FontSize21"), 20u << 16);
  EXPECT_EQ(GetText(RegistryRoot::CurrentUser, kConsole, "KX_FaceName"), std::nullopt);
  EXPECT_EQ(GetNumber(RegistryRoot::CurrentUser, kConsole, "FontSize21"), 18u << 16);
  std::string face;
  EXPECT_EQ(ReadConsoleFont(face), 20);
  EXPECT_EQ(face, "Lucida Console");
}

TEST_F(RegistrySettingsTest, WriteConsoleFontFailsWhenTheStoreCannotBeWritten) {
  WriteHost("/blocker", "x");
  setenv("XDG_CONFIG_HOME", Host("/blocker").c_str(), 1);
  EXPECT_FALSE(WriteConsoleFont(18, "Consolas"));
}

TEST_F(RegistrySettingsTest, AddSetupPath) {
  struct Case {
    const char* what;
    std::optional<std::string> before;  // nullopt: the key does not exist
    std::string folder;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"no key", std::nullopt, "C:\\VANTOR", "C:\\VANTOR"},
      {"empty list: no leading ;", "", "C:\\VANTOR", "C:\\VANTOR"},
      {"new folder appended", "C:\\A", "D:\\B", "C:\\A;D:\\B"},
      {"folder already there", "C:\\A;D:\\B", "C:\\A", "C:\\A;D:\\B"},
      {"entries compared with case", "C:\\A", "c:\\a", "C:\\A;c:\\a"},
      {"part of an entry is not the entry", "C:\\AB", "C:\\A", "C:\\AB;C:\\A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(Host("/config/vantor"));
    if (c.before) PutText(RegistryRoot::CurrentUser, "Software\\Konyv", "SetupPath", *c.before);
    EXPECT_TRUE(AddSetupPath("Konyv", c.folder));
    EXPECT_EQ(ReadSetupPath("Konyv"), c.after);
  }
}

TEST_F(RegistrySettingsTest, SetupPathOfTheWrongType) {
  PutNumber(RegistryRoot::CurrentUser, "Software\\Konyv", "SetupPath", 7);
  EXPECT_EQ(ReadSetupPath("Konyv"), "");
  EXPECT_FALSE(AddSetupPath("Konyv", "C:\\X"));
  EXPECT_EQ(GetNumber(RegistryRoot::CurrentUser, "Software\\Konyv", "SetupPath"), 7u);
  // A key without the value: the list starts empty.
  PutText(RegistryRoot::CurrentUser, "Software\\Other", "Else", "x");
  EXPECT_EQ(ReadSetupPath("Other"), "");
  EXPECT_TRUE(AddSetupPath("Other", "E:\\P"));
  EXPECT_EQ(ReadSetupPath("Other"), "E:\\P");
}

constexpr const char* kHH = "SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions";
constexpr const char* kItss = "SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions";

TEST_F(RegistrySettingsTest, AllowHelpFolder) {
  struct Case {
    const char* what;
    std::optional<std::string> before;  // both keys; nullopt: the keys do not exist
    std::string folder;
    std::optional<std::string> after;   // nullopt: the keys still do not exist
  };
  const std::vector<Case> cases = {
      {"drive C: needs nothing", std::nullopt, "C:\\HELP", std::nullopt},
      {"drive c: needs nothing", std::nullopt, "\\\\srv\\c:x", std::nullopt},
      {"new keys", std::nullopt, "\\\\SRV\\HELP", "\\\\SRV\\HELP;file://;"},
      {"empty list", "", "H:\\HELP", "H:\\HELP;file://;"},
      {"folder put in front", "X:\\A;file://;", "H:\\HELP", "H:\\HELP;X:\\A;file://;"},
      {"already allowed", "X:\\A;H:\\HELP;file://;", "H:\\HELP", "X:\\A;H:\\HELP;file://;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(Host("/machine"));
    if (c.before) {
      PutText(RegistryRoot::LocalMachine, kHH, "UrlAllowList", *c.before);
      PutText(RegistryRoot::LocalMachine, kItss, "UrlAllowList", *c.before);
    }
    EXPECT_TRUE(AllowHelpFolder(c.folder));
    EXPECT_EQ(GetText(RegistryRoot::LocalMachine, kHH, "UrlAllowList"), c.after);
    EXPECT_EQ(GetText(RegistryRoot::LocalMachine, kItss, "UrlAllowList"), c.after);
  }
}

TEST_F(RegistrySettingsTest, AllowHelpFolderFailsWithoutTheRightToWrite) {
  WriteHost("/blocker", "x");
  setenv("VANTOR_MACHINE_DIR", Host("/blocker/machine").c_str(), 1);
  EXPECT_FALSE(AllowHelpFolder("H:\\HELP"));
  EXPECT_TRUE(AllowHelpFolder("C:\\HELP"));
}

TEST_F(RegistrySettingsTest, AllowHelpFolderKeepsTheOtherListWhenOneIsUnreadable) {
  PutNumber(RegistryRoot::LocalMachine, kHH, "UrlAllowList", 1);
  EXPECT_FALSE(AllowHelpFolder("H:\\HELP"));
  EXPECT_EQ(GetNumber(RegistryRoot::LocalMachine, kHH, "UrlAllowList"), 1u);
}

TEST_F(RegistrySettingsTest, ConsoleDefaultFontSize) {
  EXPECT_EQ(ConsoleDefaultFontSize(), 0);
  PutText(RegistryRoot::CurrentUser, "Console", "Other", "x");
  EXPECT_EQ(ConsoleDefaultFontSize(), 0);
  const std::pair<uint32_t, int> cases[] = {
      {16u << 16, 16}, {(12u << 16) | 0x7FFF, 12}, {(12u << 16) | 0x8001, 13}, {0x00100008, 16}};
  for (const auto& [stored, height] : cases) {
    PutNumber(RegistryRoot::CurrentUser, "Console", "FontSize", stored);
    EXPECT_EQ(ConsoleDefaultFontSize(), height) << std::hex << stored;
  }
}

TEST(IsInList, Table) {
  struct Case {
    const char* name;
    const char* list;
    bool in;
  };
  const Case cases[] = {
      {"a", "a", true},        {"a", "b;a", true},   {"a", "a;b", true},   {"a", "", false},
      {"a", "A", false},       {"a", "ab;ba", false}, {"a;b", "a;b", false}, {"b", "a;b;", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsInList(c.name, c.list), c.in) << c.name << " in " << c.list;
}

}  // namespace
}  // namespace settings
