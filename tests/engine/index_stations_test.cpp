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
  EngineStopHook = [](int code) { _exit(code == 0 ? 110 : 100 + code % 100); };
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
      if (!OpOk) return 100;
      int failures = 0;
      for (int i = 0; i < kKeys; ++i) {
        std::string k = StationKey(s, i, duplicates);
        AddKey(mine, StationRef(s, i), k);
        failures += !OpOk;
        if (i % 3 == 2) {  // the key before goes again
          k = StationKey(s, i - 1, duplicates);
          int32_t ref = StationRef(s, i - 1);
          DeleteKey(mine, ref, k);
          failures += !OpOk || ref != StationRef(s, i - 1);
        }
        if (i % 25 == 0) {  // its own newest key is found
          k = StationKey(s, i, duplicates);
          int32_t ref = StationRef(s, i);
          FindKeyForRecord(mine, ref, k);
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

INSTANTIATE_TEST_SUITE_P(Stations, IndexStationsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Duplicates" : "Unique"; });

}  // namespace
}  // namespace engine::testing
