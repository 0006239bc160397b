#include "platform/dos_fs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/literal.h"

namespace platform {
namespace {

using namespace text::literals;
namespace fs = std::filesystem;

std::string ReadHost(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteHost(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string HostCwd() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "";
}

// A temporary host folder mapped as drive T:, holding
//   Data/Vevo.dat  Data/Sub/  Prg/  árvíztűrő.txt   (names in UTF-8)
// with T:\Data the current folder.
class DosFsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* d = getenv("DRIVES")) savedDrives_ = d, hadDrives_ = true;
    unsetenv("DRIVES");
    savedCwd_ = HostCwd();
    char tmpl[] = "/tmp/dosfs_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::create_directories(root_ + "/Data/Sub");
    fs::create_directories(root_ + "/Prg");
    WriteHost(root_ + "/Data/Vevo.dat", "0123456789");
    WriteHost(root_ + "/árvíztűrő.txt", "x");
    ASSERT_TRUE(SetDriveTable({{'T', root_, "TESZT"}}));
    ASSERT_EQ(ChangeFolder("T:\\Data"), io::kOk);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(savedCwd_.c_str()), 0);
    if (hadDrives_) setenv("DRIVES", savedDrives_.c_str(), 1);
    ResetDosNamespace();
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  std::string H(const std::string& rel) { return root_ + rel; }

  std::string root_, savedCwd_, savedDrives_;
  bool hadDrives_ = false;
};

TEST_F(DosFsTest, PathMapping) {
  struct Case {
    DosName path;
    const char* host;  // below the drive's folder
    bool exists;
  };
  const std::string accented = "T:\\ÁRVÍZTŰRŐ.TXT"_cp;
  const std::string accentedAnsi = "T:\\\xC1RV\xCDZT\xDBR\xD5.TXT";  // code page 1250
  const std::string embedded("T:\\Data\\.\\Vevo.dat", 18);
  const Case cases[] = {
      {"T:\\DATA\\VEVO.DAT", "/Data/Vevo.dat", true},
      {"vevo.dat", "/Data/Vevo.dat", true},              // the current folder
      {"T:vevo.DAT", "/Data/Vevo.dat", true},            // the drive's current folder
      {"..\\prg", "/Prg", true},
      {"\\Prg\\..\\..\\..\\data\\vevo.dat", "/Data/Vevo.dat", true},  // not above the root
      {"T:\\..\\..", "", true},
      {"..\\..\\..\\Prg", "/Prg", true},
      {"T:/data/./vevo.dat", "/Data/Vevo.dat", true},    // "/" separates as on Windows
      {"T:\\data\\\\\\vevo.dat", "/Data/Vevo.dat", true},
      {"T:\\data\\vevo.dat. ", "/Data/Vevo.dat", true},  // trailing dot and blank dropped
      {"sub\\", "/Data/Sub", true},
      {"T:\\data\\Uj.DAT", "/Data/Uj.DAT", false},       // a new name keeps its case
      {accented, "/árvíztűrő.txt", true},
      {Ansi(accentedAnsi), "/árvíztűrő.txt", true},
      {embedded, "/Data/Vevo.dat", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path.text));
    HostPath hp;
    ASSERT_EQ(ResolvePath(c.path, hp), io::kOk);
    EXPECT_EQ(hp.path, root_ + c.host);
    EXPECT_EQ(hp.drive, 'T');
    EXPECT_EQ(hp.exists, c.exists);
    EXPECT_TRUE(hp.folderExists);
  }
}

TEST_F(DosFsTest, DriveCAndDeeperDrives) {
  // C: is the host's "/", so the same file has a C: name too; mapped back,
  // a host path takes the deepest drive.
  std::string cPath = "C:" + root_ + "/DATA/VEVO.DAT";
  for (char& ch : cPath)
    if (ch == '/') ch = '\\';
  HostPath hp;
  ASSERT_EQ(ResolvePath(cPath, hp), io::kOk);
  EXPECT_EQ(hp.path, root_ + "/Data/Vevo.dat");
  std::string dos;
  ASSERT_TRUE(DosPathOfHost(root_ + "/Data/Vevo.dat", dos));
  EXPECT_EQ(dos, "T:\\Data\\Vevo.dat");
  ASSERT_TRUE(DosPathOfHost(root_ + "/árvíztűrő.txt", dos));
  EXPECT_EQ(dos, "T:\\árvíztűrő.txt"_cp);
  ASSERT_TRUE(DosPathOfHost("/", dos));
  EXPECT_EQ(dos, "C:\\");
  // The euro sign is in code page 1250 but not in 852.
  EXPECT_FALSE(DosPathOfHost(root_ + "/a€", dos));
  ASSERT_TRUE(DosPathOfHost(root_ + "/a€", dos, NameCode::Cp1250));
  EXPECT_EQ(dos, "T:\\a\x80");
  EXPECT_FALSE(DosPathOfHost("relative/x", dos));
}

