// Index files: the bytes of pages on disk, the shapes that splits, borrows
// and merges leave, the searches at the edges, normalisation of keys, the
// live-record steps and the refusals.
#include "index_test_util.h"
#include "text/literal.h"

namespace engine::testing {
namespace {

using namespace text::literals;

class IndexFileTest : public EngineTest {
 protected:
  // The page as stored: count, left child, and (key, reference, right
  // child) per item.
  struct DiskItem {
    std::string key;
    int32_t ref;
    int32_t right;
  };
  struct DiskPage {
    int count;
    int32_t left;
    std::vector<DiskItem> items;
  };
  DiskPage ReadPage(const std::string& file, int keyLength, int n) {
    const Bytes b = Slot(file, IndexRecLen(keyLength), n);
    DiskPage p{-1, 0, {}};
    if (b.empty()) return p;
    p.count = b[0];
    p.left = Get32(b, 1);
    for (int i = 0; i < p.count && i < 32; ++i) {
      const size_t at = 5 + static_cast<size_t>(i) * (keyLength + 9);
      p.items.push_back({std::string(b.begin() + static_cast<long>(at + 9),
                                     b.begin() + static_cast<long>(at + 9 + b[at + 8])),
                         Get32(b, at), Get32(b, at + 4)});
    }
    return p;
  }
  std::vector<std::string> Keys(const DiskPage& p) {
    std::vector<std::string> k;
    for (const DiskItem& i : p.items) k.push_back(i.key);
    return k;
  }
  // Keys with these numbers, each with reference number + 1000.
  void AddNumbers(IndexFile& ix, std::initializer_list<int> numbers, int width = 3) {
    for (int n : numbers) {
      std::string k = NumKey(n, width);
      AddKey(ix, n + 1000, k);
      ASSERT_TRUE(OpOk) << k;
    }
  }
  void AddRange(IndexFile& ix, int from, int to, int step = 1, int width = 3) {
    for (int n = from; n <= to; n += step) {
      std::string k = NumKey(n, width);
      AddKey(ix, n + 1000, k);
      ASSERT_TRUE(OpOk) << k;
    }
  }
  void Delete(IndexFile& ix, int n, int width = 3) {
    std::string k = NumKey(n, width);
    int32_t ref = 0;
    DeleteKey(ix, ref, k);
    ASSERT_TRUE(OpOk) << k;
    EXPECT_EQ(ref, n + 1000);
  }
  std::vector<std::string> Range(int from, int to, int step = 1) {
    std::vector<std::string> k;
    for (int n = from; n <= to; n += step) k.push_back(NumKey(n, 3));
    return k;
  }
};

// --- Byte layout ---------------------------------------------------------------

TEST_F(IndexFileTest, PageFormsMoveItemsBetweenStrides) {
  for (int keyLength : {1, 10, 245, 246}) {
    SCOPED_TRACE(keyLength);
    std::vector<uint8_t> mem(kPageBytes, 0xEE);
    page::SetCount(mem.data(), 32);
    page::SetLeftChild(mem.data(), 0x01020304);
    for (int i = 1; i <= 32; ++i) {
      uint8_t* item = page::Item(mem.data(), i);
      page::SetReference(item, 100 + i);
      page::SetRightChild(item, 200 + i);
      page::SetKey(item, std::string(static_cast<size_t>(keyLength), static_cast<char>('A' + i)));
    }
    std::vector<uint8_t> disk = mem;
    PageToDiskForm(disk.data(), keyLength);
    const size_t stride = static_cast<size_t>(keyLength) + 9;
    EXPECT_EQ(disk[0], 32);
    EXPECT_EQ(disk[1], 4);
    EXPECT_EQ(disk[4], 1);
    for (int i = 1; i <= 32; ++i) {
      const size_t at = 5 + (i - 1) * stride;
      Bytes d(disk.begin(), disk.end());
      ASSERT_EQ(Get32(d, at), 100 + i);
      ASSERT_EQ(Get32(d, at + 4), 200 + i);
      ASSERT_EQ(d[at + 8], keyLength);
      ASSERT_EQ(d[at + 9], 'A' + i);
      ASSERT_EQ(d[at + 8 + keyLength], 'A' + i);
    }
    EXPECT_EQ(5 + 32 * stride, static_cast<size_t>(IndexRecLen(keyLength)));
    PageFromDiskForm(disk.data(), keyLength);
    for (int i = 1; i <= 32; ++i) {
      ASSERT_EQ(page::Reference(page::Item(disk.data(), i)), 100 + i);
      ASSERT_EQ(page::Key(page::Item(disk.data(), i)),
                page::Key(page::Item(mem.data(), i)));
    }
  }
  EXPECT_EQ(IndexRecLen(246), 8165);
  EXPECT_EQ(kPageBytes, 8165);
}

TEST_F(IndexFileTest, NewIndexAndFirstKeyOnDisk) {
  IndexFile ix;
  MakeIndex(ix, "UJ.IDX", 4, false);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(ReadHost("UJ.IDX"), HeaderSlot(IndexRecLen(4), -1, 0, 0, 1));
  EXPECT_EQ(TableEntry(ix.TableSlot).kind, KindIndex);
  std::string k = "ab";
  AddKey(ix, 77, k);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(k, "AB");
  EXPECT_EQ(Slot("UJ.IDX", IndexRecLen(4), 0), IndexHeaderSlot(IndexRecLen(4), -1, 0, 1, 2, 1));
  Bytes want(static_cast<size_t>(IndexRecLen(4)), 0);
  want[0] = 1;
  Put32(want, 5, 77);
  want[13] = 2;
  want[14] = 'A';
  want[15] = 'B';
  Bytes got = Slot("UJ.IDX", IndexRecLen(4), 1);
  // Bytes of unused items and of the key's tail are not significant.
  ASSERT_EQ(got.size(), want.size());
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 16), Bytes(want.begin(), want.begin() + 16));
  CloseIndex(ix);
}

