// The FTP service on libcurl.
//
// One easy handle is one session: libcurl keeps the control connection of
// the handle open between transfers to the same server, so a Connect
// followed by a look-up and a download logs in once. Connect itself is a
// transfer without a body of the server's start folder: libcurl connects,
// logs in and stops there, which tells a dead server and a refused login
// apart from the later steps.
//
// Why each option is set:
//  - CURLOPT_PROXY "" and CURLOPT_NOPROXY "*": libcurl reads ftp_proxy and
//    all_proxy from the environment unless told otherwise, and an HTTP proxy
//    would turn the passive binary transfer into something else.
//  - CURLOPT_CONNECTTIMEOUT covers the TCP connect and the whole login
//    (libcurl counts the protocol's own handshake as part of connecting).
//  - A progress callback ends a transfer in which no byte has moved for the
//    stall time-out; CURLOPT_SERVER_RESPONSE_TIMEOUT does the same for a
//    server that stops answering commands. Neither limits a large transfer
//    that keeps moving. (libcurl's own low-speed check averages the speed
//    over several seconds, so after a burst it notices a stall only some
//    seconds late; the callback counts from the last byte.)
//  - CURLOPT_NOSIGNAL: time-outs must not rely on SIGALRM, which the
//    program's other layers do not expect.
//  - CURLOPT_FTP_FILEMETHOD SINGLECWD: one CWD to the whole folder, then the
//    command on the bare name, which is what servers handle most uniformly.
//  - Downloads check SIZE against the bytes received: a server may close the
//    data connection early and still report "226 Transfer complete".
#include "platform/ftp.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/dos_file.h"
#include "platform/dos_path.h"

namespace platform {

namespace {

constexpr size_t kMaxListing = 16u << 20;  // a folder listing larger than this is refused
constexpr long kBufferSize = 512 * 1024;

bool ParsePort(std::string_view text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

std::string EscapeSegment(CURL* curl, const std::string& utf8) {
  if (utf8.empty()) return std::string();
  char* escaped = curl_easy_escape(curl, utf8.data(), static_cast<int>(utf8.size()));
  if (!escaped) return std::string();
  std::string out(escaped);
  curl_free(escaped);
  return out;
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// The entries of an NLST answer: one per line; some servers put the folder
// in front of each name, which is dropped.
std::string NextListedName(std::string_view& listing) {
  const size_t end = listing.find('\n');
  std::string_view line = listing.substr(0, end);
  listing = end == std::string_view::npos ? std::string_view() : listing.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t slash = line.find_last_of('/');
  if (slash != std::string_view::npos) line.remove_prefix(slash + 1);
  return std::string(line);
}

size_t AppendToString(char* data, size_t size, size_t count, void* user) {
  auto* text = static_cast<std::string*>(user);
  const size_t n = size * count;
  if (text->size() + n > kMaxListing) return 0;
  text->append(data, n);
  return n;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

struct FileSink {
  int fd = -1;
  int64_t written = 0;
  int error = 0;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<FileSink*>(user);
  const size_t n = size * count;
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(sink->fd, data + done, n - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      sink->error = errno;
      return 0;  // libcurl ends the transfer with a write error
    }
    done += static_cast<size_t>(w);
  }
  sink->written += static_cast<int64_t>(n);
  return n;
}

struct FileSource {
  DosFile* file = nullptr;
  bool failed = false;
};

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* user) {
  auto* source = static_cast<FileSource*>(user);
  size_t done = 0;
  if (source->file->Read(buffer, size * count, &done) != io::kOk) {
    source->failed = true;
    return CURL_READFUNC_ABORT;
  }
  return done;
}

struct StallWatch {
  std::chrono::steady_clock::time_point lastMove;
  curl_off_t moved = -1;
  long stallSeconds = 0;
  bool stalled = false;
};

int CheckStall(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* watch = static_cast<StallWatch*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (downloaded + uploaded != watch->moved) {
    watch->moved = downloaded + uploaded;
    watch->lastMove = now;
    return 0;
  }
  if (now - watch->lastMove >= std::chrono::seconds(watch->stallSeconds)) {
    watch->stalled = true;
    return 1;  // libcurl ends the transfer
  }
  return 0;
}

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

bool ParseFtpEndpoint(std::string_view text, FtpEndpoint& out) {
  FtpEndpoint result;
  std::string_view rest;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    result.host = std::string(text.substr(1, close - 1));
    rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
  } else {
    const size_t colon = text.find(':');
    // More than one colon without brackets: a bare IPv6 address.
    if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
      result.host = std::string(text);
    } else {
      result.host = std::string(text.substr(0, colon));
      if (colon != std::string_view::npos) rest = text.substr(colon);
    }
  }
  if (result.host.empty()) return false;
  for (char c : result.host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '[' || c == ']')
      return false;
  if (!rest.empty() && !ParsePort(rest.substr(1), result.port)) return false;
  out = result;
  return true;
}

FtpEndpoint FtpServerFromEnvironment(std::string_view defaultHost) {
  FtpEndpoint server;
  server.host = std::string(defaultHost);
  if (const char* value = std::getenv("VFRIS_SERVER"); value && *value) {
    FtpEndpoint fromEnv;
    if (ParseFtpEndpoint(value, fromEnv)) server = fromEnv;
  }
  return server;
}

struct FtpSession::Impl {
  CURL* curl = nullptr;
  StallWatch watch;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

FtpSession::FtpSession(FtpTimeouts timeouts) : timeouts_(timeouts) {}

FtpSession::~FtpSession() { Close(); }

bool FtpSession::Open() {
  Close();
  InitLibraryOnce();
  impl_ = std::make_unique<Impl>();
  CURL* curl = curl_easy_init();
  if (!curl) {
    impl_.reset();
    Fail("no FTP client could be made");
    return false;
  }
  impl_->curl = curl;
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, impl_->errorBuffer);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
#else
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_FTP));
#endif
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeouts_.connectSeconds);
  impl_->watch.stallSeconds = timeouts_.stallSeconds;
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckStall);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &impl_->watch);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeouts_.stallSeconds);
  curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
  curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 1L);
  curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kBufferSize);
  curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
  lastError_.clear();
  return true;
}

