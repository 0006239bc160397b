// The FTP service: single-file transfers between the current local folder
// and an FTP server, on libcurl.
//
// A session is one client and one control connection, used in the order
// Open, Connect, then any number of Find, Get and Put, then Close (or the
// destructor). Every transfer is passive and binary. Proxies are never used,
// also when the environment names one (http_proxy, ftp_proxy, all_proxy...):
// the update server is always reached directly.
//
// Nothing here waits without end. Connecting and logging in must finish
// within the connect time-out; afterwards a transfer, or the server's answer
// to a command, that moves no byte for the stall time-out ends the call with
// a failure, and the connection is dropped. A download is only a success
// when every byte the server announced arrived and reached the disk: a
// server that closes the data connection early and reports success is
// caught by comparing the size it gave (SIZE) with the bytes received.
//
// Remote paths are code page 852 bytes with "/" between folders and are sent
// to the server in UTF-8; a path beginning with "/" is taken from the
// server's root, any other from the folder the login starts in. Local names
// are DOS names (dos_path.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dos_name.h"

namespace platform {

// Where the server is.
struct FtpEndpoint {
  std::string host;  // a name, an IPv4 address or an IPv6 address (no brackets)
  uint16_t port = 21;
};

// Reads "host" or "host:port" ("[v6address]" or "[v6address]:port" for IPv6).
// False for an empty host, a port outside 1..65535 or a text that is neither.
bool ParseFtpEndpoint(std::string_view text, FtpEndpoint& out);

// The server a program talks to: the environment variable VFRIS_SERVER
// ("host" or "host:port") when it is set and valid, otherwise defaultHost on
// port 21.
FtpEndpoint FtpServerFromEnvironment(std::string_view defaultHost);

// How long a session waits.
struct FtpTimeouts {
  long connectSeconds = 10;  // reaching the server and logging in
  long stallSeconds = 15;    // no byte moving, on either connection
};

class FtpSession {
 public:
  explicit FtpSession(FtpTimeouts timeouts = {});
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  // Makes the client. False when no client can be made (nothing else works
  // then).
  bool Open();

  // Connects and logs in. False when the server cannot be reached, does not
  // answer in time or refuses the login.
  bool Connect(const FtpEndpoint& server, std::string_view user, std::string_view password);

  // Looks a remote path up: its last part is a file name, compared exactly,
  // or a DOS pattern ("V*.*": "*" and "?" as on DOS, letters without regard to
  // case). On a match, name is the first matching entry in the order the
  // server lists its folder, and the answer is true. False when nothing
  // matches or the folder cannot be listed.
  bool Find(std::string_view remotePath, std::string& name);

  // Downloads the remote file into the local file, which is created or
  // overwritten. The local file changes only on success: the data goes to a
  // temporary file beside it that replaces it when complete and is removed
  // otherwise. True when every byte arrived.
  bool Get(std::string_view remotePath, DosName localName);

  // Uploads the local file under the remote path (a file there is replaced).
  // True when the server stored every byte.
  bool Put(DosName localName, std::string_view remotePath);

  // Logs out and closes the connection (also done by the destructor).
  void Close();

  // What went wrong last, in English, for diagnostics (empty after success).
  const std::string& LastError() const { return lastError_; }

 private:
  struct Impl;
  bool Perform(const std::string& url);
  std::string Url(std::string_view remotePath) const;
  void Fail(std::string text);

  FtpTimeouts timeouts_;
  std::unique_ptr<Impl> impl_;
  std::string base_;  // "ftp://host:port/"
  bool connected_ = false;
  std::string lastError_;
};

}  // namespace platform
