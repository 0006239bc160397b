#include "settings/settings_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings_fixture.h"
#include "text/literal.h"

namespace settings {
namespace {

using namespace text::literals;
using Lines = std::vector<std::string>;

Lines StoreLines(int store) {
  Lines out;
  for (int i = 0; i < SettingLineCount(store); ++i) out.push_back(SettingLine(store, i));
  return out;
}

TEST(FolderOf, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\PRG\\VFRIS.EXE", "C:\\PRG"}, {"C:\\VFRIS.EXE", "C:\\"}, {"C:VFRIS.EXE", "C:"},
      {"VFRIS.EXE", ""},                 {"\\\\srv\\x\\a.exe", "\\\\srv\\x"}, {"\\a.exe", "\\"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOf(path), folder) << path;
}

TEST_F(SettingsTest, FileNamesFollowTheProgramFolderAndStation) {
  EXPECT_EQ(SettingsFileName(ProgramSettings), "T:\\PRG\\prog.res");
  EXPECT_EQ(SettingsFileName(UserSettings), "T:\\PRG\\user.res");
  EXPECT_EQ(SettingsFileName(DataSettings), "adat.res");
  SetStationId("W1");
  SetProgramFile("T:\\VFRIS.EXE");
  SetSettingsFileNames();
  EXPECT_EQ(SettingsFileName(ProgramSettings), "T:\\prog.res");
  EXPECT_EQ(SettingsFileName(UserSettings), "T:\\userW1.res");
}

TEST_F(SettingsTest, MissingFileIsCreatedWithTheUserLine) {
  SetStationId("W1");
  SetSettingsFileNames();
  LoadSettings(UserSettings);
  LoadSettings(DataSettings);
  EXPECT_EQ(ReadHost("/PRG/userW1.res"), "UserW1\r\n");
  EXPECT_EQ(ReadHost("/DATA/adat.res"), "UserW1\r\n");
  EXPECT_EQ(StoreLines(UserSettings), Lines{"UserW1"});
}

// Every way of ending lines reads as the same lines, and writing always gives
// CR LF.
TEST_F(SettingsTest, LineEndsReadTheSameAndAreWrittenAsCrLf) {
  const std::string longValue(255 - 4, 'x');
  const std::string longLine = "k=" + longValue + "=y";  // 255 bytes
  ASSERT_EQ(longLine.size(), 255u);
  const Lines expected = {"*S", longLine, "", "a=1"};
  const std::string crlf = "*S\r\n" + longLine + "\r\n\r\na=1\r\n";
  const std::pair<const char*, std::string> forms[] = {
      {"CR LF", crlf},
      {"LF only", "*S\n" + longLine + "\n\na=1\n"},
      {"no end on the last line", "*S\r\n" + longLine + "\r\n\r\na=1"},
      {"mixed", "*S\n" + longLine + "\r\n\na=1"},
  };
  for (const auto& [what, bytes] : forms) {
    SCOPED_TRACE(what);
    UnloadSettings(ProgramSettings);
    WriteHost("/PRG/prog.res", bytes);
    LoadSettings(ProgramSettings);
    EXPECT_EQ(StoreLines(ProgramSettings), expected);
    EXPECT_EQ(ReadSetting(ProgramSettings, "S", "k"), longValue + "=y");
    SaveSettings(ProgramSettings);
    EXPECT_EQ(ReadHost("/PRG/prog.res"), crlf);
  }
}

TEST(SettingsLines, CarriageReturnsWithoutLineFeedStayInTheLine) {
  const std::pair<std::string, Lines> cases[] = {
      {"", {}},
      {"\r\n", {""}},
      {"a\rb\r\n", {"a\rb"}},
      {"a\r\r\n", {"a\r"}},
      {"a\r", {"a\r"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& [bytes, lines] : cases) {
    EXPECT_EQ(SplitSettingsLines(bytes), lines);
    EXPECT_EQ(SplitSettingsLines(JoinSettingsLines(lines)), lines);
  }
}

const std::string kSample =
    "UserX\r\n"
    "a=before any section\r\n"
    "*Forms\r\n"
    "Name=Kovács\r\n"
    "eq=a=b=c\r\n"
    "trail=x  \r\n"
    "no setting here\r\n"
    "Empty=\r\n"
    "*Other\r\n"
    "Name=other\r\n"
    "*Forms2\r\n"_cp;

TEST_F(SettingsTest, ReadSetting) {
  WriteHost("/PRG/prog.res", kSample);
  LoadSettings(ProgramSettings);
  struct Case {
    const char* what;
    const char* section;
    const char* key;
    std::string value;
    int line;
  };
  const Case cases[] = {
      {"found", "Forms", "Name", "Kovács"_cp, 3},
      {"section ignores case", "FORMS", "Name", "Kovács"_cp, 3},
      {"key keeps case", "Forms", "name", "", -1},
      {"value holding =", "Forms", "eq", "a=b=c", 4},
      {"trailing blanks kept", "Forms", "trail", "x  ", 5},
      {"line without =", "Forms", "no setting here", "", -1},
      {"empty value", "Forms", "Empty", "", 7},
      {"same key in the next section", "Other", "Name", "other", 9},
      {"line before any section", "Forms", "a", "", -1},
      {"whole line compared", "Form", "Name", "", -1},
      {"missing section", "None", "Name", "", -1},
      {"empty last section", "forms2", "Name", "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int line = 99;
    EXPECT_EQ(ReadSetting(ProgramSettings, c.section, c.key, &line), c.value);
    EXPECT_EQ(line, c.line);
  }
  EXPECT_EQ(FindSection(ProgramSettings, "other"), 8);
  EXPECT_EQ(FindSection(ProgramSettings, "Nothing"), -1);
}

TEST_F(SettingsTest, NextSettingWalksOneSection) {
  WriteHost("/PRG/prog.res", kSample);
  LoadSettings(ProgramSettings);
  int i = FindSection(ProgramSettings, "forms");
  std::vector<std::pair<std::string, std::string>> got;
  std::string k, v;
  while (NextSetting(ProgramSettings, i, k, v)) got.emplace_back(k, v);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                     {"Name", "Kovács"_cp}, {"eq", "a=b=c"}, {"trail", "x  "}}));
  EXPECT_EQ(i, 6) << "stops at the line without =";
  i = FindSection(ProgramSettings, "Other");
  ASSERT_TRUE(NextSetting(ProgramSettings, i, k, v));
  EXPECT_FALSE(NextSetting(ProgramSettings, i, k, v)) << "the next section's line ends the walk";
  i = 10;
  EXPECT_FALSE(NextSetting(ProgramSettings, i, k, v));
  EXPECT_EQ(i, 11);
}

TEST_F(SettingsTest, WriteSetting) {
  struct Case {
    const char* what;
    const char* section;
    const char* key;
    const char* value;
    Lines after;
  };
  const Lines start = {"User", "*A", "x=1", "", "*B", "y=2"};
  const Case cases[] = {
      {"existing key replaced", "A", "x", "9", {"User", "*A", "x=9", "", "*B", "y=2"}},
      {"section found ignoring case", "a", "x", "9", {"User", "*A", "x=9", "", "*B", "y=2"}},
      {"new key before the next section", "A", "n", "5", {"User", "*A", "x=1", "", "n=5", "*B", "y=2"}},
      {"key of other case is another key", "A", "X", "5", {"User", "*A", "x=1", "", "X=5", "*B", "y=2"}},
      {"new key in the last section", "B", "n", "5", {"User", "*A", "x=1", "", "*B", "y=2", "n=5"}},
      {"new section appended", "C", "n", "a=b", {"User", "*A", "x=1", "", "*B", "y=2", "*C", "n=a=b"}},
      {"line breaks in a value", "A", "x", "1\r\n*B", {"User", "*A", "x=1  *B", "", "*B", "y=2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UnloadSettings(DataSettings);
    WriteHost("/DATA/adat.res", JoinSettingsLines(start));
    LoadSettings(DataSettings);
    WriteSetting(DataSettings, c.section, c.key, c.value);
    EXPECT_EQ(StoreLines(DataSettings), c.after);
    EXPECT_EQ(ReadHost("/DATA/adat.res"), JoinSettingsLines(start)) << "nothing written before saving";
  }
}

TEST_F(SettingsTest, StoreThatIsNotLoaded) {
  WriteSetting(ProgramSettings, "A", "x", "1");
  int line = 5;
  EXPECT_EQ(ReadSetting(ProgramSettings, "A", "x", &line), "");
  EXPECT_EQ(line, -1);
  EXPECT_EQ(SettingLineCount(ProgramSettings), 0);
  EXPECT_EQ(FindSection(ProgramSettings, "A"), -1);
  SaveSettings(ProgramSettings);
  EXPECT_FALSE(ExistsHost("/PRG/prog.res")) << "saving a store that is not loaded writes nothing";
}

TEST_F(SettingsTest, LoadedOnceUntilUnloaded) {
  WriteHost("/PRG/prog.res", "*A\r\nx=1\r\n");
  LoadSettings(ProgramSettings);
  WriteSetting(ProgramSettings, "A", "x", "2");
  WriteHost("/PRG/prog.res", "*A\r\nx=3\r\n");
  LoadSettings(ProgramSettings);
  EXPECT_EQ(ReadSetting(ProgramSettings, "A", "x"), "2");
  UnloadSettings(ProgramSettings);
  EXPECT_FALSE(SettingsLoaded(ProgramSettings));
  LoadSettings(ProgramSettings);
  EXPECT_EQ(ReadSetting(ProgramSettings, "A", "x"), "3");
}

TEST_F(SettingsTest, FolderInTheWayOfTheFileStopsTheProgram) {
  std::filesystem::create_directories(Host("/DATA/adat.res"));
  // A folder is not a file, so loading tries to create the file and cannot.
  EXPECT_EXIT(LoadSettings(DataSettings), ::testing::ExitedWithCode(5), "Runtime error 5");
}

TEST_F(SettingsTest, FileThatCannotBeCreatedStopsTheProgram) {
  SetProgramFile("T:\\MISSING\\VFRIS.EXE");
  SetSettingsFileNames();
  EXPECT_EXIT(LoadSettings(ProgramSettings), ::testing::ExitedWithCode(3), "Runtime error 3");
}

// --- Update settings ---------------------------------------------------------

template <size_t N>
void Fill(std::array<char, N>& field, const std::string& s) {
  field.fill(' ');
  std::copy(s.begin(), s.begin() + std::min(s.size(), N), field.begin());
}

template <size_t N>
std::string Text(const std::array<char, N>& field) {
  return std::string(field.begin(), field.end());
}

TEST_F(SettingsTest, UpdateSettingsPaddedWrittenAndReadBack) {
  Fill(UpdateSettings.lastUpdate, "2026.01.15");
  Fill(UpdateSettings.lastCheck, "2026.02.01");
  Fill(UpdateSettings.source, "ftp://frissites");
  Fill(UpdateSettings.version, "26.3");
  Fill(UpdateSettings.message, "Új verzió érhető el"_cp);
  WriteHost("/PRG/prog.res", "User\r\n*Mas\r\nk=v\r\n");
  SaveUpdateSettings();
  EXPECT_EQ(ReadHost("/PRG/user.res"), "User\r\n") << "the user's file is created";
  const std::string pad20 = std::string(10, ' ');
  EXPECT_EQ(ReadHost("/PRG/prog.res"),
            "User\r\n*Mas\r\nk=v\r\n*FRISSIT\r\n"
            "frissdatum=2026.01.15" + pad20 + "\r\n"
            "frissnezdatum=2026.02.01" + pad20 + "\r\n"
            "netver=26.3" + std::string(16, ' ') + "\r\n"
            "frisshely=ftp://frissites" + std::string(200 - 15, ' ') + "\r\n"
            "uzenet=" + "Új verzió érhető el"_cp + std::string(80 - 19, ' ') + "\r\n");
  EXPECT_FALSE(SettingsLoaded(ProgramSettings));
  EXPECT_FALSE(SettingsLoaded(UserSettings));

  const UpdateSettingsRecord written = UpdateSettings;
  UpdateSettings = UpdateSettingsRecord{};
  LoadUpdateSettings();
  EXPECT_EQ(Text(UpdateSettings.lastUpdate), Text(written.lastUpdate));
  EXPECT_EQ(Text(UpdateSettings.lastCheck), Text(written.lastCheck));
  EXPECT_EQ(Text(UpdateSettings.source), Text(written.source));
  EXPECT_EQ(Text(UpdateSettings.version), Text(written.version));
  EXPECT_EQ(Text(UpdateSettings.message), Text(written.message));
  EXPECT_FALSE(SettingsLoaded(ProgramSettings));
}

TEST_F(SettingsTest, LoadUpdateSettingsCutsAndSkipsEmptyValues) {
  WriteHost("/PRG/user.res", "User\r\n");
  WriteHost("/PRG/prog.res",
            "*frissit\r\nfrissdatum=" + std::string(25, '7') + "\r\nnetver=\r\nuzenet=hi\r\n");
  Fill(UpdateSettings.version, "old");
  LoadUpdateSettings();
  EXPECT_EQ(Text(UpdateSettings.lastUpdate), std::string(20, '7'));
  EXPECT_EQ(Text(UpdateSettings.version), std::string(20, ' '));
  EXPECT_EQ(Text(UpdateSettings.lastCheck), std::string(20, ' '));
  EXPECT_EQ(Text(UpdateSettings.message), "hi" + std::string(78, ' '));
}

TEST_F(SettingsTest, LoadUpdateSettingsStopsEarly) {
  const std::string zeros(20, '\0');
  // Without the user's file nothing is read, not even the program's.
  WriteHost("/PRG/prog.res", "*FRISSIT\r\nnetver=9\r\n");
  LoadUpdateSettings();
  EXPECT_EQ(Text(UpdateSettings.version), zeros);
  EXPECT_FALSE(ExistsHost("/PRG/user.res"));
  // With the user's file but without the program's, nothing either.
  std::filesystem::remove(Host("/PRG/prog.res"));
  WriteHost("/PRG/user.res", "User\r\n");
  LoadUpdateSettings();
  EXPECT_EQ(Text(UpdateSettings.version), zeros);
  EXPECT_FALSE(ExistsHost("/PRG/prog.res"));
}

TEST_F(SettingsTest, NeverLoadedUpdateSettingsAreSavedAsBlanks) {
  SaveUpdateSettings();
  const std::string bytes = ReadHost("/PRG/prog.res");
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
  EXPECT_NE(bytes.find("frissdatum=" + std::string(20, ' ') + "\r\n"), std::string::npos);
}

// --- Suite files --------------------------------------------------------------

TEST_F(SettingsTest, LocateDataFileSearchOrder) {
  for (const char* f : {"/DATA/BOTH.DAT", "/PRG/BOTH.DAT", "/PRG/PRG.DAT", "/LIB/LIB.DAT",
                        "/PRG/LIB.DAT.NOT", "/ROOT.DAT"})
    WriteHost(f, "x");
  std::filesystem::create_directories(Host("/OTHER"));
  WriteHost("/OTHER/OTHER.DAT", "x");
  struct Case {
    const char* what;
    const char* programFolder;
    const char* dataPath;
    const char* name;
    const char* found;
  };
  const Case cases[] = {
      {"current folder first", "T:\\PRG", "", "BOTH.DAT", "BOTH.DAT"},
      {"then the program folder", "T:\\PRG", "", "PRG.DAT", "T:\\PRG\\PRG.DAT"},
      {"names compared ignoring case", "T:\\PRG", "", "prg.dat", "T:\\PRG\\prg.dat"},
      {"each folder of ProgramFolder", "T:\\PRG;T:\\LIB", "", "LIB.DAT", "T:\\LIB\\LIB.DAT"},
      {"then DataSearchPath", "T:\\PRG", "T:\\PRG;T:\\OTHER", "OTHER.DAT", "T:\\OTHER\\OTHER.DAT"},
      {"ProgramFolder before DataSearchPath", "T:\\PRG;T:\\LIB", "T:\\OTHER", "LIB.DAT",
       "T:\\LIB\\LIB.DAT"},
      {"nowhere", "T:\\PRG", "T:\\LIB", "NONE.DAT", "NONE.DAT"},
      {"a path is not searched", "T:\\PRG", "", "..\\PRG\\PRG.DAT", "..\\PRG\\PRG.DAT"},
      {"a missing path is not searched", "T:\\PRG", "", "X\\PRG.DAT", "X\\PRG.DAT"},
      {"empty lists do not mean the root", "", ";", "ROOT.DAT", "ROOT.DAT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetProgramFolder(c.programFolder);
    SetDataSearchPath(c.dataPath);
    EXPECT_EQ(LocateDataFile(c.name), c.found);
  }
}

TEST_F(SettingsTest, AddDataSearchFolder) {
  SetDataSearchPath("T:\\PRG");
  AddDataSearchFolder("T:\\OTHER");
  EXPECT_EQ(DataSearchPath(), "T:\\PRG;T:\\OTHER");
  std::filesystem::create_directories(Host("/OTHER"));
  WriteHost("/OTHER/X.PAR", "x");
  EXPECT_EQ(LocateDataFile("X.PAR"), "T:\\OTHER\\X.PAR");
}

TEST_F(SettingsTest, ProgramFiles) {
  EXPECT_FALSE(IsProgramFile("JOG.DAT")) << "no list, no program files";
  EXPECT_EQ(ProgramFilePath("JOG.DAT"), "JOG.DAT");
  SetProgramFileList(";JOG;ÜGYFÉL;PARAM;"_cp);
  struct Case {
    std::string name;
    bool own;
    std::string path;
  };
  const Case cases[] = {
      {"JOG.DAT", true, "..\\PRG\\JOG.DAT"},
      {"jog.idx", true, "..\\PRG\\jog.idx"},
      {"Param.par", true, "..\\PRG\\Param.par"},
      {"ügyfél.dat"_cp, true, "..\\PRG\\ügyfél.dat"_cp},
      {"JOG", true, "..\\PRG\\JOG"},
      {"JO.DAT", false, "JO.DAT"},
      {"JOGOK.DAT", false, "JOGOK.DAT"},
      {"VEVO.DAT", false, "VEVO.DAT"},
      {"C:\\X\\JOG.DAT", true, "C:\\X\\JOG.DAT"},  // own file, but a path stays as it is
      {"JOG.DAT.IDX", true, "..\\PRG\\JOG.DAT.IDX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsProgramFile(c.name), c.own);
    EXPECT_EQ(ProgramFilePath(c.name), c.path);
  }
}

// --- The console store --------------------------------------------------------

using platform::RegistryKey;
using platform::RegistryResult;
using platform::RegistryRoot;

TEST_F(SettingsTest, ConsoleStoreComesFromTheRegistry) {
  LoadSettings(ConsoleSettings);
  EXPECT_EQ(StoreLines(ConsoleSettings), (Lines{"*cmdwindow", "font=Lucida Console", "fontsize=0"}));
  UnloadSettings(ConsoleSettings);
  SetStationId("P1");
  ASSERT_TRUE(WriteConsoleFont(18, "Consolas"));
  LoadSettings(ConsoleSettings);
  EXPECT_EQ(ReadSetting(ConsoleSettings, "cmdwindow", "font"), "Consolas");
  EXPECT_EQ(ReadSetting(ConsoleSettings, "CMDWINDOW", "fontsize"), "18");
}

void FontInUse(std::string& face, int& size) {
  face = "Terminus";
  size = 22;
}

TEST_F(SettingsTest, ConsoleStoreGoesBackToTheRegistry) {
  SetStationId("P1");
  LoadSettings(ConsoleSettings);
  SetConsoleFontSource(FontInUse);
  SaveSettings(ConsoleSettings);
  EXPECT_EQ(ReadSetting(ConsoleSettings, "cmdwindow", "fontsize"), "22");
  std::string face;
  EXPECT_EQ(ReadConsoleFont(face), 22);
  EXPECT_EQ(face, "Terminus");
  RegistryKey key;
  uint32_t n = 0;
  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, "Software\\Vantor\\Console", false), RegistryResult::Ok);
  ASSERT_EQ(key.ReadNumber("P1_FontSize21", n), RegistryResult::Ok);
  EXPECT_EQ(n, 22u << 16);
}

TEST_F(SettingsTest, ConsoleStoreWithoutSizeSavesTheSmallestFont) {
  LoadSettings(ConsoleSettings);
  // The store's own values are saved when no console module tells the font;
  // a store without "fontsize" saves the smallest size.
  LoadSettingsFromBytes(ConsoleSettings, "*cmdwindow\r\nfont=Fixed\r\n");
  SaveSettings(ConsoleSettings);
  std::string face;
  EXPECT_EQ(ReadConsoleFont(face), 14);
  EXPECT_EQ(face, "Fixed");
}

}  // namespace
}  // namespace settings
