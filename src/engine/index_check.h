// A full check of an index file: the tree, the free chain and the header,
// and optionally the data file the entries refer to.
//
// The check reads the files with plain reads (no cache, no locks, no fatal
// stop): it reports every fault it finds as one line of text and goes on
// where it can, so that a damaged file can be examined. Nothing is changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "engine/index_page.h"

namespace engine {

struct IndexEntry {
  std::string Key;
  int32_t Reference = 0;
};

struct IndexCheckResult {
  std::vector<std::string> Faults;   // one line each (ASCII)
  std::vector<IndexEntry> Entries;   // the tree's entries in tree order
  int Depth = 0;                     // levels of the tree
  int32_t Pages = 0;                 // pages in the tree
  int32_t FreePages = 0;             // pages on the free chain
};

// Checks the open index: keys in order (duplicates by reference), every
// page but the root holding 16..32 items and the root 1..32, all leaves at
// one depth, at most five levels, page numbers inside the file, no page
// reached twice, key lengths within KeyLength, the free chain inside the
// file, free, as long as FreeCount and apart from the tree, every slot in
// the tree or on the chain, RootPage and SlotCount right. With data: every
// reference names a live record of that data file.
IndexCheckResult CheckIndex(IndexFile& index, DataFile* data = nullptr);

}  // namespace engine