TEST_F(DosFsTest, BadNamesAndDrivesFailWithCodes) {
  struct Case {
    std::string path;
    NameCode code;
    IoCode rc;
  };
  const Case cases[] = {
      {"", NameCode::Cp852, io::kPathNotFound},
      {"Q:\\x", NameCode::Cp852, io::kPathNotFound},  // a letter the table lacks
      {"\\\\server\\share\\x", NameCode::Cp852, io::kPathNotFound},
      {std::string("T:\\a\0b", 6), NameCode::Cp852, io::kInvalidName},
      {"T:\\a*b", NameCode::Cp852, io::kInvalidName},
      {"T:\\a?b", NameCode::Cp852, io::kInvalidName},
      {"T:\\a|b", NameCode::Cp852, io::kInvalidName},
      {"T:\\a:b", NameCode::Cp852, io::kInvalidName},
      {"T:\\a\"b", NameCode::Cp852, io::kInvalidName},
      {"T:\\a\x07", NameCode::Cp852, io::kInvalidName},
      {"1:\\x", NameCode::Cp852, io::kInvalidName},
      {"T:\\\x81", NameCode::Cp1250, io::kInvalidName},  // a byte code page 1250 lacks
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    HostPath hp;
    EXPECT_EQ(ResolvePath(DosName(c.path, c.code), hp), c.rc);
    DosFile f;
    EXPECT_EQ(CreateFile(DosName(c.path, c.code), f), c.rc);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(MakeFolder(DosName(c.path, c.code)), c.rc);
  }
  // A drive whose host folder is gone is "not ready".
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'U', root_ + "/missing"}}));
  DosFile f;
  EXPECT_EQ(OpenFile("U:\\x", Access::Read, Share::DenyNone, Disposition::OpenExisting, f),
            io::kDriveNotReady);
  EXPECT_EQ(ChangeFolder("U:\\"), io::kDriveNotReady);
}

