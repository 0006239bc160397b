#include "engine/rebuild.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>

#include "engine/engine_fixture.h"
#include "engine/index_check.h"
#include "engine/index_file.h"
#include "lists/external_sort.h"
#include "text/literal.h"
#include "ui/window.h"

namespace engine::testing {
namespace {

using namespace text::literals;

constexpr int kRh = 120;

class RebuildTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetRebuildRefreshEvery(1);
    // Large enough for every sort here; the default's reservation is slow
    // under the sanitizers.
    lists::SetSortBudget(int64_t{16} << 20);
  }
  void TearDown() override {
    SetRebuildRefreshEvery(1024);
    lists::SetSortBudget(lists::kDefaultSortBudget);
    EngineTest::TearDown();
  }

  // A record whose bytes 5..24 (1-based) hold name and 30..35 city.
  static Bytes Rec(const std::string& name, const std::string& city) {
    Bytes b(kRh, '-');
    b[4] = 1;
    for (size_t i = 0; i < 20; ++i) b[4 + i] = i < name.size() ? name[i] : ' ';
    for (size_t i = 0; i < 6; ++i) b[29 + i] = i < city.size() ? city[i] : ' ';
    return b;
  }
  // VEVO.dat with these records (slots 1..n); the slots listed in freed are
  // deleted afterwards.
  void MakeVevo(const std::vector<Bytes>& recs, const std::vector<int32_t>& freed = {}) {
    DataFile f;
    MakeDataFile(f, "VEVO.dat", kRh);
    ASSERT_TRUE(OpOk);
    for (const Bytes& r : recs) {
      int32_t n = 0;
      AddRecord(f, n, r.data());
    }
    for (int32_t n : freed) DeleteRecord(f, n);
    CloseDataFile(f);
  }
  // Every (key, record) of an index, in its order.
  std::vector<std::pair<std::string, int32_t>> Entries(const std::string& name, int keyLength,
                                                       bool dups) {
    IndexFile idx;
    OpenIndex(idx, name, keyLength, dups);
    EXPECT_TRUE(OpOk) << name;
    std::vector<std::pair<std::string, int32_t>> out;
    if (!OpOk) return out;
    ClearKey(idx);
    for (;;) {
      std::string key;
      int32_t ref = 0;
      NextKey(idx, ref, key);
      if (!OpOk) break;
      out.emplace_back(key, ref);
    }
    CloseIndex(idx);
    return out;
  }
  bool HostFile(const std::string& rel) const { return std::filesystem::exists(Host(rel)); }
};

TEST_F(RebuildTest, KeyPartsOfTheRecordsBuildTheIndex) {
  MakeVevo({Rec("KOVACS", "PECS"), Rec("ABA", "GYOR"), Rec("ZOLD", "EGER"), Rec("ABA", "BUDA")});
  RebuildIndex(false, "VEVO VEVO1 120 0 5 20 30 6");
  const RebuildState& s = LastRebuild();
  EXPECT_EQ(s.KeyLength, 26);
  EXPECT_EQ(s.ErrorFileName, "VEVO1_hiba.txt");
  EXPECT_TRUE(s.Built);
  EXPECT_EQ(s.Added, 4);
  auto pad = [](std::string n, std::string c) {
    n.resize(20, ' ');
    c.resize(6, ' ');
    return n + c;
  };
  const std::vector<std::pair<std::string, int32_t>> want = {
      {pad("ABA", "BUDA"), 4}, {pad("ABA", "GYOR"), 2}, {pad("KOVACS", "PECS"), 1},
      {pad("ZOLD", "EGER"), 3}};
  EXPECT_EQ(Entries("VEVO1.idx", 26, false), want);
  EXPECT_FALSE(HostFile("VEVO1_hiba.txt")) << "an error file of no refusals stays";
  // The title centred on the top row of the text window; the counts flow
  // from the cursor (here over the same row).
  EXPECT_EQ(ScreenRow(1).substr(37, 6), " VEVO ") << ScreenRow(1);
  EXPECT_TRUE(ScreenHolds("VEVO1 beolvasott.........:      4"));
  EXPECT_TRUE(ScreenHolds("VEVO1 indexelt...........:      4"));
}

TEST_F(RebuildTest, FreeChainAndHeaderAreBuiltAnew) {
  Bytes r = Rec("A", "B");
  MakeVevo(std::vector<Bytes>(8, r), {3, 7});
  // Break the header and the chain: a wrong head, a loop, a stuck
  // transaction and shared users, a root page.
  Bytes all = ReadHost("VEVO.dat");
  Bytes head = HeaderSlot(kRh, 3, 5, 77, 4, 1, 3);
  std::copy(head.begin(), head.end(), all.begin());
  Put32(all, 3 * kRh, 3);
  Put32(all, 7 * kRh, 7);
  WriteHost("VEVO.dat", all);
  RebuildIndex(false, "VEVO VEVO1 120 1 5 20");
  const Bytes h = Slot("VEVO.dat", kRh, 0);
  EXPECT_EQ(h, HeaderSlot(kRh, 7, 2, 0, 9, 0, 0));
  EXPECT_EQ(Get32(Slot("VEVO.dat", kRh, 7), 0), 3);
  EXPECT_EQ(Get32(Slot("VEVO.dat", kRh, 3), 0), -1);
  EXPECT_EQ(Entries("VEVO1.idx", 20, true).size(), 6u);
  // The file works as a data file again: new records take the freed slots.
  DataFile f;
  OpenDataFile(f, "VEVO.dat", kRh);
  int32_t n = 0;
  AddRecord(f, n, r.data());
  EXPECT_EQ(n, 7);
  AddRecord(f, n, r.data());
  EXPECT_EQ(n, 3);
  AddRecord(f, n, r.data());
  EXPECT_EQ(n, 9);
  CloseDataFile(f);
}

