// Damaged index files end in the engine's fatal report, never in a crash, a
// hang or an access outside a page; a tree that would need a sixth level
// refuses the key and stays as it was.
#include <functional>

#include "index_test_util.h"
#include "text/literal.h"

namespace engine::testing {
namespace {

using namespace text::literals;

struct Stopped {
  int code;
};

constexpr int kKeyLen = 4;

struct PageSpec {
  int count;
  int32_t left;
  std::vector<std::tuple<std::string, int32_t, int32_t>> items;  // key, reference, right child
  int keyLengthByte = -1;  // >= 0: the first item's length byte
};

class IndexDamageTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    EngineStopHook = [](int code) { throw Stopped{code}; };
  }
  void TearDown() override {
    EngineStopHook = nullptr;
    ForgetCachedPages();
    EngineTest::TearDown();
  }

  static Bytes Page(const PageSpec& s) {
    Bytes b(static_cast<size_t>(IndexRecLen(kKeyLen)), 0);
    b[0] = static_cast<uint8_t>(s.count);
    Put32(b, 1, s.left);
    size_t at = 5;
    for (const auto& [key, ref, right] : s.items) {
      if (at >= b.size()) break;  // a count above 32 has no room for its items
      Put32(b, at, ref);
      Put32(b, at + 4, right);
      b[at + 8] = static_cast<uint8_t>(key.size());
      for (size_t i = 0; i < key.size() && i < kKeyLen; ++i) b[at + 9 + i] = key[i];
      at += kKeyLen + 9;
    }
    if (s.keyLengthByte >= 0) b[13] = static_cast<uint8_t>(s.keyLengthByte);
    return b;
  }
  // n items "A01".. with references 1.., all with this right child.
  static PageSpec Full(int n, int32_t left, int32_t right, char letter = 'A') {
    PageSpec s{n, left, {}};
    for (int i = 1; i <= n; ++i) {
      char k[8];
      std::snprintf(k, sizeof k, "%c%02d", letter, i);
      s.items.emplace_back(k, i, right);
    }
    return s;
  }
  void WriteIndex(const std::string& name, int32_t root, const std::vector<PageSpec>& pages,
                  int32_t firstFree = -1, int32_t freeCount = 0) {
    Bytes all = HeaderSlot(IndexRecLen(kKeyLen), firstFree, freeCount, root,
                           static_cast<int32_t>(pages.size() + 1));
    for (const PageSpec& p : pages) {
      const Bytes b = Page(p);
      all.insert(all.end(), b.begin(), b.end());
    }
    WriteHost(name, all);
  }

  // The stop code of the operation, or -1 when it ended normally.
  int StopOf(const std::function<void()>& op) {
    try {
      op();
    } catch (const Stopped& s) {
      ForgetCachedPages();
      return s.code;
    }
    return -1;
  }
};

struct DamageCase {
  const char* name;
  int32_t root;
  std::vector<PageSpec> pages;
  const char* operation;  // "find", "add", "delete", "walk", "back"
  int code;
};

