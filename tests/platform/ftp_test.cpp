#include "platform/ftp.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/dos_path.h"
#include "text/literal.h"
#include "updater/ftp_test_server.h"

namespace platform {
namespace {

using namespace text::literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string BinaryBytes(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  bytes.replace(0, 6, "a\r\nb\n\r");  // line ends must come through untouched
  return bytes;
}

TEST(FtpEndpointTest, ParsesHostAndPort) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
  } cases[] = {
      {"ftp.example.hu", true, "ftp.example.hu", 21},
      {"127.0.0.1:2121", true, "127.0.0.1", 2121},
      {"[::1]:2121", true, "::1", 2121},
      {"[::1]", true, "::1", 21},
      {"::1", true, "::1", 21},
      {"host:65535", true, "host", 65535},
      {"", false, "", 0},
      {":21", false, "", 0},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:21x", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]x", false, "", 0},
      {"user@host", false, "", 0},
      {"a host", false, "", 0},
  };
  for (const auto& c : cases) {
    FtpEndpoint e;
    EXPECT_EQ(ParseFtpEndpoint(c.text, e), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(e.host, c.host) << c.text;
      EXPECT_EQ(e.port, c.port) << c.text;
    }
  }
}

TEST(FtpEndpointTest, EnvironmentPointsElsewhere) {
  ::unsetenv("VFRIS_SERVER");
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").host, "ftp.vantor.hu");
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").port, 21);
  ::setenv("VFRIS_SERVER", "127.0.0.1:2121", 1);
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").host, "127.0.0.1");
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").port, 2121);
  ::setenv("VFRIS_SERVER", "bad:port", 1);  // a bad value is not half-used
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").host, "ftp.vantor.hu");
  EXPECT_EQ(FtpServerFromEnvironment("ftp.vantor.hu").port, 21);
  ::unsetenv("VFRIS_SERVER");
}

class FtpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ftp_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "srv/letolt/sub");
    fs::create_directories(dir_ / "local");
    oldCwd_ = fs::current_path();
    fs::current_path(dir_ / "local");
    ResetDosNamespace();
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    ResetDosNamespace();
    fs::remove_all(dir_);
  }
  std::string Root() const { return (dir_ / "srv").string(); }
  FtpEndpoint Endpoint(const testftp::Server& s) const { return {"127.0.0.1", uint16_t(s.port())}; }

  // A session connected to the server, with short time-outs.
  bool Connect(FtpSession& session, const testftp::Server& server) {
    return session.Open() && session.Connect(Endpoint(server), "vantor", "kelvarin");
  }

  fs::path dir_;
  fs::path oldCwd_;
};

TEST_F(FtpSessionTest, ConnectNeedsServerAndLogin) {
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  FtpSession good;
  EXPECT_TRUE(Connect(good, server)) << good.LastError();

  FtpSession wrongPassword;
  ASSERT_TRUE(wrongPassword.Open());
  EXPECT_FALSE(wrongPassword.Connect(Endpoint(server), "vantor", "kelvarim"));

  FtpSession nobody({2, 2});
  ASSERT_TRUE(nobody.Open());
  const auto start = Clock::now();
  EXPECT_FALSE(nobody.Connect({"127.0.0.1", uint16_t(testftp::UnusedPort())}, "vantor", "x"));
  EXPECT_LT(SecondsSince(start), 2.0);
  EXPECT_FALSE(nobody.LastError().empty());
}

// A server that takes the connection but never greets: the login must give
// up within the connect time-out.
TEST_F(FtpSessionTest, SilentServerEndsWithinConnectTimeout) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);  // the kernel completes the handshake; nobody answers
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  FtpSession session({2, 30});
  ASSERT_TRUE(session.Open());
  const auto start = Clock::now();
  EXPECT_FALSE(session.Connect({"127.0.0.1", ntohs(addr.sin_port)}, "vantor", "kelvarin"));
  EXPECT_LT(SecondsSince(start), 4.0);
  ::close(fd);
}

