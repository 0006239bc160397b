// A writer killed with SIGKILL at random moments, many times over: after
// each kill every record the writer had finished is intact in the data file
// (a record being deleted at the kill is either gone or intact), and
// rebuilding the index from the data file gives an index that passes the
// full check against it, with an entry for every live record. The next
// writer goes on with the repaired pair.
//
// VANTOR_CRASH_ROUNDS sets the number of kills for a longer run by hand.
#include <fcntl.h>
#include <signal.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine/rebuild.h"
#include "engine_fixture.h"

namespace engine::testing {
namespace {

constexpr int kRecLen = 40;
constexpr int kKeyLen = 8;  // record bytes 8..15 (position 9)

int Rounds() {
  if (const char* s = getenv("VANTOR_CRASH_ROUNDS")) {
    const int n = atoi(s);
    if (n > 0) return n;
  }
  return 8;
}

std::string KeyOf(int32_t id) {
  char b[16];
  std::snprintf(b, sizeof b, "R%07d", id);
  return b;
}

Bytes RecordOf(int32_t id) {
  Bytes r(kRecLen);
  for (int i = 0; i < kRecLen; ++i) r[i] = static_cast<uint8_t>(id * 31 + i * 7);
  Put32(r, 0, id);
  r[4] = 1;
  const std::string k = KeyOf(id);
  std::memcpy(&r[8], k.data(), kKeyLen);
  return r;
}

// The writer: adds records (and deletes some of its own with their keys)
// until it is killed, telling the parent each step through the pipe:
// "A id slot" when an add is finished, "d id" before a deletion starts and
// "D id" when it is finished.
int Writer(int out, int32_t firstId, unsigned seed) {
  EngineStopHook = [](int) { _exit(42); };
  DataFile d;
  IndexFile ix;
  OpenDataFile(d, "KRASH.dat", kRecLen);
  if (!OpOk) return 3;
  OpenIndex(ix, "KRASH.idx", kKeyLen, false);
  if (!OpOk) return 3;
  std::mt19937 rng(seed);
  std::vector<std::pair<int32_t, int32_t>> mine;  // id, slot
  char line[64];
  auto Tell = [&](int n) { return write(out, line, static_cast<size_t>(n)) == n; };
  if (!Tell(std::snprintf(line, sizeof line, "R\n"))) return 4;
  for (int32_t id = firstId;; ++id) {
    if (!mine.empty() && rng() % 4 == 0) {
      const size_t at = rng() % mine.size();
      const auto [did, slot] = mine[at];
      mine.erase(mine.begin() + static_cast<long>(at));
      Tell(std::snprintf(line, sizeof line, "d %d\n", did));
      std::string k = KeyOf(did);
      int32_t r = slot;
      DeleteKey(ix, r, k);
      if (!OpOk) return 5;
      DeleteRecord(d, slot);
      Tell(std::snprintf(line, sizeof line, "D %d\n", did));
    }
    const Bytes rec = RecordOf(id);
    int32_t slot = 0;
    AddRecord(d, slot, rec.data());
    std::string k = KeyOf(id);
    AddKey(ix, slot, k);
    if (!OpOk) return 6;
    mine.emplace_back(id, slot);
    Tell(std::snprintf(line, sizeof line, "A %d %d\n", id, slot));
  }
}

class CrashTest : public EngineTest {};

TEST_F(CrashTest, KilledWriterLosesNothingFinishedAndRebuildRepairs) {
  AnswerBoxes();
  SetRebuildRefreshEvery(100000);
  {
    DataFile d;
    IndexFile ix;
    MakeDataFile(d, "KRASH.dat", kRecLen);
    ASSERT_TRUE(OpOk);
    MakeIndex(ix, "KRASH.idx", kKeyLen, false);
    ASSERT_TRUE(OpOk);
    CloseIndex(ix);
    CloseDataFile(d);
  }
  std::map<int32_t, int32_t> finished;  // id -> slot: must be live and intact
  std::set<int32_t> uncertain;          // deletion started, not finished
  std::mt19937 rng(99);
  const int rounds = Rounds();
  int totalAdds = 0;
  for (int round = 0; round < rounds; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int32_t firstId = (round + 1) * 100000;
    const pid_t pid = Station([&] {
      close(fds[0]);
      return Writer(fds[1], firstId, static_cast<unsigned>(round));
    });
    close(fds[1]);
    // Wait until the writer has opened its files, then kill it at random.
    char ready[2] = {};
    ASSERT_EQ(read(fds[0], ready, 2), 2);
    usleep(1000 + rng() % 15000);
    kill(pid, SIGKILL);
    ASSERT_EQ(WaitStation(pid), 128 + SIGKILL) << "round " << round;
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    std::istringstream in(said);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line.back() == '\r') continue;
      char what = 0;
      int32_t id = 0, slot = 0;
      if (std::sscanf(line.c_str(), "%c %d %d", &what, &id, &slot) < 2) continue;
      if (what == 'A') {
        finished[id] = slot;
        ++totalAdds;
      } else if (what == 'd') {
        uncertain.insert(id);
      } else if (what == 'D') {
        uncertain.erase(id);
        finished.erase(id);
      }
    }

