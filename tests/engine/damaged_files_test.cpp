// Damaged data and index files: whatever is wrong with them (cut short,
// bytes overwritten, counts above 32, page numbers outside the file, loops
// in the free chain and in child links), every engine operation ends
// normally or in the engine's stop with its report, within a second: never
// a crash, a hang or a sanitizer report.
//
// Each damaged pair is made from a sound one and used by a child process, so
// that a stop, a crash or a hang shows in how the child ended.
#include <sys/time.h>

#include <chrono>
#include <random>

#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine_fixture.h"

namespace engine::testing {
namespace {

constexpr int kRecLen = 40;
constexpr int kKeyLen = 8;
constexpr int kRecords = 400;
const int kPageLen = IndexRecLen(kKeyLen);

constexpr int kStopped = 42;  // exit code of a child that ended in the engine's stop

struct Damage {
  const char* name;
  bool index;                           // which file is damaged
  std::function<void(Bytes&)> apply;    // on the whole file's bytes
};

void Overwrite(Bytes& b, unsigned seed, int count) {
  std::mt19937 rng(seed);
  for (int i = 0; i < count; ++i) b[rng() % b.size()] = static_cast<uint8_t>(rng());
}

// The page item i's right child offset (disk form), and the left child.
size_t RightChildAt(int page, int item) {
  return static_cast<size_t>(page) * kPageLen + 5 + (item - 1) * (kKeyLen + 9) + 4;
}
size_t LeftChildAt(int page) { return static_cast<size_t>(page) * kPageLen + 1; }

std::vector<Damage> Damages() {
  std::vector<Damage> d = {
      {"data cut to half a record", false, [](Bytes& b) { b.resize(kRecLen * 10 + kRecLen / 2); }},
      {"data cut to ten slots", false, [](Bytes& b) { b.resize(kRecLen * 10); }},
      {"data cut inside the header", false, [](Bytes& b) { b.resize(10); }},
      {"data first free beyond the end", false, [](Bytes& b) { Put32(b, 0, 9999999); }},
      {"data first free negative", false, [](Bytes& b) { Put32(b, 0, -7); }},
      {"data first free is the header", false, [](Bytes& b) { Put32(b, 0, 0); }},
      {"data free chain loop", false,
       [](Bytes& b) {
         const int32_t first = Get32(b, 0);
         Put32(b, static_cast<size_t>(first) * kRecLen, first);
       }},
      {"data slot count huge", false, [](Bytes& b) { Put32(b, 12, 0x7fffffff); }},
      {"data free count negative", false, [](Bytes& b) { Put32(b, 4, -1); }},
      {"index cut to half a page", true, [](Bytes& b) { b.resize(b.size() - kPageLen / 2); }},
      {"index cut to three pages", true, [](Bytes& b) { b.resize(static_cast<size_t>(kPageLen) * 3); }},
      {"index root beyond the end", true, [](Bytes& b) { Put32(b, 8, 123456); }},
      {"index root is the header", true, [](Bytes& b) { Put32(b, 8, 0); Put32(b, 12, 1); }},
      {"index root negative", true, [](Bytes& b) { Put32(b, 8, -3); }},
      {"index root count 33", true,
       [](Bytes& b) { b[static_cast<size_t>(Get32(b, 8)) * kPageLen] = 33; }},
      {"index root count 255", true,
       [](Bytes& b) { b[static_cast<size_t>(Get32(b, 8)) * kPageLen] = 255; }},
      {"index leaf count 40", true,
       [](Bytes& b) {
         const int32_t root = Get32(b, 8);
         const int32_t leaf = Get32(b, LeftChildAt(root));
         b[static_cast<size_t>(leaf) * kPageLen] = 40;
       }},
      {"index child beyond the end", true,
       [](Bytes& b) { Put32(b, RightChildAt(Get32(b, 8), 1), 777777); }},
      {"index child negative", true, [](Bytes& b) { Put32(b, LeftChildAt(Get32(b, 8)), -2); }},
      {"index child loops to the root", true,
       [](Bytes& b) { Put32(b, RightChildAt(Get32(b, 8), 1), Get32(b, 8)); }},
      {"index leaf links to itself", true,
       [](Bytes& b) {
         const int32_t leaf = Get32(b, LeftChildAt(Get32(b, 8)));
         Put32(b, LeftChildAt(leaf), leaf);
       }},
      {"index free chain loop", true,
       [](Bytes& b) {
         // A page of its own at the end, freed and pointing at itself.
         const int32_t page = static_cast<int32_t>(b.size() / kPageLen);
         b.resize(b.size() + kPageLen, 0);
         Put32(b, static_cast<size_t>(page) * kPageLen, page);
         Put32(b, 0, page);
         Put32(b, 4, 1);
         Put32(b, 12, page + 1);
       }},
      {"index free chain into the tree", true,
       [](Bytes& b) { Put32(b, 0, Get32(b, 8)); Put32(b, 4, 3); }},
      {"index key length byte 200", true,
       [](Bytes& b) { b[RightChildAt(Get32(b, 8), 1) + 4] = 200; }},
  };
  for (unsigned seed = 1; seed <= 6; ++seed) {
    d.push_back({"data bytes overwritten", false, [seed](Bytes& b) { Overwrite(b, seed, 60); }});
    d.push_back({"index bytes overwritten", true, [seed](Bytes& b) { Overwrite(b, seed, 200); }});
  }
  return d;
}

std::string KeyOf(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "K%05d", i * 37 % 100000);
  return b;
}

// Every operation of the engine on the pair, in the order a program would
// use them. A stop leaves the child through the hook.
void Exercise() {
  DataFile d;
  IndexFile ix;
  OpenDataFile(d, "KAR.DAT", kRecLen);
  if (!OpOk) return;
  OpenIndex(ix, "KAR.IDX", kKeyLen, false);
  if (!OpOk) return;
  (void)CheckIndex(ix, &d);
  uint8_t buf[kRecLen];
  int32_t ref = 0;
  std::string key;
  UsedRecords(d);
  FileLength(d);
  for (int32_t r = 0; r < 30; ++r) ReadRecord(d, r * 17 % 500, buf);
  ClearKey(ix);
  for (int i = 0; i < 2000; ++i) {
    NextLiveRecord(ix, key, d, ref, buf);
    if (!OpOk) break;
  }
  ClearKey(ix);
  for (int i = 0; i < 2000; ++i) {
    PrevKey(ix, ref, key);
    if (!OpOk) break;
  }
  for (int i = 0; i < 20; ++i) {
    key = KeyOf(i * 13);
    FindKey(ix, ref, key);
    key = KeyOf(i * 7);
    SearchKey(ix, ref, key);
    key = "K";
    FindLastKey(ix, ref, key);
  }
  for (int i = 0; i < 20; ++i) {
    Bytes rec = Record(kRecLen, static_cast<uint8_t>(i + 1));
    int32_t r = 0;
    AddRecord(d, r, rec.data());
    key = "N" + std::to_string(i);
    AddKey(ix, r, key);
    key = KeyOf(i * 3);
    FindKey(ix, ref, key);
    if (OpOk) {
      ReadRecordForUpdate(d, ref, buf);
      if (RecordLive) WriteRecord(d, ref, buf);
      DeleteKey(ix, ref, key);
      if (OpOk && ref > 0) DeleteRecord(d, ref);
    }
  }
  CloseIndex(ix);
  CloseDataFile(d);
}

class DamagedFilesTest : public EngineTest {
 protected:
  // A sound pair: kRecords records with their keys, every fifth deleted.
  void MakeSoundPair() {
    DataFile d;
    IndexFile ix;
    MakeDataFile(d, "KAR.DAT", kRecLen);
    ASSERT_TRUE(OpOk);
    MakeIndex(ix, "KAR.IDX", kKeyLen, false);
    ASSERT_TRUE(OpOk);
    std::vector<std::pair<int32_t, std::string>> added;
    for (int i = 0; i < kRecords; ++i) {
      Bytes rec = Record(kRecLen, static_cast<uint8_t>(i % 250 + 1));
      int32_t r = 0;
      AddRecord(d, r, rec.data());
      std::string k = KeyOf(i);
      AddKey(ix, r, k);
      ASSERT_TRUE(OpOk);
      added.emplace_back(r, k);
    }
    for (int i = 0; i < kRecords; i += 5) {
      int32_t r = added[i].first;
      DeleteKey(ix, r, added[i].second);
      DeleteRecord(d, r);
    }
    ASSERT_TRUE(CheckIndex(ix, &d).Faults.empty());
    CloseIndex(ix);
    CloseDataFile(d);
    soundData_ = ReadHost("KAR.DAT");
    soundIndex_ = ReadHost("KAR.IDX");
  }
  Bytes soundData_, soundIndex_;
};

TEST_F(DamagedFilesTest, EveryOperationEndsInTimeWithoutCrash) {
  MakeSoundPair();
  ASSERT_GT(soundIndex_.size(), static_cast<size_t>(kPageLen) * 5) << "a tree of two levels";
  AnswerBoxes();
  SearchRetries = 1;  // no other station: damage that stays is found at once
  int stops = 0;
  for (const Damage& damage : Damages()) {
    Bytes data = soundData_, index = soundIndex_;
    damage.apply(damage.index ? index : data);
    WriteHost("KAR.DAT", data);
    WriteHost("KAR.IDX", index);
    std::filesystem::remove(Host(kErrorLogName));
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Station([] {
      alarm(1);  // a hang ends the child with SIGALRM
      EngineStopHook = [](int) { _exit(kStopped); };
      Exercise();
      return 0;
    });
    const int rc = WaitStation(pid);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(rc == 0 || rc == kStopped) << damage.name << ": child ended with " << rc;
    EXPECT_LT(seconds, 1.0) << damage.name;
    stops += rc == kStopped;
    // A fatal report leaves its line in the error log; a stop with a
    // message (the record-length message) does not need one.
    if (rc == kStopped && std::filesystem::exists(Host(kErrorLogName))) {
      EXPECT_FALSE(ReadHost(kErrorLogName).empty()) << damage.name;
    }
  }
  // The damage of counts, links and chains cannot all go unnoticed.
  EXPECT_GT(stops, 20);
}

}  // namespace
}  // namespace engine::testing
