// The index rebuild against SQLite's CREATE INDEX over the same rows, in the
// same run.
//
//   engine  REB.dat: RECORDS records of 128 bytes, each with a distinct
//           random 24-byte key at bytes 6..29 (byte 5 is the live marker),
//           every 50th slot free. RebuildIndex "REB REB1 128 0 6 24" (unique
//           keys), which also rebuilds the free chain and the header.
//   sqlite  a table (id INTEGER PRIMARY KEY, k BLOB, rest BLOB) of the same
//           live rows; CREATE UNIQUE INDEX on k, synchronous OFF, once with
//           the default page cache and once with a 512 MB cache.
//
// Each measured step runs in a child process of its own, so that its peak
// resident memory (ru_maxrss from wait4) is its own; the files are made
// beforehand by other children. Then, to show where the rebuild's time goes,
// its three phases are timed apart in one more child: reading the data file
// into the sort, the sort itself, and adding the sorted keys to a new index.
//
// Usage: bench_rebuild [RECORDS]   (default 1000000)
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/data_file.h"
#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine/locking.h"
#include "engine/rebuild.h"
#include "engine/status.h"
#include "lists/external_sort.h"
#include "platform/dos_path.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "ui/events.h"

namespace {

constexpr int kRecLen = 128;
constexpr int kKeyLen = 24;
constexpr int kKeyAt = 5;  // 0-based
constexpr int kFreeEvery = 50;

int records = 1000000;
std::string folder;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The record of slot n (1-based), or an empty vector for a free slot.
std::vector<uint8_t> RecordOf(int n) {
  if (n % kFreeEvery == 0) return {};
  std::mt19937_64 rng(static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull);
  std::vector<uint8_t> r(kRecLen);
  for (uint8_t& b : r) b = static_cast<uint8_t>('a' + rng() % 26);
  r[4] = 1;
  // Distinct keys: the slot number in the key's last six letters.
  for (int i = 0, v = n; i < 6; ++i, v /= 26)
    r[kKeyAt + kKeyLen - 1 - i] = static_cast<uint8_t>('A' + v % 26);
  return r;
}

struct Result {
  double seconds = 0;
  double phase[4] = {};
  long entries = 0;
};

// Runs body in a child; its result, and the child's peak memory in KiB.
Result InChild(const std::function<Result()>& body, long& peakKiB) {
  int fds[2];
  if (pipe(fds) != 0) abort();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (chdir(folder.c_str()) != 0) _exit(9);
    Result r = body();
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(10);
    _exit(0);
  }
  close(fds[1]);
  Result r;
  const ssize_t got = read(fds[0], &r, sizeof r);
  close(fds[0]);
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  if (got != sizeof r || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed (status %d)\n", status);
    exit(1);
  }
  peakKiB = ru.ru_maxrss;
  return r;
}

void StartEngineHere() {
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
  engine::ResetOpenMode();
}

void MakeDataFile() {
  FILE* f = std::fopen((folder + "/REB.dat").c_str(), "wb");
  std::vector<uint8_t> slot(kRecLen, 0);
  // A header that the rebuild replaces: no free chain at all.
  const int32_t head[4] = {-1, 0, 0, records + 1};
  std::memcpy(slot.data(), head, sizeof head);
  std::fwrite(slot.data(), 1, slot.size(), f);
  for (int n = 1; n <= records; ++n) {
    std::vector<uint8_t> r = RecordOf(n);
    if (r.empty()) r.assign(kRecLen, 0);
    std::fwrite(r.data(), 1, r.size(), f);
  }
  std::fclose(f);
}