TEST_F(DosFsTest, CaseBlindLookUp) {
  WriteHost(H("/Prg/abc"), "lower");
  WriteHost(H("/Prg/ABC"), "upper");
  fs::create_directories(H("/Prg/Árvíz"));
  WriteHost(H("/Prg/Árvíz/ŐSZ.txt"), "ősz");
  struct Case {
    std::string path;
    std::string host;
  };
  const Case cases[] = {
      {"T:\\Prg\\abc", "/Prg/abc"},  // the exact name first
      {"T:\\Prg\\ABC", "/Prg/ABC"},
      {"T:\\Prg\\Abc", "/Prg/ABC"},  // several equal ignoring case: the first by bytes
      {"T:\\PRG\\árvíz\\ősz.TXT"_cp, "/Prg/Árvíz/ŐSZ.txt"},
      {"T:\\prg\\ÁRVÍZ\\Ősz.txt"_cp, "/Prg/Árvíz/ŐSZ.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    HostPath hp;
    ASSERT_EQ(ResolvePath(c.path, hp), io::kOk);
    EXPECT_TRUE(hp.exists);
    EXPECT_EQ(hp.path, root_ + c.host);
  }
}

TEST(DosPatternTest, MatchesLikeWindows) {
  struct Case {
    const char* name;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {
      {"VEVO.DAT", "*.*", true},   {"VEVO", "*.*", true},
      {"VEVO", "*", true},         {"vevo.dat", "*.DAT", true},
      {"a.b.dat", "*.dat", true},  {"vevo.dat", "*.IDX", false},
      {"VEVO.DAT", "VEVO.DA?", true},
      {"VEVO.DA", "VEVO.DA?", true},       // "?" may match nothing at the end
      {"VEVO.DAT", "VEVO????.DAT", true},  // ... or before a dot
      {"VEVO.DAT", "V?VO.DAT", true},
      {"VXVO.DAT", "V??VO.DAT", false},    // ... but not inside a name
      {"A.B", "A?B", false},               // "?" never matches the dot
      {"VEVO", "VEVO.*", true},            {"VEVO.BAK", "VEVO.*", true},
      {"VEVOX", "VEVO.*", false},
      {"VEVO", "*.", true},                {"VEVO.DAT", "*.", false},
      {"árvíz.txt", "ÁRVÍZ.*", true},      {"ŐSZ", "ősz", true},
      {"x", "", false},                    {"abc", "a*c*", true},
      {"abc", "*b", false},                {".", "*.*", true},
      {"..", "..", true},                  {"..", ".", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.pattern);
    EXPECT_EQ(MatchesDosPattern(c.name, c.pattern), c.match);
  }
}

TEST_F(DosFsTest, DirectorySearch) {
  WriteHost(H("/Data/b.dat"), "bb");
  WriteHost(H("/Data/A.DAT"), "aaa");
  WriteHost(H("/Data/c.idx"), "");
  WriteHost(H("/Data/.rejtett"), "");
  auto list = [](DosName pattern, uint8_t attributes) {
    std::vector<std::pair<std::string, int>> out;
    DirSearch s;
    DirEntry e;
    for (IoCode rc = FindFirst(pattern, attributes, s, e); rc == io::kOk; rc = FindNext(s, e))
      out.emplace_back(e.name, e.attributes);
    EXPECT_EQ(FindNext(s, e), io::kNoMoreFiles);
    return out;
  };
  using L = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(list("*.*", 0), (L{{"A.DAT", 32}, {"b.dat", 32}, {"c.idx", 32}, {"Vevo.dat", 32}}));
  EXPECT_EQ(list("T:\\DATA\\*.dat", 0), (L{{"A.DAT", 32}, {"b.dat", 32}, {"Vevo.dat", 32}}));
  EXPECT_EQ(list("*.*", attr::kAny),
            (L{{".", 16}, {"..", 16}, {".rejtett", 34}, {"A.DAT", 32}, {"b.dat", 32},
               {"c.idx", 32}, {"Sub", 16}, {"Vevo.dat", 32}}));
  EXPECT_EQ(list("*.*", attr::kDirectory),
            (L{{".", 16}, {"..", 16}, {"A.DAT", 32}, {"b.dat", 32}, {"c.idx", 32}, {"Sub", 16},
               {"Vevo.dat", 32}}));
  // A drive's root has no "." and "..".
  EXPECT_EQ(list("T:\\*.*", attr::kDirectory),
            (L{{"Data", 16}, {"Prg", 16}, {"árvíztűrő.txt"_cp, 32}}));
  // Names the code page lacks show "?"; the same entry in code page 1250.
  WriteHost(H("/Prg/x€y"), "");
  EXPECT_EQ(list("T:\\PRG\\*.*", 0), (L{{"x?y", 32}}));
  EXPECT_EQ(list(Ansi("T:\\PRG\\*.*"), 0), (L{{"x\x80y", 32}}));

  DirSearch s;
  DirEntry e;
  EXPECT_EQ(FindFirst("*.xyz", attr::kAny, s, e), io::kFileNotFound);
  EXPECT_EQ(FindFirst("T:\\nincs\\*.*", attr::kAny, s, e), io::kPathNotFound);
  EXPECT_EQ(FindFirst("T:\\Data\\Vevo.dat\\*.*", attr::kAny, s, e), io::kPathNotFound);
  // Size and time of an entry.
  ASSERT_EQ(SetFileStamp("A.DAT", 0x5C6F7A21u), io::kOk);  // 2026-03-15 15:17:02
  ASSERT_EQ(FindFirst("a.dat", attr::kAny, s, e), io::kOk);
  EXPECT_EQ(e.size, 3u);
  EXPECT_EQ(e.dosDateTime, 0x5C6F7A21u);
  FindClose(s);
}

TEST(DosTimeTest, Conversions) {
  struct tm tm = {};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 15;
  tm.tm_hour = 14;
  tm.tm_min = 5;
  tm.tm_sec = 31;  // DOS keeps two-second steps
  tm.tm_isdst = -1;
  const time_t t = mktime(&tm);
  const uint32_t expected = (((2026u - 1980) << 9 | 3 << 5 | 15) << 16) | (14 << 11 | 5 << 5 | 15);
  EXPECT_EQ(DosDateTimeFromTime(t), expected);
  time_t back = 0;
  ASSERT_TRUE(TimeFromDosDateTime(expected, back));
  EXPECT_EQ(back, t - 1);
  EXPECT_EQ(DosDateTimeFromTime(0), 0u);  // 1970 is before the DOS era

  struct Bad {
    int year, month, day, hour, minute;
  };
  for (const Bad& b : {Bad{2026, 13, 1, 0, 0}, Bad{2026, 0, 1, 0, 0}, Bad{2026, 2, 30, 0, 0},
                       Bad{2026, 1, 0, 0, 0}, Bad{2026, 1, 1, 24, 0}, Bad{2026, 1, 1, 0, 60}}) {
    const uint32_t v = (static_cast<uint32_t>((b.year - 1980) << 9 | b.month << 5 | b.day) << 16) |
                       static_cast<uint32_t>(b.hour << 11 | b.minute << 5);
    EXPECT_FALSE(TimeFromDosDateTime(v, back)) << b.month << "/" << b.day << " " << b.hour;
  }
}

TEST_F(DosFsTest, FileReadWriteSeekSize) {
  DosFile f;
  ASSERT_EQ(CreateFile("T:\\Prg\\Új.Dat"_cp, f), io::kOk);
  EXPECT_TRUE(fs::exists(H("/Prg/Új.Dat")));  // the new name keeps its case
  ASSERT_EQ(f.Write("abcdefgh", 8), io::kOk);
  int64_t size = 0, pos = 0;
  ASSERT_EQ(f.Size(size), io::kOk);
  EXPECT_EQ(size, 8);
  ASSERT_EQ(f.Seek(2), io::kOk);
  char buf[16] = {};
  ASSERT_EQ(f.Read(buf, 3), io::kOk);
  EXPECT_EQ(std::string(buf, 3), "cde");
  ASSERT_EQ(f.Position(pos), io::kOk);
  EXPECT_EQ(pos, 5);
  // Past the end: without a count a short read is 100, with one it is not.
  EXPECT_EQ(f.Read(buf, 10), io::kShortRead);
  ASSERT_EQ(f.Seek(6), io::kOk);
  size_t done = 99;
  EXPECT_EQ(f.Read(buf, 10, &done), io::kOk);
  EXPECT_EQ(done, 2u);
  ASSERT_EQ(f.Position(pos), io::kOk);
  EXPECT_EQ(pos, 8);  // a read that ends early moves by what came
  ASSERT_EQ(f.WriteAt(10, "XY", 2), io::kOk);  // beyond the end: a gap of zeros
  ASSERT_EQ(f.ReadAt(7, buf, 5), io::kOk);
  EXPECT_EQ(std::string(buf, 5), std::string("h\0\0XY", 5));
  ASSERT_EQ(f.Position(pos), io::kOk);
  EXPECT_EQ(pos, 8);  // transfers at an offset leave the position alone
  ASSERT_EQ(f.Seek(1), io::kOk);
  ASSERT_EQ(f.Write("B", 1), io::kOk);
  ASSERT_EQ(f.Read(buf, 2), io::kOk);  // goes on after what was written
  EXPECT_EQ(std::string(buf, 2), "cd");
  DosFile moved = std::move(f);  // the position goes with the handle
  ASSERT_EQ(moved.Read(buf, 1), io::kOk);
  EXPECT_EQ(buf[0], 'e');
  f = std::move(moved);
  ASSERT_EQ(f.Seek(4), io::kOk);
  ASSERT_EQ(f.Truncate(), io::kOk);
  ASSERT_EQ(f.Size(size), io::kOk);
  EXPECT_EQ(size, 4);
  ASSERT_EQ(f.SetSize(6), io::kOk);
  EXPECT_EQ(f.Seek(-1), io::kNegativeSeek);
  EXPECT_EQ(f.ReadAt(-1, buf, 1), io::kNegativeSeek);
  ASSERT_EQ(f.Close(), io::kOk);
  EXPECT_EQ(ReadHost(H("/Prg/Új.Dat")), std::string("aBcd\0\0", 6));
  // A closed handle.
  EXPECT_EQ(f.Read(buf, 1), io::kInvalidHandle);
  EXPECT_EQ(f.Close(), io::kInvalidHandle);
}

TEST_F(DosFsTest, OpenModesAndCodes) {
  DosFile f;
  struct Case {
    const char* path;
    Access access;
    Disposition disposition;
    IoCode rc;
  };
  const Case cases[] = {
      {"nincs.dat", Access::Read, Disposition::OpenExisting, io::kFileNotFound},
      {"T:\\nincs\\x.dat", Access::Read, Disposition::OpenExisting, io::kPathNotFound},
      {"T:\\nincs\\x.dat", Access::ReadWrite, Disposition::CreateAlways, io::kPathNotFound},
      {"T:\\Data\\Sub", Access::Read, Disposition::OpenExisting, io::kAccessDenied},
      {"T:\\", Access::Read, Disposition::OpenExisting, io::kAccessDenied},
      {"VEVO.DAT", Access::ReadWrite, Disposition::CreateNew, io::kAccessDenied},
      {"vevo.dat", Access::Read, Disposition::OpenExisting, io::kOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(OpenFile(c.path, c.access, Share::DenyNone, c.disposition, f), c.rc);
    EXPECT_EQ(f.IsOpen(), c.rc == io::kOk);
  }
  // The handle keeps its mode: a read-only handle refuses writes and the
  // other way round.
  EXPECT_EQ(f.access(), Access::Read);
  EXPECT_EQ(f.Write("x", 1), io::kAccessDenied);
  EXPECT_EQ(f.SetSize(0), io::kAccessDenied);
  ASSERT_EQ(OpenFile("vevo.dat", Access::Write, Share::DenyWrite, Disposition::OpenExisting, f),
            io::kOk);
  EXPECT_EQ(f.share(), Share::DenyWrite);
  char c;
  EXPECT_EQ(f.Read(&c, 1), io::kAccessDenied);
  ASSERT_EQ(f.Write("AB", 2), io::kOk);
  f.Close();
  EXPECT_EQ(ReadHost(H("/Data/Vevo.dat")), "AB23456789");  // opened, not emptied
  // OpenAlways creates a missing file and keeps an existing one.
  ASSERT_EQ(OpenFile("uj.dat", Access::ReadWrite, Share::DenyNone, Disposition::OpenAlways, f),
            io::kOk);
  f.Close();
  EXPECT_TRUE(fs::exists(H("/Data/uj.dat")));
}

TEST_F(DosFsTest, StampsAndAttributes) {
  const uint32_t stamp = (((2024u - 1980) << 9 | 2 << 5 | 29) << 16) | (23 << 11 | 59 << 5 | 29);
  ASSERT_EQ(SetFileStamp("VEVO.DAT", stamp), io::kOk);
  uint32_t got = 0;
  ASSERT_EQ(GetFileStamp("T:\\data\\vevo.dat", got), io::kOk);
  EXPECT_EQ(got, stamp);
  DosFile f;
  ASSERT_EQ(OpenFile("vevo.dat", Access::Read, Share::DenyNone, Disposition::OpenExisting, f),
            io::kOk);
  ASSERT_EQ(f.GetStamp(got), io::kOk);
  EXPECT_EQ(got, stamp);
  ASSERT_EQ(f.GetCreationStamp(got), io::kOk);
  EXPECT_NE(got, 0u);
  f.Close();
  EXPECT_EQ(SetFileStamp("VEVO.DAT", 0x5C600000u), io::kInvalidParameter);  // day 0
  EXPECT_EQ(GetFileStamp("nincs", got), io::kFileNotFound);
  EXPECT_EQ(got, 0u);

  DirEntry e;
  ASSERT_EQ(GetFileInfo("sub", e), io::kOk);
  EXPECT_EQ(e.attributes, attr::kDirectory);
  EXPECT_EQ(e.name, "Sub");
  ASSERT_EQ(GetFileInfo("T:\\", e), io::kOk);
  EXPECT_EQ(e.attributes, attr::kDirectory);
  fs::permissions(H("/Data/Vevo.dat"), fs::perms::owner_read | fs::perms::group_read);
  ASSERT_EQ(GetFileInfo("vevo.dat", e), io::kOk);
  EXPECT_EQ(e.attributes, attr::kArchive | attr::kReadOnly);
  EXPECT_EQ(e.size, 10u);

  EXPECT_TRUE(FileExists("VEVO.DAT"));
  EXPECT_FALSE(FileExists("Sub"));
  EXPECT_TRUE(FolderExists("SUB"));
  EXPECT_TRUE(FolderExists("T:\\"));
  EXPECT_FALSE(FolderExists("vevo.dat"));
  EXPECT_FALSE(FileExists("T:\\a*"));
}

TEST_F(DosFsTest, DeleteRenameCopy) {
  EXPECT_EQ(DeleteFile("nincs.dat"), io::kFileNotFound);
  EXPECT_EQ(DeleteFile("T:\\nincs\\x"), io::kPathNotFound);
  EXPECT_EQ(DeleteFile("Sub"), io::kAccessDenied);
  WriteHost(H("/Data/ro.dat"), "r");
  fs::permissions(H("/Data/ro.dat"), fs::perms::owner_read);
  EXPECT_EQ(DeleteFile("RO.DAT"), io::kAccessDenied);  // read-only files stay
  EXPECT_TRUE(fs::exists(H("/Data/ro.dat")));

  // Rename: a change of case, a move, refusals.
  ASSERT_EQ(RenameFile("vevo.dat", "VEVO.DAT"), io::kOk);
  EXPECT_TRUE(fs::exists(H("/Data/VEVO.DAT")));
  EXPECT_FALSE(fs::exists(H("/Data/Vevo.dat")));
  EXPECT_EQ(RenameFile("vevo.dat", "ro.dat"), io::kAccessDenied);
  EXPECT_EQ(ReadHost(H("/Data/ro.dat")), "r");
  EXPECT_EQ(RenameFile("vevo.dat", "T:\\nincs\\v.dat"), io::kPathNotFound);
  EXPECT_EQ(RenameFile("nincs.dat", "x.dat"), io::kFileNotFound);
  ASSERT_EQ(RenameFile("vevo.dat", "..\\Prg\\Vevo.Bak"), io::kOk);
  EXPECT_EQ(ReadHost(H("/Prg/Vevo.Bak")), "0123456789");
  EXPECT_EQ(RenameFile("T:\\Data", "T:\\Data2"), io::kAccessDenied);  // the working folder
  EXPECT_EQ(RenameFile("T:\\Prg", "T:\\Prg\\In"), io::kAccessDenied);  // into itself
  ASSERT_EQ(RenameFile("T:\\Prg", "T:\\Programok"), io::kOk);

  // Copy keeps the time and the content; never onto itself.
  const uint32_t stamp = 0x5C6F7A21u;
  ASSERT_EQ(SetFileStamp("T:\\Programok\\vevo.bak", stamp), io::kOk);
  ASSERT_EQ(CopyFile("T:\\Programok\\vevo.bak", "masolat.dat"), io::kOk);
  EXPECT_EQ(ReadHost(H("/Data/masolat.dat")), "0123456789");
  uint32_t got = 0;
  ASSERT_EQ(GetFileStamp("masolat.dat", got), io::kOk);
  EXPECT_EQ(got, stamp);
  EXPECT_EQ(CopyFile("masolat.dat", "MASOLAT.DAT"), io::kAccessDenied);
  EXPECT_EQ(ReadHost(H("/Data/masolat.dat")), "0123456789");
  EXPECT_EQ(CopyFile("ro.dat", "masolat.dat", true), io::kAccessDenied);
  ASSERT_EQ(CopyFile("ro.dat", "masolat.dat"), io::kOk);  // overwrites
  EXPECT_EQ(ReadHost(H("/Data/masolat.dat")), "r");
  EXPECT_EQ(CopyFile("Sub", "x"), io::kAccessDenied);
  EXPECT_EQ(CopyFile("nincs", "x"), io::kFileNotFound);
  EXPECT_EQ(CopyFile("ro.dat", "T:\\nincs\\x"), io::kPathNotFound);
  EXPECT_FALSE(fs::exists(H("/Data/x")));
  // The copy of a read-only file is read-only too.
  DirEntry e;
  ASSERT_EQ(GetFileInfo("masolat.dat", e), io::kOk);
  EXPECT_TRUE(e.attributes & attr::kReadOnly);
}

TEST_F(DosFsTest, FoldersAndCurrentFolders) {
  EXPECT_EQ(MakeFolder("Sub"), io::kAccessDenied);
  EXPECT_EQ(MakeFolder("T:\\nincs\\uj"), io::kPathNotFound);
  ASSERT_EQ(MakeFolder("Új mappa"_cp), io::kOk);
  EXPECT_TRUE(fs::is_directory(H("/Data/Új mappa")));
  WriteHost(H("/Data/Sub/f"), "");
  EXPECT_EQ(RemoveFolder("Sub"), io::kAccessDenied);  // not empty
  EXPECT_EQ(RemoveFolder("vevo.dat"), io::kPathNotFound);
  EXPECT_EQ(RemoveFolder("nincs"), io::kPathNotFound);
  EXPECT_EQ(RemoveFolder("T:\\"), io::kAccessDenied);
  EXPECT_EQ(RemoveFolder("T:\\Data"), io::kCannotRemoveFolder);  // the current folder
  ASSERT_EQ(RemoveFolder("ÚJ MAPPA"_cp), io::kOk);

  // Each drive keeps its own current folder; the working folder follows the
  // current drive.
  fs::create_directories(H("/Prg/U/Belul"));
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'U', root_ + "/Prg/U"}}));
  ASSERT_EQ(ChangeFolder("T:\\Data\\Sub"), io::kOk);
  ASSERT_EQ(ChangeFolder("U:\\BELUL"), io::kOk);
  EXPECT_EQ(CurrentDrive(), 'U');
  EXPECT_EQ(HostCwd(), root_ + "/Prg/U/Belul");
  EXPECT_EQ(CurrentFolder(), "U:\\Belul");
  EXPECT_EQ(CurrentFolder('t'), "T:\\Data\\Sub");
  EXPECT_EQ(RemoveFolder("T:\\Data"), io::kCannotRemoveFolder);  // holds T:'s folder
  ASSERT_EQ(ChangeFolder("T:"), io::kOk);
  EXPECT_EQ(CurrentDrive(), 'T');
  EXPECT_EQ(HostCwd(), root_ + "/Data/Sub");
  ASSERT_EQ(ChangeFolder(".."), io::kOk);
  ASSERT_EQ(ChangeFolder("..\\..\\.."), io::kOk);
  EXPECT_EQ(CurrentFolder(), "T:\\");
  EXPECT_EQ(HostCwd(), root_);
  HostPath hp;
  ASSERT_EQ(ResolvePath("U:..", hp), io::kOk);  // U:'s own folder, one up
  EXPECT_EQ(hp.path, root_ + "/Prg/U");

  EXPECT_EQ(ChangeFolder("Q:\\"), io::kInvalidDrive);
  EXPECT_EQ(ChangeFolder("nincs"), io::kPathNotFound);
  EXPECT_EQ(ChangeFolder("T:\\Data\\Vevo.dat"), io::kPathNotFound);
  EXPECT_EQ(ChangeFolder("T:\\a?"), io::kInvalidName);
  EXPECT_EQ(CurrentFolder(), "T:\\");
  EXPECT_EQ(CurrentFolder('Q'), "");
}