TEST_F(FtpSessionTest, ProxyVariablesAreIgnored) {
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  for (const char* var : {"ftp_proxy", "FTP_PROXY", "all_proxy", "ALL_PROXY"})
    ::setenv(var, "http://127.0.0.1:1", 1);
  ::unsetenv("no_proxy");
  ::unsetenv("NO_PROXY");
  testftp::WriteFile(dir_ / "srv/letolt/a.txt", "abc");
  FtpSession session;
  const bool ok = Connect(session, server) && session.Get("/letolt/a.txt", "a.txt");
  for (const char* var : {"ftp_proxy", "FTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(var);
  EXPECT_TRUE(ok) << session.LastError();
}

TEST_F(FtpSessionTest, FindByNameAndByPattern) {
  for (const char* name : {"unzip.exe", "V2.txt", "V1.txt", "a.txt", "v0.txt", "uzenet.txt"})
    testftp::WriteFile(dir_ / "srv/letolt" / name, "x");
  testftp::WriteFile(dir_ / "srv/letolt/sub/domva.zip", "x");
  testftp::WriteFile(dir_ / "srv/letolt" / "árvíztűrő.txt", "x");
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  FtpSession session;
  ASSERT_TRUE(Connect(session, server)) << session.LastError();

  struct Case {
    std::string path;
    bool found;
    std::string name;
  } cases[] = {
      {"/letolt/unzip.exe", true, "unzip.exe"},
      {"/letolt/UNZIP.EXE", false, ""},  // a name is compared exactly, as the server keeps it
      {"/letolt/sub/domva.zip", true, "domva.zip"},
      {"/letolt/sub", true, "sub"},  // a folder is an entry too
      {"/letolt/nincs.zip", false, ""},
      {"/letolt/nincs/domva.zip", false, ""},
      // The first match in the server's order (it lists sorted by bytes).
      {"/letolt/V*.*", true, "V1.txt"},
      {"letolt/v*.*", true, "V1.txt"},  // from the login folder; pattern ignores case
      {"/letolt/V?.txt", true, "V1.txt"},
      {"/letolt/W*.*", false, ""},
      {"/letolt/" + "árvíztűrő.txt"_cp, true, "árvíztűrő.txt"_cp},
  };
  for (const auto& c : cases) {
    std::string name = "unchanged";
    EXPECT_EQ(session.Find(c.path, name), c.found) << c.path;
    EXPECT_EQ(name, c.found ? c.name : "unchanged") << c.path;
  }
}

TEST_F(FtpSessionTest, GetCopiesBytesAndOverwrites) {
  const std::string bytes = BinaryBytes(300000);
  testftp::WriteFile(dir_ / "srv/letolt/domva.zip", bytes);
  testftp::WriteFile(dir_ / "srv/letolt/üres.txt", "");
  testftp::WriteFile(dir_ / "local/DOMVA.ZIP", "old contents");
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  FtpSession session;
  ASSERT_TRUE(Connect(session, server));

  ASSERT_TRUE(session.Get("/letolt/domva.zip", "domva.zip")) << session.LastError();
  // The existing file (found ignoring case, as the DOS namespace does) is replaced.
  EXPECT_EQ(testftp::ReadFile(dir_ / "local/DOMVA.ZIP"), bytes);
  ASSERT_TRUE(session.Get("/letolt/üres.txt"_cp, "üres.txt"_cp)) << session.LastError();
  EXPECT_TRUE(fs::exists(dir_ / "local/üres.txt"));
  EXPECT_EQ(fs::file_size(dir_ / "local/üres.txt"), 0u);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "local"), fs::directory_iterator()), 2);
}

TEST_F(FtpSessionTest, GetOfMissingFileFailsAndKeepsLocalFile) {
  testftp::WriteFile(dir_ / "local/unzip.exe", "old");
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  FtpSession session;
  ASSERT_TRUE(Connect(session, server));
  EXPECT_FALSE(session.Get("/letolt/unzip.exe", "unzip.exe"));
  EXPECT_EQ(testftp::ReadFile(dir_ / "local/unzip.exe"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "local"), fs::directory_iterator()), 1);
}

// A server that goes wrong in the middle of a download: it stops sending, or
// closes the data connection early while reporting success.
TEST_F(FtpSessionTest, BrokenTransfersAreFailures) {
  const std::string bytes = BinaryBytes(1 << 20);
  testftp::WriteFile(dir_ / "srv/letolt/domva.zip", bytes);
  for (const char* mode : {"stall", "close"}) {
    SCOPED_TRACE(mode);
    testftp::Server server(Root(), mode, 100000);
    ASSERT_TRUE(server.ok());
    FtpSession session({2, 2});
    ASSERT_TRUE(Connect(session, server));
    const auto start = Clock::now();
    EXPECT_FALSE(session.Get("/letolt/domva.zip", "domva.zip"));
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_FALSE(session.LastError().empty());
    EXPECT_FALSE(fs::exists(dir_ / "local/domva.zip"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "local"), fs::directory_iterator()), 0);
  }
}

TEST_F(FtpSessionTest, PutStoresTheFile) {
  fs::create_directories(dir_ / "srv/letolt/welq21/ab12");
  const std::string bytes = BinaryBytes(200000);
  testftp::WriteFile(dir_ / "local/mobt.zip", bytes);
  testftp::Server server(Root());
  ASSERT_TRUE(server.ok());
  FtpSession session;
  ASSERT_TRUE(Connect(session, server));
  ASSERT_TRUE(session.Put("mobt.zip", "/letolt/welq21/ab12/mobt.zip")) << session.LastError();
  EXPECT_EQ(testftp::ReadFile(dir_ / "srv/letolt/welq21/ab12/mobt.zip"), bytes);
  // No local file, or no remote folder: nothing is stored.
  EXPECT_FALSE(session.Put("nincs.zip", "/letolt/welq21/ab12/nincs.zip"));
  EXPECT_FALSE(session.Put("mobt.zip", "/letolt/welq21/nincs/mobt.zip"));
  EXPECT_FALSE(fs::exists(dir_ / "srv/letolt/welq21/nincs"));
}

TEST_F(FtpSessionTest, NothingWorksBeforeConnect) {
  FtpSession session;
  std::string name;
  EXPECT_FALSE(session.Find("/letolt/x", name));
  EXPECT_FALSE(session.Get("/letolt/x", "x"));
  ASSERT_TRUE(session.Open());
  EXPECT_FALSE(session.Get("/letolt/x", "x"));
  EXPECT_FALSE(fs::exists(dir_ / "local/x"));
}

}  // namespace
}  // namespace platform
