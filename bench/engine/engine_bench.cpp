// The engine against SQLite doing the same work in the same run:
//   W1  200,000 records of 128 bytes with a unique 24-byte key, random order,
//       AddRecord + AddKey in shared mode with locking on; SQLite: INSERT per
//       statement (autocommit) into a table with a unique index, WAL,
//       synchronous OFF
//   W2  200,000 random look-ups: FindKey + ReadRecord; SELECT by key
//   W3  the whole file in key order: NextKey + ReadRecord; SELECT ORDER BY
//   W4  every second record deleted with its key; DELETE by key
//   W5  W1 split over four processes on the same files at once; four SQLite
//       connections in four processes with a busy time-out
// Each side runs in its own child processes so that its peak memory (the
// largest resident set of its processes) is its own. The system calls per
// operation of W1 and W2 come from the platform layer's counters.
//
// Usage: bench_engine [RECORDS]   (default 200000)
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/data_file.h"
#include "engine/index_file.h"
#include "engine/locking.h"
#include "engine/status.h"
#include "platform/dos_path.h"
#include "platform/screen.h"
#include "platform/syscall_count.h"
#include "platform/terminal.h"
#include "ui/events.h"

namespace {

constexpr int kRecLen = 128;
constexpr int kKeyLen = 24;
constexpr int kWorkloads = 5;
constexpr int kWriters = 4;

int records = 200000;
std::string folder;
std::vector<std::string> keys;  // keys[i]: the key of record i (insertion order)

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void MakeKeys() {
  std::mt19937_64 rng(20261211);
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::unordered_set<std::string> seen;
  while (static_cast<int>(keys.size()) < records) {
    std::string k(kKeyLen, ' ');
    for (char& c : k) c = alphabet[rng() % 36];
    if (seen.insert(k).second) keys.push_back(k);
  }
}

void RecordFor(int i, uint8_t* rec) {
  for (int b = 0; b < kRecLen; ++b) rec[b] = static_cast<uint8_t>('a' + (i + b) % 26);
  std::memcpy(rec + 8, keys[static_cast<size_t>(i)].data(), kKeyLen);
  rec[4] = 1;  // live marker
}

// The results that a child hands back through its pipe.
struct Result {
  double seconds[kWorkloads] = {};
  double callsPerOp[2] = {};  // W1, W2
  long checksum = 0;          // records seen in W3, to check both sides did the work
};

void StartEngineHere() {
  if (chdir(folder.c_str()) != 0) abort();
  platform::ResetDosNamespace();
  auto t = std::make_unique<platform::HeadlessTerminal>();
  platform::HeadlessTerminal* term = t.get();
  platform::SetTerminal(std::move(t));
  term->Start();
  platform::ScreenStart();
  static platform::HeadlessTerminal* answering = term;
  answering = term;
  ui::BeforeWaitHook = [] { answering->ScriptBytes("\r"); };
  engine::StartEngine();
  engine::ResetOpenMode();  // shared mode
  engine::SetLocking(true);
}

void EngineAdd(engine::DataFile& d, engine::IndexFile& ix, int from, int to, int step) {
  std::vector<uint8_t> rec(kRecLen);
  for (int i = from; i < to; i += step) {
    RecordFor(i, rec.data());
    int32_t r = 0;
    engine::AddRecord(d, r, rec.data());
    std::string k = keys[static_cast<size_t>(i)];
    engine::AddKey(ix, r, k);
    if (!engine::OpOk) {
      std::fprintf(stderr, "engine: AddKey failed for record %d\n", i);
      _exit(2);
    }
  }
}

void OpenPair(engine::DataFile& d, engine::IndexFile& ix) {
  engine::OpenDataFile(d, "BENCH.DAT", kRecLen);
  if (!engine::OpOk) _exit(3);
  engine::OpenIndex(ix, "BENCH.IDX", kKeyLen, false);
  if (!engine::OpOk) _exit(3);
}

Result EngineW1toW4(const std::vector<int>& lookups) {
  Result res;
  StartEngineHere();
  engine::DataFile d;
  engine::IndexFile ix;
  engine::MakeDataFile(d, "BENCH.DAT", kRecLen);
  engine::MakeIndex(ix, "BENCH.IDX", kKeyLen, false);
  if (!engine::OpOk) _exit(3);

  platform::ResetSyscallCounts();
  double t = Now();
  EngineAdd(d, ix, 0, records, 1);
  res.seconds[0] = Now() - t;
  res.callsPerOp[0] = double(platform::CurrentSyscallCounts().Total()) / records;

  std::vector<uint8_t> rec(kRecLen);
  platform::ResetSyscallCounts();
  t = Now();
  for (int i : lookups) {
    std::string k = keys[static_cast<size_t>(i)];
    int32_t r = 0;
    engine::FindKey(ix, r, k);
    if (!engine::OpOk) _exit(4);
    engine::ReadRecord(d, r, rec.data());
    if (std::memcmp(rec.data() + 8, keys[static_cast<size_t>(i)].data(), kKeyLen) != 0) _exit(5);
  }
  res.seconds[1] = Now() - t;
  res.callsPerOp[1] = double(platform::CurrentSyscallCounts().Total()) / records;

  t = Now();
  engine::ClearKey(ix);
  std::string last;
  for (;;) {
    std::string k;
    int32_t r = 0;
    engine::NextKey(ix, r, k);
    if (!engine::OpOk) break;
    engine::ReadRecord(d, r, rec.data());
    if (k < last) _exit(6);
    last = k;
    ++res.checksum;
  }
  res.seconds[2] = Now() - t;

  t = Now();
  for (int i = 0; i < records; i += 2) {
    std::string k = keys[static_cast<size_t>(i)];
    int32_t r = 0;
    engine::DeleteKey(ix, r, k);
    if (!engine::OpOk) _exit(7);
    engine::DeleteRecord(d, r);
  }
  res.seconds[3] = Now() - t;
  engine::CloseIndex(ix);
  engine::CloseDataFile(d);
  return res;
}

// --- SQLite ----------------------------------------------------------------------

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db));
    _exit(8);
  }
}

