#include "updater/update_run.h"

#include <sys/stat.h>

#include "platform/dos_path.h"
#include "text/literal.h"
#include "ui/colours.h"
#include "updater/updater_fixture.h"

namespace updater::testing {
namespace {

using namespace text::literals;

TEST(ProgramNameTest, ClientIdAndFolders) {
  StartSuiteYear();
  struct Case {
    const char* file;
    const char* clientId;
    const char* remote;
  } cases[] = {
      {"C:\\PRG\\vfris1234.exe", "1234", "ugy26/1234"},
      {"C:\\PRG\\vfris 1234 (2).exe", "1234", "ugy26/1234"},  // a browser's second copy
      {"C:\\PRG\\vfris1234[3].exe", "1234", "ugy26/1234"},
      {"C:\\PRG\\vfris1234 (2)[1].exe", "1234", "ugy26/1234"},
      {"C:\\work\\bin\\vfris1234 (2)", "1234", "ugy26/1234"},  // no extension
      {"C:\\work.1\\bin\\vfris1234", "1234", "ugy26/1234"},  // a dot in a folder is no extension
      {"C:\\PRG\\vfris.exe", "", "domva26"},                   // exactly five characters
      {"C:\\PRG\\vfr.exe", "", "domva26"},
      {"vfris", "", "domva26"},
      {"C:\\PRG\\vfris12(34.exe", "12(34", "ugy26/12(34"},  // no ")": nothing removed
      {"C:\\PRG\\vfris12)x(34.exe", "12)x(34", "ugy26/12)x(34"},
      {"C:\\PRG\\vfrisAB.zip.zip", "AB.zip", "ugy26/AB.zip"},  // the extension's first occurrence
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClientIdOf(c.file), c.clientId) << c.file;
    EXPECT_EQ(RemoteFolderFor(ClientIdOf(c.file)), c.remote) << c.file;
  }
  EXPECT_EQ(ProgramFolderOf("C:\\PRG\\vfris.exe"), "C:\\PRG");
  EXPECT_EQ(ProgramFolderOf("C:\\vfris.exe"), "C:\\");
  EXPECT_EQ(ProgramFolderOf("C:vfris.exe"), "C:");
  EXPECT_EQ(ProgramFolderOf("vfris.exe"), "");
}

class UpdateRunTest : public UpdaterTest {
 protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "prog");
    ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    // The served tree: the tool, and the archive with what frissit.exe needs.
    Script(dir / "srv/letolt/unzip.exe",
           "pwd > \"" + (dir / "unzip.ran").string() + "\"\nexec unzip \"$@\"\n");
    fs::create_directories(dir / "pkg");
    testftp::WriteFile(dir / "pkg/lunemind.zip", "payload");
    Script(dir / "pkg/frissit.exe", "pwd > \"" + (dir / "frissit.ran").string() + "\"\n");
    Zip("letolt/domva26/domva.zip");
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");
    UpdaterTest::TearDown();
  }

  static void Script(const fs::path& path, const std::string& body) {
    testftp::WriteFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
  }
  void Zip(const std::string& target) {
    fs::create_directories((dir / "srv" / target).parent_path());
    const std::string cmd = "cd '" + (dir / "pkg").string() +
                            "' && python3 -c 'import sys, zipfile\n"
                            "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                            "    z.write(\"lunemind.zip\"); z.write(\"frissit.exe\")' '" +
                            (dir / "srv" / target).string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string ProgramFile(const std::string& name) {
    std::string dos;
    EXPECT_TRUE(platform::DosPathOfHost((dir / "prog" / name).string(), dos));
    return dos;
  }
  fs::path Work() const { return dir / "tmp" / "$TEMPRGR"; }
};

TEST_F(UpdateRunTest, IgenFetchesUnpacksAndStartsTheUpdate) {
  testftp::Server server(dir / "srv");
  UseServer(server);
  time->answers = {"i"};
  MarkOutput();
  UpdateRun(ProgramFile("vfris"));

  ASSERT_EQ(Waits(), 1u);  // the question only
  EXPECT_TRUE(PictureShows(0, "Vantor-kettős könyvelés  programfrissítés 2026"));
  EXPECT_TRUE(PictureShows(0, std::string(46, '=')));
  EXPECT_TRUE(PictureShows(0, "Program-frissítő letöltése, majd a programfrissítés indulhat?"));
  EXPECT_TRUE(DrawnInOrder({"zip letöltése......", "Letöltés ........", "unzip.exe letöltése",
                            "Letöltés ........", "kicsomagolás ......"}));
  EXPECT_EQ(testftp::ReadFile(dir / "unzip.ran"), Work().string() + "\n");
  EXPECT_EQ(testftp::ReadFile(dir / "frissit.ran"), Work().string() + "\n");
  EXPECT_EQ(testftp::ReadFile(Work() / "lunemind.zip"), "payload");
  EXPECT_TRUE(fs::exists(Work() / "unzip.exe"));
  EXPECT_FALSE(fs::exists(Work() / "domva.zip"));  // the archive is removed
  EXPECT_EQ(fs::current_path(), dir / "prog");     // back in the program's folder
}

TEST_F(UpdateRunTest, NemTouchesNothing) {
  testftp::Server server(dir / "srv");
  UseServer(server);
  time->answers = {"n"};
  UpdateRun(ProgramFile("vfris"));
  EXPECT_EQ(Waits(), 1u);
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
  EXPECT_TRUE(fs::is_empty(dir / "work"));
  EXPECT_EQ(fs::current_path(), dir / "work");
  EXPECT_FALSE(fs::exists(dir / "unzip.ran"));
}

TEST_F(UpdateRunTest, MissingArchiveStillRunsUnzipThenReports) {
  fs::remove(dir / "srv/letolt/domva26/domva.zip");
  testftp::Server server(dir / "srv");
  UseServer(server);
  time->answers = {"i"};
  UpdateRun(ProgramFile("vfris"));
  ASSERT_EQ(Waits(), 4u);
  EXPECT_TRUE(PictureShows(1, "Nincs /letolt/domva26/domva.zip!"));
  EXPECT_TRUE(PictureShows(2, "A másolás nem sikerült!"));
  EXPECT_TRUE(PictureShows(3, "Nincs mind:lunemind.zip unzip.exe frissit.exe"));
  EXPECT_TRUE(fs::exists(dir / "unzip.ran"));
  EXPECT_FALSE(fs::exists(dir / "frissit.ran"));
  EXPECT_EQ(fs::current_path(), dir / "prog");
}

TEST_F(UpdateRunTest, RenamedCopyAndSecondRunUseTheClientFolder) {
  Zip("letolt/ugy26/1234/domva.zip");
  fs::remove(dir / "srv/letolt/domva26/domva.zip");
  // Left by an earlier run: stale files, one under another case.
  testftp::WriteFile(Work() / "UNZIP.EXE", "stale");
  testftp::WriteFile(Work() / "lunemind.zip", "stale");
  testftp::WriteFile(Work() / "frissit.exe", "stale");
  testftp::WriteFile(Work() / "domva.zip", "stale");
  testftp::Server server(dir / "srv");
  UseServer(server);
  for (const char* name : {"vfris1234 (2)", "vfris1234"}) {
    SCOPED_TRACE(name);
    time->answers = {"i"};
    time->pictures.clear();
    fs::remove(dir / "frissit.ran");
    UpdateRun(ProgramFile(name));
    EXPECT_EQ(Waits(), 1u);
    EXPECT_EQ(testftp::ReadFile(Work() / "lunemind.zip"), "payload");
    EXPECT_EQ(testftp::ReadFile(dir / "frissit.ran"), Work().string() + "\n");
    EXPECT_FALSE(fs::exists(Work() / "domva.zip"));
  }
}

TEST_F(UpdateRunTest, WithoutTemporaryFolderWorksUnderTheCurrentFolder) {
  ::setenv("TMPDIR", (dir / "missing").c_str(), 1);
  testftp::Server server(dir / "srv");
  UseServer(server);
  time->answers = {"i"};
  UpdateRun(ProgramFile("vfris"));
  EXPECT_TRUE(SeenWhileSleeping("Nincsen vagy hibás a \"gettemppath\", lassabb lesz a program"));
  EXPECT_EQ(testftp::ReadFile(dir / "frissit.ran"), (dir / "work/$TEMPRGR").string() + "\n");
}

TEST_F(UpdateRunTest, DrawProgramScreenFramesAndBoxes) {
  auto at = [](int x, int y) { return platform::CellChar(platform::CellAt(y, x)); };
  auto attrAt = [](int x, int y) { return platform::CellAttr(platform::CellAt(y, x)); };
  struct Case {
    int style;
    uint8_t topLeft, top;
  } cases[] = {{1, 218, 196}, {2, 201, 205}, {3, 201, 205}, {4, ' ', ' '}, {5, 176, 176},
               {6, 201, 205}, {0, 201, 205}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    console::SetTextWindow(1, 1, 80, 25);
    console::SetTextAttr(0x1E);
    DrawProgramScreen(0, 0, 0, 0, c.style, 0);
    EXPECT_EQ(at(1, 2), 201);                     // the background's double frame
    EXPECT_EQ(at(80, 24), 188);
    EXPECT_EQ(at(2, 3), 176);                     // shaded inside, light grey on black
    EXPECT_EQ(attrAt(2, 3), 0x07);
    EXPECT_EQ(at(10, 6), c.topLeft);              // the default box
    EXPECT_EQ(at(40, 6), c.top);
    EXPECT_EQ(at(40, 12), ' ');
    EXPECT_EQ(attrAt(40, 12), 0x1E);
    EXPECT_EQ(console::ToScreenColumn(1), 11);
    EXPECT_EQ(console::ToScreenRow(1), 7);
    EXPECT_EQ(ui::WindowWidth(), 59);
    EXPECT_EQ(ui::WindowHeight(), 12);
  }
  // A box of its own.
  console::SetTextWindow(1, 1, 80, 25);
  DrawProgramScreen(20, 5, 40, 10, 1, 0);
  EXPECT_EQ(at(20, 5), 218);
  EXPECT_EQ(at(40, 10), 217);
  EXPECT_EQ(console::ToScreenColumn(1), 21);
  EXPECT_EQ(console::ToScreenRow(1), 6);
}

}  // namespace
}  // namespace updater::testing
