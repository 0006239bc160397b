// Several stations at once on one data file with two indexes (unique keys
// and duplicate group keys): each adds records with their keys, corrects
// records (its own and others') with a change of key under the record lock,
// deletes its own records with their keys, and searches. Each station logs
// what it committed. Afterwards both indexes pass the full check against the
// data file, and the live records are exactly those of the logs, each with
// its last written content.
//
// The size is small for the test run; VANTOR_STRESS_OPS sets the operations
// per station for a longer run by hand (e.g. 50000).
#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine_fixture.h"

namespace engine::testing {
namespace {

constexpr int kRecLen = 64;
constexpr int kKeyLen = 16;
constexpr int kGroupLen = 3;
constexpr int kStations = 4;
constexpr int kGroups = 20;

int OpsPerStation() {
  if (const char* s = getenv("VANTOR_STRESS_OPS")) {
    const int n = atoi(s);
    if (n > 0) return n;
  }
  return 1500;
}

// A record's content is a function of its id, version, group and writer.
struct Content {
  int32_t id = 0;
  int32_t version = 0;
  int group = 0;
  int writer = 0;
};

std::string UniqueKey(int32_t id, int32_t version) {
  char b[32];
  std::snprintf(b, sizeof b, "U%07dV%07d", id, version);
  return b;
}
std::string GroupKey(int group) {
  char b[8];
  std::snprintf(b, sizeof b, "G%02d", group);
  return b;
}

Bytes MakeRecord(const Content& c) {
  Bytes r(kRecLen, 0);
  Put32(r, 0, c.id);
  r[4] = 1;
  r[5] = static_cast<uint8_t>(c.writer);
  Put32(r, 8, c.version);
  const std::string u = UniqueKey(c.id, c.version), g = GroupKey(c.group);
  std::memcpy(&r[12], u.data(), kKeyLen);
  std::memcpy(&r[28], g.data(), kGroupLen);
  for (int i = 32; i < kRecLen; ++i) r[i] = static_cast<uint8_t>(c.id * 7 + c.version * 13 + i);
  return r;
}

// The content a record claims, and whether its bytes agree with it.
bool ParseRecord(const uint8_t* r, Content& c) {
  Bytes b(r, r + kRecLen);
  c.id = Get32(b, 0);
  c.writer = b[5];
  c.version = Get32(b, 8);
  const std::string g(reinterpret_cast<const char*>(&b[28]), kGroupLen);
  if (g.size() != 3 || g[0] != 'G' || !isdigit(static_cast<unsigned char>(g[1])) ||
      !isdigit(static_cast<unsigned char>(g[2])))
    return false;
  c.group = (g[1] - '0') * 10 + (g[2] - '0');
  return MakeRecord(c) == b;
}

struct Files {
  DataFile data;
  IndexFile unique;
  IndexFile groups;
  bool Open() {
    OpenDataFile(data, "STRESS.DAT", kRecLen);
    if (!OpOk) return false;
    OpenIndex(unique, "STRESS1.IDX", kKeyLen, false);
    if (!OpOk) return false;
    OpenIndex(groups, "STRESS2.IDX", kGroupLen, true);
    return OpOk;
  }
  void Close() {
    CloseIndex(groups);
    CloseIndex(unique);
    CloseDataFile(data);
  }
};

// The operation a station is in, named in the faults file when the engine
// stops the station.
const char* currentOp = "open";
FILE* faultsFile = nullptr;

// One station's run. Returns the number of faults it met (0 = clean).
int RunStation(int station, int ops, const std::string& logPath, const char* failPath) {
  FILE* log = std::fopen(logPath.c_str(), "w");
  FILE* fail = std::fopen(failPath, "a");
  if (!log || !fail) return 99;
  faultsFile = fail;
  EngineStopHook = [](int code) {
    std::fprintf(faultsFile, "engine stop %d in %s\n", code, currentOp);
    std::fflush(faultsFile);
    _exit(code == 0 ? 97 : code);
  };
  setvbuf(log, nullptr, _IOLBF, 0);
  int faults = 0;
  auto Fault = [&](const char* what, int32_t id) {
    ++faults;
    std::fprintf(fail, "station %d: %s (record id %d)\n", station, what, id);
    std::fflush(fail);
  };
  Files f;
  if (!f.Open()) return 98;
  std::mt19937 rng(static_cast<unsigned>(1000 + station));
  std::map<int32_t, int32_t> mine;  // id -> slot, own live records
  int32_t next = 0;
  uint8_t buf[kRecLen];

  auto Log = [&](char what, const Content& c) {
    std::fprintf(log, "%c %d %d %d %d\n", what, c.id, c.version, c.group, c.writer);
  };

  for (int op = 0; op < ops && faults < 10; ++op) {
    const unsigned pick = rng() % 100;
    if (pick < 35 || mine.empty()) {  // add
      Content c{station * 1000000 + next++, 0, static_cast<int>(rng() % kGroups), station};
      const Bytes rec = MakeRecord(c);
      int32_t slot = 0;
      currentOp = "add";
      AddRecord(f.data, slot, rec.data());
      std::string k = UniqueKey(c.id, 0);
      AddKey(f.unique, slot, k);
      if (!OpOk) Fault("unique key refused", c.id);
      k = GroupKey(c.group);
      AddKey(f.groups, slot, k);
      if (!OpOk) Fault("group key refused", c.id);
      mine[c.id] = slot;
      Log('W', c);
    } else if (pick < 60) {  // correct any station's record found by group
      const int g = static_cast<int>(rng() % kGroups);
      std::string k = GroupKey(g);
      int32_t slot = 0;
      currentOp = "correct: FindKey";
      FindKey(f.groups, slot, k);
      if (!OpOk) continue;
      ReadRecordForUpdate(f.data, slot, buf);
      if (!RecordLive) continue;  // deleted meanwhile (the lock is gone)
      Content c;
      // Under the lock the record is stable; its group entry shows that its
      // keys are complete (the owner adds the group key last).
      k = GroupKey(g);
      int32_t ref = slot;
      currentOp = "correct: FindKeyForRecord";
      FindKeyForRecord(f.groups, ref, k);
      if (!OpOk || !ParseRecord(buf, c) || c.group != g) {
        if (OpOk && !ParseRecord(buf, c)) Fault("locked record torn", c.id);
        UnlockRecord(f.data, slot);
        continue;
      }
      Content n = c;
      n.version = c.version + 1;
      n.group = static_cast<int>(rng() % kGroups);
      n.writer = station;
      std::string oldKey = UniqueKey(c.id, c.version), newKey = UniqueKey(n.id, n.version);
      currentOp = "correct: key change";
      int32_t r = slot;
      DeleteKey(f.unique, r, oldKey);
      if (!OpOk || r != slot) Fault("old unique key missing", c.id);
      AddKey(f.unique, slot, newKey);
      if (!OpOk) Fault("new unique key refused", c.id);
      if (n.group != c.group) {
        std::string og = GroupKey(c.group), ng = GroupKey(n.group);
        r = slot;
        DeleteKey(f.groups, r, og);
        if (!OpOk) Fault("old group key missing", c.id);
        AddKey(f.groups, slot, ng);
        if (!OpOk) Fault("new group key refused", c.id);
      }
      const Bytes rec = MakeRecord(n);
      WriteRecord(f.data, slot, rec.data());
      Log('W', n);
    } else if (pick < 75) {  // delete an own record with its keys
      auto it = mine.begin();
      std::advance(it, static_cast<long>(rng() % mine.size()));
      const int32_t id = it->first, slot = it->second;
      mine.erase(it);
      currentOp = "delete";
      ReadRecordForUpdate(f.data, slot, buf);
      Content c;
      if (!RecordLive || !ParseRecord(buf, c) || c.id != id) {
        Fault("own record lost", id);
        if (RecordLive) UnlockRecord(f.data, slot);
        continue;
      }
      std::string k = UniqueKey(c.id, c.version);
      int32_t r = slot;
      DeleteKey(f.unique, r, k);
      if (!OpOk || r != slot) Fault("unique key of deleted record missing", id);
      k = GroupKey(c.group);
      r = slot;
      DeleteKey(f.groups, r, k);
      if (!OpOk) Fault("group key of deleted record missing", id);
      DeleteRecord(f.data, slot);
      Log('D', c);
    } else {  // search: an entry found leads to a whole record
      std::string k = GroupKey(static_cast<int>(rng() % kGroups));
      int32_t slot = 0;
      currentOp = "search: SearchKey";
      SearchKey(f.groups, slot, k);
      if (!OpOk) continue;
      // A record that another station holds locked is read without its
      // locked last byte (the buffer keeps the old one there): the rest
      // must be one whole version.
      buf[kRecLen - 1] = 0;
      ReadRecord(f.data, slot, buf);
      Content c;
      if (RecordLive) {
        Bytes got(buf, buf + kRecLen);
        const bool parsed = ParseRecord(buf, c);
        got.back() = MakeRecord(c).back();
        if (!parsed && (got[4] == 0 || MakeRecord(c) != got)) Fault("record read torn", c.id);
      }
      currentOp = "search: NextKey";
      NextKey(f.groups, slot, k);
    }
  }
  f.Close();
  std::fclose(log);
  std::fclose(fail);
  return faults;
}

class StressTest : public EngineTest {};

TEST_F(StressTest, FourStationsMixedWorkKeepFilesAndLogsInAgreement) {
  AnswerBoxes();
  {
    Files f;
    MakeDataFile(f.data, "STRESS.DAT", kRecLen);
    ASSERT_TRUE(OpOk);
    MakeIndex(f.unique, "STRESS1.IDX", kKeyLen, false);
    ASSERT_TRUE(OpOk);
    MakeIndex(f.groups, "STRESS2.IDX", kGroupLen, true);
    ASSERT_TRUE(OpOk);
    f.Close();
  }
  const int ops = OpsPerStation();
  const std::string failPath = Host("FAULTS.TXT");
  std::vector<pid_t> pids;
  for (int s = 0; s < kStations; ++s) {
    const std::string logPath = Host("LOG" + std::to_string(s) + ".TXT");
    pids.push_back(Station([=] { return RunStation(s + 1, ops, logPath, failPath.c_str()); }));
  }
  for (pid_t p : pids) EXPECT_EQ(WaitStation(p), 0);
  {
    std::ifstream in(failPath);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "");
  }

