#include "lists/external_sort.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "files/drive_fixture.h"
#include "settings/registry_settings.h"

namespace lists {
namespace {

using files_testing::DriveTest;
namespace fs = files_testing::fs;
using Record = std::vector<uint8_t>;

// Records compare by their first keyBytes bytes; the rest is payload that
// makes equal keys distinguishable.
struct KeyOrder {
  size_t keyBytes;
  bool operator()(const uint8_t* a, const uint8_t* b) const {
    return std::memcmp(a, b, keyBytes) < 0;
  }
  bool operator()(const Record& a, const Record& b) const { return (*this)(a.data(), b.data()); }
};

class ExternalSortTest : public DriveTest {
 protected:
  void TearDown() override {
    SetSortBudget(kDefaultSortBudget);
    settings::SetStationId("");
    DriveTest::TearDown();
  }

  // Sorts the records; afterEach (when given) runs inside the input
  // procedure after each record with the number fed so far.
  int Run(const std::vector<Record>& in, KeyOrder order, std::vector<Record>& out,
          const std::function<void(size_t)>& afterEach = nullptr) {
    out.clear();
    const int size = in.empty() ? 8 : static_cast<int>(in[0].size());
    return ExternalSort(
        size,
        [&] {
          for (size_t i = 0; i < in.size(); ++i) {
            SortPut(in[i].data());
            if (afterEach) afterEach(i + 1);
          }
        },
        order,
        [&] {
          Record r(size);
          while (!SortDone()) {
            SortGet(r.data());
            out.push_back(r);
          }
        });
  }

  static std::vector<Record> Random(std::mt19937& rng, size_t count, int size, int keyValues) {
    std::vector<Record> v(count, Record(size));
    std::uniform_int_distribution<int> key(0, keyValues - 1), byte(0, 255);
    for (Record& r : v) {
      for (uint8_t& b : r) b = static_cast<uint8_t>(byte(rng));
      r[0] = static_cast<uint8_t>(key(rng));  // few distinct first bytes: many equal keys
    }
    return v;
  }

  // The output must be the input reordered, in the order std::sort gives
  // under the same comparison (equal keys may come in any order).
  static void ExpectSortedLike(std::vector<Record> in, const std::vector<Record>& out,
                               KeyOrder order, const std::string& what) {
    ASSERT_EQ(out.size(), in.size()) << what;
    std::vector<Record> ref = in;
    std::sort(ref.begin(), ref.end(), order);
    for (size_t i = 0; i < out.size(); ++i)
      ASSERT_TRUE(!order(out[i], ref[i]) && !order(ref[i], out[i])) << what << " position " << i;
    std::vector<Record> a = out;
    std::sort(a.begin(), a.end());
    std::sort(in.begin(), in.end());
    ASSERT_TRUE(a == in) << what << ": not the same records";
  }

