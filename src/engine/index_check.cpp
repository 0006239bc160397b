#include "engine/index_check.h"

#include <cstring>
#include <set>

#include "engine/index_file.h"
#include "engine/le32.h"
#include "platform/io_codes.h"

namespace engine {

namespace {

class Checker {
 public:
  Checker(IndexFile& ix, DataFile* data, IndexCheckResult& out)
      : ix_(ix), data_(data), out_(out) {}

  void Run() {
    int64_t size = 0;
    if (ix_.Handle.Size(size) != platform::io::kOk) {
      Fault("cannot read the size of the index file");
      return;
    }
    if (size % ix_.RecLen != 0) {
      Fault("file size " + std::to_string(size) + " is not a multiple of the page size " +
            std::to_string(ix_.RecLen));
    }
    slots_ = static_cast<int32_t>(size / ix_.RecLen);
    std::vector<uint8_t> head(static_cast<size_t>(ix_.RecLen));
    if (!ReadSlot(0, head.data())) {
      Fault("cannot read the header");
      return;
    }
    DataFile h;
    DecodeHeader(head.data(), h);
    if (h.SlotCount != slots_) {
      Fault("SlotCount " + std::to_string(h.SlotCount) + " but the file holds " +
            std::to_string(slots_) + " slots");
    }
    if (h.RootPage != 0) {
      if (h.RootPage < 1 || h.RootPage >= slots_) {
        Fault("RootPage " + std::to_string(h.RootPage) + " lies outside the file");
      } else {
        Walk(h.RootPage, 1, true, nullptr, nullptr);
      }
    }
    out_.Pages = static_cast<int32_t>(tree_.size());
    out_.Depth = leafDepth_ > 0 ? leafDepth_ : 0;
    CheckFreeChain(h);
    for (int32_t s = 1; s < slots_; ++s) {
      if (!tree_.count(s) && !free_.count(s)) {
        Fault("page " + std::to_string(s) + " is neither in the tree nor on the free chain");
      }
    }
    if (data_) CheckReferences();
  }

 private:
  void Fault(const std::string& text) { out_.Faults.push_back(text); }

  bool ReadSlot(int32_t s, uint8_t* buf) {
    return ix_.Handle.ReadAt(int64_t{s} * ix_.RecLen, buf, static_cast<size_t>(ix_.RecLen)) ==
           platform::io::kOk;
  }