TEST_F(DosFsTest, DriveTable) {
  std::vector<DriveMapping> list;
  ASSERT_TRUE(ParseDriveList(" D=/srv/konyv ; e=/media/usb|PENDRIVE;;", list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].letter, 'D');
  EXPECT_EQ(list[0].hostRoot, "/srv/konyv");
  EXPECT_EQ(list[1].letter, 'E');
  EXPECT_EQ(list[1].label, "PENDRIVE");
  for (const char* bad : {"D=relative", "1=/x", "D/x", "DD=/x"}) {
    std::vector<DriveMapping> l;
    EXPECT_FALSE(ParseDriveList(bad, l)) << bad;
  }
  // C: is "/" unless the table says otherwise; DRIVES goes over the table.
  setenv("DRIVES", ("E=" + root_ + "/Prg|KÖNYV;C=" + root_).c_str(), 1);
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'E', "/nowhere"}}));
  EXPECT_EQ(DriveLetters(), "CET");
  auto table = DriveTable();
  EXPECT_EQ(table[0].hostRoot, root_);
  EXPECT_EQ(table[1].hostRoot, root_ + "/Prg");
  EXPECT_EQ(DriveLabel('e'), "KÖNYV"_cp);
  EXPECT_EQ(DriveLabel('E', NameCode::Cp1250), "K\xD6NYV");
  EXPECT_EQ(DriveLabel('T'), "");
  EXPECT_TRUE(DrivePresent('e'));
  EXPECT_FALSE(DrivePresent('D'));
  unsetenv("DRIVES");
  EXPECT_EQ(GetDriveKind('Q'), DriveKind::Unknown);
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'E', root_ + "/nincs"}}));
  EXPECT_EQ(GetDriveKind('E'), DriveKind::Unknown);  // its folder is missing
  EXPECT_NE(GetDriveKind('T'), DriveKind::Unknown);
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'E', root_ + "/Prg"}}));
  uint64_t total = 0, free = 0;
  ASSERT_EQ(DriveSpace('T', total, free), io::kOk);
  EXPECT_GT(total, 0u);
  EXPECT_LE(free, total);
  EXPECT_EQ(DriveSpace('Q', total, free), io::kInvalidDrive);
  // A bad entry changes nothing.
  EXPECT_FALSE(SetDriveTable({{'T', "relative"}}));
  EXPECT_EQ(DriveLetters(), "CET");
}