  bool WorkFileExists(const std::string& name = "SOWK.$$$") const { return HostExists("/" + name); }
};

TEST(SortFiguresTest, BudgetSplit) {
  struct Case {
    int size;
    int64_t budget;
    int64_t work, units, page, perPage;
  } cases[] = {
      {507, kClassicSortBudget, 62522, 160, 20480, 40},
      {2, kClassicSortBudget, 63532, 164, 20992, 10496},
      // Few units are not rounded to a multiple of 4.
      {7, 4096, 2082, 5, 640, 91},
      // A page that cannot hold one record.
      {30000, kClassicSortBudget, 3536, 9, 1152, 0},
  };
  for (const Case& c : cases) {
    const SortFigures f = SortFiguresFor(c.size, c.budget);
    EXPECT_EQ(f.work, c.work) << c.size;
    EXPECT_EQ(f.pageUnits, c.units) << c.size;
    EXPECT_EQ(f.pageSize, c.page) << c.size;
    EXPECT_EQ(f.recordsPerPage, c.perPage) << c.size;
  }
  // The default budget keeps four million records of 507 bytes in memory.
  EXPECT_GE(3 * SortFiguresFor(507, kDefaultSortBudget).recordsPerPage, 4'000'000);
}

TEST_F(ExternalSortTest, SizesThatCannotBeSortedCallNothing) {
  bool called = false;
  auto mark = [&] { called = true; };
  auto cmp = [](const uint8_t*, const uint8_t*) { return false; };
  EXPECT_EQ(ExternalSort(1, mark, cmp, mark), sort_code::kRecordTooSmall);
  EXPECT_EQ(ExternalSort(0, mark, cmp, mark), sort_code::kRecordTooSmall);
  SetSortBudget(kClassicSortBudget);
  EXPECT_EQ(ExternalSort(30000, mark, cmp, mark), sort_code::kPageTooSmall);
  EXPECT_FALSE(called);
}

TEST_F(ExternalSortTest, ThreePagesStayInMemoryAndTheNextRecordOpensTheWorkFile) {
  SetSortBudget(kClassicSortBudget);  // 40 records of 507 bytes a page
  std::mt19937 rng(7);
  for (size_t count : {120, 121}) {
    const auto in = Random(rng, count, 507, 256);
    std::vector<Record> out;
    bool sawFile = false;
    const int rc = Run(in, KeyOrder{8}, out, [&](size_t fed) {
      EXPECT_EQ(WorkFileExists(), fed > 120) << fed;
      if (fed == 121) {
        EXPECT_EQ(SortWorkFileName(), "SOWK.$$$");
      }
      sawFile = sawFile || WorkFileExists();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(sawFile, count == 121);
    EXPECT_FALSE(WorkFileExists()) << "the work file stays after the sort";
    ExpectSortedLike(in, out, KeyOrder{8}, std::to_string(count));
  }
}

// Random record sets of several sizes, in memory and through the work file,
// against std::sort under the same comparison.
TEST_F(ExternalSortTest, SortsLikeStdSort) {
  struct Case {
    int size;
    int64_t budget;
    int keyBytes, keyValues;
  } cases[] = {
      {2, kClassicSortBudget, 1, 3},    // 10496 a page
      {7, 4096, 3, 5},                  // 91 a page: many pages
      {129, 4096, 129, 256},            // 5 a page, whole record is the key
      {507, kClassicSortBudget, 16, 40},  // 40 a page
      {507, kDefaultSortBudget, 16, 2},   // always in memory
      {300, 4400, 2, 1},                // 1 a page, every key equal
  };
  std::mt19937 rng(12345);
  for (const Case& c : cases) {
    SetSortBudget(c.budget);
    const int64_t perPage = SortFiguresFor(c.size, c.budget).recordsPerPage;
    ASSERT_GE(perPage, 1);
    std::vector<size_t> counts = {0, 1, 2, 3, 997};
    if (perPage < 20000) {  // the edges of the work file, where they are reachable
      counts.push_back(static_cast<size_t>(3 * perPage));
      counts.push_back(static_cast<size_t>(3 * perPage + 1));
    }
    // Reserving the large pages is slow under the sanitizers: fewer runs.
    if (c.budget == kDefaultSortBudget) counts = {2, 997};
    if (perPage < 100) counts.push_back(static_cast<size_t>(perPage * 30 + 7));
    for (size_t count : counts) {
      const auto in = Random(rng, count, c.size, c.keyValues);
      std::vector<Record> out;
      bool paged = false;
      const KeyOrder order{static_cast<size_t>(c.keyBytes)};
      ASSERT_EQ(Run(in, order, out, [&](size_t) { paged = paged || !SortWorkFileName().empty(); }),
                0);
      const std::string what = "size " + std::to_string(c.size) + " count " +
                               std::to_string(count) + (paged ? " paged" : " in memory");
      EXPECT_EQ(paged, static_cast<int64_t>(count) > 3 * perPage) << what;
      ExpectSortedLike(in, out, order, what);
      EXPECT_TRUE(fs::is_empty(root_)) << what << ": a work file stays";
    }
  }
}

TEST_F(ExternalSortTest, AWorkFileInUseIsNeverShared) {
  SetSortBudget(4096);  // 7-byte records, 91 a page
  // Another sort's work file (or one left behind) holds the first name.
  files_testing::WriteHost(H("/SOWK.$$$"), "another sort");
  files_testing::WriteHost(H("/SOWK-1.$$$"), "and another");
  std::mt19937 rng(3);
  const auto in = Random(rng, 1000, 7, 50);
  std::vector<Record> out;
  std::string used;
  ASSERT_EQ(Run(in, KeyOrder{7}, out, [&](size_t) {
              if (used.empty()) used = SortWorkFileName();
            }),
            0);
  EXPECT_EQ(used, "SOWK-2.$$$");
  ExpectSortedLike(in, out, KeyOrder{7}, "beside others");
  EXPECT_EQ(files_testing::ReadHost(H("/SOWK.$$$")), "another sort");
  EXPECT_EQ(files_testing::ReadHost(H("/SOWK-1.$$$")), "and another");
  EXPECT_FALSE(HostExists("/SOWK-2.$$$"));

  // The station's id is part of the name.
  settings::SetStationId("K2");
  used.clear();
  ASSERT_EQ(Run(in, KeyOrder{7}, out, [&](size_t) {
              if (used.empty()) used = SortWorkFileName();
            }),
            0);
  EXPECT_EQ(used, "SOWKK2.$$$");
}

// Two programs of one station sorting at once in one folder: each has its
// own work file, and both results are right.
TEST_F(ExternalSortTest, TwoSortsAtOnceInOneFolder) {
  SetSortBudget(4096);
  int ready[2], go[2][2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go[0]), 0);
  ASSERT_EQ(pipe(go[1]), 0);
  pid_t pids[2];
  for (int c = 0; c < 2; ++c) {
    pids[c] = fork();
    if (pids[c] == 0) {
      std::mt19937 rng(100 + c);
      const auto in = Random(rng, 3000, 7, 50);
      std::vector<Record> out;
      const int rc = Run(in, KeyOrder{7}, out, [&](size_t fed) {
        if (fed != 3 * 91 + 1) return;
        // Both work files exist before either sort goes on.
        const std::string name = SortWorkFileName() + "\n";
        if (write(ready[1], name.data(), name.size()) < 0) _exit(3);
        char b;
        if (read(go[c][0], &b, 1) != 1) _exit(4);
      });
      if (rc != 0) _exit(1);
      std::vector<Record> ref = in;
      std::stable_sort(ref.begin(), ref.end(), KeyOrder{7});
      for (size_t i = 0; i < out.size(); ++i)
        if (KeyOrder{7}(out[i], ref[i]) || KeyOrder{7}(ref[i], out[i])) _exit(2);
      std::sort(out.begin(), out.end());
      std::sort(ref.begin(), ref.end());
      _exit(out == ref ? 0 : 2);
    }
  }
  std::string names;
  while (std::count(names.begin(), names.end(), '\n') < 2) {
    char buf[64];
    const ssize_t n = read(ready[0], buf, sizeof buf);
    ASSERT_GT(n, 0);
    names.append(buf, static_cast<size_t>(n));
  }
  EXPECT_TRUE(names == "SOWK.$$$\nSOWK-1.$$$\n" || names == "SOWK-1.$$$\nSOWK.$$$\n") << names;
  for (int c = 0; c < 2; ++c) ASSERT_EQ(write(go[c][1], "g", 1), 1);
  for (int c = 0; c < 2; ++c) {
    int status = 0;
    ASSERT_EQ(waitpid(pids[c], &status, 0), pids[c]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "sort " << c << " " << status;
  }
  for (int fd : {ready[0], ready[1], go[0][0], go[0][1], go[1][0], go[1][1]}) close(fd);
  EXPECT_TRUE(fs::is_empty(root_));
}

TEST_F(ExternalSortTest, WorkFileThatCannotBeCreated) {
  SetSortBudget(4096);
  // The current folder is gone: nothing can be created in it.
  fs::create_directories(H("/gone"));
  ASSERT_EQ(platform::ChangeFolder("T:\\gone"), platform::io::kOk);
  fs::remove(H("/gone"));
  std::mt19937 rng(5);
  const auto in = Random(rng, 400, 7, 50);
  std::vector<Record> out;
  bool outputCalled = false;
  const int rc = ExternalSort(
      7, [&] { for (const Record& r : in) SortPut(r.data()); }, KeyOrder{7},
      [&] { outputCalled = true; });
  EXPECT_EQ(rc, sort_code::kWorkFileFailed);
  EXPECT_FALSE(outputCalled);
}

TEST_F(ExternalSortTest, PageThatCannotBeWritten) {
  SetSortBudget(4096);  // 640-byte pages of 91 records
  // Files of this process may not grow beyond 3 pages: the fourth page written
  // (logical page 3, when the fifth one opens) fails.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 3 * 640;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::mt19937 rng(9);
  const auto in = Random(rng, 91 * 8, 7, 50);
  std::vector<Record> out;
  const int rc = Run(in, KeyOrder{7}, out);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(rc, sort_code::kPageWriteFailed);
  EXPECT_TRUE(out.empty()) << "output ran after a failed input";
  EXPECT_FALSE(HostExists("/SOWK.$$$"));
}

TEST_F(ExternalSortTest, PageThatCannotBeReadStopsTheSort) {
  SetSortBudget(4096);
  std::mt19937 rng(11);
  const auto in = Random(rng, 91 * 6, 7, 50);  // six pages, 2..4 in the work file
  std::vector<Record> out;
  const int rc = Run(in, KeyOrder{7}, out, [&](size_t fed) {
    // Another hand empties the work file once every page has been written:
    // the first page the sort needs back is missing.
    if (fed == in.size()) fs::resize_file(H("/SOWK.$$$"), 0);
  });
  EXPECT_EQ(rc, sort_code::kPageReadFailed);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(HostExists("/SOWK.$$$"));
}

}  // namespace
}  // namespace lists
