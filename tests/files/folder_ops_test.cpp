#include "files/folder_ops.h"

#include <sys/stat.h>
#include <utime.h>

#include <vector>

#include "files/drive_fixture.h"
#include "text/literal.h"

namespace files {
namespace {

using namespace text::literals;
using files_testing::DriveTest;
using files_testing::ReadHost;
using files_testing::WriteHost;
namespace fs = std::filesystem;

TEST(MatchesPatternTest, Table) {
  struct Case {
    const char* name;
    const char* patterns;
    bool match;
  };
  const Case cases[] = {
      {"domva.zip", "DOMVA.ZIP", true},  // ASCII letters ignore case
      {"domva.zip", "*", true},
      {"x", "*whatever", true},         // "*" ends the comparison
      {"", "*", false},                 // ... but needs a character there
      {"AB", "AB*", false},             // the name ends before the "*"
      {"ABC", "AB*", true},
      {"abcde", "abcd$", true},         // "$" is exactly one character
      {"abcdef", "abcd$", false},
      {"abc", "abcd$", false},
      {"abc", "ab", false},             // without "*" the lengths must agree
      {"ab", "abc", false},
      {"anything", "", true},           // an empty list matches everything
      {"", "", true},
      {"b.zip", "a.zip;B.ZIP", true},   // any pattern of the list
      {"c.zip", "a.zip;b.zip", false},
      {"a;b", "a;b", true},             // the whole list as a name
      {"", "a;;b", true},               // an empty pattern matches the empty name
      {"x", "a;;b", false},
      {"\xA0" "b", "\xB5" "B", false},  // accented letters are compared as bytes
      {".zip", ".ZIP;.EXE", true},
      {"", ".zip;.exe", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesPattern(c.name, c.patterns), c.match) << c.name << " / " << c.patterns;
}

TEST(ParentFolderTest, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"abc", ""},         {"C:\\a\\b", "C:\\a"}, {"C:\\a\\", "C:\\a"},
      {"C:\\", "C:"},      {"\\x", ""},           {"a\\b\\c.dat", "a\\b"},
      {"", ""},
  };
  for (const auto& [path, parent] : cases) EXPECT_EQ(ParentFolder(path), parent) << path;
}

// A second drive U: over its own host folder, its current folder U:\x.
class FolderOpsTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    MakeTree({"a.dat", "sub/", "sub/deep/", "u/x/", "u/y/"});
    ASSERT_TRUE(platform::SetDriveTable({{'T', root_, ""}, {'U', H("/u"), ""}}));
    ASSERT_EQ(platform::ChangeFolder("U:\\x"), platform::io::kOk);
    ASSERT_EQ(platform::ChangeFolder("T:\\sub"), platform::io::kOk);
  }
  void ExpectFoldersUnchanged() {
    EXPECT_EQ(platform::CurrentFolder(), "T:\\sub");
    EXPECT_EQ(platform::CurrentFolder('U'), "U:\\x");
  }
};

TEST_F(FolderOpsTest, FolderExists) {
  struct Case {
    std::string path;
    bool exists;
  };
  const Case cases[] = {
      {"T:\\sub", true},     {"deep", true},        {"DEEP\\", true},    {"..", true},
      {"T:\\..\\..", true},  // ".." stops at the drive's root
      {"T:\\a.dat", false},  {"T:\\none", false},   {"U:\\y", true},     {"U:", true},
      {"U:\\none", false},   {"Q:\\", false},       {"", false},
      {"T:\\a*b", false},    {"T:\\a\x01" "b", false},  // names the host cannot take
      {std::string("T:\\s\0b", 6), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderExists(c.path), c.exists) << c.path;
    ExpectFoldersUnchanged();
  }
}

