// Long random sequences of index operations checked against an ordered set
// after every step, with the whole tree checked along the way.
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "index_test_util.h"

namespace engine::testing {
namespace {

struct ModelCase {
  int keyLength;
  bool duplicates;
  int steps;
  int maxKeyChars;  // keys of 0..maxKeyChars characters before cutting
};

class IndexModelTest : public EngineTest, public ::testing::WithParamInterface<ModelCase> {};

// The key as the index must store it: the few lower-case letters the
// generator uses made capitals, cut to the key length.
std::string Stored(std::string k, int keyLength) {
  for (char& c : k) {
    if (c == 'a') c = 'A';
    if (c == 'b') c = 'B';
    if (static_cast<uint8_t>(c) == 0xA0) c = static_cast<char>(0xB5);  // á -> Á
    if (static_cast<uint8_t>(c) == 0x82) c = static_cast<char>(0x90);  // é -> É
  }
  if (k.size() > static_cast<size_t>(keyLength)) k.resize(static_cast<size_t>(keyLength));
  return k;
}

using Entry = std::pair<std::string, int32_t>;

// Bytes compare unsigned: std::string's compare does so too.
TEST_P(IndexModelTest, RandomOperationsAgreeWithAnOrderedSet) {
  const ModelCase c = GetParam();
  std::mt19937 rng(static_cast<unsigned>(c.keyLength * 7919 + c.duplicates));
  const char alphabet[] = {'A', 'B', 'C', 'a', 'b', static_cast<char>(0xA0),
                           static_cast<char>(0x82), static_cast<char>(0xFF), '0'};
  auto randomKey = [&] {
    const int len = std::uniform_int_distribution<int>(0, c.maxKeyChars)(rng);
    std::string k;
    // Long keys share long prefixes, so that comparisons reach far.
    const int shared = len > 8 ? len - 3 : 0;
    k.assign(static_cast<size_t>(shared), 'M');
    while (static_cast<int>(k.size()) < len) {
      k += alphabet[std::uniform_int_distribution<size_t>(0, sizeof alphabet - 1)(rng)];
    }
    return k;
  };

  IndexFile ix;
  MakeIndex(ix, "MODELL.IDX", c.keyLength, c.duplicates);
  ASSERT_TRUE(OpOk);
  std::set<Entry> model;  // unique: one entry per key
  auto findKey = [&](const std::string& k) {
    auto it = model.lower_bound({k, INT32_MIN});
    return it != model.end() && it->first == k ? it : model.end();
  };

  int maxDepth = 0;
  size_t maxCount = 0;
  for (int step = 0; step < c.steps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const int what = std::uniform_int_distribution<int>(0, 99)(rng);
    std::string key;
    int32_t pickedRef = 0;
    if (what < 25 && !model.empty()) {
      // A key of an existing entry, in the generator's spelling or stored.
      auto it = model.begin();
      std::advance(it, std::uniform_int_distribution<size_t>(0, model.size() - 1)(rng));
      key = it->first;
      if (std::uniform_int_distribution<int>(0, 1)(rng)) pickedRef = it->second;
    } else {
      key = randomKey();
    }
    const std::string stored = Stored(key, c.keyLength);
    int32_t ref = pickedRef ? pickedRef : std::uniform_int_distribution<int32_t>(1, 60)(rng);

    if (what < 50) {  // add
      const bool exists =
          c.duplicates ? model.count({stored, ref}) > 0 : findKey(stored) != model.end();
      std::string k = key;
      AddKey(ix, ref, k);
      ASSERT_EQ(OpOk, !exists) << stored;
      ASSERT_EQ(k, stored);
      if (!exists) model.insert({stored, ref});
    } else if (what < 80) {  // delete
      auto it = c.duplicates ? model.find({stored, ref}) : findKey(stored);
      if (!c.duplicates && std::uniform_int_distribution<int>(0, 1)(rng)) ref = 999;
      std::string k = key;
      int32_t r = ref;
      DeleteKey(ix, r, k);
      ASSERT_EQ(OpOk, it != model.end()) << stored;
      if (it != model.end()) {
        ASSERT_EQ(r, it->second);
        model.erase(it);
      }
    } else if (what < 90) {  // FindKey and a step back
      std::string k = key;
      int32_t r = -1;
      FindKey(ix, r, k);
      auto it = findKey(stored);
      ASSERT_EQ(OpOk, it != model.end()) << stored;
      if (it != model.end()) {
        ASSERT_EQ(r, it->second);
        ASSERT_EQ(k, stored);
        PrevKey(ix, r, k);
        ASSERT_EQ(OpOk, it != model.begin());
        if (it != model.begin()) {
          --it;
          ASSERT_EQ(Entry(k, r), *it);
        }
      }
    } else {  // SearchKey and a few steps on
      std::string k = key;
      int32_t r = -1;
      SearchKey(ix, r, k);
      auto it = model.lower_bound({stored, INT32_MIN});
      ASSERT_EQ(OpOk, it != model.end()) << stored;
      for (int n = 0; n < 3 && it != model.end(); ++n) {
        ASSERT_TRUE(OpOk);
        ASSERT_EQ(Entry(k, r), *it);
        ++it;
        NextKey(ix, r, k);
      }
      if (it == model.end()) {
        ASSERT_FALSE(OpOk);
      }
    }
    maxCount = std::max(maxCount, model.size());
    if (step % 250 == 0 || step == c.steps - 1) {
      const IndexCheckResult r = CheckIndex(ix);
      ASSERT_TRUE(r.Faults.empty()) << r.Faults.front();
      ASSERT_EQ(r.Entries.size(), model.size());
      size_t i = 0;
      for (const Entry& e : model) {
        ASSERT_EQ(r.Entries[i].Key, e.first);
        ASSERT_EQ(r.Entries[i].Reference, e.second);
        ++i;
      }
      maxDepth = std::max(maxDepth, r.Depth);
    }
  }
  // Both walks see the model's order.
  std::vector<IndexEntry> want;
  for (const Entry& e : model) want.push_back({e.first, e.second});
  EXPECT_EQ(WalkForward(ix), want);
  EXPECT_EQ(WalkBackward(ix), want);
  RecordProperty("depth", maxDepth);
  RecordProperty("keys", static_cast<int>(maxCount));
  CloseIndex(ix);
}

INSTANTIATE_TEST_SUITE_P(
    KeyLengths, IndexModelTest,
    ::testing::Values(ModelCase{1, false, 1500, 2}, ModelCase{1, true, 4000, 2},
                      ModelCase{3, false, 6000, 4}, ModelCase{3, true, 6000, 4},
                      ModelCase{12, true, 6000, 14}, ModelCase{246, false, 3000, 250},
                      ModelCase{246, true, 3000, 250}),
    [](const auto& info) {
      return "Len" + std::to_string(info.param.keyLength) +
             (info.param.duplicates ? "Dup" : "Unique");
    });

// Many keys added in ascending order: a tree of four levels, then emptied
// again in random order, checked as it shrinks.
TEST_F(EngineTest, GrowsToFourLevelsAndShrinksToNothing) {
  IndexFile ix;
  MakeIndex(ix, "NAGY.IDX", 6, false);
  ASSERT_TRUE(OpOk);
  std::vector<int> numbers(14000);
  for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<int>(i);
  std::mt19937 rng(42);
  // Ascending keys leave every page but the last of a level half full: the
  // tallest tree for the count.
  for (int n : numbers) {
    std::string k = NumKey(n);
    AddKey(ix, n + 1, k);
    ASSERT_TRUE(OpOk) << k;
  }
  IndexCheckResult r = CheckIndex(ix);
  ASSERT_TRUE(r.Faults.empty()) << r.Faults.front();
  EXPECT_EQ(r.Depth, 4);
  ASSERT_EQ(r.Entries.size(), numbers.size());
  std::shuffle(numbers.begin(), numbers.end(), rng);
  for (size_t i = 0; i < numbers.size(); ++i) {
    std::string k = NumKey(numbers[i]);
    int32_t ref = 0;
    DeleteKey(ix, ref, k);
    ASSERT_TRUE(OpOk) << k;
    ASSERT_EQ(ref, numbers[i] + 1);
    if (i % 2000 == 0) {
      ASSERT_TRUE(TreeSound(ix));
    }
  }
  r = CheckIndex(ix);
  EXPECT_TRUE(r.Faults.empty());
  EXPECT_EQ(ix.RootPage, 0);
  EXPECT_EQ(r.FreePages, ix.LiveSlots - 1);  // every page back on the chain
  CloseIndex(ix);
}

}  // namespace
}  // namespace engine::testing
