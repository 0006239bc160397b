// Index rebuild: a fresh index for a data file, built from the records
// themselves, with the data file's free chain and header repaired on the way.
//
// The command text is "Datafile Indexfile Rh D Kp Kh [Kp Kh]...": the data
// file's name without ".dat", the index's name without ".idx", the record
// length, 1 for an index with duplicates or 0 for unique keys, and one to five
// key parts, each a 1-based position in the record and a length. The key of a
// record is its parts one after another, cut to 246 characters.
//
// The live records are sorted by key (lists/external_sort.h), equal keys with
// the highest record number first, and added to the new index in that order.
// With unique keys the first of several equal keys wins, so the highest
// record is indexed and the others are refused: they are listed in the error
// file (index name + "_hiba.txt", first line the index name, then one line
// "record number in ten digits" + "  kulcs:" + key each), and the user is
// asked whether to delete them from the data file. An error file of no
// refused records is erased.
//
// The data file is rewritten without locks (locking is suspended for the
// whole run): its free slots are chained anew, the highest first, and its
// header gets the new free chain, its slot count, and zeros everywhere else
// (root page, transaction flag, shared users). No other station may use the
// file meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

inline constexpr int kMaxKeyParts = 5;
inline constexpr int kSortRecordSize = 507;

// What the last RebuildIndex took from its command (kept until the next).
struct RebuildState {
  std::string DataName;
  std::string IndexName;
  int32_t Rh = 0;
  int32_t D = 0;
  int Parts = 0;
  int32_t Kp[kMaxKeyParts] = {};
  int32_t Kh[kMaxKeyParts] = {};
  int32_t KeyLength = 0;
  // "indexs.txt" until a command has been taken.
  std::string ErrorFileName = "indexs.txt";
  // Records added to the index and refused by it in the last run.
  int32_t Added = 0;
  int32_t Refused = 0;
  // True when the last run built an index to its end.
  bool Built = false;
};

const RebuildState& LastRebuild();

// Rebuilds the index that the command text describes (see above). With
// window, the progress appears in a framed window (columns 10..70, rows
// 6..19) that is removed afterwards; without, the title goes on the top row
// of the current text window and the progress flows where the cursor is.
//
// One word prints the usage line and nothing else. A command whose numbers
// are out of range (record length outside 19..10000, D not 0 or 1, no key
// part or more than five, a total key length outside 1..246) and a data file
// that is missing or cannot be opened end the run without a word. An odd
// word after the last whole key part is ignored.
void RebuildIndex(bool withWindow, std::string_view command);

// The usage line.
inline constexpr std::string_view kRebuildUsage = "Datafile Indexfile Rh D Kp Kh [Kp Kh]...";

// The sort text of a key and record number: the key (cut to 246) followed by
// 2147483647 - record in ten digits, cut to 255 characters. Equal keys sort
// with the highest record first.
std::string RebuildSortText(std::string_view key, int32_t record);

// Tests: how often the progress counters reach the terminal (every n-th
// record and the last); 1 shows every one.
void SetRebuildRefreshEvery(int n);

}  // namespace engine
