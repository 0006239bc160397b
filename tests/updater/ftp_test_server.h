// A real FTP server for the tests: scripts/ftp_server.py (pyftpdlib) on a
// free loopback port, serving a folder of the test, stopped when the object
// goes away.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testftp {

inline std::string SourceRoot() {
  // This header lives in <root>/tests/updater/.
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Server {
 public:
  // mode: "normal", "stall" or "close" (see the script); after: the bytes
  // sent before the fault; only: the one file name the fault touches.
  explicit Server(const std::string& root, const std::string& mode = "normal", long after = 4096,
                  const std::string& only = "", const std::string& password = "kelvarin") {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string script = SourceRoot() + "/scripts/ftp_server.py";
    std::vector<std::string> args = {"/usr/bin/python3", script,     "--root",  root,
                                     "--mode",           mode,       "--after", std::to_string(after),
                                     "--password",       password};
    if (!only.empty()) {
      args.push_back("--only");
      args.push_back(only);
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    FILE* in = ::fdopen(fds[0], "r");
    if (in) {
      int p = 0;
      if (std::fscanf(in, "PORT %d", &p) == 1) port_ = p;
      std::fclose(in);
    }
  }
  ~Server() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int port() const { return port_; }
  bool ok() const { return port_ > 0; }
  std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A loopback port that nothing listens on (bound, then released).
inline int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

}  // namespace testftp