TEST_F(RebuildTest, UniqueKeyKeepsTheHighestRecordAndDeletesTheOthersOnYes) {
  struct Case {
    const char* answer;  // the key pressed at the question
    bool deleted;
  } cases[] = {{"I", true}, {"N", false}};
  for (const Case& c : cases) {
    std::vector<Bytes> recs;
    for (int i = 1; i <= 10; ++i) recs.push_back(Rec("N" + std::to_string(i), "X"));
    recs[3] = Rec("SAME", "X");  // record 4
    recs[8] = Rec("SAME", "X");  // record 9
    MakeVevo(recs);
    Shown.clear();
    answering = term_;
    static const char* key;
    key = c.answer;
    ui::BeforeWaitHook = [] {
      std::string screen;
      for (int r = 1; r <= 25; ++r) screen += ScreenRow(r) + "\n";
      Shown.push_back(screen);
      answering->ScriptBytes(key);
    };
    RebuildIndex(false, "VEVO VEVO1 120 0 5 20");
    ui::BeforeWaitHook = nullptr;
    EXPECT_EQ(LastRebuild().Refused, 1);
    ASSERT_TRUE(ShownOnce("Kimaradt rekordok száma:      1"_cp)) << c.answer;
    EXPECT_TRUE(ShownOnce("Töröljem?  I/N"_cp));
    std::string same = "SAME";
    same.resize(20, ' ');
    const auto entries = Entries("VEVO1.idx", 20, false);
    EXPECT_EQ(entries.size(), 9u);
    EXPECT_NE(std::find(entries.begin(), entries.end(), std::make_pair(same, int32_t{9})),
              entries.end());
    const Bytes err = ReadHost("VEVO1_hiba.txt");
    EXPECT_EQ(std::string(err.begin(), err.end()), "VEVO1\r\n0000000004  kulcs:" + same + "\r\n");
    EXPECT_EQ(Slot("VEVO.dat", kRh, 4)[4] == 0, c.deleted) << c.answer;
    EXPECT_NE(Slot("VEVO.dat", kRh, 9)[4], 0);
  }
}

TEST_F(RebuildTest, CommandWords) {
  MakeVevo({Rec("B", "X"), Rec("A", "Y")});
  const Bytes before = ReadHost("VEVO.dat");
  // One word: the usage line only.
  RebuildIndex(false, "VEVO");
  EXPECT_TRUE(ScreenHolds("Datafile Indexfile Rh D Kp Kh [Kp Kh]..."));
  EXPECT_FALSE(HostFile("VEVO.idx"));
  // Numbers out of range, too few words, a missing data file: nothing at all.
  for (const char* cmd :
       {"VEVO VEVO1 10001 0 5 20", "VEVO VEVO1 120 2 5 20", "VEVO VEVO1 0 0 5 20",
        "VEVO VEVO1 18 0 5 20", "VEVO VEVO1 120 0 1 1 2 1 3 1 4 1 5 1 6 1",
        "VEVO VEVO1 120 0 5 247", "VEVO VEVO1 120 0", "NINCS VEVO1 120 0 5 20"}) {
    RebuildIndex(false, cmd);
    EXPECT_FALSE(HostFile("VEVO1.idx")) << cmd;
    EXPECT_EQ(ReadHost("VEVO.dat"), before) << cmd;
  }
  // An odd word after the last key part is ignored.
  RebuildIndex(false, "VEVO VEVO1 120 0 5 3 30");
  EXPECT_EQ(LastRebuild().Parts, 1);
  EXPECT_EQ(LastRebuild().KeyLength, 3);
  const std::vector<std::pair<std::string, int32_t>> want = {{"A  ", 2}, {"B  ", 1}};
  EXPECT_EQ(Entries("VEVO1.idx", 3, false), want);
}

TEST_F(RebuildTest, PartsOutsideTheRecordReadZeros) {
  MakeVevo({Rec("B", "X"), Rec("A", "Y")});
  // Past the record (121..122), and before the first byte.
  RebuildIndex(false, "VEVO VEVO1 120 1 5 1 121 2 -1 2");
  const auto entries = Entries("VEVO1.idx", 5, true);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].first, std::string("A") + std::string(4, '\0'));
}

