// Index files: B-trees of keys over a data file.
//
// An entry pairs a key (code page 852, at most KeyLength characters, 1..246)
// with a data reference, the number of a record of a data file. The index
// file is an engine data file (data_file.h): its slots are the pages of the
// tree (index_page.h), its free chain holds returned pages and its header
// word RootPage names the root (0: the index is empty).
//
// Tree shape: every page but the root holds 16..32 items, the root 1..32;
// all leaves lie at one depth, at most five levels. A full page that gets
// one more item is split in the middle; a page that falls to 15 borrows from
// a neighbour or merges with it.
//
// Key order: bytes compared unsigned, a prefix before the longer key. With
// duplicates allowed, equal keys are ordered by data reference; otherwise a
// key occurs once. Every key handed to AddKey, DeleteKey, FindKey, SearchKey
// and FindLastKey is first upper-cased (text::UpperOem) and cut to 246
// characters, and the caller's variable receives that form; the operations
// then cut it to KeyLength.
//
// Concurrency. AddKey and DeleteKey hold the lock of the index's slot 0 for
// the whole change, which serialises the changes of all stations. Searches
// take no lock at all (locking is suspended while they run) and may see a
// tree in the middle of another station's change.
//
// A search that meets an impossible page while another station changes the
// tree starts again (SearchRetries); only damage that stays is reported.
//
// Results are reported in OpOk. A damaged index (a page number outside the
// file, a page reached twice on one descent, more than 32 items, a key
// longer than KeyLength, a tree deeper than five levels) ends in the
// engine's fatal report with code 201.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/data_file.h"
#include "engine/index_page.h"

namespace engine {

// Creates (or empties) the index and opens it; OpOk. A KeyLength outside
// 1..246 is refused: OpOk false, IoStatus 12.
void MakeIndex(IndexFile& index, std::string_view name, int keyLength, bool duplicates);
// Opens an existing index in CurrentOpenMode; OpOk, IoStatus.
void OpenIndex(IndexFile& index, std::string_view name, int keyLength, bool duplicates);
// Drops the index's pages from the cache, then closes it as a data file.
void CloseIndex(IndexFile& index);
void OpenOrMakeIndex(IndexFile& index, std::string_view name, int keyLength, bool duplicates);
// Closes and makes the index again, empty, with its own name, key length,
// duplicates flag, mode and membership.
void RecreateIndex(IndexFile& index);

// Opens base + ".dat" and base + ".idx"; when the data file cannot be
// opened, makes both and flushes them. An existing data file whose index
// does not open leaves the index unopened (OpOk false).
void OpenOrMakePair(std::string_view base, DataFile& data, IndexFile& index, int32_t recLen,
                    int keyLength, bool duplicates);

// Inserts the entry; OpOk false when it exists already, when the file is
// read-only, and when the tree would need a sixth level (then a message
// says so and nothing changes).
void AddKey(IndexFile& index, int32_t reference, std::string& key);
// Removes the entry (with unique keys the reference given plays no part)
// and returns its reference; OpOk false when it is not there.
void DeleteKey(IndexFile& index, int32_t& reference, std::string& key);

// Exact search. With duplicates: the entry of the key with the smallest
// reference. The path is left on the entry found.
void FindKey(IndexFile& index, int32_t& reference, std::string& key);
// The first entry whose key is not below the given one; key and reference
// receive it. Not found: OpOk false and no position.
void SearchKey(IndexFile& index, int32_t& reference, std::string& key);
// The entry after (before) the current position; the first (last) entry
// when there is no position.
void NextKey(IndexFile& index, int32_t& reference, std::string& key);
void PrevKey(IndexFile& index, int32_t& reference, std::string& key);
void ClearKey(IndexFile& index);
// The last entry whose key is below the key with its last character raised
// by one: the last entry with the given prefix (or the one before where the
// prefix would be). An empty key gives the index's last entry.
void FindLastKey(IndexFile& index, int32_t& reference, std::string& key);
// The entry with this key and exactly this reference.
void FindKeyForRecord(IndexFile& index, int32_t& reference, std::string& key);

// NextKey (PrevKey, FindKey, SearchKey) and the record read from the data
// file (ReadRecordForUpdate while locking is on, ReadRecord otherwise),
// stepping on over entries whose records are not live.
void NextLiveRecord(IndexFile& index, std::string& key, DataFile& data, int32_t& reference,
                    void* record);
void PrevLiveRecord(IndexFile& index, std::string& key, DataFile& data, int32_t& reference,
                    void* record);
void FindLiveRecord(IndexFile& index, std::string& key, DataFile& data, int32_t& reference,
                    void* record);
void SearchLiveRecord(IndexFile& index, std::string& key, DataFile& data, int32_t& reference,
                      void* record);

// How often a search that meets a page it cannot use starts again before
// the file counts as damaged: another station may be changing the tree
// under it (searches take no locks). Each new try pauses a little longer.
extern int SearchRetries;

// The order of two entries: negative, 0 or positive. The references count
// only when duplicates are allowed.
int CompareEntries(std::string_view a, std::string_view b, int32_t refA, int32_t refB,
                   bool duplicates);
// A key as the operations see it: upper-cased, cut to 246.
std::string NormaliseKey(std::string_view key);

// "Illegális file müvelet!" and the file's name.
void ShowIllegalIndexOperation(const DataFile& f);

}  // namespace engine