    // Every finished record intact; none twice.
    const Bytes all = ReadHost("KRASH.dat");
    std::map<int32_t, int32_t> live;  // id -> slot
    for (size_t s = 1; s < all.size() / kRecLen; ++s) {
      const uint8_t* r = &all[s * kRecLen];
      if (r[4] == 0) continue;
      const int32_t id = Get32(Bytes(r, r + 4), 0);
      EXPECT_TRUE(live.emplace(id, static_cast<int32_t>(s)).second) << "twice: " << id;
    }
    for (const auto& [id, slot] : finished) {
      const Bytes got = Slot("KRASH.dat", kRecLen, slot);
      if (uncertain.count(id) && (got.size() < 5 || got[4] == 0)) continue;
      EXPECT_EQ(got, RecordOf(id)) << "round " << round << ", record " << id;
    }
    for (int32_t id : uncertain) {
      if (!live.count(id)) finished.erase(id);
    }
    uncertain.clear();
    if (HasFailure()) break;

    // The index rebuilt from the data file passes the full check and holds
    // every live record.
    RebuildIndex(false, "KRASH KRASH " + std::to_string(kRecLen) + " 0 9 " + std::to_string(kKeyLen));
    ASSERT_TRUE(LastRebuild().Built) << "round " << round;
    DataFile d;
    IndexFile ix;
    OpenDataFile(d, "KRASH.dat", kRecLen);
    ASSERT_TRUE(OpOk);
    OpenIndex(ix, "KRASH.idx", kKeyLen, false);
    ASSERT_TRUE(OpOk);
    const IndexCheckResult check = CheckIndex(ix, &d);
    for (const std::string& f : check.Faults) ADD_FAILURE() << "round " << round << ": " << f;
    std::set<std::pair<std::string, int32_t>> entries, want;
    for (const IndexEntry& e : check.Entries) entries.emplace(e.Key, e.Reference);
    const Bytes after = ReadHost("KRASH.dat");
    for (size_t s = 1; s < after.size() / kRecLen; ++s) {
      const uint8_t* r = &after[s * kRecLen];
      if (r[4] != 0) want.emplace(std::string(reinterpret_cast<const char*>(r + 8), kKeyLen), static_cast<int32_t>(s));
    }
    EXPECT_EQ(entries, want) << "round " << round;
    for (const auto& [id, slot] : finished) {
      EXPECT_TRUE(entries.count({KeyOf(id), slot})) << "round " << round << ", record " << id;
    }
    CloseIndex(ix);
    CloseDataFile(d);
    if (HasFailure()) break;
  }
  // The kills fell at many points: the writers got work done between them.
  EXPECT_GT(totalAdds, rounds);
}

}  // namespace
}  // namespace engine::testing