TEST_F(IndexDamageTest, DamagedTreesEndInTheFatalReport) {
  const std::vector<DamageCase> cases = {
      {"item count above 32", 1, {Full(40, 0, 0)}, "find", 201},
      {"item count above 32 while walking", 1, {Full(33, 0, 0)}, "walk", 201},
      {"root outside the file", 7, {Full(3, 0, 0)}, "find", 201},
      {"child outside the file", 1, {Full(20, 9, 9)}, "find", 201},
      {"negative child", 1, {Full(20, -3, -3)}, "add", 201},
      {"root is its own child", 1, {Full(20, 1, 1)}, "find", 201},
      {"two pages in a loop", 1, {Full(20, 2, 2), Full(20, 1, 1)}, "walk", 201},
      {"loop walked backwards", 1, {Full(20, 2, 2), Full(20, 1, 1)}, "back", 201},
      {"loop met while adding", 1, {Full(20, 2, 2), Full(20, 1, 1)}, "add", 201},
      {"loop met while deleting", 1, {Full(20, 2, 2), Full(20, 1, 1)}, "delete", 201},
      {"six levels", 1,
       {Full(1, 2, 2), Full(1, 3, 3), Full(1, 4, 4), Full(1, 5, 5), Full(1, 6, 6), Full(1, 0, 0)},
       "find", 201},
      {"key longer than the key length", 1, {PageSpec{2, 0, {{"A", 1, 0}, {"B", 2, 0}}, 200}},
       "find", 201},
      {"key length byte 5 for key length 4", 1,
       {PageSpec{2, 0, {{"A", 1, 0}, {"B", 2, 0}}, 5}}, "walk", 201},
      // The right neighbour of a page that falls to 15 holds only 3 items.
      {"neighbour too small to borrow from", 3,
       {Full(16, 0, 0, 'A'), Full(3, 0, 0, 'C'), PageSpec{1, 1, {{"B00", 99, 2}}}}, "delete",
       201},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIndex("SERULT.IDX", c.root, c.pages);
    IndexFile ix;
    OpenIndex(ix, "SERULT.IDX", kKeyLen, false);
    ASSERT_TRUE(OpOk);
    const std::string op = c.operation;
    const int code = StopOf([&] {
      int32_t ref = 0;
      // A key that is not in the root, so that every operation goes down.
      std::string k = op == "delete" ? "A05" : "A055";
      if (op == "find") FindKey(ix, ref, k);
      if (op == "add") {
        k = "A051";
        AddKey(ix, 500, k);
      }
      if (op == "delete") DeleteKey(ix, ref, k);
      if (op == "walk") {
        for (int i = 0; i < 100; ++i) NextKey(ix, ref, k);
      }
      if (op == "back") {
        for (int i = 0; i < 100; ++i) PrevKey(ix, ref, k);
      }
    });
    EXPECT_EQ(code, c.code);
    // The check reports the same damage without stopping.
    EXPECT_FALSE(CheckIndex(ix).Faults.empty());
    ix.Handle.Close();
    ClearOpenFileTable();
  }
}

TEST_F(IndexDamageTest, FreeChainOutsideTheFileStopsTheAllocation) {
  // A full root: the next key needs two new pages, the first from the chain.
  WriteIndex("LANC.IDX", 1, {Full(32, 0, 0)}, 40, 1);
  IndexFile ix;
  OpenIndex(ix, "LANC.IDX", kKeyLen, false);
  ASSERT_TRUE(OpOk);
  const Bytes before = ReadHost("LANC.IDX");
  std::string k = "Z";
  EXPECT_EQ(StopOf([&] { AddKey(ix, 1, k); }), 201);
  EXPECT_EQ(ReadHost("LANC.IDX"), before);
  ix.Handle.Close();
  ClearOpenFileTable();
}

TEST_F(IndexDamageTest, SixthLevelIsRefusedAndNothingChanges) {
  // Five full levels: every child of level n is the one page of level n + 1
  // (a shape no sound tree has, but each descent meets five distinct pages).
  std::vector<PageSpec> pages;
  for (int level = 1; level <= 5; ++level) {
    const int32_t child = level < 5 ? level + 1 : 0;
    pages.push_back(Full(32, child, child, static_cast<char>('A' + level)));
  }
  WriteIndex("MELY.IDX", 1, pages);
  const Bytes before = ReadHost("MELY.IDX");
  IndexFile ix;
  OpenIndex(ix, "MELY.IDX", kKeyLen, false);
  ASSERT_TRUE(OpOk);
  AnswerBoxes();
  std::string k = "A";
  AddKey(ix, 1, k);
  EXPECT_FALSE(OpOk);
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_NE(Shown[0].find("Az index megtelt"), std::string::npos);
  EXPECT_EQ(ReadHost("MELY.IDX"), before);
  EXPECT_FALSE(HoldsLock(ix, 0));
  // A key found on the way down goes in as a refusal of an existing key,
  // without the message; searches reach the fifth level.
  k = "B01";
  AddKey(ix, 1, k);
  EXPECT_FALSE(OpOk);
  EXPECT_EQ(Shown.size(), 1u);
  int32_t ref = 0;
  k = "";
  SearchKey(ix, ref, k);
  EXPECT_TRUE(OpOk);
  EXPECT_EQ(k, "F01");
  EXPECT_EQ(ix.PathDepth, 5);
  CloseIndex(ix);
  EXPECT_EQ(ReadHost("MELY.IDX"), before);
}

}  // namespace
}  // namespace engine::testing
