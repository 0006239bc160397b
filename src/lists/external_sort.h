// A sort of fixed-size records under a memory budget.
//
// The caller gives a record size and three procedures: the input procedure
// feeds the records in with SortPut, the comparison tells whether one record
// must come before another, and the output procedure takes the sorted
// records out with SortGet until SortDone. The records live in three page
// buffers; when more are fed than the buffers hold, the pages are kept in a
// work file in the current folder and brought back on demand while an
// iterative quicksort orders the records by number. The sort is not stable.
//
// The budget decides how large the three pages are. The default keeps sorts
// of a few million records of 507 bytes in memory (see kDefaultSortBudget);
// a page buffer is reserved at its full size when it is first used, but only
// the part the records reach is ever touched, so a small sort costs little
// real memory.
//
// One sort runs at a time (the procedures are kept in module state for the
// run): ExternalSort must not be called from inside its own procedures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lists {

// Results of ExternalSort.
namespace sort_code {
inline constexpr int kOk = 0;
inline constexpr int kPageTooSmall = 3;     // a page cannot hold one record
inline constexpr int kRecordTooSmall = 8;   // record size below 2
inline constexpr int kTooManyRecords = 9;   // 2147483647 records fed
inline constexpr int kPageWriteFailed = 10; // a page could not be written to the work file
inline constexpr int kPageReadFailed = 11;  // a page could not be read from the work file
inline constexpr int kWorkFileFailed = 12;  // the work file could not be created
}  // namespace sort_code

// The smallest budget the sort was designed around (64 KB) and the default
// one: 2 GiB gives three pages of about 715 MB, that is 4.2 million records
// of 507 bytes sorted without a work file.
inline constexpr int64_t kClassicSortBudget = 65536;
inline constexpr int64_t kDefaultSortBudget = int64_t{1} << 31;

// The memory budget of the following sorts (bytes); tests make it small to
// drive the work file. A budget that cannot be reserved when a page buffer is
// first needed is halved until it can (never below kClassicSortBudget).
void SetSortBudget(int64_t bytes);
int64_t SortBudget();

// How a budget is split for one record size. work: the work area (budget
// less two record buffers and 2000 bytes); pageUnits: the page size in
// 128-byte blocks (work / 128 / 3, rounded down to a multiple of 4 above
// 20); pageSize: 128 * pageUnits; recordsPerPage: pageSize / recordSize
// (below 1 when the size does not fit, or is below 1).
struct SortFigures {
  int64_t work = 0;
  int64_t pageUnits = 0;
  int64_t pageSize = 0;
  int64_t recordsPerPage = 0;
};
SortFigures SortFiguresFor(int recordSize, int64_t budget);

using SortInput = std::function<void()>;
using SortCompare = std::function<bool(const uint8_t* a, const uint8_t* b)>;
using SortOutput = std::function<void()>;

// Sorts the records that input feeds and hands them to output in order.
// compare(a, b) is true when a must come before b; it is called only after
// input has returned. The output procedure is not called when input ended in
// an error. The work file (when one was needed) is erased before the return.
// Returns one of sort_code; 8 and 3 are given without calling anything.
int ExternalSort(int recordSize, const SortInput& input, const SortCompare& compare,
                 const SortOutput& output);

// Inside the input procedure: adds one record of the record size. Does
// nothing once an error is set.
void SortPut(const void* record);

// Inside the output procedure: copies the next record in sorted order into
// record (record size bytes). Does nothing once an error is set or every
// record has been taken.
void SortGet(void* record);

// Inside the output procedure: true when every record has been taken or an
// error is set.
bool SortDone();

// The DOS name of the work file of the running sort, empty while it has none.
// It is "SOWK" + StationId + ".$$$" in the current folder unless that name is
// taken (by another station's or program's sort, or a stale file); then
// "SOWK" + StationId + "-" + n + ".$$$" with the first n = 1, 2, ... free. The
// file is always created new, so two sorts never share one.
const std::string& SortWorkFileName();

}  // namespace lists