// Without a label in the drive table, the label of the file system under the
// drive's folder is used: the name udev gives its device in by-label.
TEST_F(DosFsTest, FileSystemLabelOfTheDevice) {
  struct stat folder;
  ASSERT_EQ(stat(root_.c_str(), &folder), 0);
  const std::string labels = root_ + "/by-label";
  fs::create_directories(labels);
  // Another device first, so that the right one must be picked.
  const dev_t other = makedev(major(folder.st_dev) + 1, minor(folder.st_dev));
  if (mknod((labels + "/OTHER").c_str(), S_IFBLK | 0600, other) != 0 ||
      mknod((labels + "/K\\xc3\\x96NYV\\x20ADAT").c_str(), S_IFBLK | 0600, folder.st_dev) != 0)
    GTEST_SKIP() << "cannot make device nodes here";
  SetLabelFolder(labels);
  ASSERT_TRUE(SetDriveTable({{'T', root_}, {'E', root_ + "/Prg", "SAJAT"}}));
  EXPECT_EQ(DriveLabel('T'), "KÖNYV ADAT"_cp);
  EXPECT_EQ(DriveLabel('E'), "SAJAT");  // the table's label goes first
  SetLabelFolder(root_ + "/none");
  EXPECT_EQ(DriveLabel('T'), "");
  SetLabelFolder("/dev/disk/by-label");
}

TEST_F(DosFsTest, ProgramFile) {
  // A bare name is looked up on PATH and mapped through C:.
  const std::string sh = ProgramFile("sh");
  ASSERT_FALSE(sh.empty());
  EXPECT_EQ(sh.substr(0, 3), "C:\\");
  EXPECT_EQ(sh.substr(sh.size() - 3), "\\sh");
  // A relative path is made absolute against the working folder (T:\Data).
  WriteHost(H("/Data/prog"), "");
  EXPECT_EQ(ProgramFile("./prog"), "T:\\Data\\prog");
  EXPECT_EQ(ProgramFile("../Data/prog"), "T:\\Data\\prog");
  // Without such a file: the running program itself.
  const std::string self = ProgramFile("no-such-program-here");
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string expected;
  ASSERT_TRUE(DosPathOfHost(std::string(exe, static_cast<size_t>(n)), expected));
  EXPECT_EQ(self, expected);
  EXPECT_EQ(ProgramFile(nullptr), self);
}

}  // namespace
}  // namespace platform
