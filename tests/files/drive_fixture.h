// A headless screen with a fake clock (ui_fixture.h) and a temporary host
// folder mapped as drive T:, which is the current folder when a test starts.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/dos_fs.h"
#include "ui/ui_fixture.h"

namespace files_testing {

namespace fs = std::filesystem;

inline void WriteHost(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadHost(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class DriveTest : public ui::testing::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    if (const char* d = getenv("DRIVES")) savedDrives_ = d, hadDrives_ = true;
    if (const char* t = getenv("TMPDIR")) savedTmp_ = t, hadTmp_ = true;
    unsetenv("DRIVES");
    char buf[PATH_MAX];
    savedCwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    char tmpl[] = "/tmp/files_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ASSERT_TRUE(platform::SetDriveTable({{'T', root_, "TESZT"}}));
    ASSERT_EQ(platform::ChangeFolder("T:\\"), platform::io::kOk);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(savedCwd_.c_str()), 0);
    if (hadDrives_) setenv("DRIVES", savedDrives_.c_str(), 1);
    if (hadTmp_)
      setenv("TMPDIR", savedTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    platform::ResetDosNamespace();
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
    UiTest::TearDown();
  }

  // A host path below the drive's folder ("/a/b").
  std::string H(const std::string& rel) const { return root_ + rel; }
  // Creates the folders and files of a tree: names ending in "/" are folders,
  // the others files holding their own name.
  void MakeTree(std::initializer_list<const char*> names) {
    for (const char* n : names) {
      std::string p = H(std::string("/") + n);
      if (p.back() == '/') {
        fs::create_directories(p);
      } else {
        fs::create_directories(fs::path(p).parent_path());
        WriteHost(p, n);
      }
    }
  }
  bool HostExists(const std::string& rel) const { return fs::exists(fs::symlink_status(H(rel))); }

  std::string root_, savedCwd_, savedDrives_, savedTmp_;
  bool hadDrives_ = false, hadTmp_ = false;
};

}  // namespace files_testing
