// Several stations (processes) adding and deleting keys of one index at
// once, while another searches it: the tree stays sound and holds exactly
// the keys that survive.
#include <cstdio>
#include <set>

#include "index_test_util.h"

namespace engine::testing {
namespace {

class IndexStationsTest : public EngineTest, public ::testing::WithParamInterface<bool> {};

constexpr int kStations = 4;
constexpr int kKeys = 1500;

// A fatal report in a station ends it at once with a code of its own
// rather than waiting for a key on the headless screen.
void StopStationOnReport() {
  EngineStopHook = [](int code) {
    std::fprintf(stderr, "station %d stopped by a fatal report, code %d\n", getpid(), code);
    _exit(code == 0 ? 110 : 100 + code % 100);
  };
}

// Unique keys interleave the stations' entries in the same pages; with
// duplicates every station adds the same keys with its own references.
std::string StationKey(int station, int i, bool duplicates) {
  char buf[16];
  if (duplicates) {
    std::snprintf(buf, sizeof buf, "%04d", i);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%d", i, station);
  }
  return buf;
}
int32_t StationRef(int station, int i) { return station * 10000 + i + 1; }

TEST_P(IndexStationsTest, ChangesOfSeveralStationsKeepTheTreeSound) {
  const bool duplicates = GetParam();
  IndexFile ix;
  MakeIndex(ix, "KOZOS.IDX", 8, duplicates);
  ASSERT_TRUE(OpOk);
  CloseIndex(ix);

  std::vector<pid_t> stations;
  for (int s = 0; s < kStations; ++s) {
    stations.push_back(Station([s, duplicates] {
      StopStationOnReport();
      IndexFile mine;
      OpenIndex(mine, "KOZOS.IDX", 8, duplicates);
      if (!OpOk) {
        std::fprintf(stderr, "station %d: the index did not open (code %d)\n", s, IoStatus);
        return 100;
      }
      int failures = 0;
      for (int i = 0; i < kKeys; ++i) {
        std::string k = StationKey(s, i, duplicates);
        AddKey(mine, StationRef(s, i), k);
        if (!OpOk) std::fprintf(stderr, "station %d: AddKey %s failed\n", s, k.c_str());
        failures += !OpOk;
        if (i % 3 == 2) {  // the key before goes again
          k = StationKey(s, i - 1, duplicates);
          int32_t ref = StationRef(s, i - 1);
          DeleteKey(mine, ref, k);
          if (!OpOk || ref != StationRef(s, i - 1)) {
            std::fprintf(stderr, "station %d: DeleteKey %s failed (ref %d)\n", s, k.c_str(), ref);
          }
          failures += !OpOk || ref != StationRef(s, i - 1);
        }
        if (i % 25 == 0) {  // its own newest key is found
          k = StationKey(s, i, duplicates);
          int32_t ref = StationRef(s, i);
          FindKeyForRecord(mine, ref, k);
          if (!OpOk) std::fprintf(stderr, "station %d: FindKeyForRecord %s failed\n", s, k.c_str());
          failures += !OpOk;
        }
      }
      CloseIndex(mine);
      return std::min(failures, 99);
    }));
  }
  // A station that only searches while the others change the tree: it must
  // never meet damage that stays.
  const pid_t reader = Station([duplicates] {
    StopStationOnReport();
    IndexFile mine;
    OpenIndex(mine, "KOZOS.IDX", 8, duplicates);
    if (!OpOk) return 100;
    for (int n = 0; n < 1500; ++n) {
      std::string k = StationKey(n % kStations, (n * 7) % kKeys, duplicates);
      int32_t ref = 0;
      if (n % 2) {
        FindKey(mine, ref, k);
      } else {
        SearchKey(mine, ref, k);
      }
    }
    CloseIndex(mine);
    return 0;
  });
  for (pid_t pid : stations) EXPECT_EQ(WaitStation(pid), 0);
  EXPECT_EQ(WaitStation(reader), 0);

  std::set<std::pair<std::string, int32_t>> want;
  for (int s = 0; s < kStations; ++s) {
    for (int i = 0; i < kKeys; ++i) {
      const bool deleted = i % 3 == 1 && i + 1 < kKeys;
      if (!deleted) want.insert({StationKey(s, i, duplicates), StationRef(s, i)});
    }
  }
  OpenIndex(ix, "KOZOS.IDX", 8, duplicates);
  ASSERT_TRUE(OpOk);
  const IndexCheckResult r = CheckIndex(ix);
  EXPECT_TRUE(r.Faults.empty()) << (r.Faults.empty() ? "" : r.Faults.front());
  std::vector<IndexEntry> expected;
  for (const auto& [k, ref] : want) expected.push_back({k, ref});
  EXPECT_EQ(r.Entries, expected);
  EXPECT_EQ(WalkForward(ix), expected);
  EXPECT_GE(r.Depth, 2);
  CloseIndex(ix);
}

// Walks through the whole index, forwards and backwards, while other
// stations add and delete keys between the entries: every key that stays
// all the time is met exactly once in each walk, and the walk never goes
// back.
TEST_P(IndexStationsTest, WalksMeetEveryLastingKeyOnceWhileOthersChangeTheTree) {
  const bool duplicates = GetParam();
  constexpr int kLasting = 600;
  IndexFile ix;
  MakeIndex(ix, "SETA.IDX", 8, duplicates);
  ASSERT_TRUE(OpOk);
  for (int i = 0; i < kLasting; ++i) {
    std::string k = NumKey(i * 10, 6);
    AddKey(ix, i + 1, k);
    ASSERT_TRUE(OpOk);
  }
  CloseIndex(ix);

  // Changers add keys between the lasting ones and delete them again.
  std::vector<pid_t> changers;
  for (int s = 0; s < 2; ++s) {
    changers.push_back(Station([s, duplicates] {
      StopStationOnReport();
      IndexFile mine;
      OpenIndex(mine, "SETA.IDX", 8, duplicates);
      if (!OpOk) return 100;
      for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < kLasting; i += 2) {
          std::string k = NumKey(i * 10 + 1 + s + (round % 3) * 2, 6);
          AddKey(mine, 50000 + s * 10000 + i, k);
        }
        for (int i = 0; i < kLasting; i += 2) {
          std::string k = NumKey(i * 10 + 1 + s + (round % 3) * 2, 6);
          int32_t ref = 50000 + s * 10000 + i;
          DeleteKey(mine, ref, k);
        }
      }
      CloseIndex(mine);
      return 0;
    }));
  }
  const pid_t walker = Station([duplicates] {
    StopStationOnReport();
    IndexFile mine;
    OpenIndex(mine, "SETA.IDX", 8, duplicates);
    if (!OpOk) return 100;
    int faults = 0;
    for (int pass = 0; pass < 6; ++pass) {
      const bool forward = pass % 2 == 0;
      ClearKey(mine);
      std::vector<std::string> lasting;
      std::string last;
      int32_t ref = 0;
      std::string k;
      for (bool first = true;; first = false) {
        if (forward) {
          NextKey(mine, ref, k);
        } else {
          PrevKey(mine, ref, k);
        }
        if (!OpOk) break;
        if (!first && (forward ? k <= last : k >= last)) {
          std::fprintf(stderr, "walk went from %s to %s\n", last.c_str(), k.c_str());
          ++faults;
        }
        last = k;
        if (std::stoi(k.substr(1)) % 10 == 0) lasting.push_back(k);
      }
      if (lasting.size() != static_cast<size_t>(kLasting)) {
        std::fprintf(stderr, "walk met %zu lasting keys of %d\n", lasting.size(), kLasting);
        ++faults;
      }
    }
    CloseIndex(mine);
    return std::min(faults, 99);
  });
  for (pid_t pid : changers) EXPECT_EQ(WaitStation(pid), 0);
  EXPECT_EQ(WaitStation(walker), 0);

  OpenIndex(ix, "SETA.IDX", 8, duplicates);
  ASSERT_TRUE(OpOk);
  EXPECT_EQ(WalkForward(ix).size(), static_cast<size_t>(kLasting));
  EXPECT_TRUE(TreeSound(ix));
  CloseIndex(ix);
}

INSTANTIATE_TEST_SUITE_P(Stations, IndexStationsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Duplicates" : "Unique"; });

}  // namespace
}  // namespace engine::testing
