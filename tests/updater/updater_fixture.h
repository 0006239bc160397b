// The update run's tests: a headless terminal whose every wait for a key
// takes a picture of the screen and answers it, a scratch folder that is the
// current folder, and a served folder for a real FTP server.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/dos_path.h"
#include "platform/keyboard.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "text/strings.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"
#include "updater/ftp_test_server.h"
#include "updater/ftp_transfer.h"
#include "updater/suite_year.h"

namespace updater::testing {

namespace fs = std::filesystem;

// The screen as UTF-8 rows.
inline std::string RowText(int row) {
  std::string bytes;
  for (int c = 1; c <= 80; ++c) bytes += static_cast<char>(platform::CellChar(platform::CellAt(row, c)));
  return platform::NameToUtf8(bytes, platform::NameCode::Cp852);
}

// A headless terminal that keeps every new state of the bottom row, taken
// whenever the screen is sent to it (the status lines come and go there).
class RecordingTerminal : public platform::HeadlessTerminal {
 public:
  void Write(std::string_view bytes) override {
    HeadlessTerminal::Write(bytes);
    std::string row = RowText(25);
    if (bottomRows.empty() || bottomRows.back() != row) bottomRows.push_back(std::move(row));
  }
  std::vector<std::string> bottomRows;
};

// Every time the program waits for a key and none is pending, the screen is
// recorded and the next answer (Enter when none is queued) is typed.
class AnsweringTime : public ui::TimeSource {
 public:
  explicit AnsweringTime(platform::HeadlessTerminal* t) : term_(t) {}

  ui::Timer Now() override {
    ui::Timer t;
    const long long h = nowMs_ / 10;
    t.hour = static_cast<int16_t>(h / 360000 % 24);
    t.minute = static_cast<int16_t>(h / 6000 % 60);
    t.second = static_cast<int16_t>(h / 100 % 60);
    t.hundredth = static_cast<int16_t>(h % 100);
    return t;
  }
  void Sleep(int ms) override {
    nowMs_ += ms;
    // A timed notice counts down in sleeps: keep each new screen it shows.
    std::vector<std::string> screen = Screen();
    if (seen.empty() || seen.back() != screen) seen.push_back(std::move(screen));
  }
  bool WaitForInput(int ms) override {
    if (platform::KeyStrokeReady()) return true;
    nowMs_ += ms;
    pictures.push_back(Screen());
    const std::string answer = answers.empty() ? std::string("\r") : answers.front();
    if (!answers.empty()) answers.pop_front();
    term_->ScriptBytes(answer);
    return true;
  }

  static std::vector<std::string> Screen() {
    std::vector<std::string> screen;
    for (int r = 1; r <= 25; ++r) screen.push_back(RowText(r));
    return screen;
  }

  // The screen at each wait for a key, and the screens seen while sleeping.
  std::vector<std::vector<std::string>> pictures;
  std::vector<std::vector<std::string>> seen;
  std::deque<std::string> answers;

 private:
  platform::HeadlessTerminal* term_;
  long long nowMs_ = 10LL * 3600 * 1000;
};

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto t = std::make_unique<RecordingTerminal>();
    term = t.get();
    platform::SetTerminal(std::move(t));
    platform::ResetScreen();
    console::ResetScreenOutput();
    console::ResetKeyboardInput();
    ui::ResetToolkit();
    ui::ResetEvents();
    ui::ResetDialogs();
    term->Start();
    time = std::make_unique<AnsweringTime>(term);
    ui::SetTimeSource(time.get());
    ui::StartToolkit();
    ui::StartEvents();
    StartSuiteYear();
    ResetFtpTransfer();

    char pattern[] = "/tmp/updater_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = fs::path(pattern);
    fs::create_directories(dir / "srv/letolt");
    fs::create_directories(dir / "work");
    oldCwd_ = fs::current_path();
    fs::current_path(dir / "work");
    ::unsetenv("DRIVES");
    platform::ResetDosNamespace();
  }
  void TearDown() override {
    ui::SetTimeSource(nullptr);
    while (ui::TopWindow) ui::TopWindow->Done();
    fs::current_path(oldCwd_);
    ::unsetenv("VFRIS_SERVER");
    ::unsetenv("DRIVES");
    platform::ResetDosNamespace();
    ResetFtpTransfer();
    fs::remove_all(dir);
  }

  void UseServer(const testftp::Server& server) {
    ASSERT_TRUE(server.ok());
    ::setenv("VFRIS_SERVER", server.endpoint().c_str(), 1);
  }
  void UseNoServer() {
    ::setenv("VFRIS_SERVER", ("127.0.0.1:" + std::to_string(testftp::UnusedPort())).c_str(), 1);
  }

  // Whether the screen at the i-th wait for a key shows the text.
  bool PictureShows(size_t i, const std::string& utf8) const {
    if (i >= time->pictures.size()) return false;
    for (const auto& row : time->pictures[i])
      if (row.find(utf8) != std::string::npos) return true;
    return false;
  }
  bool SeenWhileSleeping(const std::string& utf8) const {
    for (const auto& screen : time->seen)
      for (const auto& row : screen)
        if (row.find(utf8) != std::string::npos) return true;
    return false;
  }
  std::string BottomRow(size_t i) const {
    return i < time->pictures.size() ? time->pictures[i][24] : std::string();
  }
  size_t Waits() const { return time->pictures.size(); }

  // Forget the bottom rows shown so far.
  void MarkOutput() { term->bottomRows.clear(); }
  // True when the bottom row showed the texts in this order (since the mark).
  bool DrawnInOrder(const std::vector<std::string>& texts) const {
    size_t at = 0;
    for (const auto& t : texts) {
      while (at < term->bottomRows.size() && term->bottomRows[at].find(t) == std::string::npos) ++at;
      if (at == term->bottomRows.size()) return false;
      ++at;
    }
    return true;
  }

  RecordingTerminal* term = nullptr;
  std::unique_ptr<AnsweringTime> time;
  fs::path dir;

 private:
  fs::path oldCwd_;
};

}  // namespace updater::testing