sqlite3* OpenDb() {
  sqlite3* db = nullptr;
  Check(sqlite3_open((folder + "/bench.db").c_str(), &db), db, "open");
  sqlite3_busy_timeout(db, 60000);
  Check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;", nullptr, nullptr,
                     nullptr),
        db, "pragma");
  return db;
}

void MakeTable(const char* name) {
  std::filesystem::remove(folder + "/" + name);
  std::filesystem::remove(folder + "/" + name + std::string("-wal"));
  std::filesystem::remove(folder + "/" + name + std::string("-shm"));
  sqlite3* db = OpenDb();
  Check(sqlite3_exec(db, "CREATE TABLE t(k BLOB NOT NULL, v BLOB NOT NULL); CREATE UNIQUE INDEX tk ON t(k);",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_close(db);
}

void SqliteAdd(sqlite3* db, int from, int to, int step) {
  sqlite3_stmt* ins = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO t(k, v) VALUES(?, ?)", -1, &ins, nullptr), db, "prep");
  std::vector<uint8_t> rec(kRecLen);
  for (int i = from; i < to; i += step) {
    RecordFor(i, rec.data());
    sqlite3_bind_blob(ins, 1, keys[static_cast<size_t>(i)].data(), kKeyLen, SQLITE_STATIC);
    sqlite3_bind_blob(ins, 2, rec.data(), kRecLen, SQLITE_STATIC);
    Check(sqlite3_step(ins), db, "insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
}

Result SqliteW1toW4(const std::vector<int>& lookups) {
  Result res;
  MakeTable("bench.db");
  sqlite3* db = OpenDb();
  double t = Now();
  SqliteAdd(db, 0, records, 1);
  res.seconds[0] = Now() - t;

  sqlite3_stmt* sel = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT v FROM t WHERE k = ?", -1, &sel, nullptr), db, "prep");
  std::vector<uint8_t> rec(kRecLen);
  t = Now();
  for (int i : lookups) {
    sqlite3_bind_blob(sel, 1, keys[static_cast<size_t>(i)].data(), kKeyLen, SQLITE_STATIC);
    if (sqlite3_step(sel) != SQLITE_ROW) _exit(9);
    std::memcpy(rec.data(), sqlite3_column_blob(sel, 0), kRecLen);
    if (std::memcmp(rec.data() + 8, keys[static_cast<size_t>(i)].data(), kKeyLen) != 0) _exit(5);
    sqlite3_reset(sel);
  }
  res.seconds[1] = Now() - t;
  sqlite3_finalize(sel);

  sqlite3_stmt* all = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT k, v FROM t ORDER BY k", -1, &all, nullptr), db, "prep");
  t = Now();
  while (sqlite3_step(all) == SQLITE_ROW) {
    std::memcpy(rec.data(), sqlite3_column_blob(all, 1), kRecLen);
    ++res.checksum;
  }
  res.seconds[2] = Now() - t;
  sqlite3_finalize(all);

  sqlite3_stmt* del = nullptr;
  Check(sqlite3_prepare_v2(db, "DELETE FROM t WHERE k = ?", -1, &del, nullptr), db, "prep");
  t = Now();
  for (int i = 0; i < records; i += 2) {
    sqlite3_bind_blob(del, 1, keys[static_cast<size_t>(i)].data(), kKeyLen, SQLITE_STATIC);
    Check(sqlite3_step(del), db, "delete");
    if (sqlite3_changes(db) != 1) _exit(7);
    sqlite3_reset(del);
  }
  res.seconds[3] = Now() - t;
  sqlite3_finalize(del);
  sqlite3_close(db);
  return res;
}

// --- Processes ---------------------------------------------------------------------

// Runs body in a child; returns what it wrote and adds its peak memory (KiB).
template <typename F>
pid_t Spawn(F body, int& readEnd) {
  int fds[2];
  if (pipe(fds) != 0) abort();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Result r = body();
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(10);
    _exit(0);
  }
  close(fds[1]);
  readEnd = fds[0];
  return pid;
}

Result Collect(pid_t pid, int fd, long& peakKiB) {
  Result r;
  const ssize_t got = read(fd, &r, sizeof r);
  close(fd);
  int status = 0;
  struct rusage ru = {};
  wait4(pid, &status, 0, &ru);
  if (got != sizeof r || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child %d failed (status %d)\n", pid, status);
    exit(1);
  }
  peakKiB = std::max(peakKiB, ru.ru_maxrss);
  return r;
}

// W5: four processes at once, each adding every fourth record.
double Concurrent(bool useEngine, long& peakKiB) {
  if (useEngine) {
    pid_t maker = fork();
    if (maker == 0) {
      StartEngineHere();
      engine::DataFile d;
      engine::IndexFile ix;
      engine::MakeDataFile(d, "BENCH.DAT", kRecLen);
      engine::MakeIndex(ix, "BENCH.IDX", kKeyLen, false);
      engine::CloseIndex(ix);
      engine::CloseDataFile(d);
      _exit(engine::OpOk ? 0 : 3);
    }
    int st = 0;
    waitpid(maker, &st, 0);
  } else {
    MakeTable("bench.db");
  }
  int go[2];
  if (pipe(go) != 0) abort();
  pid_t pids[kWriters];
  int fds[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    pids[w] = Spawn(
        [&, w] {
          Result r;
          close(go[1]);
          char c;
          if (useEngine) {
            StartEngineHere();
            engine::DataFile d;
            engine::IndexFile ix;
            OpenPair(d, ix);
            (void)!read(go[0], &c, 1);
            EngineAdd(d, ix, w, records, kWriters);
            engine::CloseIndex(ix);
            engine::CloseDataFile(d);
          } else {
            sqlite3* db = OpenDb();
            (void)!read(go[0], &c, 1);
            SqliteAdd(db, w, records, kWriters);
            sqlite3_close(db);
          }
          return r;
        },
        fds[w]);
  }
  close(go[0]);
  usleep(200000);  // every writer has opened its files
  const double t = Now();
  close(go[1]);  // all start
  for (int w = 0; w < kWriters; ++w) Collect(pids[w], fds[w], peakKiB);
  return Now() - t;
}

long CountEngineRecords() {
  int fds[2];
  if (pipe(fds) != 0) abort();
  pid_t pid = fork();
  if (pid == 0) {
    StartEngineHere();
    engine::DataFile d;
    engine::IndexFile ix;
    OpenPair(d, ix);
    long n = 0;
    engine::ClearKey(ix);
    for (;;) {
      std::string k;
      int32_t r = 0;
      engine::NextKey(ix, r, k);
      if (!engine::OpOk) break;
      ++n;
    }
    (void)!write(fds[1], &n, sizeof n);
    _exit(0);
  }
  close(fds[1]);
  long n = -1;
  (void)!read(fds[0], &n, sizeof n);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return n;
}

long CountSqliteRecords() {
  sqlite3* db = OpenDb();
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &s, nullptr);
  long n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) records = std::max(1000, atoi(argv[1]));
  char tmpl[] = "/tmp/vantor-bench-engine-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  folder = tmpl;
  MakeKeys();
  std::vector<int> lookups(static_cast<size_t>(records));
  {
    std::mt19937 rng(7);
    for (int& i : lookups) i = static_cast<int>(rng() % static_cast<unsigned>(records));
  }
  std::printf("engine against SQLite %s: %d records of %d bytes, %d-byte keys\n",
              sqlite3_libversion(), records, kRecLen, kKeyLen);
  std::fflush(stdout);

  long engPeak = 0, sqlPeak = 0;
  int fd = -1;
  pid_t pid = Spawn([&] { return EngineW1toW4(lookups); }, fd);
  Result eng = Collect(pid, fd, engPeak);
  pid = Spawn([&] { return SqliteW1toW4(lookups); }, fd);
  Result sql = Collect(pid, fd, sqlPeak);
  if (eng.checksum != records || sql.checksum != records) {
    std::fprintf(stderr, "W3 saw %ld (engine) and %ld (SQLite) records\n", eng.checksum,
                 sql.checksum);
    return 1;
  }
  long engPeak5 = 0, sqlPeak5 = 0;
  eng.seconds[4] = Concurrent(true, engPeak5);
  const long engCount = CountEngineRecords();
  sql.seconds[4] = Concurrent(false, sqlPeak5);
  const long sqlCount = CountSqliteRecords();
  if (engCount != records || sqlCount != records) {
    std::fprintf(stderr, "W5 left %ld (engine) and %ld (SQLite) records\n", engCount, sqlCount);
    return 1;
  }

  const char* names[kWorkloads] = {"W1 add (random order)", "W2 look-up by key",
                                   "W3 all in key order", "W4 delete every second",
                                   "W5 add, 4 processes"};
  const int ops[kWorkloads] = {records, records, records, records / 2, records};
  std::printf("%-24s %10s %10s %12s %12s %8s\n", "workload", "engine s", "SQLite s",
              "engine op/s", "SQLite op/s", "ratio");
  for (int w = 0; w < kWorkloads; ++w) {
    std::printf("%-24s %10.3f %10.3f %12.0f %12.0f %8.2f\n", names[w], eng.seconds[w],
                sql.seconds[w], ops[w] / eng.seconds[w], ops[w] / sql.seconds[w],
                eng.seconds[w] / sql.seconds[w]);
  }
  std::printf("ratio = engine time / SQLite time (below 1: the engine is faster)\n");
  std::printf("system calls per operation (engine, platform counters): W1 %.1f, W2 %.1f\n",
              eng.callsPerOp[0], eng.callsPerOp[1]);
  std::printf("peak memory (largest resident set of one process): W1-W4 engine %ld KiB, "
              "SQLite %ld KiB; W5 engine %ld KiB, SQLite %ld KiB\n",
              engPeak, sqlPeak, engPeak5, sqlPeak5);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