  // What the logs say: each record's last version, and the deleted ones.
  std::map<int32_t, std::map<int32_t, Content>> versions;  // id -> version -> content
  std::set<int32_t> deleted;
  int added = 0;
  for (int s = 0; s < kStations; ++s) {
    std::ifstream in(Host("LOG" + std::to_string(s) + ".TXT"));
    char what;
    Content c;
    while (in >> what >> c.id >> c.version >> c.group >> c.writer) {
      if (what == 'D') {
        EXPECT_TRUE(deleted.insert(c.id).second) << "deleted twice: " << c.id;
        continue;
      }
      added += c.version == 0;
      EXPECT_TRUE(versions[c.id].emplace(c.version, c).second)
          << "version written twice: " << c.id << " " << c.version;
    }
  }
  // The corrections of one record follow each other: versions 0, 1, 2, ...
  std::map<int32_t, Content> last;
  for (const auto& [id, byVersion] : versions) {
    EXPECT_EQ(byVersion.begin()->first, 0) << id;
    EXPECT_EQ(byVersion.rbegin()->first + 1, static_cast<int32_t>(byVersion.size())) << id;
    last[id] = byVersion.rbegin()->second;
  }
  EXPECT_GT(added, ops / 2);
  for (int32_t id : deleted) last.erase(id);

