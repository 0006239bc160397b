#include "lists/temp_folder.h"

#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "files/drive_fixture.h"
#include "text/literal.h"

namespace lists {
namespace {

using namespace text::literals;
using files_testing::DriveTest;
using files_testing::fs::create_directories;

class TempFolderTest : public DriveTest {
 protected:
  // Runs GetTempFolder with TMPDIR set (null: unset); took tells how many
  // milliseconds of the fake clock it spent (the notice counts 3 seconds).
  std::string TempWith(const char* tmpdir, long long& took) {
    if (tmpdir)
      setenv("TMPDIR", tmpdir, 1);
    else
      unsetenv("TMPDIR");
    const long long start = time->nowMs;
    const auto before = Screen();
    std::string folder = GetTempFolder();
    took = time->nowMs - start;
    EXPECT_EQ(Screen(), before) << "the screen was not put back";
    return folder;
  }
};

TEST_F(TempFolderTest, UsableFolders) {
  create_directories(H("/tmp"));
  long long took = 0;
  EXPECT_EQ(TempWith(H("/tmp").c_str(), took), "T:\\tmp\\");
  EXPECT_EQ(took, 0);
  EXPECT_FALSE(HostExists("/tmp/$OWK.$$$")) << "the test file stays";
  EXPECT_EQ(TempWith((H("/tmp") + "/").c_str(), took), "T:\\tmp\\");
  // Without TMPDIR, /tmp on C: (the host's root).
  EXPECT_EQ(TempWith(nullptr, took), "C:\\tmp\\");
  // A relative TMPDIR is no folder the host would use: /tmp.
  EXPECT_EQ(TempWith("relative", took), "C:\\tmp\\");
}

TEST_F(TempFolderTest, UnusableFoldersGiveEmptyTextAfterTheNotice) {
  // Missing; a file; not writable, not even for root; a path too long for a DOS text.
  files_testing::WriteHost(H("/file"), "x");
  std::string deep = H("");
  for (int i = 0; i < 6; ++i) deep += "/" + std::string(45, 'a' + i);
  create_directories(deep);
  // A name with characters code page 852 lacks is no DOS path.
  create_directories(H("/\xE6\x97\xA5\xE6\x9C\xAC"));
  for (const std::string& dir : {H("/missing"), H("/file"), std::string("/proc"), deep,
                                 H("/\xE6\x97\xA5\xE6\x9C\xAC")}) {
    long long took = 0;
    EXPECT_EQ(TempWith(dir.c_str(), took), "") << dir;
    EXPECT_GE(took, 3000) << dir << ": no notice";
    EXPECT_LT(took, 4000) << dir;
  }
}

TEST_F(TempFolderTest, NoticeGivesWayToAKey) {
  time->At(500, ui::testing::Char('x'));
  long long took = 0;
  EXPECT_EQ(TempWith(H("/missing").c_str(), took), "");
  EXPECT_LT(took, 1000);
}

TEST_F(TempFolderTest, VolumeLabel) {
  ASSERT_TRUE(platform::SetDriveTable({{'T', root_, "Könyvelés á ő"}, {'U', root_, ""}}));
  const std::string label = "Könyvelés á ő"_cp;
  struct Case {
    const char* drive;
    std::string label;
  };
  const Case cases[] = {
      {"T", label}, {"t", label}, {"T:", label}, {"T:\\", label}, {"t:\\", label},
      {"U", ""},    {"C", ""},    {"Q", ""},     {"", ""},        {"TT", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(VolumeLabel(c.drive), c.label) << c.drive;
  EXPECT_EQ(label.substr(label.size() - 3), "\xA0 \x8B");
}

// 2024-07-15 10:20:30 UTC as a host time, and its DOS date-time in UTC.
constexpr time_t kSummer = 1721038830;
constexpr uint32_t kSummerStamp = ((44u << 9 | 7u << 5 | 15u) << 16) | (10u << 11 | 20u << 5 | 15u);

void SetMtime(const std::string& path, time_t t) {
  struct utimbuf times = {t, t};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

class StampTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (const char* tz = getenv("TZ")) savedTz_ = tz, hadTz_ = true;
    // Central European summer time: local 12:20:30, stamp must say 10:20:30.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    MakeTree({"a.dat", "b.dat", "big.dat", "empty.dat", "sub/"});
    files_testing::WriteHost(H("/big.dat"), "a longer file");
    files_testing::WriteHost(H("/empty.dat"), "");
    for (const char* n : {"/a.dat", "/b.dat", "/big.dat", "/empty.dat", "/sub"}) SetMtime(H(n), kSummer);
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", savedTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
    DriveTest::TearDown();
  }
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(StampTest, StampsAreUtc) {
  EXPECT_EQ(FileStamp("T:\\a.dat"), kSummerStamp);
  EXPECT_EQ(FileStamp("A.DAT"), kSummerStamp);  // case-blind, current folder
  EXPECT_EQ(FileStamp("T:\\sub"), kSummerStamp);  // a folder has its stamp too
  EXPECT_EQ(FileStamp("T:\\none.dat"), 0u);
  EXPECT_EQ(FileStamp("T:\\nofolder\\a.dat"), 0u);
  EXPECT_EQ(FileStamp("T:\\a|b.dat"), 0u);  // a name the host cannot take
  uint32_t stamp = 1, size = 1;
  FileStampAndSize("T:\\big.dat", stamp, size);
  EXPECT_EQ(stamp, kSummerStamp);
  EXPECT_EQ(size, 13u);
  FileStampAndSize("T:\\none.dat", stamp, size);
  EXPECT_EQ(stamp, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(UtcStampOfLocal(0), 0u);
}

TEST_F(StampTest, SameFileStamp) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"T:\\a.dat", "T:\\a.dat", true},   {"T:\\a.dat", "T:\\b.dat", true},
      {"T:\\a.dat", "T:\\big.dat", false},  // sizes differ
      {"T:\\empty.dat", "T:\\empty.dat", false},  // size 0
      {"T:\\none.dat", "T:\\none.dat", false},  {"T:\\a.dat", "T:\\none.dat", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameFileStamp(c.a, c.b), c.same) << c.a << " " << c.b;
  SetMtime(H("/b.dat"), kSummer + 2);
  EXPECT_FALSE(SameFileStamp("T:\\a.dat", "T:\\b.dat"));
  // Before 1980 there is no stamp, and equal "no stamps" are not the same.
  SetMtime(H("/a.dat"), 100);
  SetMtime(H("/b.dat"), 100);
  EXPECT_FALSE(SameFileStamp("T:\\a.dat", "T:\\b.dat"));
}

TEST_F(StampTest, CreationStampAndRename) {
  const uint32_t created = FileCreationStamp("T:\\a.dat");
  EXPECT_NE(created, 0u);
  EXPECT_EQ(FileCreationStamp("T:\\none.dat"), 0u);
  EXPECT_EQ(FileCreationStamp("T:\\sub"), 0u);  // a folder is not opened as a file

  EXPECT_TRUE(RenameFile("T:\\a.dat", "T:\\sub\\c.dat"));
  EXPECT_TRUE(HostExists("/sub/c.dat"));
  EXPECT_FALSE(RenameFile("T:\\b.dat", "T:\\sub\\c.dat"));  // no overwriting
  EXPECT_FALSE(RenameFile("T:\\none.dat", "T:\\x.dat"));
  EXPECT_EQ(files_testing::ReadHost(H("/b.dat")), "b.dat");
}

}  // namespace
}  // namespace lists