// --- Splits ----------------------------------------------------------------------

TEST_F(IndexFileTest, ThirtyThirdKeySplitsTheFullRoot) {
  IndexFile ix;
  MakeIndex(ix, "VAGAS.IDX", 4, false);
  AddRange(ix, 1, 32);
  EXPECT_EQ(ReadPage("VAGAS.IDX", 4, 1).count, 32);
  EXPECT_EQ(ix.RootPage, 1);
  AddRange(ix, 33, 33);
  EXPECT_EQ(ix.RootPage, 3);
  const DiskPage root = ReadPage("VAGAS.IDX", 4, 3);
  ASSERT_EQ(root.count, 1);
  EXPECT_EQ(root.items[0].key, NumKey(17, 3));
  EXPECT_EQ(root.left, 1);
  EXPECT_EQ(root.items[0].right, 2);
  EXPECT_EQ(Keys(ReadPage("VAGAS.IDX", 4, 1)), Range(1, 16));
  EXPECT_EQ(Keys(ReadPage("VAGAS.IDX", 4, 2)), Range(18, 33));
  EXPECT_TRUE(TreeSound(ix));
  CloseIndex(ix);
}

// Where the 33rd item lands decides the middle: a table of the insert
// positions around 16 and 17.
TEST_F(IndexFileTest, SplitMiddleByInsertPosition) {
  struct Case {
    int inserted;  // between the keys 10, 20, ..., 320
    int middle;
  };
  for (const Case c : {Case{5, 160}, Case{155, 160}, Case{165, 165}, Case{175, 170},
                       Case{325, 170}}) {
    SCOPED_TRACE(c.inserted);
    IndexFile ix;
    MakeIndex(ix, "KOZEP.IDX", 4, false);
    AddRange(ix, 10, 320, 10);
    AddNumbers(ix, {c.inserted});
    const DiskPage root = ReadPage("KOZEP.IDX", 4, ix.RootPage);
    ASSERT_EQ(root.count, 1);
    EXPECT_EQ(root.items[0].key, NumKey(c.middle, 3));
    EXPECT_EQ(ReadPage("KOZEP.IDX", 4, 1).count, 16);
    EXPECT_EQ(ReadPage("KOZEP.IDX", 4, 2).count, 16);
    EXPECT_TRUE(TreeSound(ix));
    CloseIndex(ix);
  }
}

// --- Borrowing and merging -------------------------------------------------------------

struct ShapeCase {
  const char* name;
  std::vector<int> added;    // after 10, 20, ..., 330 (root 170; 10..160 | 180..330)
  int deleted;
  std::vector<int> pageCounts;  // pages 1, 2 (0: freed)
  int rootKey;                  // the root's only key, 0 when the root went
  int freePages;
};

