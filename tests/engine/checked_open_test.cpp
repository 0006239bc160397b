// Checked opens: a missing file is made and opened the way asked for; every
// other failure stops with its message.
#include <sys/resource.h>

#include <functional>

#include "engine/checked_open.h"
#include "ui/dialog.h"
#include "engine_fixture.h"

namespace engine::testing {
namespace {

struct Stopped {
  int code;
};

class CheckedOpenTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    EngineStopHook = [](int code) { throw Stopped{code}; };
    AnswerBoxes();
  }
  void TearDown() override {
    EngineStopHook = nullptr;
    settings::SetProgramFileList(std::nullopt);
    EngineTest::TearDown();
  }
  // The stop code, or -1 when the operation ended normally.
  static int StopOf(const std::function<void()>& op) {
    try {
      op();
    } catch (const Stopped& s) {
      return s.code;
    }
    return -1;
  }
  static bool LastShown(std::string_view text) {
    return !Shown.empty() && Shown.back().find(text) != std::string::npos;
  }
};

TEST_F(CheckedOpenTest, MissingFilesAreMadeAndOpenedAsAsked) {
  struct Case {
    const char* name;
    int32_t mode;
    std::function<void(DataFile&, IndexFile&)> open;
    bool index;
    int32_t wantMode;
  };
  const Case cases[] = {
      {"UJ1.DAT", ModeShared, [](DataFile& d, IndexFile&) { OpenDataFileChecked(d, "UJ1.DAT", 20); },
       false, ModeShared},
      {"UJ2.DAT", ModeReadOnly,
       [](DataFile& d, IndexFile&) { OpenDataFileChecked(d, "UJ2.DAT", 20); }, false, ModeReadOnly},
      {"UJ3.DAT", ModeShared,
       [](DataFile& d, IndexFile&) { OpenDataFileExclusiveChecked(d, "UJ3.DAT", 20); }, false,
       ModeExclusive},
      {"UJ4.IDX", ModeShared,
       [](DataFile&, IndexFile& ix) { OpenIndexChecked(ix, "UJ4.IDX", 6, true); }, true,
       ModeShared},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataFile d;
    IndexFile ix;
    SetOpenMode(c.mode, 0);
    EXPECT_EQ(StopOf([&] { c.open(d, ix); }), -1);
    RestoreOpenMode();
    EXPECT_TRUE(OpOk);
    DataFile& f = c.index ? static_cast<DataFile&>(ix) : d;
    EXPECT_TRUE(f.Handle.IsOpen());
    EXPECT_EQ(f.Mode, c.wantMode);
    EXPECT_EQ(TableEntry(f.TableSlot).kind, c.index ? KindIndex : KindData);
    EXPECT_EQ(ReadHost(c.name), HeaderSlot(c.index ? IndexRecLen(6) : 20, -1, 0, 0, 1));
    if (c.index) {
      EXPECT_TRUE(ix.AllowDuplicates);
      std::string k = "a";
      AddKey(ix, 3, k);
      EXPECT_TRUE(OpOk);
      CloseIndex(ix);
    } else {
      CloseDataFile(d);
    }
  }
  EXPECT_TRUE(Shown.empty());
  EXPECT_EQ(OpenFileCount(), 0);
}

TEST_F(CheckedOpenTest, ExistingFilesAreOpenedUnchanged) {
  DataFile d;
  MakeDataFile(d, "VAN.DAT", 20);
  int32_t r = 0;
  const Bytes rec = Record(20, 9);
  AddRecord(d, r, rec.data());
  CloseDataFile(d);
  const Bytes before = ReadHost("VAN.DAT");
  OpenDataFileChecked(d, "VAN.DAT", 20);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(d.LiveSlots, 2);
  CloseDataFile(d);
  EXPECT_EQ(ReadHost("VAN.DAT"), before);
}