  // Walks the subtree of page pg at level depth; the entries must lie above
  // low and below high (where given).
  void Walk(int32_t pg, int depth, bool isRoot, const IndexEntry* low, const IndexEntry* high) {
    const std::string at = "page " + std::to_string(pg) + ": ";
    if (pg < 1 || pg >= slots_) {
      Fault("child page " + std::to_string(pg) + " lies outside the file");
      return;
    }
    if (!tree_.insert(pg).second) {
      Fault(at + "reached twice");
      return;
    }
    if (depth > kMaxPathDepth) {
      Fault(at + "lies on a sixth level");
      return;
    }
    std::vector<uint8_t> p(kPageBytes, 0);
    if (!ReadSlot(pg, p.data())) {
      Fault(at + "cannot be read");
      return;
    }
    PageFromDiskForm(p.data(), ix_.KeyLength);
    const int count = page::Count(p.data());
    if (count > kPageItems) {
      Fault(at + "holds " + std::to_string(count) + " items");
      return;
    }
    if (isRoot ? count < 1 : count < kPageMinItems) {
      Fault(at + "holds only " + std::to_string(count) + " items");
    }
    const int32_t left = page::LeftChild(p.data());
    const bool leaf = left == 0;
    for (int i = 1; i <= count; ++i) {
      const uint8_t* item = page::Item(p.data(), i);
      if (item[8] > ix_.KeyLength) {
        Fault(at + "item " + std::to_string(i) + " has a key of " + std::to_string(item[8]) +
              " characters");
        return;
      }
      if ((page::RightChild(item) == 0) != leaf) {
        Fault(at + "mixes leaf and inner children");
        return;
      }
    }
    if (leaf) {
      if (leafDepth_ == 0) leafDepth_ = depth;
      if (leafDepth_ != depth) {
        Fault(at + "is a leaf at level " + std::to_string(depth) + ", others at " +
              std::to_string(leafDepth_));
      }
    }
    // In order: child 0, item 1, child 1, ..., item count, child count.
    IndexEntry prev = low ? *low : IndexEntry{};
    bool hasPrev = low != nullptr;
    for (int i = 0; i <= count; ++i) {
      IndexEntry next;
      const bool hasNext = i < count || high != nullptr;
      if (i < count) {
        const uint8_t* item = page::Item(p.data(), i + 1);
        next = IndexEntry{std::string(page::Key(item)), page::Reference(item)};
      } else if (high) {
        next = *high;
      }
      if (!leaf) {
        const int32_t child = i == 0 ? left : page::RightChild(page::Item(p.data(), i));
        Walk(child, depth + 1, false, hasPrev ? &prev : nullptr, hasNext ? &next : nullptr);
      }
      if (i < count) {
        if (hasPrev && CompareEntries(prev.Key, next.Key, prev.Reference, next.Reference,
                                      ix_.AllowDuplicates) >= 0) {
          Fault(at + "item " + std::to_string(i + 1) + " is out of order");
        }
        out_.Entries.push_back(next);
        prev = next;
        hasPrev = true;
      }
    }
    if (leaf && count > 0 && high &&
        CompareEntries(prev.Key, high->Key, prev.Reference, high->Reference,
                       ix_.AllowDuplicates) >= 0) {
      Fault(at + "last item is not below its parent's next item");
    }
  }

  void CheckFreeChain(const DataFile& h) {
    int32_t s = h.FirstFree;
    int32_t n = 0;
    std::vector<uint8_t> buf(static_cast<size_t>(ix_.RecLen));
    while (s != -1) {
      if (s < 1 || s >= slots_) {
        Fault("free chain: page " + std::to_string(s) + " lies outside the file");
        break;
      }
      if (tree_.count(s)) {
        Fault("free chain: page " + std::to_string(s) + " is in the tree");
        break;
      }
      if (!free_.insert(s).second) {
        Fault("free chain: page " + std::to_string(s) + " reached twice");
        break;
      }
      if (!ReadSlot(s, buf.data())) {
        Fault("free chain: page " + std::to_string(s) + " cannot be read");
        break;
      }
      if (buf[4] != 0) Fault("free chain: page " + std::to_string(s) + " is not marked free");
      ++n;
      s = Get32(buf.data());
    }
    out_.FreePages = n;
    if (n != h.FreeCount) {
      Fault("FreeCount " + std::to_string(h.FreeCount) + " but the chain holds " +
            std::to_string(n));
    }
  }

  void CheckReferences() {
    int64_t size = 0;
    data_->Handle.Size(size);
    const int64_t slots = size / data_->RecLen;
    std::vector<uint8_t> buf(static_cast<size_t>(data_->RecLen));
    for (const IndexEntry& e : out_.Entries) {
      const std::string what = "reference " + std::to_string(e.Reference) + " of a key";
      if (e.Reference < 1 || e.Reference >= slots) {
        Fault(what + " lies outside the data file");
        continue;
      }
      if (data_->Handle.ReadAt(int64_t{e.Reference} * data_->RecLen, buf.data(), 5) !=
          platform::io::kOk) {
        Fault(what + " cannot be read");
      } else if (buf[4] == 0) {
        Fault(what + " names a deleted record");
      }
    }
  }

  IndexFile& ix_;
  DataFile* data_;
  IndexCheckResult& out_;
  int32_t slots_ = 0;
  int leafDepth_ = 0;
  std::set<int32_t> tree_;
  std::set<int32_t> free_;
};

}  // namespace

IndexCheckResult CheckIndex(IndexFile& index, DataFile* data) {
  IndexCheckResult out;
  Checker(index, data, out).Run();
  return out;
}

}  // namespace engine
