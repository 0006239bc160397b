// Byte locks and share modes of open files: within one process between two
// open files of the same host file, and between processes.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/byte_lock.h"
#include "platform/dos_fs.h"

namespace platform {
namespace {

class ByteLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX];
    savedCwd_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    char tmpl[] = "/tmp/vantor-lock-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::ofstream(root_ + "/f.dat") << "0123456789";
    ASSERT_TRUE(SetDriveTable({{'L', root_, ""}}));
    ASSERT_EQ(ChangeFolder("L:\\"), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(savedCwd_.c_str()), 0);
    ResetDosNamespace();
    std::filesystem::remove_all(root_);
  }
  void Open(DosFile& f, Access a = Access::ReadWrite, Share s = Share::DenyNone) {
    ASSERT_EQ(OpenFile("L:\\F.DAT", a, s, Disposition::OpenExisting, f), io::kOk);
  }
  std::string root_;
  std::string savedCwd_;
};

TEST_F(ByteLockTest, LockBelongsToItsOpenFile) {
  DosFile a, b;
  Open(a);
  Open(b);
  ASSERT_EQ(a.LockByte(4), io::kOk);
  EXPECT_EQ(a.LockByte(4), io::kOk);  // the holder may take it again
  EXPECT_EQ(b.LockByte(4), io::kAccessDenied);
  char buf[10];
  // The holder reads and writes freely; the other open file only around it.
  EXPECT_EQ(a.ReadAt(0, buf, 10), io::kOk);
  EXPECT_EQ(a.WriteAt(4, "x", 1), io::kOk);
  EXPECT_EQ(b.ReadAt(0, buf, 10), io::kShortRead);
  EXPECT_EQ(b.ReadAt(0, buf, 4), io::kOk);
  EXPECT_EQ(b.ReadAt(5, buf, 5), io::kOk);
  EXPECT_EQ(b.WriteAt(3, "yy", 2), io::kAccessDenied);
  ASSERT_EQ(b.Seek(4), io::kOk);
  EXPECT_EQ(b.Read(buf, 1), io::kShortRead);
  EXPECT_EQ(b.Write("z", 1), io::kAccessDenied);

  // Closing a third open file of the same host file leaves a's lock alone
  // (process-owned POSIX locks would all be gone now).
  {
    DosFile c;
    Open(c);
    EXPECT_EQ(c.ReadAt(4, buf, 1), io::kShortRead);
    c.Close();
  }
  EXPECT_EQ(b.LockByte(4), io::kAccessDenied);
  ASSERT_EQ(a.UnlockByte(4), io::kOk);
  EXPECT_EQ(b.ReadAt(0, buf, 10), io::kOk);
  EXPECT_EQ(b.LockByte(4), io::kOk);
  // Closing the holder releases.
  b.Close();
  EXPECT_EQ(a.LockByte(4), io::kOk);
  EXPECT_EQ(std::string(buf, 10), "0123x56789");
}

TEST_F(ByteLockTest, LocksHoldBetweenProcesses) {
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    DosFile f;
    if (OpenFile("L:\\F.DAT", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting, f) ||
        f.LockByte(9)) {
      _exit(1);
    }
    (void)!write(ready[1], "r", 1);
    char c;
    (void)!read(done[0], &c, 1);
    _exit(0);  // the lock goes with the process
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  DosFile f;
  Open(f, Access::Read);
  char buf[10];
  EXPECT_EQ(f.ReadAt(0, buf, 10), io::kShortRead);
  EXPECT_EQ(f.ReadAt(0, buf, 9), io::kOk);
  EXPECT_EQ(f.LockByte(9), io::kAccessDenied);
  (void)!write(done[1], "d", 1);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(f.ReadAt(0, buf, 10), io::kOk);
  EXPECT_EQ(f.LockByte(9), io::kOk);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

// Two opens of one file in a row: whether the second is allowed.
TEST_F(ByteLockTest, ShareModesBetweenOpenFiles) {
  struct Case {
    Access firstAccess;
    Share firstShare;
    Access secondAccess;
    Share secondShare;
    IoCode rc;
  };
  const Case cases[] = {
      {Access::ReadWrite, Share::DenyNone, Access::ReadWrite, Share::DenyNone, io::kOk},
      {Access::ReadWrite, Share::DenyWrite, Access::Read, Share::DenyNone, io::kOk},
      {Access::ReadWrite, Share::DenyWrite, Access::ReadWrite, Share::DenyNone, io::kAccessDenied},
      {Access::ReadWrite, Share::DenyWrite, Access::Write, Share::DenyNone, io::kAccessDenied},
      {Access::ReadWrite, Share::DenyWrite, Access::ReadWrite, Share::DenyWrite, io::kAccessDenied},
      {Access::ReadWrite, Share::DenyNone, Access::ReadWrite, Share::DenyWrite, io::kAccessDenied},
      {Access::Read, Share::DenyNone, Access::ReadWrite, Share::DenyWrite, io::kOk},
      {Access::Read, Share::DenyWrite, Access::Read, Share::DenyWrite, io::kOk},
      {Access::ReadWrite, Share::DenyReadWrite, Access::Read, Share::DenyNone, io::kAccessDenied},
      {Access::Read, Share::DenyNone, Access::Read, Share::DenyReadWrite, io::kAccessDenied},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    DosFile a, b;
    ASSERT_EQ(OpenFile("L:\\F.DAT", c.firstAccess, c.firstShare, Disposition::OpenExisting, a),
              io::kOk);
    EXPECT_EQ(OpenFile("L:\\F.DAT", c.secondAccess, c.secondShare, Disposition::OpenExisting, b),
              c.rc);
    EXPECT_EQ(b.IsOpen(), c.rc == io::kOk);
    a.Close();
    // Once the first is closed, the second open is always allowed.
    EXPECT_EQ(OpenFile("L:\\F.DAT", c.secondAccess, c.secondShare, Disposition::OpenExisting, b),
              io::kOk);
  }
}

TEST_F(ByteLockTest, DeniedCreateDoesNotEmptyTheFile) {
  DosFile a, b;
  Open(a, Access::ReadWrite, Share::DenyWrite);
  EXPECT_EQ(CreateFile("L:\\F.DAT", b), io::kAccessDenied);
  EXPECT_EQ(std::filesystem::file_size(root_ + "/f.dat"), 10u);
}

TEST_F(ByteLockTest, ShareModeHoldsBetweenProcesses) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    DosFile f;
    if (OpenFile("L:\\F.DAT", Access::ReadWrite, Share::DenyWrite, Disposition::OpenExisting, f))
      _exit(1);
    (void)!write(ready[1], "r", 1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  DosFile f;
  EXPECT_EQ(OpenFile("L:\\F.DAT", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting, f),
            io::kAccessDenied);
  EXPECT_EQ(OpenFile("L:\\F.DAT", Access::Read, Share::DenyNone, Disposition::OpenExisting, f),
            io::kOk);
  f.Close();
  kill(pid, SIGKILL);  // a station that dies gives its share mode up
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(OpenFile("L:\\F.DAT", Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting, f),
            io::kOk);
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
}  // namespace platform