TEST_F(CheckedOpenTest, ProgramFilesAreMadeInTheProgramFolder) {
  settings::SetProgramFileList(";PARAM;");
  DataFile d;
  EXPECT_EQ(StopOf([&] { OpenDataFileChecked(d, "PARAM.DAT", 20); }), -1);
  EXPECT_TRUE(OpOk);
  EXPECT_TRUE(std::filesystem::exists(root_ + "/PRG/PARAM.DAT"));
  EXPECT_FALSE(std::filesystem::exists(Host("PARAM.DAT")));
  CloseDataFile(d);
}

TEST_F(CheckedOpenTest, FileHeldByAnotherStationStopsWithItsName) {
  // Another open file that lets others only read: this station's read-write
  // open is refused with code 5.
  IndexFile other;
  MakeIndex(other, "FOGLALT.IDX", 4, false);
  CloseIndex(other);
  SetOpenMode(ModeExclusive, 0);
  OpenIndex(other, "FOGLALT.IDX", 4, false);
  RestoreOpenMode();
  ASSERT_TRUE(OpOk);
  IndexFile ix;
  EXPECT_EQ(StopOf([&] { OpenIndexChecked(ix, "FOGLALT.IDX", 4, false); }), 0);
  EXPECT_TRUE(LastShown("FOGLALT A FILE, FELDOLGOZAS NEM VEGEZHETO"));
  EXPECT_TRUE(LastShown("FOGLALT.IDX"));
  CloseIndex(other);
}

TEST_F(CheckedOpenTest, FailuresStopWithTheirMessages) {
  struct Case {
    const char* name;
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {"make in a missing folder", [] {
         DataFile d;
         MakeDataFileChecked(d, "T:\\NINCS\\A.DAT", 20);
       }, "Hiba:REJTELMES HIBA"},
      {"index made in a missing folder", [] {
         IndexFile ix;
         MakeIndexChecked(ix, "T:\\NINCS\\A.IDX", 4, false);
       }, "Hiba:REJTELMES HIBA"},
      {"open in a missing folder", [] {
         DataFile d;
         OpenDataFileChecked(d, "T:\\NINCS\\A.DAT", 20);
       }, "Hiba:REJTELMES HIBA"},
      {"index key length refused", [] {
         IndexFile ix;
         OpenIndexChecked(ix, "K.IDX", 300, false);
       }, "Hiba:REJTELMES HIBA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StopOf(c.op), 0);
    EXPECT_TRUE(LastShown(c.message));
    ClearOpenFileTable();
  }
}

// Too many open files: the index form of the message is one letter shorter
// than the data file's.
TEST_F(CheckedOpenTest, TooManyOpenFiles) {
  struct Case {
    const char* name;
    std::function<void()> op;
    const char* message;
    bool dataForm;
  };
  const Case cases[] = {
      {"index make", [] {
         IndexFile ix;
         MakeIndexChecked(ix, "SOK.IDX", 4, false);
       }, "TUL SOK NYITOTT FILE, ERTESITSE A FEJLESZTO", false},
      {"data make", [] {
         DataFile d;
         MakeDataFileChecked(d, "SOK.DAT", 20);
       }, "TUL SOK NYITOTT FILE, ERTESITSE A FEJLESZTOT", true},
      {"index open", [] {
         IndexFile ix;
         OpenIndexChecked(ix, "SOK2.IDX", 4, false);
       }, "TUL SOK NYITOTT FILE, ERTESITSE A FEJLESZTOT", true},
  };
  // The message box is drawn while no descriptor is free. The sanitizer's
  // check of a window's dynamic type needs a pipe the first time it meets the
  // type, so one box is shown first, with descriptors to spare.
  ui::Prompt("x", "");
  Shown.clear();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowest = dup(0);
    ASSERT_GE(lowest, 0);
    close(lowest);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const int code = StopOf(c.op);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(LastShown(c.message)) << (Shown.empty() ? "" : Shown.back());
    EXPECT_EQ(LastShown("FEJLESZTOT"), c.dataForm);
    ClearOpenFileTable();
  }
}

}  // namespace
}  // namespace engine::testing
