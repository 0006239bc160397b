#include "lists/external_sort.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/dos_fs.h"
#include "settings/registry_settings.h"

namespace lists {

namespace {

constexpr int64_t kBlock = 128;         // the work file's block
constexpr int kPages = 3;               // page buffers
constexpr int32_t kMaxRecords = 2147483647;
constexpr int kMaxNameTries = 1000;     // alternative work file names tried

int64_t budget = kDefaultSortBudget;

// One page buffer: the logical page it holds and whether it differs from
// the work file's copy.
struct PageBuffer {
  std::unique_ptr<uint8_t[]> bytes;
  int64_t page = 0;
  bool dirty = false;
};

// The state of the running sort.
struct Sort {
  int size = 0;                // record size
  int64_t pageSize = 0;        // bytes
  int64_t perPage = 0;         // records per page
  PageBuffer buf[kPages];
  std::vector<uint8_t> pivot;  // copy of the pivot record
  std::vector<uint8_t> swap;   // swap buffer
  int32_t count = 0;           // records fed
  int32_t taken = 0;           // records returned
  int code = 0;
  bool overflowed = false;     // the work file exists
  platform::DosFile work;
  const SortCompare* compare = nullptr;
};

Sort* current = nullptr;
std::string workName;

int64_t PageOf(int64_t n) { return n / current->perPage; }

uint8_t* SlotIn(PageBuffer& b, int64_t n) {
  return b.bytes.get() + (n % current->perPage) * current->size;
}

// Writes a buffer at the place of its logical page.
bool WritePage(PageBuffer& b) {
  if (current->work.WriteAt(b.page * current->pageSize, b.bytes.get(),
                            static_cast<size_t>(current->pageSize)) != platform::io::kOk) {
    current->code = sort_code::kPageWriteFailed;
    return false;
  }
  b.dirty = false;
  return true;
}

// Record n, its page brought into a buffer that holds neither m's nor k's
// page (-1: none); null once an error is set.
uint8_t* Access(int64_t n, int64_t m = -1, int64_t k = -1) {
  Sort& s = *current;
  if (s.code) return nullptr;
  const int64_t page = PageOf(n);
  for (PageBuffer& b : s.buf)
    if (b.page == page) return SlotIn(b, n);
  const int64_t pm = m >= 0 ? PageOf(m) : -1, pk = k >= 0 ? PageOf(k) : -1;
  for (PageBuffer& b : s.buf) {
    if (b.page == pm || b.page == pk) continue;
    if (b.dirty && !WritePage(b)) return nullptr;
    if (s.work.ReadAt(page * s.pageSize, b.bytes.get(), static_cast<size_t>(s.pageSize)) !=
        platform::io::kOk) {
      s.code = sort_code::kPageReadFailed;
      return nullptr;
    }
    b.page = page;
    b.dirty = false;
    return SlotIn(b, n);
  }
  return nullptr;  // not reached: three buffers, at most two of them held
}

// Creates the work file under a name no other sort uses.
bool CreateWorkFile() {
  const std::string stem = "SOWK" + settings::StationId();
  for (int n = 0; n < kMaxNameTries; ++n) {
    std::string name = stem + (n ? "-" + std::to_string(n) : std::string()) + ".$$$";
    const platform::IoCode rc =
        platform::OpenFile(name, platform::Access::ReadWrite, platform::Share::DenyNone,
                           platform::Disposition::CreateNew, current->work);
    if (rc == platform::io::kOk) {
      workName = std::move(name);
      return true;
    }
    // Only a name that is taken leads to the next one; anything else (the
    // folder cannot be written, does not exist) fails at once.
    platform::DirEntry entry;
    if (platform::GetFileInfo(name, entry) != platform::io::kOk) return false;
  }
  return false;
}

// Buffer 2 goes to the work file and takes the next logical page.
void Overflow() {
  Sort& s = *current;
  if (!s.overflowed) {
    if (!CreateWorkFile()) {
      s.code = sort_code::kWorkFileFailed;
      return;
    }
    s.overflowed = true;
    // Pages 0 and 1 stay in their buffers for the whole input; their places
    // in the file are only reserved.
    if (s.work.SetSize(2 * s.pageSize) != platform::io::kOk) {
      s.code = sort_code::kPageWriteFailed;
      return;
    }
  }
  if (!WritePage(s.buf[2])) return;
  s.buf[2].page++;
}

bool Before(const uint8_t* a, const uint8_t* b) { return (*current->compare)(a, b); }

// Iterative quicksort of records 0 .. count - 1 by record number.
void QuickSort() {
  Sort& s = *current;
  std::vector<std::pair<int64_t, int64_t>> stack;
  if (s.count > 0) stack.emplace_back(0, s.count - 1);
  while (!stack.empty() && !s.code) {
    auto [left, right] = stack.back();
    stack.pop_back();
    while (left < right) {
      int64_t i = left, j = right;
      const uint8_t* p = Access((left + right) / 2);
      if (!p) return;
      std::memcpy(s.pivot.data(), p, s.size);
      do {
        for (;;) {
          const uint8_t* r = Access(i);
          if (!r) return;
          if (!Before(r, s.pivot.data())) break;
          ++i;
        }
        for (;;) {
          const uint8_t* r = Access(j);
          if (!r) return;
          if (!Before(s.pivot.data(), r)) break;
          --j;
        }
        if (i <= j) {
          if (i != j) {
            uint8_t* ri = Access(i, j);
            if (!ri) return;
            uint8_t* rj = Access(j, i);
            if (!rj) return;
            std::memcpy(s.swap.data(), ri, s.size);
            std::memcpy(ri, rj, s.size);
            std::memcpy(rj, s.swap.data(), s.size);
            for (PageBuffer& b : s.buf)
              if (b.page == PageOf(i) || b.page == PageOf(j)) b.dirty = true;
          }
          ++i;
          --j;
        }
      } while (i <= j);
      // The smaller part is sorted first, the larger one waits on the stack,
      // so the stack never holds more than log2(count) ranges.
      if (j - left < right - i) {
        if (i < right) stack.emplace_back(i, right);
        right = j;
      } else {
        if (left < j) stack.emplace_back(left, j);
        left = i;
      }
    }
  }
}

// Reserves the three page buffers, halving the budget while that fails.
bool Reserve(Sort& s, int recordSize) {
  for (int64_t b = budget;; b /= 2) {
    const SortFigures f = SortFiguresFor(recordSize, b);
    if (f.recordsPerPage < 1) return false;
    bool ok = true;
    for (PageBuffer& pb : s.buf) {
      // Not touched here: only the part the records reach becomes real memory.
      pb.bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(f.pageSize)]);
      if (!pb.bytes) ok = false;
    }
    if (ok) {
      s.pageSize = f.pageSize;
      s.perPage = f.recordsPerPage;
      return true;
    }
    for (PageBuffer& pb : s.buf) pb.bytes.reset();
    if (b / 2 < kClassicSortBudget) return false;
  }
}

}  // namespace

