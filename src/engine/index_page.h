// Index pages: their two byte forms and the engine's cache of three pages.
//
// On disk a page of an index with key length KeyLength is one slot of
// 32 x KeyLength + 293 bytes, integers little-endian and signed:
//    0  1  item count (0..32)
//    1  4  left child: the page of the keys below item 1, 0 in a leaf
//    5 + (i - 1) x (KeyLength + 9): item i = 1..32, each
//          0  4  data reference (a record number of the data file)
//          4  4  right child: the page of the keys between this item and the next
//          8  1 + KeyLength  the key: a length byte, then the characters
// Items after the count are unused bytes.
//
// In memory every item takes 255 bytes (4 + 4 + 247) at 5 + (i - 1) x 255,
// so that an item's fields sit at the same place whatever the key length.
// Converting moves the items between the two strides in place; for
// KeyLength 246 the two forms are the same bytes.
//
// The cache. Three buffers shared by every index of the program, replaced
// least recently used first; a dirty buffer that is replaced is written at
// once. No page stays cached between two index operations (ReleasePages).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_file.h"

namespace engine {

inline constexpr int kPageItems = 32;       // items per page at most
inline constexpr int kPageMinItems = 16;    // items of every page but the root at least
inline constexpr int kMaxKeyLength = 246;
inline constexpr int kItemSize = 255;       // an item in memory
inline constexpr int kPageBytes = 5 + kPageItems * kItemSize;  // 8165, a page in memory
inline constexpr int kMaxPathDepth = 5;     // levels of a tree at most

// One step of a search path: a page and the item index used in it.
struct PathStep {
  int32_t Page = 0;
  int16_t Item = 0;
};

// An open index file: an engine data file whose slots are the pages of a
// B-tree, with the key length, the duplicates flag, the working copy of the
// root page and the search path of NextKey / PrevKey.
struct IndexFile : DataFile {
  bool AllowDuplicates = false;
  int16_t KeyLength = 0;
  int32_t Root = 0;
  int16_t PathDepth = 0;  // 0: no current position
  std::array<PathStep, kMaxPathDepth> SearchPath{};
  // The entry the path stands on after the last successful search: a walk
  // whose path another station's change has made unusable (a page freed
  // under it) finds its place again from here.
  bool HasPosition = false;
  std::string PositionKey;
  int32_t PositionRef = 0;
  // The change count of the tree (DataFile::ChangeCount) the path was last
  // found sound against, and the one the search under way started from.
  uint32_t PathCount = 0;
  uint32_t SearchBase = 0;
};

// The record length of an index with this key length.
inline int32_t IndexRecLen(int keyLength) { return 32 * keyLength + 293; }

// --- A page in memory form ---------------------------------------------------------

// Views of a buffer of kPageBytes bytes in memory form. Item numbers are
// 1-based (1..32).
namespace page {
int Count(const uint8_t* p);
void SetCount(uint8_t* p, int n);
int32_t LeftChild(const uint8_t* p);
void SetLeftChild(uint8_t* p, int32_t page);
uint8_t* Item(uint8_t* p, int i);
const uint8_t* Item(const uint8_t* p, int i);
int32_t Reference(const uint8_t* item);
void SetReference(uint8_t* item, int32_t ref);
int32_t RightChild(const uint8_t* item);
void SetRightChild(uint8_t* item, int32_t page);
// The key of an item (its length byte read as is; callers check it).
std::string_view Key(const uint8_t* item);
void SetKey(uint8_t* item, std::string_view key);  // key of at most 246 bytes
}  // namespace page

// The page in p (kPageBytes bytes) from disk form to memory form and back.
void PageFromDiskForm(uint8_t* p, int keyLength);
void PageToDiskForm(uint8_t* p, int keyLength);

// --- The cache -----------------------------------------------------------------------

struct PageBuffer {
  std::vector<uint8_t> Bytes;  // kPageBytes, memory form
  IndexFile* Owner = nullptr;
  int32_t Page = 0;
  bool Dirty = false;
};

// The three buffers (numbered 0..2 here) and the LRU order, least recently
// used first.
PageBuffer& CacheBuffer(int n);
std::array<int, 3> CacheOrder();

// Allocates the buffers and empties the cache (engine start-up), frees them
// (engine stop).
void StartPageCache();
void StopPageCache();
// Forgets every cached page without writing anything (after a stop that a
// test harness survived in the middle of an operation).
void ForgetCachedPages();

// The page, read with ReadRecordForUpdate when it is not cached, checked for
// damage: a page number outside 1 .. LiveSlots - 1, an item count above 32
// or a key longer than KeyLength ends in the fatal report (code 201).
uint8_t* GetPage(IndexFile& index, int32_t page);
// A new page (the free chain's head or a new slot at the end), allocated
// while the caller holds the header lock, which it keeps; its buffer's
// contents are stale until the caller fills them.
uint8_t* NewPage(IndexFile& index, int32_t& page);
void MarkDirty(const uint8_t* p);
// Puts the page of the buffer on the free chain (the header lock kept).
void ReturnPage(IndexFile& index, const uint8_t* p);
// Drops every page of the index from the cache, writing the dirty ones.
void ReleasePages(IndexFile& index);

// The fatal report for a damaged index file at this page (code 201).
// While DamageThrows is set (a search that will retry), it throws
// PageDamage instead; the index layer catches it and never lets it out.
[[noreturn]] void IndexDamaged(const IndexFile& index, int32_t page);
struct PageDamage {
  int32_t Page;
};
extern bool DamageThrows;

}  // namespace engine
