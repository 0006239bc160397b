#include "updater/ftp_transfer.h"

#include <chrono>

#include "text/literal.h"
#include "updater/updater_fixture.h"

namespace updater::testing {
namespace {

using namespace text::literals;

TEST(FtpPathTest, PathsOfDownloads) {
  EXPECT_EQ(FtpPath("ugy26\\1234\\x"), "ugy26/1234/x");
  struct Case {
    const char* folder;
    const char* file;
    const char* path;
  } cases[] = {
      {"", "unzip.exe", "/letolt/unzip.exe"},
      {"   ", "unzip.exe", "/letolt/unzip.exe"},  // blank counts as empty
      {"domva26", "domva.zip", "/letolt/domva26/domva.zip"},
      {"ugy26\\1234", "domva.zip", "/letolt/ugy26/1234/domva.zip"},
      {"ugy26/1234 ", "domva.zip", "/letolt/ugy26/1234 /domva.zip"},  // blanks kept inside
  };
  for (const auto& c : cases) EXPECT_EQ(DownloadPath(c.folder, c.file), c.path) << c.folder;
}

class FtpTransferTest : public UpdaterTest {};

TEST_F(FtpTransferTest, DownloadShowsItsStepsAndCopiesTheFile) {
  testftp::WriteFile(dir / "srv/letolt/ugy26/1234/domva.zip", "archive bytes");
  testftp::Server server(dir / "srv");
  UseServer(server);
  const std::string bottomBefore = RowText(25);
  MarkOutput();
  EXPECT_TRUE(FtpDownload("ugy26\\1234", "domva.zip"));
  EXPECT_EQ(testftp::ReadFile(dir / "work/domva.zip"), "archive bytes");
  EXPECT_EQ(Waits(), 0u);  // no message
  EXPECT_TRUE(DrawnInOrder({"127.0.0.1 ...", "Letöltés ........", "Kapcsolat bontása"}));
  EXPECT_EQ(RowText(25), bottomBefore);  // the status line is gone
}

TEST_F(FtpTransferTest, MissingFileGivesTwoMessages) {
  testftp::Server server(dir / "srv");
  UseServer(server);
  EXPECT_FALSE(FtpDownload("ugy26\\1234", "domva.zip"));
  ASSERT_EQ(Waits(), 2u);
  EXPECT_TRUE(PictureShows(0, "Nincs /letolt/ugy26/1234/domva.zip!"));
  EXPECT_TRUE(PictureShows(1, "A másolás nem sikerült!"));
  EXPECT_NE(BottomRow(0).find("Letöltés ........"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "work/domva.zip"));
}

TEST_F(FtpTransferTest, NoConnectionIsOneMessage) {
  testftp::Server wrongPassword(dir / "srv", "normal", 0, "", "other");
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant);
    time->pictures.clear();
    if (variant == 0)
      UseNoServer();
    else
      UseServer(wrongPassword);
    EXPECT_FALSE(FtpDownload("", "unzip.exe"));
    ASSERT_EQ(Waits(), 1u);
    EXPECT_TRUE(PictureShows(0, "Nincs kapcsolat!"));
    EXPECT_NE(BottomRow(0).find("127.0.0.1 ..."), std::string::npos);
  }
}

TEST_F(FtpTransferTest, BrokenTransferIsReportedAsFailure) {
  testftp::WriteFile(dir / "srv/letolt/unzip.exe", std::string(1 << 20, 'u'));
  SetFtpTimeouts({2, 2});
  for (const char* mode : {"stall", "close"}) {
    SCOPED_TRACE(mode);
    time->pictures.clear();
    testftp::Server server(dir / "srv", mode, 50000);
    UseServer(server);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FtpDownload("", "unzip.exe"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(Waits(), 1u);
    EXPECT_TRUE(PictureShows(0, "A másolás nem sikerült!"));
    EXPECT_FALSE(fs::exists(dir / "work/unzip.exe"));
  }
}

TEST_F(FtpTransferTest, FetchNoticeTakesFirstMarkerAndNotice) {
  for (const char* name : {"V2612.txt", "V2601.txt", "a.txt"})
    testftp::WriteFile(dir / "srv/letolt/ugy26/1234" / name, "x");
  testftp::WriteFile(dir / "srv/letolt/ugy26/1234/uzenet.txt", "Új verzió!");
  testftp::Server server(dir / "srv");
  UseServer(server);
  std::string marker = "old";
  FtpFetchNotice("ugy26\\1234", marker, "uzenet.loc");
  EXPECT_EQ(marker, "V2601.txt");  // the first the server lists
  EXPECT_EQ(testftp::ReadFile(dir / "work/uzenet.loc"), "Új verzió!");
  EXPECT_EQ(Waits(), 0u);

  // A folder without either: nothing found, nothing said.
  marker = "old";
  FtpFetchNotice("ugy26\\9999", marker, "uzenet2.loc");
  EXPECT_EQ(marker, "");
  EXPECT_FALSE(fs::exists(dir / "work/uzenet2.loc"));
  EXPECT_EQ(Waits(), 0u);
}

TEST_F(FtpTransferTest, FetchNoticeWithoutServerShowsTimedNotice) {
  UseNoServer();
  std::string marker = "old";
  FtpFetchNotice("ugy26\\1234", marker, "uzenet.loc");
  EXPECT_EQ(marker, "");
  EXPECT_TRUE(SeenWhileSleeping("Nincs internet-kapcsolat!"));
  EXPECT_EQ(Waits(), 0u);  // nothing waits for a key
}

TEST_F(FtpTransferTest, UploadSendsThePackageFromDriveD) {
  fs::create_directories(dir / "srv/letolt/welq21/ab12");
  testftp::WriteFile(dir / "d/pp/bemurol/mobt.zip", "package");
  ::setenv("DRIVES", ("D=" + (dir / "d").string()).c_str(), 1);
  platform::ResetDosNamespace();
  testftp::Server server(dir / "srv");
  UseServer(server);
  MarkOutput();
  EXPECT_TRUE(FtpUpload("ab12"));
  EXPECT_EQ(testftp::ReadFile(dir / "srv/letolt/welq21/ab12/mobt.zip"), "package");
  EXPECT_EQ(Waits(), 0u);
  EXPECT_TRUE(DrawnInOrder({"127.0.0.1 ...", "Feltöltés ab12........", "Kapcsolat bontása"}));

  // A folder the server does not have: the copy fails.
  EXPECT_FALSE(FtpUpload("nincs"));
  ASSERT_EQ(Waits(), 1u);
  EXPECT_TRUE(PictureShows(0, "A másolás nem sikerült!"));

  UseNoServer();
  time->pictures.clear();
  EXPECT_FALSE(FtpUpload("ab12"));
  ASSERT_EQ(Waits(), 1u);
  EXPECT_TRUE(PictureShows(0, "Nincs kapcsolat!"));
}

}  // namespace
}  // namespace updater::testing