void FtpSession::Close() {
  if (impl_ && impl_->curl) curl_easy_cleanup(impl_->curl);  // sends QUIT when still connected
  impl_.reset();
  connected_ = false;
  base_.clear();
}

void FtpSession::Fail(std::string text) { lastError_ = std::move(text); }

bool FtpSession::Perform(const std::string& url) {
  CURL* curl = impl_->curl;
  impl_->errorBuffer[0] = 0;
  impl_->watch.moved = -1;
  impl_->watch.lastMove = std::chrono::steady_clock::now();
  impl_->watch.stalled = false;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  const CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) {
    lastError_.clear();
    return true;
  }
  if (impl_->watch.stalled)
    Fail("no data moved for " + std::to_string(timeouts_.stallSeconds) + " seconds");
  else
    Fail(impl_->errorBuffer[0] ? impl_->errorBuffer : curl_easy_strerror(rc));
  return false;
}

std::string FtpSession::Url(std::string_view remotePath) const {
  const std::string utf8 = NameToUtf8(remotePath, NameCode::Cp852);
  std::string url = base_;
  size_t pos = 0;
  if (!utf8.empty() && utf8.front() == '/') {
    url += "%2F";  // from the server's root, not the login folder
    pos = 1;
  }
  bool first = true;
  while (pos <= utf8.size()) {
    const size_t slash = utf8.find('/', pos);
    const size_t end = slash == std::string::npos ? utf8.size() : slash;
    if (!first) url += '/';
    url += EscapeSegment(impl_->curl, utf8.substr(pos, end - pos));
    first = false;
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return url;
}

bool FtpSession::Connect(const FtpEndpoint& server, std::string_view user,
                         std::string_view password) {
  connected_ = false;
  if (!impl_ || !impl_->curl) {
    Fail("the session is not open");
    return false;
  }
  CURL* curl = impl_->curl;
  const bool ipv6 = server.host.find(':') != std::string::npos;
  base_ = "ftp://" + (ipv6 ? "[" + server.host + "]" : server.host) + ":" +
          std::to_string(server.port) + "/";
  const std::string userText(user), passwordText(password);
  curl_easy_setopt(curl, CURLOPT_USERNAME, userText.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, passwordText.c_str());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  const bool ok = Perform(base_);
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  connected_ = ok;
  return ok;
}

bool FtpSession::Find(std::string_view remotePath, std::string& name) {
  if (!connected_) {
    Fail("not connected");
    return false;
  }
  CURL* curl = impl_->curl;
  const size_t slash = remotePath.find_last_of('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : remotePath.substr(0, slash + 1);
  const std::string_view wanted =
      slash == std::string_view::npos ? remotePath : remotePath.substr(slash + 1);
  if (wanted.empty()) {
    Fail("no name to look up");
    return false;
  }
  std::string listing;
  curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToString);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &listing);
  std::string url = Url(folder);
  if (url.back() != '/') url += '/';
  const bool ok = Perform(url);
  curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  if (!ok) return false;

  const std::string wantedUtf8 = NameToUtf8(wanted, NameCode::Cp852);
  const bool pattern = HasWildcard(wantedUtf8);
  std::string_view rest = listing;
  while (!rest.empty()) {
    const std::string entry = NextListedName(rest);
    if (entry.empty() || entry == "." || entry == "..") continue;
    if (pattern ? MatchesDosPattern(entry, wantedUtf8) : entry == wantedUtf8) {
      name = Utf8ToName(entry, NameCode::Cp852);
      return true;
    }
  }
  Fail("no match for " + wantedUtf8);
  return false;
}

