// A temporary world for the settings tests: a host folder mapped as drive T:
// holding the folders DATA (current), PRG (the program's folder) and LIB, and
// both registry stores in the same temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/dos_path.h"
#include "settings/registry_settings.h"
#include "settings/settings_files.h"

namespace settings {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[PATH_MAX];
    savedCwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    Save("DRIVES", 0);
    Save("XDG_CONFIG_HOME", 1);
    Save("VANTOR_MACHINE_DIR", 2);
    unsetenv("DRIVES");
    char tmpl[] = "/tmp/vantor-settings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    for (const char* d : {"/DATA", "/PRG", "/LIB", "/config", "/machine"})
      std::filesystem::create_directories(root_ + d);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("VANTOR_MACHINE_DIR", (root_ + "/machine").c_str(), 1);
    ASSERT_TRUE(platform::SetDriveTable({{'T', root_, ""}}));
    ASSERT_EQ(platform::ChangeFolder("T:\\DATA"), 0);
    ResetSettingsFiles();
    StartRegistrySettings();
    SetProgramFile("T:\\PRG\\VFRIS.EXE");
    SetSettingsFileNames();
  }
  void TearDown() override {
    ResetSettingsFiles();
    StartRegistrySettings();
    EXPECT_EQ(chdir(savedCwd_.c_str()), 0);
    Restore("DRIVES", 0);
    Restore("XDG_CONFIG_HOME", 1);
    Restore("VANTOR_MACHINE_DIR", 2);
    platform::ResetDosNamespace();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Host path of a path below the temporary folder ("/PRG/prog.res").
  std::string Host(const std::string& rel) const { return root_ + rel; }
  std::string ReadHost(const std::string& rel) const {
    std::ifstream in(Host(rel), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteHost(const std::string& rel, const std::string& bytes) const {
    std::ofstream(Host(rel), std::ios::binary) << bytes;
  }
  bool ExistsHost(const std::string& rel) const { return std::filesystem::exists(Host(rel)); }

  std::string root_;

 private:
  void Save(const char* name, int i) {
    const char* v = getenv(name);
    had_[i] = v != nullptr;
    saved_[i] = v ? v : "";
  }
  void Restore(const char* name, int i) {
    if (had_[i]) setenv(name, saved_[i].c_str(), 1);
    else unsetenv(name);
  }
  std::string savedCwd_;
  std::string saved_[3];
  bool had_[3] = {};
};

}  // namespace settings