TEST_F(RebuildTest, WindowIsRemovedAndShowsTheQuestionInside) {
  MakeVevo({Rec("SAME", "X"), Rec("SAME", "X")});
  console::PutText("under the window", 8, 20, 0x1E);
  const std::string row8 = ScreenRow(8);
  AnswerBoxes();  // Enter: Igen
  RebuildIndex(true, "VEVO VEVO1 120 0 5 20");
  ASSERT_EQ(Shown.size(), 1u);
  const std::string& box = Shown[0];
  EXPECT_NE(box.find("\xDA"), std::string::npos) << "no single frame";
  EXPECT_NE(box.find(" VEVO "), std::string::npos);
  EXPECT_NE(box.find("VEVO1 beolvasott.........:      2"), std::string::npos) << box;
  EXPECT_EQ(ScreenRow(8), row8) << "the window's cells were not put back";
  EXPECT_EQ(Slot("VEVO.dat", kRh, 1)[4], 0) << "record 1 is deleted on Igen";
}

// A rebuild whose sort goes through the work file gives the same index.
TEST_F(RebuildTest, PagedSortGivesTheSameIndex) {
  std::vector<Bytes> recs;
  for (int i = 0; i < 300; ++i) recs.push_back(Rec("K" + std::to_string((i * 7919) % 1000), "C"));
  MakeVevo(recs);
  SetRebuildRefreshEvery(100);
  RebuildIndex(false, "VEVO VEVO1 120 1 5 20");
  const auto inMemory = Entries("VEVO1.idx", 20, true);
  lists::SetSortBudget(lists::kClassicSortBudget);  // 40 sort records a page
  RebuildIndex(false, "VEVO VEVO1 120 1 5 20");
  EXPECT_TRUE(LastRebuild().Built);
  EXPECT_EQ(Entries("VEVO1.idx", 20, true), inMemory);
  EXPECT_EQ(inMemory.size(), 300u);
}

// Files loaded with their index and then damaged: the rebuilt index passes
// the full check against the data file and holds exactly the live records.
TEST_F(RebuildTest, DamagedFilesGetACheckedIndexOfTheLiveRecords) {
  enum Damage { kIndexDeleted, kIndexTruncated, kFreeChainBroken };
  std::mt19937 rng(21);
  for (Damage damage : {kIndexDeleted, kIndexTruncated, kFreeChainBroken}) {
    for (int dups : {0, 1}) {
      SCOPED_TRACE(std::to_string(damage) + " dups " + std::to_string(dups));
      // 1500 records (a three-level tree), keys from a small set when
      // duplicates are allowed, every tenth record deleted.
      DataFile f;
      MakeDataFile(f, "VEVO.dat", kRh);
      IndexFile idx;
      MakeIndex(idx, "VEVO1.idx", 20, dups == 1);
      std::multiset<std::pair<std::string, int32_t>> live;
      for (int i = 1; i <= 1500; ++i) {
        const int k = dups ? static_cast<int>(rng() % 97) : i;
        Bytes r = Rec("k" + std::to_string(k * 7), "X");
        int32_t n = 0;
        AddRecord(f, n, r.data());
        std::string key(reinterpret_cast<const char*>(r.data()) + 4, 20);
        AddKey(idx, n, key);
        ASSERT_TRUE(OpOk);
        live.emplace(NormaliseKey(key), n);
      }
      for (int n = 10; n <= 1500; n += 10) {
        DeleteRecord(f, n);
        for (auto it = live.begin(); it != live.end(); ++it)
          if (it->second == n) {
            live.erase(it);
            break;
          }
      }
      CloseIndex(idx);
      CloseDataFile(f);
      switch (damage) {
        case kIndexDeleted: std::filesystem::remove(Host("VEVO1.idx")); break;
        case kIndexTruncated:
          std::filesystem::resize_file(Host("VEVO1.idx"),
                                       std::filesystem::file_size(Host("VEVO1.idx")) / 2);
          break;
        case kFreeChainBroken: {
          Bytes all = ReadHost("VEVO.dat");
          Put32(all, 0, 5);                 // the head is a live record
          Put32(all, 4, 1);
          Put32(all, 1490 * kRh, 10);       // a loop in the chain
          WriteHost("VEVO.dat", all);
          break;
        }
      }
      RebuildIndex(false, "VEVO VEVO1 120 " + std::to_string(dups) + " 5 20");
      ASSERT_TRUE(LastRebuild().Built);
      EXPECT_EQ(LastRebuild().Refused, 0);
      DataFile data;
      OpenDataFile(data, "VEVO.dat", kRh);
      RefreshHeader(data);
      IndexFile index;
      OpenIndex(index, "VEVO1.idx", 20, dups == 1);
      ASSERT_TRUE(OpOk);
      const IndexCheckResult check = CheckIndex(index, &data);
      for (const std::string& fault : check.Faults) ADD_FAILURE() << fault;
      std::multiset<std::pair<std::string, int32_t>> got;
      for (const IndexEntry& e : check.Entries) got.emplace(e.Key, e.Reference);
      EXPECT_TRUE(got == live) << got.size() << " entries for " << live.size() << " records";
      EXPECT_EQ(data.FirstFree, 1500);
      EXPECT_EQ(data.FreeCount, 150);
      CloseIndex(index);
      CloseDataFile(data);
    }
  }
}

}  // namespace
}  // namespace engine::testing
