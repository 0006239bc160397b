#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/dos_fs.h"
#include "platform/terminal.h"
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

void WriteHost(const std::string& path, const std::string& bytes, fs::perms perms) {
  {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  fs::permissions(path, perms);
}

constexpr fs::perms kReadWrite = fs::perms::owner_read | fs::perms::owner_write |
                                 fs::perms::group_read | fs::perms::others_read;

bool Executable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR);
}

TEST(SplitCommandLineTest, WindowsRules) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    V args;
  };
  const Case cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"  prog\t a  ", {"prog", "a"}},
      {"", {}},
      {"   ", {}},
      {R"("C:\Program Files\x.exe" -qo arch.zip)", {R"(C:\Program Files\x.exe)", "-qo", "arch.zip"}},
      {R"("C:\dir\" arg)", {R"(C:\dir\)", "arg"}},  // the program keeps its backslashes
      {R"(p "a b" c)", {"p", "a b", "c"}},
      {R"(p a\\b c\)", {"p", R"(a\\b)", R"(c\)"}},  // backslashes before no quote
      {R"(p a\"b)", {"p", R"(a"b)"}},               // 2n+1 backslashes: literal quote
      {R"(p a\\\"b)", {"p", R"(a\"b)"}},
      {R"(p a\\"b c")", {"p", R"(a\b c)"}},         // 2n backslashes: n and a toggle
      {R"(p a\\\\"b c")", {"p", R"(a\\b c)"}},
      {R"(p "")", {"p", ""}},
      {R"(p "" x)", {"p", "", "x"}},
      {R"(p "a""b")", {"p", R"(a"b)"}},             // "" inside quotes: one quote
      {R"(p "abc)", {"p", "abc"}},                  // an unclosed quote ends the line
      {R"(p a"b c"d e)", {"p", "ab cd", "e"}},
      {R"(p"q r" s)", {"pq r", "s"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.args);
  }
}

TEST(SplitCommandLineTest, QuoteArgumentRoundTrips) {
  for (const char* arg : {"plain", "", "a b", R"(a"b)", R"(a\b)", R"(a\)", R"(a b\)", R"(a\"b)",
                          R"(\\x\\)", "\t", R"(" \" ")"}) {
    SCOPED_TRACE(arg);
    const auto args = SplitCommandLine("p " + QuoteArgument(arg) + " z");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[1], arg);
    EXPECT_EQ(args[2], "z");
  }
}

// Counts how the terminal is handed over.
class RecordingTerminal : public HeadlessTerminal {
 public:
  bool Start() override {
    ++starts;
    return HeadlessTerminal::Start();
  }
  void Stop() override {
    ++stops;
    HeadlessTerminal::Stop();
  }
  int starts = 0, stops = 0;
};

// A temporary folder mapped as T: and made current.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[PATH_MAX];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    savedCwd_ = buf;
    char tmpl[] = "/tmp/process_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::create_directories(root_ + "/Sub");
    ASSERT_TRUE(SetDriveTable({{'T', root_}}));
    ASSERT_EQ(ChangeFolder("T:\\"), io::kOk);
    auto t = std::make_unique<RecordingTerminal>();
    terminal_ = t.get();
    oldTerminal_ = SetTerminal(std::move(t));
  }
  void TearDown() override {
    SetTerminal(std::move(oldTerminal_));
    ASSERT_EQ(chdir(savedCwd_.c_str()), 0);
    ResetDosNamespace();
    fs::remove_all(root_);
  }
  std::string H(const std::string& rel) { return root_ + rel; }

  std::string root_, savedCwd_;
  RecordingTerminal* terminal_ = nullptr;
  std::unique_ptr<Terminal> oldTerminal_;
};