  // The live records of the data file, read byte by byte.
  const Bytes all = ReadHost("STRESS.DAT");
  ASSERT_EQ(all.size() % kRecLen, 0u);
  std::map<int32_t, int32_t> slotOf;  // id -> slot
  std::set<std::pair<std::string, int32_t>> wantUnique, wantGroups;
  for (size_t s = 1; s < all.size() / kRecLen; ++s) {
    const uint8_t* r = &all[s * kRecLen];
    if (r[4] == 0) continue;
    Content c;
    ASSERT_TRUE(ParseRecord(r, c)) << "slot " << s;
    EXPECT_TRUE(slotOf.emplace(c.id, static_cast<int32_t>(s)).second) << "twice: " << c.id;
    auto it = last.find(c.id);
    if (it == last.end()) {
      ADD_FAILURE() << "live record the logs deleted or never wrote: " << c.id;
      continue;
    }
    EXPECT_EQ(MakeRecord(it->second), Bytes(r, r + kRecLen)) << "record " << c.id;
    wantUnique.emplace(UniqueKey(c.id, c.version), static_cast<int32_t>(s));
    wantGroups.emplace(GroupKey(c.group), static_cast<int32_t>(s));
  }
  EXPECT_EQ(slotOf.size(), last.size()) << "records of the logs missing from the file";

  // Both indexes pass the full check with the data file and hold exactly
  // the keys of the live records.
  Files f;
  ASSERT_TRUE(f.Open());
  for (IndexFile* ix : {&f.unique, &f.groups}) {
    const IndexCheckResult check = CheckIndex(*ix, &f.data);
    for (const std::string& fault : check.Faults) {
      ADD_FAILURE() << ix->Name << ": " << fault;
    }
    std::set<std::pair<std::string, int32_t>> got;
    for (const IndexEntry& e : check.Entries) got.emplace(e.Key, e.Reference);
    EXPECT_EQ(got, ix == &f.unique ? wantUnique : wantGroups) << ix->Name;
  }
  f.Close();
}

}  // namespace
}  // namespace engine::testing
