// A temporary world for the engine tests: a host folder mapped as drive T:
// with the current folder T:\DATA, a started headless terminal, and the
// engine freshly started. Helpers read and write host files byte by byte and
// run a second "station" in a child process.
#pragma once

#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console/screen.h"
#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine/locking.h"
#include "engine/open_files.h"
#include "engine/status.h"
#include "platform/dos_path.h"
#include "platform/keyboard.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "settings/registry_settings.h"
#include "settings/settings_files.h"
#include "ui/events.h"

namespace engine::testing {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
inline int32_t Get32(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

// A header image of RecLen bytes (zeros after byte 18).
inline Bytes HeaderSlot(int recLen, int32_t firstFree, int32_t freeCount, int32_t root,
                        int32_t slots, uint8_t tf = 0, int16_t users = 0) {
  Bytes b(static_cast<size_t>(recLen), 0);
  Put32(b, 0, firstFree);
  Put32(b, 4, freeCount);
  Put32(b, 8, root);
  Put32(b, 12, slots);
  b[16] = tf;
  b[17] = static_cast<uint8_t>(users);
  b[18] = static_cast<uint8_t>(static_cast<uint16_t>(users) >> 8);
  return b;
}

// The header image of an index whose tree has changed `changes` times
// (bytes 19..22).
inline Bytes IndexHeaderSlot(int recLen, int32_t firstFree, int32_t freeCount, int32_t root,
                             int32_t slots, int32_t changes) {
  Bytes b = HeaderSlot(recLen, firstFree, freeCount, root, slots);
  Put32(b, 19, changes);
  return b;
}

// A live record: byte 4 is the marker, the rest a pattern of the tag.
inline Bytes Record(int recLen, uint8_t tag) {
  Bytes b(static_cast<size_t>(recLen));
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(tag + i);
  b[4] = tag == 0 ? 1 : tag;
  return b;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[PATH_MAX];
    savedCwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    if (const char* d = getenv("DRIVES")) savedDrives_ = d, hadDrives_ = true;
    unsetenv("DRIVES");
    char tmpl[] = "/tmp/vantor-engine-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::filesystem::create_directories(root_ + "/DATA");
    std::filesystem::create_directories(root_ + "/PRG");
    ASSERT_TRUE(platform::SetDriveTable({{'T', root_, ""}}));
    ASSERT_EQ(platform::ChangeFolder("T:\\DATA"), 0);
    settings::ResetSettingsFiles();
    settings::StartRegistrySettings();
    settings::SetProgramFolder("T:\\PRG");
    settings::SetDataSearchPath("T:\\PRG");
    auto t = std::make_unique<platform::HeadlessTerminal>();
    term_ = t.get();
    platform::SetTerminal(std::move(t));
    term_->Start();
    platform::ScreenStart();
    platform::ResetKeyboard();
    console::ResetScreenOutput();
    ResetEngine();
  }
  void TearDown() override {
    ClearOpenFileTable();
    ResetEngine();
    WaitPollHook = nullptr;
    ui::BeforeWaitHook = nullptr;
    EXPECT_EQ(chdir(savedCwd_.c_str()), 0);
    if (hadDrives_) setenv("DRIVES", savedDrives_.c_str(), 1);
    platform::ResetDosNamespace();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::string Host(const std::string& rel) const { return root_ + "/DATA/" + rel; }
  Bytes ReadHost(const std::string& rel) const {
    std::ifstream in(Host(rel), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteHost(const std::string& rel, const Bytes& b) const {
    std::ofstream out(Host(rel), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  // Slot n of a host file.
  Bytes Slot(const std::string& rel, int recLen, int n) const {
    Bytes all = ReadHost(rel);
    const size_t at = static_cast<size_t>(n) * recLen;
    if (at + recLen > all.size()) return {};
    return Bytes(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + recLen));
  }
  // The screen row as text (code page 852 bytes).
  static std::string ScreenRow(int row) {
    std::string s;
    for (int c = 1; c <= 80; ++c) s += static_cast<char>(platform::CellChar(platform::CellAt(row, c)));
    return s;
  }
  static bool ScreenHolds(std::string_view text) {
    for (int r = 1; r <= 25; ++r) {
      if (ScreenRow(r).find(text) != std::string::npos) return true;
    }
    return false;
  }
  void PressKeys(std::string_view bytes) { term_->ScriptBytes(bytes); }

  // Every box that waits for a key from now on: the screen it shows is kept
  // in Shown (one text of 25 rows per box) and Enter answers it.
  static inline std::vector<std::string> Shown;
  static inline platform::HeadlessTerminal* answering = nullptr;
  void AnswerBoxes() {
    Shown.clear();
    answering = term_;
    ui::BeforeWaitHook = [] {
      std::string screen;
      for (int r = 1; r <= 25; ++r) screen += ScreenRow(r) + "\n";
      Shown.push_back(screen);
      answering->ScriptBytes("\r");
    };
  }
  static bool ShownOnce(std::string_view text) {
    int n = 0;
    for (const std::string& s : Shown) n += s.find(text) != std::string::npos;
    return n == 1;
  }

  platform::HeadlessTerminal* term_ = nullptr;
  std::string root_;
  std::string savedCwd_;
  std::string savedDrives_;
  bool hadDrives_ = false;
};

// Pipes between a test and its child station: one byte at a time.
struct Channel {
  int toChild[2] = {-1, -1};
  int toParent[2] = {-1, -1};
  Channel() {
    if (pipe(toChild) != 0 || pipe(toParent) != 0) abort();
  }
  ~Channel() {
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
      if (fd >= 0) close(fd);
  }
  void TellChild(char c) { (void)!write(toChild[1], &c, 1); }
  void TellParent(char c) { (void)!write(toParent[1], &c, 1); }
  char FromParent() {
    char c = 0;
    return read(toChild[0], &c, 1) == 1 ? c : 0;
  }
  char FromChild() {
    char c = 0;
    return read(toParent[0], &c, 1) == 1 ? c : 0;
  }
};

// Runs body in a child process (another station) and returns its pid. The
// child ends with _exit(0) after body, or _exit(body's failure count).
inline pid_t Station(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    int rc = 1;
    rc = body();
    _exit(rc);
  }
  return pid;
}

inline int WaitStation(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace engine::testing