TEST_F(IndexFileTest, BorrowAndMergeCounts) {
  const ShapeCase cases[] = {
      {"right neighbour of 16: merge, root freed", {}, 10, {32, 0}, 0, 2},
      {"right neighbour of 20: two items move", {181, 182, 183, 184}, 10, {17, 18}, 181, 0},
      {"right neighbour of 17: one item moves", {181}, 10, {16, 16}, 180, 0},
      {"left neighbour of 16: merge", {}, 330, {32, 0}, 0, 2},
      {"left neighbour of 20: two items move", {11, 12, 13, 14}, 330, {18, 17}, 150, 0},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    IndexFile ix;
    MakeIndex(ix, "ALAK.IDX", 4, false);
    AddRange(ix, 10, 330, 10);
    for (int n : c.added) AddNumbers(ix, {n});
    Delete(ix, c.deleted);
    ASSERT_TRUE(TreeSound(ix));
    const DiskPage p1 = ReadPage("ALAK.IDX", 4, 1);
    const DiskPage p2 = ReadPage("ALAK.IDX", 4, 2);
    if (c.rootKey == 0) {
      EXPECT_EQ(ix.RootPage, 1);
      EXPECT_EQ(p1.count, 32);
    } else {
      EXPECT_EQ(ix.RootPage, 3);
      const DiskPage root = ReadPage("ALAK.IDX", 4, 3);
      ASSERT_EQ(root.count, 1);
      EXPECT_EQ(root.items[0].key, NumKey(c.rootKey, 3));
      EXPECT_EQ(p1.count, c.pageCounts[0]);
      EXPECT_EQ(p2.count, c.pageCounts[1]);
    }
    EXPECT_EQ(CheckIndex(ix).FreePages, c.freePages);
    CloseIndex(ix);
  }
}

TEST_F(IndexFileTest, DeletingTheOnlyKeyFreesTheRoot) {
  IndexFile ix;
  MakeIndex(ix, "EGY.IDX", 4, false);
  AddNumbers(ix, {5});
  Delete(ix, 5);
  EXPECT_EQ(ix.RootPage, 0);
  EXPECT_EQ(Slot("EGY.IDX", IndexRecLen(4), 0), IndexHeaderSlot(IndexRecLen(4), 1, 1, 0, 2, 2));
  int32_t ref = 0;
  std::string k;
  NextKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  // The freed page is the next one used.
  AddNumbers(ix, {6});
  EXPECT_EQ(ix.RootPage, 1);
  EXPECT_TRUE(TreeSound(ix));
  CloseIndex(ix);
}

TEST_F(IndexFileTest, DeletingFromAnInnerPageTakesThePredecessor) {
  IndexFile ix;
  MakeIndex(ix, "BELSO.IDX", 4, false);
  AddRange(ix, 10, 340, 10);  // root 170; left 10..160; right 180..340 (17)
  Delete(ix, 170);
  const DiskPage root = ReadPage("BELSO.IDX", 4, ix.RootPage);
  // 160 went up; the left page fell to 15 and borrowed one from the right.
  ASSERT_EQ(root.count, 1);
  EXPECT_EQ(root.items[0].key, NumKey(180, 3));
  EXPECT_TRUE(TreeSound(ix));
  std::string k = NumKey(170, 3);
  int32_t ref = 0;
  DeleteKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  CloseIndex(ix);
}

// --- Duplicates and searches -----------------------------------------------------------

TEST_F(IndexFileTest, DuplicatesAreOrderedByReference) {
  IndexFile ix;
  MakeIndex(ix, "DUP.IDX", 6, true);
  for (int32_t r : {7, 3, 5}) {
    std::string k = "KOVACS";
    AddKey(ix, r, k);
    ASSERT_TRUE(OpOk);
  }
  std::string k = "KOVACS";
  AddKey(ix, 5, k);
  EXPECT_FALSE(OpOk);
  k = "KOVACSNE";  // cut to KOVACS: the same entry again
  AddKey(ix, 3, k);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(WalkForward(ix),
            (std::vector<IndexEntry>{{"KOVACS", 3}, {"KOVACS", 5}, {"KOVACS", 7}}));
  // Deleting selects by reference.
  int32_t ref = 5;
  k = "kovacs";
  DeleteKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(ref, 5);
  ref = 5;
  DeleteKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(WalkForward(ix), (std::vector<IndexEntry>{{"KOVACS", 3}, {"KOVACS", 7}}));
  CloseIndex(ix);
}

