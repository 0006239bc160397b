#include "files/program_launch.h"

#include <sys/stat.h>

#include "files/drive_fixture.h"
#include "settings/settings_files.h"
#include "text/literal.h"

namespace files {
namespace {

using namespace text::literals;
using files_testing::DriveTest;
using files_testing::ReadHost;
using files_testing::WriteHost;
namespace fs = std::filesystem;

// T:\cur is the current folder; T:\prg and T:\prg2 form ProgramFolder.
class LaunchTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    savedProgramFolder_ = settings::ProgramFolder();
    MakeTree({"cur/", "prg/", "prg2/"});
    settings::SetProgramFolder("T:\\prg;T:\\prg2");
    ASSERT_EQ(platform::ChangeFolder("T:\\cur"), platform::io::kOk);
    // A program that writes its arguments to out.txt in the current folder
    // and ends with code 3; fetched without the run permission.
    WriteHost(H("/prg/child.exe"), "#!/bin/sh\necho \"$1|$2\" > out.txt\nexit 3\n");
    fs::permissions(H("/prg/child.exe"), fs::perms::owner_read | fs::perms::owner_write);
  }
  void TearDown() override {
    settings::SetProgramFolder(savedProgramFolder_);
    DriveTest::TearDown();
  }
  // The screen and console state before a call, to compare after it.
  void Before() {
    FillPattern();
    console::SetTextWindow(3, 4, 60, 20);
    console::SetTextAttr(0x1E);
    console::SetCursorPos(5, 6);
    screen_ = Screen();
    starts_ = term->starts;
  }
  void ExpectScreenBack(uint64_t handovers) {
    EXPECT_EQ(Screen(), screen_);
    const auto r = console::WindowRect();
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 4);
    EXPECT_EQ(r.right, 60);
    EXPECT_EQ(r.bottom, 20);
    EXPECT_EQ(console::GetTextAttr(), 0x1E);
    EXPECT_EQ(console::CursorColumn(), 5);
    EXPECT_EQ(console::CursorRow(), 6);
    EXPECT_TRUE(term->Started());
    EXPECT_EQ(term->starts - starts_, handovers) << "terminal hand-overs";
  }
  std::string savedProgramFolder_;
  std::vector<uint16_t> screen_;
  uint64_t starts_ = 0;
};

TEST_F(LaunchTest, ProgramSearch) {
  MakeTree({"cur/unzip.exe", "prg/unzip.exe", "prg/job.bat", "prg2/job.exe", "prg2/only.com",
            "cur/tool.com", "prg/tool.bat", "prg/sub/x.exe"});
  struct Case {
    const char* name;
    const char* found;
  };
  const Case cases[] = {
      {"unzip.exe", "T:\\cur\\unzip.exe"},  // the current folder first
      {"UNZIP.EXE", "T:\\cur\\UNZIP.EXE"},
      {"job", "T:\\prg2\\job.exe"},         // .exe before .bat, in any folder
      {"only", "T:\\prg2\\only.com"},
      {"tool", "T:\\prg\\tool.bat"},        // .bat before .com
      {"child.exe", "T:\\prg\\child.exe"},
      {"sub\\x.exe", "T:\\prg\\sub\\x.exe"},
      {"T:\\prg\\job.bat", "T:\\prg\\job.bat"},
      {"T:\\cur\\job.bat", ""},             // a path is not searched elsewhere
      {"none.exe", ""},
      {"none", ""},
      {"", ""},
      {"bad|name", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FindProgramFile(c.name), c.found) << c.name;
}

TEST_F(LaunchTest, RunsAProgramAndGivesTheScreenBack) {
  Before();
  EXPECT_EQ(RunProgram("child   ", "first \"two words\"  ", false), 3);
  EXPECT_EQ(LastLaunchError(), 0);
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "first|two words\n");
  ExpectScreenBack(1);

  Before();
  EXPECT_EQ(RunProgramKeepLine("child.exe", "", false), 3);
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "|\n");
  ExpectScreenBack(1);
}

TEST_F(LaunchTest, BatchFileForANameWithoutADot) {
  WriteHost(H("/prg/job.bat"), "echo \"$1\" > ran.txt\nexit 7\n");
  Before();
  EXPECT_EQ(RunProgram("job", "x", false), 7);
  EXPECT_EQ(ReadHost(H("/cur/ran.txt")), "x\n");
  ExpectScreenBack(1);
}

TEST_F(LaunchTest, ProgramThatCannotStart) {
  WriteHost(H("/cur/win.exe"), "MZ\x90");
  struct Case {
    const char* program;
    platform::IoCode code;
  };
  const Case cases[] = {{"nowhere-to-be-found", platform::io::kFileNotFound},
                        {"win.exe", platform::io::kBadProgramFormat},
                        {"bad|name.exe", platform::io::kInvalidName}};
  for (const Case& c : cases) {
    Before();
    EXPECT_EQ(RunProgram(c.program, "", false), kNotStarted) << c.program;
    EXPECT_EQ(LastLaunchError(), c.code) << c.program;
    ExpectScreenBack(1);
  }
}

TEST_F(LaunchTest, CdChangesTheFolderWithoutTouchingTheScreen) {
  MakeTree({"\xC3\x81" "b/"});  // "Áb" on the host
  Before();
  EXPECT_EQ(RunProgram("cd", "T:\\prg  ", false), 0);
  EXPECT_EQ(platform::CurrentFolder(), "T:\\prg");
  EXPECT_EQ(RunProgram("Cd", "..\\prg2", true), 0);  // no pause either
  EXPECT_EQ(platform::CurrentFolder(), "T:\\prg2");
  // The old code page's "Á" (0x8F) is read as code page 852's.
  EXPECT_EQ(RunProgram("CD", "T:\\\x8F" "B", false), 0);
  EXPECT_EQ(platform::CurrentFolder(), "T:\\\xB5" "b");
  ExpectScreenBack(0);
  EXPECT_EQ(LastLaunchError(), 0);

  // A folder that cannot be entered: "CD" is searched for as a program.
  EXPECT_EQ(RunProgram("cd", "T:\\none", false), kNotStarted);
  EXPECT_EQ(LastLaunchError(), platform::io::kFileNotFound);
  EXPECT_EQ(platform::CurrentFolder(), "T:\\\xB5" "b");
  WriteHost(H("/prg/CD.bat"), "echo \"$1\" > T_cd.txt\n");
  EXPECT_EQ(RunProgram("cd", "none", false), 0);
  EXPECT_EQ(ReadHost(H("/\xC3\x81" "b/T_cd.txt")), "none\n");
}

TEST_F(LaunchTest, CommandLines) {
  EXPECT_EQ(RunCommandLine("child a b  "), 3);
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "a|b\n");
  EXPECT_EQ(RunCommandLine("child"), 3);
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "|\n");
  EXPECT_EQ(RunProgramThenExit("child"), 3);
}

TEST_F(LaunchTest, ByteZeroEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this fixture's drive
  EXPECT_EXIT(RunCommandLine(std::string("child x y \0\0", 12)), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "x|y\n");
  EXPECT_EXIT(
      {
        term->ScriptEvent(ui::testing::Char(13));
        RunProgramThenExit(std::string("child\0", 6));
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadHost(H("/cur/out.txt")), "|\n");
}

TEST_F(LaunchTest, OpenWithShellOfAMissingFile) {
  EXPECT_FALSE(OpenWithShell("T:\\none.txt", ""));
  EXPECT_FALSE(OpenWithShell("T:\\bad|name.txt", ""));
}

}  // namespace
}  // namespace files