void SetSortBudget(int64_t bytes) { budget = bytes; }
int64_t SortBudget() { return budget; }

SortFigures SortFiguresFor(int recordSize, int64_t budgetBytes) {
  SortFigures f;
  if (recordSize < 1) return f;
  f.work = budgetBytes - 2 * int64_t{recordSize} - 2000;
  if (f.work < 0) return f;
  f.pageUnits = f.work / kBlock / kPages;
  if (f.pageUnits > 20) f.pageUnits -= f.pageUnits % 4;
  f.pageSize = kBlock * f.pageUnits;
  f.recordsPerPage = f.pageSize / recordSize;
  return f;
}

int ExternalSort(int recordSize, const SortInput& input, const SortCompare& compare,
                 const SortOutput& output) {
  if (recordSize < 2) return sort_code::kRecordTooSmall;
  if (SortFiguresFor(recordSize, budget).recordsPerPage < 1) return sort_code::kPageTooSmall;
  Sort s;
  if (!Reserve(s, recordSize)) return sort_code::kPageTooSmall;
  s.size = recordSize;
  s.pivot.resize(recordSize);
  s.swap.resize(recordSize);
  for (int i = 0; i < kPages; ++i) s.buf[i].page = i;
  s.compare = &compare;
  current = &s;
  workName.clear();

  if (input) input();
  if (!s.code) {
    for (PageBuffer& b : s.buf) b.dirty = true;
    QuickSort();
    s.taken = 0;
    if (!s.code && output) output();
  }

  if (s.overflowed) {
    s.work.Close();
    platform::DeleteFile(workName);
  }
  workName.clear();
  current = nullptr;
  return s.code;
}

void SortPut(const void* record) {
  if (!current || current->code) return;
  Sort& s = *current;
  if (s.count == kMaxRecords) {
    s.code = sort_code::kTooManyRecords;
    return;
  }
  const int64_t page = PageOf(s.count);
  if (s.count % s.perPage == 0 && page >= kPages) {
    Overflow();
    if (s.code) return;
  }
  PageBuffer& b = page < kPages ? s.buf[page] : s.buf[2];
  std::memcpy(SlotIn(b, s.count), record, s.size);
  s.count++;
}

void SortGet(void* record) {
  if (!current || current->code || current->taken >= current->count) return;
  const uint8_t* r = Access(current->taken);
  if (!r) return;
  std::memcpy(record, r, current->size);
  current->taken++;
}

bool SortDone() { return !current || current->code || current->taken >= current->count; }

const std::string& SortWorkFileName() { return workName; }

}  // namespace lists