TEST_F(ProcessTest, ScriptWithoutRunPermissionGetsItAndRuns) {
  WriteHost(H("/Prog.exe"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > args.txt\nexit 7\n", kReadWrite);
  uint16_t exitCode = 0;
  ASSERT_EQ(RunAndWait("prog.EXE \"a b\" \xA0rv\xA1z \"\"", exitCode), io::kOk);
  EXPECT_EQ(exitCode, 7);
  EXPECT_TRUE(Executable(H("/Prog.exe")));
  // Arguments arrive split and in UTF-8.
  EXPECT_EQ(ReadHost(H("/args.txt")), "a b\nárvíz\n\n");
}

TEST_F(ProcessTest, ElfProgramAndExitCodes) {
  fs::copy_file("/bin/true", H("/t.exe"));
  fs::permissions(H("/t.exe"), kReadWrite);
  uint16_t exitCode = 99;
  ASSERT_EQ(RunAndWait("T:\\T.EXE", exitCode), io::kOk);
  EXPECT_EQ(exitCode, 0);

  struct Case {
    const char* script;
    uint16_t exitCode;
  };
  const Case cases[] = {
      {"exit 255", 255},
      {"exit 1", 1},
      {"kill -TERM $$", 128 + 15},  // ended by a signal
      {"kill -KILL $$", 128 + 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    WriteHost(H("/c.com"), std::string("#!/bin/sh\n") + c.script + "\n", kReadWrite);
    ASSERT_EQ(RunAndWait("c.com", exitCode), io::kOk);
    EXPECT_EQ(exitCode, c.exitCode);
  }
}

TEST_F(ProcessTest, BatchFilesRunThroughTheShell) {
  // No "#!" line and no run permission: /bin/sh reads it.
  WriteHost(H("/Sub/Job.BAT"), "echo \"$1\" > ran.txt\nexit 3\n", kReadWrite);
  ASSERT_EQ(ChangeFolder("T:\\SUB"), io::kOk);
  uint16_t exitCode = 0;
  ASSERT_EQ(RunAndWait("job.bat first second", exitCode), io::kOk);
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(ReadHost(H("/Sub/ran.txt")), "first\n");
  EXPECT_FALSE(Executable(H("/Sub/Job.BAT")));
  WriteHost(H("/x.cmd"), "exit 4\n", kReadWrite);
  ASSERT_EQ(RunAndWait("T:\\X.CMD", exitCode), io::kOk);
  EXPECT_EQ(exitCode, 4);
}

TEST_F(ProcessTest, ChildGetsFolderEnvironmentAndNoOpenFiles) {
  ASSERT_EQ(ChangeFolder("T:\\Sub"), io::kOk);
  setenv("VANTOR_PROBE", "probe-value", 1);
  DosFile open;
  ASSERT_EQ(CreateFile("T:\\held.dat", open), io::kOk);
  WriteHost(H("/Sub/env.exe"),
            "#!/bin/sh\npwd > where.txt\necho \"$VANTOR_PROBE\" > env.txt\n"
            "ls -l /proc/$$/fd > fds.txt\n",
            kReadWrite);
  uint16_t exitCode = 1;
  ASSERT_EQ(RunAndWait("env.exe", exitCode), io::kOk);
  unsetenv("VANTOR_PROBE");
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(ReadHost(H("/Sub/where.txt")), root_ + "/Sub\n");
  EXPECT_EQ(ReadHost(H("/Sub/env.txt")), "probe-value\n");
  const std::string fds = ReadHost(H("/Sub/fds.txt"));
  EXPECT_FALSE(fds.empty());
  EXPECT_EQ(fds.find("held.dat"), std::string::npos) << fds;
}

TEST_F(ProcessTest, TerminalIsHandedOverAndTakenBack) {
  WriteHost(H("/a.exe"), "#!/bin/sh\nexit 0\n", kReadWrite);
  uint16_t exitCode = 0;
  // Not started: left alone.
  ASSERT_EQ(RunAndWait("a.exe", exitCode), io::kOk);
  EXPECT_EQ(terminal_->stops, 0);
  EXPECT_EQ(terminal_->starts, 0);
  terminal_->Start();
  ASSERT_EQ(RunAndWait("a.exe", exitCode), io::kOk);
  EXPECT_EQ(terminal_->stops, 1);
  EXPECT_EQ(terminal_->starts, 2);
  EXPECT_TRUE(terminal_->Started());
  // Also when the program cannot start.
  ASSERT_EQ(RunAndWait("nincs.exe", exitCode), io::kFileNotFound);
  EXPECT_TRUE(terminal_->Started());
}

TEST_F(ProcessTest, FailuresToStart) {
  WriteHost(H("/win.exe"), std::string("MZ\x90\0", 4), kReadWrite);
  WriteHost(H("/data.txt"), "text\n", kReadWrite);
  WriteHost(H("/noshebang.exe"), std::string("\x01\x02garbage", 9), kReadWrite);
  struct Case {
    const char* line;
    IoCode rc;
  };
  const Case cases[] = {
      {"nincs.exe", io::kFileNotFound},
      {"T:\\nincs\\x.exe", io::kPathNotFound},
      {"win.exe", io::kBadProgramFormat},     // a Windows program
      {"noshebang.exe", io::kBadProgramFormat},
      {"data.txt", io::kAccessDenied},        // only .exe and .com get the permission
      {"Sub", io::kAccessDenied},
      {"a*b.exe", io::kInvalidName},
      {"", io::kFileNotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    uint16_t exitCode = 77;
    EXPECT_EQ(RunAndWait(c.line, exitCode), c.rc);
    EXPECT_EQ(exitCode, 0);
  }
}

TEST_F(ProcessTest, HostProgramsOnPath) {
  // "sh.exe" is not in the current folder: the host's sh runs.
  uint16_t exitCode = 0;
  ASSERT_EQ(RunAndWait("sh.exe -c \"exit 5\"", exitCode), io::kOk);
  EXPECT_EQ(exitCode, 5);
  ASSERT_EQ(RunAndWait(std::vector<std::string>{"sh", "-c", "exit 6"}, exitCode), io::kOk);
  EXPECT_EQ(exitCode, 6);
}

TEST_F(ProcessTest, ShellOpen) {
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  fs::create_directories(H("/bin"));
  WriteHost(H("/doc.pdf"), "%PDF", kReadWrite);
  setenv("PATH", (root_ + "/bin").c_str(), 1);
  // No xdg-open at all.
  EXPECT_EQ(ShellOpen("doc.pdf"), kNoAssociation);
  // A stand-in xdg-open that notes what it was asked to open.
  WriteHost(H("/bin/xdg-open"), "#!/bin/sh\necho \"$1\" > " + root_ + "/opened.txt\nexit 0\n",
            fs::perms::owner_all);
  EXPECT_EQ(ShellOpen("T:\\DOC.PDF", "ignored"), io::kOk);
  EXPECT_EQ(ReadHost(H("/opened.txt")), root_ + "/doc.pdf\n");
  EXPECT_EQ(ShellOpen("https://example.invalid/a b"), io::kOk);
  EXPECT_EQ(ReadHost(H("/opened.txt")), "https://example.invalid/a b\n");
  EXPECT_EQ(ShellOpen("nincs.pdf"), io::kFileNotFound);
  WriteHost(H("/bin/xdg-open"), "#!/bin/sh\nexit 3\n", fs::perms::owner_all);
  EXPECT_EQ(ShellOpen("doc.pdf"), kNoAssociation);
  setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
}  // namespace platform