TEST_F(FolderOpsTest, DeleteFileQuietAndMakeFolderPath) {
  EXPECT_TRUE(DeleteFileQuiet("T:\\a.dat"));
  EXPECT_FALSE(HostExists("/a.dat"));
  EXPECT_FALSE(DeleteFileQuiet("T:\\a.dat"));
  EXPECT_FALSE(DeleteFileQuiet("T:\\sub\\deep"));  // a folder
  EXPECT_FALSE(DeleteFileQuiet("T:\\bad|name"));

  MakeFolderPath("T:\\one\\two\\three\\file.dat");
  EXPECT_TRUE(fs::is_directory(H("/one/two/three")));
  EXPECT_FALSE(HostExists("/one/two/three/file.dat"));
  MakeFolderPath("T:\\one\\two\\three\\file.dat");  // existing folders are fine
  MakeFolderPath("rel\\x.dat");                      // from the current folder
  EXPECT_TRUE(fs::is_directory(H("/sub/rel")));
  MakeFolderPath("\\top\\x.dat");                    // from the drive's root
  EXPECT_TRUE(fs::is_directory(H("/top")));
  MakeFolderPath("T:\\bad|part\\x\\y.dat");          // errors are ignored
  ExpectFoldersUnchanged();
}

TEST_F(FolderOpsTest, CopyFiles) {
  std::string big(70001, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  WriteHost(H("/big.bin"), big);
  struct utimbuf times = {1000000000, 1000000000};
  ASSERT_EQ(utime(H("/big.bin").c_str(), &times), 0);
  WriteHost(H("/empty.bin"), "");

  EXPECT_EQ(CopyFileBuffered("T:\\big.bin", "T:\\sub\\copy.bin"), kCopyOk);
  EXPECT_EQ(ReadHost(H("/sub/copy.bin")), big);
  EXPECT_EQ(fs::last_write_time(H("/sub/copy.bin")), fs::last_write_time(H("/big.bin")));
  EXPECT_EQ(CopyFileBuffered("T:\\empty.bin", "T:\\sub\\copy.bin"), kCopyOk);  // overwritten
  EXPECT_TRUE(fs::exists(H("/sub/copy.bin")));
  EXPECT_EQ(fs::file_size(H("/sub/copy.bin")), 0u);
  EXPECT_EQ(CopyFileBuffered("T:\\none.bin", "T:\\x.bin"), kCopySourceFailed);
  EXPECT_EQ(CopyFileBuffered("T:\\bad|name", "T:\\x.bin"), kCopySourceFailed);
  EXPECT_EQ(CopyFileBuffered("T:\\big.bin", "T:\\nofolder\\x.bin"), kCopyTargetFailed);
  // The source as its own target (under another case) keeps its data.
  EXPECT_EQ(CopyFileBuffered("T:\\big.bin", "T:\\BIG.BIN"), kCopyTargetFailed);
  EXPECT_EQ(ReadHost(H("/big.bin")), big);

  EXPECT_TRUE(CopyFileTo("T:\\big.bin", "T:\\sub\\copy.bin"));
  EXPECT_EQ(ReadHost(H("/sub/copy.bin")), big);
  EXPECT_FALSE(CopyFileTo("T:\\none.bin", "T:\\sub\\copy.bin"));
}

TEST_F(FolderOpsTest, FileSizeOf) {
  WriteHost(H("/sub/Vevo.dat"), "12345");
  EXPECT_EQ(FileSizeOf("T:\\sub\\VEVO.DAT"), 5u);
  EXPECT_EQ(FileSizeOf("vevo.dat"), 5u);
  EXPECT_EQ(FileSizeOf("T:\\sub\\none.dat"), 0u);
  EXPECT_EQ(FileSizeOf("T:\\sub\\*.dat"), 0u);  // a pattern is no name
  EXPECT_EQ(FileSizeOf("T:\\sub\\deep"), 0u);   // a folder
}

TEST_F(FolderOpsTest, FindInTree) {
  MakeTree({"t/first/", "t/first/inner/target", "t/second/target/", "t/.hid/target", "t/b/c/only"});
  std::string found = "old";
  FindInTree(found, "TARGET", "T:\\t\\");
  EXPECT_EQ(found, "T:\\t\\first\\inner\\TARGET");  // b, then first; .hid is not searched
  MakeTree({"t/target"});  // the root comes before any sub-folder
  FindInTree(found, "target", "T:\\t");
  EXPECT_EQ(found, "T:\\t\\target");
  FindInTree(found, "only", "T:\\t");
  EXPECT_EQ(found, "T:\\t\\b\\c\\only");
  FindInTree(found, "nowhere", "T:\\t");
  EXPECT_EQ(found, "");
  FindInTree(found, "A.DAT", "T:\\");  // a drive's root, not its current folder
  EXPECT_EQ(found, "T:\\A.DAT");
  FindInTree(found, "x", "T:\\missing");
  EXPECT_EQ(found, "");
  // A link back up the tree is not followed (the walk would never end).
  fs::create_directory_symlink(H("/t"), H("/t/b/loop"));
  FindInTree(found, "nowhere", "T:\\t");
  EXPECT_EQ(found, "");
  ExpectFoldersUnchanged();
}

// Records every dialog the code under test shows: the screen's rows as text
// when the event reader is about to wait.
std::vector<std::string> shownScreens;
void RecordScreen() {
  std::string s;
  for (int r = 1; r <= 25; ++r) {
    for (int c = 1; c <= 80; ++c) s += static_cast<char>(platform::CellChar(platform::CellAt(r, c)));
    s += '\n';
  }
  if (shownScreens.empty() || shownScreens.back() != s) shownScreens.push_back(s);
}

class DeleteTest : public FolderOpsTest {
 protected:
  void SetUp() override {
    FolderOpsTest::SetUp();
    shownScreens.clear();
    ui::BeforeWaitHook = RecordScreen;
  }
  void TearDown() override {
    ui::BeforeWaitHook = nullptr;
    FolderOpsTest::TearDown();
  }
  // Answers the next dialog with Enter.
  void Answer() { time->At(50, ui::testing::Char(13)); }
  bool Shown(const std::string& text) const {
    for (const auto& s : shownScreens)
      if (s.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_F(DeleteTest, DeleteMatchingFiles) {
  MakeTree({"work/UNZIP.EXE", "work/lunemind.zip", "work/frissit.exe", "work/keep.txt",
            "work/.hidden.zip", "work/dir.zip/", "work/ro.zip", "work/noext"});
  fs::permissions(H("/work/ro.zip"), fs::perms::owner_read);
  ASSERT_EQ(platform::ChangeFolder("T:\\work"), platform::io::kOk);
  DeleteMatchingFiles("frissit*", "");
  EXPECT_FALSE(HostExists("/work/frissit.exe"));
  EXPECT_TRUE(HostExists("/work/UNZIP.EXE"));
  DeleteMatchingFiles("", ".ZIP;.exe");
  for (const char* gone : {"/work/UNZIP.EXE", "/work/lunemind.zip"}) EXPECT_FALSE(HostExists(gone)) << gone;
  for (const char* kept : {"/work/keep.txt", "/work/.hidden.zip", "/work/dir.zip", "/work/ro.zip", "/work/noext"})
    EXPECT_TRUE(HostExists(kept)) << kept;
  EXPECT_EQ(platform::CurrentFolder(), "T:\\work");
  EXPECT_TRUE(shownScreens.empty()) << "no dialog expected";
}

TEST_F(DeleteTest, DeleteMatchingFilesRefusesADriveRoot) {
  const std::string message = "Meghajtó gyökérmappájában nem törlök!"_cp;
  for (const char* root : {"T:\\", "U:\\"}) {
    ASSERT_EQ(platform::ChangeFolder(root), platform::io::kOk);
    shownScreens.clear();
    Answer();
    DeleteMatchingFiles("*", "");
    EXPECT_TRUE(Shown(message)) << root;
  }
  EXPECT_TRUE(HostExists("/a.dat"));
  // C: is the host's root; refused without reading the folder.
  ASSERT_EQ(platform::ChangeFolder("C:\\"), platform::io::kOk);
  shownScreens.clear();
  Answer();
  DeleteMatchingFiles("$", "");
  EXPECT_TRUE(Shown(message));
  // A folder above another drive's root is no root: it is worked in.
  ASSERT_EQ(platform::ChangeFolder("T:\\"), platform::io::kOk);
  WriteHost(H("/u/x.tmp"), "x");
  ASSERT_TRUE(platform::SetDriveTable({{'T', root_, ""}, {'U', H("/u/x"), ""}}));
  ASSERT_EQ(platform::ChangeFolder("T:\\u"), platform::io::kOk);
  shownScreens.clear();
  DeleteMatchingFiles("", ".tmp");
  EXPECT_FALSE(HostExists("/u/x.tmp"));
  EXPECT_TRUE(shownScreens.empty());
}

TEST_F(DeleteTest, DeleteFolderTreeEmptiesTheFolder) {
  MakeTree({"tree/a.txt", "tree/.dot", "tree/s1/b.txt", "tree/s1/s2/c.txt", "tree/s1/s2/e/", "tree/z/",
            "outside/keep.txt"});
  fs::create_directory_symlink(H("/outside"), H("/tree/s1/link"));
  fs::create_symlink(H("/outside/keep.txt"), H("/tree/filelink"));
  EXPECT_TRUE(DeleteFolderTree("T:\\tree"));
  EXPECT_TRUE(fs::is_directory(H("/tree")));
  EXPECT_TRUE(fs::is_empty(H("/tree")));
  EXPECT_EQ(ReadHost(H("/outside/keep.txt")), "outside/keep.txt") << "a link was followed";
  EXPECT_TRUE(shownScreens.empty());
  ExpectFoldersUnchanged();
  // Relative, from the current folder.
  MakeTree({"sub/deep/f.txt"});
  EXPECT_TRUE(DeleteFolderTree("deep"));
  EXPECT_TRUE(fs::is_empty(H("/sub/deep")));
}

TEST_F(DeleteTest, DeleteFolderTreeRefusals) {
  MakeTree({"sub/deep/f.txt", "ro/s/f.txt"});
  struct Case {
    const char* folder;
    std::string message;
  };
  const std::string inside = "Benne állok a törlendő mappában!"_cp;
  const std::string missing = "A megadott mappa nem létezik!"_cp;
  const std::string root = "Meghajtó gyökérmappájában nem törlök!"_cp;
  const Case cases[] = {
      {"T:\\sub", inside},            // the current folder
      {"T:\\SUB\\", inside},
      {"..", root},                   // T:\ itself
      {"T:\\sub\\..\\..\\..", root},  // ".." never climbs above the root
      {"T:\\u\\x", inside},           // U:'s current folder
      {"C:\\", root},                 // the host's root
      {"C:\\tmp", root},              // holds T:'s root
      {"T:\\u", root},                // holds U:'s root
      {"U:\\", root},
      {"T:\\none", missing},
      {"T:\\a.dat", missing},         // a file
      {"T:\\bad|name", missing},
  };
  for (const Case& c : cases) {
    shownScreens.clear();
    Answer();
    EXPECT_FALSE(DeleteFolderTree(c.folder)) << c.folder;
    EXPECT_TRUE(Shown(c.message)) << c.folder;
    ExpectFoldersUnchanged();
  }
  EXPECT_TRUE(HostExists("/sub/deep/f.txt"));
  EXPECT_TRUE(HostExists("/a.dat"));
  EXPECT_TRUE(Shown("Nem törlök!"_cp));

  // A name code page 852 cannot write cannot be named to delete it: "Hiba!".
  MakeTree({"jp/\xE6\x97\xA5.txt"});
  shownScreens.clear();
  Answer();
  EXPECT_FALSE(DeleteFolderTree("T:\\jp"));
  EXPECT_TRUE(Shown("Hiba!"));
  EXPECT_TRUE(HostExists("/jp/\xE6\x97\xA5.txt"));

  // A file that cannot be deleted: "Hiba!" and false.
  fs::permissions(H("/ro/s/f.txt"), fs::perms::owner_read);
  shownScreens.clear();
  Answer();
  EXPECT_FALSE(DeleteFolderTree("T:\\ro"));
  EXPECT_TRUE(Shown("Hiba!"));
  EXPECT_TRUE(HostExists("/ro/s/f.txt"));
}

TEST_F(DeleteTest, DeleteFolderFiles) {
  MakeTree({"f1/a", "f1/b.x", "f1/.c", "f2/a", "f2/sub/", "f3/a", "f3/ro"});
  EXPECT_TRUE(DeleteFolderFiles("T:\\f1"));
  EXPECT_FALSE(HostExists("/f1"));
  EXPECT_FALSE(DeleteFolderFiles("T:\\f2"));  // a sub-folder stays, and so does the folder
  EXPECT_FALSE(HostExists("/f2/a"));
  EXPECT_TRUE(HostExists("/f2/sub"));
  fs::permissions(H("/f3/ro"), fs::perms::owner_read);
  EXPECT_FALSE(DeleteFolderFiles("T:\\f3"));
  EXPECT_TRUE(HostExists("/f3/ro"));
  EXPECT_FALSE(DeleteFolderFiles("T:\\none"));
  EXPECT_TRUE(shownScreens.empty());
  for (const char* root : {"T:\\", "U:\\", "C:\\"}) {
    shownScreens.clear();
    Answer();
    EXPECT_FALSE(DeleteFolderFiles(root)) << root;
    EXPECT_TRUE(Shown("Meghajtó gyökérmappájában nem törlök!"_cp)) << root;
  }
  EXPECT_TRUE(HostExists("/a.dat"));
  ExpectFoldersUnchanged();
}

TEST_F(DeleteTest, SearchFolderInteractive) {
  MakeTree({"s/a/wanted/", "s/b/wanted/", "s/c/x/wanted/", "s/d/wanted"});
  std::string found = "old";
  // The first find is passed over ("Tovább keres"), the second chosen.
  time->At(50, ui::testing::Char('t'));
  time->At(50, ui::testing::Char('k'));
  SearchFolderInteractive(found, "wanted", "T:\\s\\");
  EXPECT_EQ(found, "T:\\s\\b\\wanted");
  EXPECT_TRUE(Shown("T:\\s\\a\\wanted"));
  EXPECT_EQ(Row(23).substr(0, 7), "T:\\s\\b ");  // the folder being searched
  EXPECT_EQ(Row(24).substr(0, 15), "T:\\s\\b\\wanted  ");
  // Esc passes every find; a file of that name is no find.
  shownScreens.clear();
  for (int i = 0; i < 3; ++i) time->At(50, ui::testing::Char(27));
  SearchFolderInteractive(found, "wanted", "T:\\s");
  EXPECT_EQ(found, "");
  EXPECT_TRUE(Shown("T:\\s\\c\\x\\wanted"));
  EXPECT_FALSE(Shown("T:\\s\\d\\wanted"));
  // Del and "Igen": the sub-tree of the folder being visited (here the root)
  // is not searched; "Nem" goes on.
  term->ScriptEvent(ui::testing::Key(83));  // Del
  time->At(50, ui::testing::Char('i'));
  found = "old";
  SearchFolderInteractive(found, "wanted", "T:\\s");
  EXPECT_EQ(found, "");
  EXPECT_TRUE(Shown("Biztosan megszakít?"_cp));
  EXPECT_EQ(Row(23).substr(0, 5), "T:\\s ");
  term->ScriptEvent(ui::testing::Key(83));
  time->At(50, ui::testing::Char('n'));
  time->At(50, ui::testing::Char('k'));
  SearchFolderInteractive(found, "wanted", "T:\\s");
  EXPECT_EQ(found, "T:\\s\\a\\wanted");
  ExpectFoldersUnchanged();
}

}  // namespace
}  // namespace files