void Sql(sqlite3* db, const char* statement) {
  char* err = nullptr;
  if (sqlite3_exec(db, statement, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s: %s\n", statement, err ? err : "?");
    exit(2);
  }
}

void MakeSqliteTable() {
  std::filesystem::remove(folder + "/reb.db");
  sqlite3* db = nullptr;
  if (sqlite3_open((folder + "/reb.db").c_str(), &db) != SQLITE_OK) exit(2);
  Sql(db, "PRAGMA synchronous=OFF");
  Sql(db, "CREATE TABLE t(id INTEGER PRIMARY KEY, k BLOB, rest BLOB)");
  Sql(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?)", -1, &ins, nullptr);
  for (int n = 1; n <= records; ++n) {
    const std::vector<uint8_t> r = RecordOf(n);
    if (r.empty()) continue;
    sqlite3_bind_int(ins, 1, n);
    sqlite3_bind_blob(ins, 2, r.data() + kKeyAt, kKeyLen, SQLITE_TRANSIENT);
    sqlite3_bind_blob(ins, 3, r.data(), kRecLen, SQLITE_TRANSIENT);
    if (sqlite3_step(ins) != SQLITE_DONE) exit(2);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Sql(db, "COMMIT");
  sqlite3_close(db);
}

Result SqliteCreateIndex(const char* cachePragma) {
  sqlite3* db = nullptr;
  if (sqlite3_open("reb.db", &db) != SQLITE_OK) exit(2);
  Sql(db, "PRAGMA synchronous=OFF");
  Sql(db, "DROP INDEX IF EXISTS tk");
  if (cachePragma) Sql(db, cachePragma);
  Result r;
  const double t0 = Now();
  Sql(db, "CREATE UNIQUE INDEX tk ON t(k)");
  r.seconds = Now() - t0;
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM t INDEXED BY tk WHERE k > x''", -1, &q, nullptr);
  if (sqlite3_step(q) == SQLITE_ROW) r.entries = sqlite3_column_int64(q, 0);
  sqlite3_finalize(q);
  sqlite3_close(db);
  return r;
}

Result EngineRebuild() {
  StartEngineHere();
  Result r;
  const double t0 = Now();
  engine::RebuildIndex(false, "REB REB1 128 0 6 24");
  r.seconds = Now() - t0;
  if (!engine::LastRebuild().Built || engine::LastRebuild().Refused != 0) exit(3);
  r.entries = engine::LastRebuild().Added;
  return r;
}

// The rebuild's phases apart: the data file read into the sort (with the
// same 507-byte sort records), the sort, and the sorted keys added to a new
// index.
Result EnginePhases() {
  StartEngineHere();
  Result r;
  engine::SuspendLocking();
  FILE* f = std::fopen("REB.dat", "rb");
  std::vector<uint8_t> slot(kRecLen);
  std::vector<std::pair<std::string, int32_t>> sorted;
  sorted.reserve(static_cast<size_t>(records));
  double t0 = Now(), t1 = 0, t2 = 0;
  const int code = lists::ExternalSort(
      engine::kSortRecordSize,
      [&] {
        uint8_t rec[engine::kSortRecordSize] = {};
        std::fseek(f, kRecLen, SEEK_SET);
        for (int32_t n = 1; std::fread(slot.data(), 1, kRecLen, f) == kRecLen; ++n) {
          if (slot[4] == 0) continue;
          const std::string key(reinterpret_cast<char*>(slot.data()) + kKeyAt, kKeyLen);
          const std::string text = engine::RebuildSortText(key, n);
          rec[0] = kKeyLen;
          std::memcpy(rec + 1, key.data(), kKeyLen);
          std::memcpy(rec + 247, &n, 4);
          rec[251] = static_cast<uint8_t>(text.size());
          std::memcpy(rec + 252, text.data(), text.size());
          lists::SortPut(rec);
        }
        t1 = Now();
      },
      [](const uint8_t* a, const uint8_t* b) {
        const int c = std::memcmp(a + 252, b + 252, std::min(a[251], b[251]));
        return c < 0 || (c == 0 && a[251] < b[251]);
      },
      [&] {
        t2 = Now();
        uint8_t rec[engine::kSortRecordSize];
        while (!lists::SortDone()) {
          lists::SortGet(rec);
          int32_t n;
          std::memcpy(&n, rec + 247, 4);
          sorted.emplace_back(std::string(reinterpret_cast<char*>(rec) + 1, rec[0]), n);
        }
      });
  std::fclose(f);
  if (code != 0) exit(4);
  const double t3 = Now();
  engine::IndexFile ix;
  engine::MakeIndex(ix, "REB2.idx", kKeyLen, false);
  for (auto& [key, n] : sorted) engine::AddKey(ix, n, key);
  engine::CloseIndex(ix);
  r.phase[0] = t1 - t0;
  r.phase[1] = t2 - t1;
  r.phase[2] = Now() - t3;
  // The same in exclusive mode, where the header stays in memory instead of
  // being reread and rewritten under its lock at every key.
  const double t4 = Now();
  engine::SetOpenMode(engine::ModeExclusive, 0);
  engine::MakeIndex(ix, "REB3.idx", kKeyLen, false);
  for (auto& [key, n] : sorted) engine::AddKey(ix, n, key);
  engine::CloseIndex(ix);
  engine::RestoreOpenMode();
  r.phase[3] = Now() - t4;
  r.seconds = r.phase[0] + r.phase[1] + r.phase[2];
  r.entries = static_cast<long>(sorted.size());
  return r;
}

// The rebuilt index, checked against the data file.
Result EngineCheck() {
  StartEngineHere();
  engine::DataFile d;
  engine::OpenDataFile(d, "REB.dat", kRecLen);
  engine::IndexFile ix;
  engine::OpenIndex(ix, "REB1.idx", kKeyLen, false);
  if (!engine::OpOk) exit(5);
  const engine::IndexCheckResult check = engine::CheckIndex(ix, &d);
  for (const std::string& fault : check.Faults) std::fprintf(stderr, "check: %s\n", fault.c_str());
  Result r;
  r.entries = check.Faults.empty() ? static_cast<long>(check.Entries.size()) : -1;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) records = std::atoi(argv[1]);
  if (records < 1000) records = 1000;
  char tmpl[] = "/tmp/bench-rebuild-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  folder = tmpl;
  if (!platform::SetDriveTable({{'B', folder, ""}})) return 1;
  long peak = 0;
  const long live = records - records / kFreeEvery;

  std::printf("%d slots of %d bytes, %ld live records, unique %d-byte keys\n", records, kRecLen,
              live, kKeyLen);
  double t0 = Now();
  MakeDataFile();
  std::printf("data file written in %.2f s\n", Now() - t0);
  t0 = Now();
  InChild([] { MakeSqliteTable(); return Result{}; }, peak);
  std::printf("sqlite table loaded in %.2f s\n\n", Now() - t0);

  long engineKiB = 0, sqliteKiB = 0, sqliteBigKiB = 0, phasesKiB = 0;
  const Result eng = InChild(EngineRebuild, engineKiB);
  const Result chk = InChild(EngineCheck, peak);
  const Result sql = InChild([] { return SqliteCreateIndex(nullptr); }, sqliteKiB);
  const Result sqlBig =
      InChild([] { return SqliteCreateIndex("PRAGMA cache_size=-512000"); }, sqliteBigKiB);
  const Result ph = InChild(EnginePhases, phasesKiB);

  std::printf("%-44s %9s %11s %10s\n", "", "seconds", "peak MiB", "entries");
  std::printf("%-44s %9.2f %11.1f %10ld\n", "engine RebuildIndex", eng.seconds,
              engineKiB / 1024.0, eng.entries);
  std::printf("%-44s %9.2f %11.1f %10ld\n", "sqlite CREATE UNIQUE INDEX (default cache)",
              sql.seconds, sqliteKiB / 1024.0, sql.entries);
  std::printf("%-44s %9.2f %11.1f %10ld\n", "sqlite CREATE UNIQUE INDEX (512 MB cache)",
              sqlBig.seconds, sqliteBigKiB / 1024.0, sqlBig.entries);
  std::printf("\nratio engine / sqlite: time %.2f, peak memory %.2f (default cache)\n",
              eng.seconds / sql.seconds, static_cast<double>(engineKiB) / sqliteKiB);
  std::printf("rebuilt index checked against the data file: %s (%ld entries)\n",
              chk.entries == live ? "sound" : "FAULTY", chk.entries);
  std::printf("\nwhere the rebuild's time goes (measured apart, peak %.1f MiB):\n",
              phasesKiB / 1024.0);
  std::printf("  read + feed the sort %7.2f s\n  sort               %7.2f s\n"
              "  AddKey in key order %7.2f s\n",
              ph.phase[0], ph.phase[1], ph.phase[2]);
  std::printf("  (AddKey with the index opened exclusively: %.2f s)\n", ph.phase[3]);
  std::filesystem::remove_all(folder);
  return eng.entries == live && sql.entries == live && chk.entries == live ? 0 : 1;
}