TEST_F(IndexFileTest, FindKeyWithDuplicates) {
  IndexFile ix;
  MakeIndex(ix, "KERES.IDX", 8, true);
  for (auto [key, ref] : std::vector<std::pair<std::string, int>>{
           {"AB", 9}, {"AB", 4}, {"ABC", 1}, {"B", 2}}) {
    std::string k = key;
    AddKey(ix, ref, k);
  }
  struct Case {
    std::string key;
    bool found;
    int32_t ref;
  };
  for (const Case& c : {Case{"AB", true, 4}, Case{"ab", true, 4}, Case{"A", false, 0},
                        Case{"ABC", true, 1}, Case{"B", true, 2}, Case{"C", false, 0}}) {
    SCOPED_TRACE(c.key);
    std::string k = c.key;
    int32_t ref = 0;
    FindKey(ix, ref, k);
    EXPECT_EQ(OpOk, c.found);
    if (c.found) {
      EXPECT_EQ(ref, c.ref);
    }
  }
  // FindKeyForRecord reaches the second duplicate; a missing reference fails.
  std::string k = "AB";
  int32_t ref = 9;
  FindKeyForRecord(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(ref, 9);
  ref = 5;
  k = "AB";
  FindKeyForRecord(ix, ref, k);
  EXPECT_FALSE(OpOk);
  CloseIndex(ix);
}

TEST_F(IndexFileTest, SearchesAtTheEdges) {
  IndexFile ix;
  MakeIndex(ix, "SZEL.IDX", 4, false);
  AddRange(ix, 10, 400, 10);  // two levels
  int32_t ref = 0;
  std::string k = NumKey(999, 3);
  SearchKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(ix.PathDepth, 0);
  NextKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(k, NumKey(10, 3));

  // Between two keys: the next one, and PrevKey from there the one before.
  k = NumKey(175, 3);
  SearchKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(k, NumKey(180, 3));
  EXPECT_EQ(ref, 1180);
  PrevKey(ix, ref, k);
  EXPECT_EQ(k, NumKey(170, 3));

  ClearKey(ix);
  PrevKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(k, NumKey(400, 3));
  NextKey(ix, ref, k);
  EXPECT_FALSE(OpOk);

  k = "";
  SearchKey(ix, ref, k);
  EXPECT_EQ(k, NumKey(10, 3));
  PrevKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  CloseIndex(ix);
}

TEST_F(IndexFileTest, FindLastKey) {
  IndexFile ix;
  MakeIndex(ix, "UTOLSO.IDX", 6, false);
  for (const char* key : {"AA", "AB1", "AB2", "AC", "A\xFF", "A\xFF\xFF" "1", "`"}) {
    std::string k = key;
    AddKey(ix, 1, k);
  }
  struct Case {
    std::string key;
    bool found;
    std::string want;
  };
  for (const Case& c : {Case{"AB", true, "AB2"}, Case{"ab", true, "AB2"}, Case{"", true, "`"},
                        Case{"AB3", true, "AB2"}, Case{"A", true, "A\xFF\xFF" "1"},
                        Case{"A\xFF", true, "A\xFF\xFF" "1"}, Case{"0", false, ""},
                        Case{"`", true, "`"}, Case{"\xFF", true, "`"}}) {
    SCOPED_TRACE(c.key);
    std::string k = c.key;
    int32_t ref = 0;
    FindLastKey(ix, ref, k);
    EXPECT_EQ(OpOk, c.found);
    if (c.found) {
      EXPECT_EQ(k, c.want);
    }
  }
  CloseIndex(ix);
}

TEST_F(IndexFileTest, KeysAreUpperCasedAndCut) {
  IndexFile ix;
  MakeIndex(ix, "NEV.IDX", 5, false);
  std::string k = "kovács"_cp;
  AddKey(ix, 1, k);
  EXPECT_EQ(k, "KOVÁC"_cp);
  k = "KOVÁCS"_cp;
  int32_t ref = 0;
  FindKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(ref, 1);
  k = "kovácsné"_cp;  // differs only after five characters: the same key
  AddKey(ix, 2, k);
  EXPECT_FALSE(OpOk);
  k = "árvíztűrő"_cp;
  AddKey(ix, 3, k);
  EXPECT_EQ(k, "ÁRVÍZ"_cp);
  // A key longer than 246 is cut to 246 before anything else.
  k = std::string(300, 'x');
  FindKey(ix, ref, k);
  EXPECT_EQ(k, std::string(5, 'X'));
  CloseIndex(ix);
}

// A walk of one descriptor while another (as another station would) merges
// the leaf the walk stands on into its neighbour: the freed page can never
// be read as a page again, and the walk goes on from the entry it stood on.
TEST_F(IndexFileTest, WalkGoesOnAfterItsPageWasFreedUnderIt) {
  struct Case {
    const char* name;
    std::vector<int> deleted;  // by the other descriptor
    bool forward;
    int want;
  };
  for (const Case& c : {Case{"next", {1}, true, 21}, Case{"back", {1}, false, 19},
                        Case{"next after own entry went", {1, 20}, true, 21},
                        Case{"back after own entry went", {1, 20}, false, 19}}) {
    SCOPED_TRACE(c.name);
    IndexFile writer;
    MakeIndex(writer, "SETA.IDX", 4, false);
    AddRange(writer, 1, 100);  // leaves 1..16, 18..33, 35..50, ...
    IndexFile walker;
    OpenIndex(walker, "SETA.IDX", 4, false);
    int32_t ref = 0;
    std::string k = NumKey(20, 3);
    SearchKey(walker, ref, k);
    ASSERT_EQ(walker.SearchPath[walker.PathDepth - 1].Page, 2);
    for (int n : c.deleted) Delete(writer, n);
    ASSERT_TRUE(TreeSound(writer));
    ASSERT_GT(Slot("SETA.IDX", IndexRecLen(4), 2)[0], 32);  // page 2 is free now
    if (c.forward) {
      NextKey(walker, ref, k);
    } else {
      PrevKey(walker, ref, k);
    }
    EXPECT_TRUE(OpOk);
    EXPECT_EQ(k, NumKey(c.want, 3));
    EXPECT_EQ(ref, c.want + 1000);
    CloseIndex(walker);
    CloseIndex(writer);
  }
}

// A walk that deletes or adds keys as it goes (through the same descriptor,
// or another one of this program, in shared and in exclusive use) meets
// every key that was there before it exactly once, and never one it added
// behind itself.
TEST_F(IndexFileTest, WalkThatChangesTheIndexAsItGoesMeetsEveryKeyOnce) {
  struct Case {
    const char* name;
    int32_t mode;
    bool sameDescriptor;
    bool forward;
    bool deleting;  // else it adds a key just behind the one it stands on
  };
  for (const Case& c : {Case{"delete, forward", ModeShared, true, true, true},
                        Case{"delete, backward", ModeShared, true, false, true},
                        Case{"delete through another descriptor", ModeShared, false, true, true},
                        Case{"delete in exclusive use", ModeExclusive, true, true, true},
                        Case{"add behind, forward", ModeShared, true, true, false},
                        Case{"add behind, backward", ModeExclusive, true, false, false}}) {
    SCOPED_TRACE(c.name);
    IndexFile ix;
    MakeIndex(ix, "JAR.IDX", 6, false);
    AddRange(ix, 10, 4000, 10, 4);  // 399 keys, three levels
    CloseIndex(ix);
    SetOpenMode(c.mode, 0);
    OpenIndex(ix, "JAR.IDX", 6, false);
    RestoreOpenMode();
    IndexFile other;
    if (!c.sameDescriptor) OpenIndex(other, "JAR.IDX", 6, false);
    IndexFile& changer = c.sameDescriptor ? ix : other;
    std::vector<std::string> met;
    int32_t ref = 0;
    std::string k;
    for (;;) {
      if (c.forward) {
        NextKey(ix, ref, k);
      } else {
        PrevKey(ix, ref, k);
      }
      if (!OpOk) break;
      met.push_back(k);
      const int n = std::stoi(k.substr(1));
      if (c.deleting) {
        Delete(changer, n, 4);
      } else if (n % 10 == 0) {
        AddNumbers(changer, {c.forward ? n - 5 : n + 5}, 4);
      }
    }
    std::vector<std::string> want;
    for (int n = 10; n <= 4000; n += 10) want.push_back(NumKey(n, 4));
    if (!c.forward) std::reverse(want.begin(), want.end());
    EXPECT_EQ(met, want);
    if (!c.sameDescriptor) CloseIndex(other);
    CloseIndex(ix);  // exclusive use writes its header here
    OpenIndex(ix, "JAR.IDX", 6, false);
    EXPECT_TRUE(TreeSound(ix));
    CloseIndex(ix);
  }
}

// A search that finds nothing leaves the path before where the key would
// stand; a key added there afterwards (by this descriptor or another one)
// is the next step of the walk, and the step before is the entry below.
TEST_F(IndexFileTest, WalkAfterAFailedFindGoesOnFromWhereTheKeyWouldStand) {
  struct Case {
    const char* name;
    int32_t mode;
    bool sameDescriptor;
    bool forward;
    int want;
  };
  for (const Case& c : {Case{"next, shared", ModeShared, true, true, 1012},
                        Case{"next, another descriptor", ModeShared, false, true, 1012},
                        Case{"next, exclusive", ModeExclusive, true, true, 1012},
                        Case{"back, shared", ModeShared, true, false, 1000},
                        Case{"back, another descriptor", ModeShared, false, false, 1000}}) {
    SCOPED_TRACE(c.name);
    IndexFile ix;
    MakeIndex(ix, "HIANY.IDX", 6, false);
    AddRange(ix, 0, 2000, 10, 4);
    CloseIndex(ix);
    SetOpenMode(c.mode, 0);
    OpenIndex(ix, "HIANY.IDX", 6, false);
    RestoreOpenMode();
    IndexFile other;
    if (!c.sameDescriptor) OpenIndex(other, "HIANY.IDX", 6, false);
    int32_t ref = 0;
    std::string k = NumKey(1015, 4);
    FindKey(ix, ref, k);
    EXPECT_FALSE(OpOk);
    AddNumbers(c.sameDescriptor ? ix : other, {1012}, 4);
    k.clear();
    if (c.forward) {
      NextKey(ix, ref, k);
    } else {
      PrevKey(ix, ref, k);
    }
    EXPECT_TRUE(OpOk);
    EXPECT_EQ(k, NumKey(c.want, 4));
    if (!c.sameDescriptor) CloseIndex(other);
    CloseIndex(ix);
  }
}

// --- Files ------------------------------------------------------------------------

TEST_F(IndexFileTest, ReopenedIndexKeepsItsTree) {
  IndexFile ix;
  MakeIndex(ix, "MARAD.IDX", 4, false);
  AddRange(ix, 1, 100);
  const int32_t root = ix.RootPage;
  CloseIndex(ix);
  IndexFile again;
  OpenIndex(again, "MARAD.IDX", 4, false);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(again.Root, root);
  EXPECT_EQ(WalkForward(again).size(), 100u);
  // Exclusive use keeps the header in memory and writes it at close.
  CloseIndex(again);
  SetOpenMode(ModeExclusive, 0);
  OpenIndex(again, "MARAD.IDX", 4, false);
  RestoreOpenMode();
  AddRange(again, 101, 140);
  Delete(again, 1);
  CloseIndex(again);
  OpenIndex(again, "MARAD.IDX", 4, false);
  EXPECT_EQ(WalkForward(again).size(), 139u);
  EXPECT_TRUE(TreeSound(again));
  // 100 + 40 keys added and one deleted; emptying the index is one change
  // more, so that a walk of another station notices it.
  RecreateIndex(again);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(ReadHost("MARAD.IDX"), IndexHeaderSlot(IndexRecLen(4), -1, 0, 0, 1, 142));
  EXPECT_EQ(TableEntry(again.TableSlot).kind, KindIndex);
  CloseIndex(again);
  EXPECT_EQ(OpenFileCount(), 0);
}

TEST_F(IndexFileTest, CloseAllFilesClosesIndexesAsIndexes) {
  IndexFile ix;
  OpenOrMakeIndex(ix, "MIND.IDX", 4, false);
  ASSERT_TRUE(OpOk);
  AddRange(ix, 1, 3);
  CloseAllFiles();
  EXPECT_FALSE(ix.Handle.IsOpen());
  EXPECT_EQ(OpenFileCount(), 0);
}

TEST_F(IndexFileTest, OpenOrMakePairMakesBothOnlyWithoutTheDataFile) {
  DataFile d;
  IndexFile ix;
  OpenOrMakePair("PAR", d, ix, 30, 8, true);
  ASSERT_TRUE(OpOk);
  EXPECT_TRUE(d.Handle.IsOpen());
  EXPECT_TRUE(ix.Handle.IsOpen());
  EXPECT_TRUE(ix.AllowDuplicates);
  CloseIndex(ix);
  CloseDataFile(d);
  std::filesystem::remove(Host("PAR.idx"));
  OpenOrMakePair("PAR", d, ix, 30, 8, true);
  EXPECT_FALSE(OpOk);
  EXPECT_TRUE(d.Handle.IsOpen());
  EXPECT_FALSE(ix.Handle.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(Host("PAR.idx")));
  CloseDataFile(d);
}

TEST_F(IndexFileTest, RefusalsLeaveTheFileAlone) {
  IndexFile ix;
  MakeIndex(ix, "HOSSZ.IDX", 247, false);
  EXPECT_FALSE(OpOk);
  MakeIndex(ix, "HOSSZ.IDX", 0, false);
  EXPECT_FALSE(OpOk);
  EXPECT_FALSE(std::filesystem::exists(Host("HOSSZ.IDX")));

  MakeIndex(ix, "OLVAS.IDX", 4, false);
  AddRange(ix, 1, 3);
  CloseIndex(ix);
  const Bytes before = ReadHost("OLVAS.IDX");
  SetOpenMode(ModeReadOnly, 0);
  OpenIndex(ix, "OLVAS.IDX", 4, false);
  RestoreOpenMode();
  ASSERT_TRUE(OpOk);
  AnswerBoxes();
  std::string k = "X";
  AddKey(ix, 9, k);
  EXPECT_FALSE(OpOk);
  k = NumKey(1, 3);
  int32_t ref = 0;
  DeleteKey(ix, ref, k);
  EXPECT_FALSE(OpOk);
  ASSERT_EQ(Shown.size(), 2u);
  for (const std::string& screen : Shown) {
    EXPECT_NE(screen.find("Illegális file müvelet!"_cp), std::string::npos);
    EXPECT_NE(screen.find("OLVAS.IDX"), std::string::npos);
  }
  FindKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  CloseIndex(ix);
  EXPECT_EQ(ReadHost("OLVAS.IDX"), before);
}

// --- Live records -----------------------------------------------------------------

TEST_F(IndexFileTest, LiveRecordStepsSkipDeletedRecords) {
  DataFile d;
  MakeDataFile(d, "ELO.DAT", 20);
  IndexFile ix;
  MakeIndex(ix, "ELO.IDX", 4, false);
  for (int n = 1; n <= 6; ++n) {
    int32_t r = 0;
    const Bytes rec = Record(20, static_cast<uint8_t>(n));
    AddRecord(d, r, rec.data());
    std::string k = NumKey(n, 3);
    AddKey(ix, r, k);
  }
  DeleteRecord(d, 2);
  DeleteRecord(d, 3);
  DeleteRecord(d, 6);
  Bytes buf(20);
  std::string k = NumKey(2, 3);
  int32_t ref = 0;
  FindLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_FALSE(OpOk);
  SetLocking(false);
  SearchLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(ref, 4);
  EXPECT_EQ(buf, Record(20, 4));
  NextLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_EQ(ref, 5);
  NextLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_FALSE(OpOk);
  ClearKey(ix);
  PrevLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_EQ(ref, 5);
  PrevLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_EQ(ref, 4);
  PrevLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_EQ(ref, 1);
  SetLocking(true);
  // With locking on the record found stays locked for the caller.
  k = NumKey(4, 3);
  FindLiveRecord(ix, k, d, ref, buf.data());
  EXPECT_TRUE(OpOk);
  EXPECT_TRUE(HoldsLock(d, 4));
  // The search itself took no lock and put the switches back.
  EXPECT_TRUE(LockingEnabled);
  EXPECT_EQ(LockSuspendDepth, 0);
  EXPECT_FALSE(HoldsLock(ix, 0));
  // The check with the data file names the three deleted records.
  EXPECT_EQ(CheckIndex(ix, &d).Faults.size(), 3u);
  CloseIndex(ix);
  CloseDataFile(d);
}

TEST_F(IndexFileTest, SearchesKeepASuspendedLockingSuspended) {
  IndexFile ix;
  MakeIndex(ix, "FELF.IDX", 4, false);
  AddRange(ix, 1, 5);
  SuspendLocking();
  SuspendLocking();
  int32_t ref = 0;
  std::string k = NumKey(3, 3);
  FindKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_FALSE(LockingEnabled);
  EXPECT_EQ(LockSuspendDepth, 2);
  ResumeLocking();
  ResumeLocking();
  CloseIndex(ix);
}

}  // namespace
}  // namespace engine::testing