bool FtpSession::Get(std::string_view remotePath, DosName localName) {
  if (!connected_) {
    Fail("not connected");
    return false;
  }
  HostPath target;
  if (ResolvePath(localName, target) != io::kOk || !target.folderExists || target.isRoot()) {
    Fail("the local file cannot be written");
    return false;
  }
  CURL* curl = impl_->curl;
  const std::string url = Url(remotePath);

  // The size the server gives (SIZE), to check the transfer against.
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  const bool sized = Perform(url);
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  if (!sized) return false;
  curl_off_t expected = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);

  const size_t cut = target.path.find_last_of('/');
  std::string temp = target.path.substr(0, cut + 1) + "." + target.path.substr(cut + 1) + ".XXXXXX";
  FileSink sink;
  sink.fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (sink.fd < 0) {
    Fail(std::string("the local file cannot be created: ") + std::strerror(errno));
    return false;
  }
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  bool ok = Perform(url);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  if (sink.error) {
    Fail(std::string("writing the local file failed: ") + std::strerror(sink.error));
    ok = false;
  } else if (ok && expected >= 0 && sink.written != expected) {
    Fail("the transfer ended after " + std::to_string(sink.written) + " of " +
         std::to_string(expected) + " bytes");
    ok = false;
  }
  // A new file gets the permissions any file created here would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (ok && ::fchmod(sink.fd, 0666 & ~mask) != 0) ok = false;
  if (::close(sink.fd) != 0 && ok) {
    Fail(std::string("closing the local file failed: ") + std::strerror(errno));
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), target.path.c_str()) != 0) {
    Fail(std::string("the local file cannot be replaced: ") + std::strerror(errno));
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool FtpSession::Put(DosName localName, std::string_view remotePath) {
  if (!connected_) {
    Fail("not connected");
    return false;
  }
  DosFile file;
  if (OpenFile(localName, Access::Read, Share::DenyNone, Disposition::OpenExisting, file) !=
      io::kOk) {
    Fail("the local file cannot be opened");
    return false;
  }
  int64_t size = 0;
  if (file.Size(size) != io::kOk) {
    Fail("the local file cannot be read");
    return false;
  }
  CURL* curl = impl_->curl;
  FileSource source{&file};
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadFromFile);
  curl_easy_setopt(curl, CURLOPT_READDATA, &source);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  bool ok = Perform(Url(remotePath));
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
  curl_off_t sent = 0;
  curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
  if (source.failed) {
    Fail("reading the local file failed");
    ok = false;
  } else if (ok && sent != size) {
    Fail("the upload ended after " + std::to_string(sent) + " of " + std::to_string(size) +
         " bytes");
    ok = false;
  }
  return ok;
}

}  // namespace platform
