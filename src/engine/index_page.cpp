#include "engine/index_page.h"

#include <cstring>

#include "engine/errors.h"
#include "engine/index_file.h"
#include "engine/le32.h"
#include "engine/locking.h"
#include "engine/open_files.h"
#include "engine/status.h"

namespace engine {

namespace {

std::array<PageBuffer, 3> buffers;
std::array<int, 3> lru = {0, 1, 2};  // least recently used first

void Touch(int n) {
  int at = 0;
  while (lru[at] != n) ++at;
  for (; at < 2; ++at) lru[at] = lru[at + 1];
  lru[2] = n;
}

void Allocate() {
  for (PageBuffer& b : buffers) {
    if (b.Bytes.size() != static_cast<size_t>(kPageBytes)) b.Bytes.assign(kPageBytes, 0);
  }
}

// The index layer joins the engine's start and stop and its CloseAllFiles.
const bool hooked = [] {
  IndexStartHook = &StartPageCache;
  IndexStopHook = &StopPageCache;
  IndexCloser = [](void* owner) { CloseIndex(*static_cast<IndexFile*>(owner)); };
  return true;
}();

int BufferOf(const uint8_t* p) {
  for (int n = 0; n < 3; ++n) {
    if (buffers[n].Bytes.data() == p) return n;
  }
  return -1;
}

// The least recently used buffer, emptied: a dirty page written to its
// owner, a clean one's lock released.
int TakeBuffer() {
  Allocate();
  const int n = lru[0];
  PageBuffer& b = buffers[n];
  if (b.Owner) {
    IndexFile& owner = *b.Owner;
    if (b.Dirty) {
      PageToDiskForm(b.Bytes.data(), owner.KeyLength);
      b.Dirty = false;
      b.Owner = nullptr;
      WriteRecord(owner, b.Page, b.Bytes.data());
    } else {
      b.Owner = nullptr;
      UnlockRecord(owner, b.Page);
    }
  }
  b.Owner = nullptr;
  b.Dirty = false;
  return n;
}

}  // namespace

// --- Memory form ---------------------------------------------------------------

namespace page {
int Count(const uint8_t* p) { return p[0]; }
void SetCount(uint8_t* p, int n) { p[0] = static_cast<uint8_t>(n); }
int32_t LeftChild(const uint8_t* p) { return Get32(p + 1); }
void SetLeftChild(uint8_t* p, int32_t pg) { Put32(p + 1, pg); }
uint8_t* Item(uint8_t* p, int i) { return p + 5 + (i - 1) * kItemSize; }
const uint8_t* Item(const uint8_t* p, int i) { return p + 5 + (i - 1) * kItemSize; }
int32_t Reference(const uint8_t* item) { return Get32(item); }
void SetReference(uint8_t* item, int32_t ref) { Put32(item, ref); }
int32_t RightChild(const uint8_t* item) { return Get32(item + 4); }
void SetRightChild(uint8_t* item, int32_t pg) { Put32(item + 4, pg); }
std::string_view Key(const uint8_t* item) {
  return std::string_view(reinterpret_cast<const char*>(item + 9), item[8]);
}
void SetKey(uint8_t* item, std::string_view key) {
  const size_t n = std::min<size_t>(key.size(), kMaxKeyLength);
  item[8] = static_cast<uint8_t>(n);
  std::memcpy(item + 9, key.data(), n);
}
}  // namespace page

void PageFromDiskForm(uint8_t* p, int keyLength) {
  const int stride = keyLength + 9;
  if (stride == kItemSize) return;
  for (int i = kPageItems; i >= 1; --i) {
    std::memmove(p + 5 + (i - 1) * kItemSize, p + 5 + (i - 1) * stride,
                 static_cast<size_t>(stride));
  }
}

void PageToDiskForm(uint8_t* p, int keyLength) {
  const int stride = keyLength + 9;
  if (stride == kItemSize) return;
  for (int i = 1; i <= kPageItems; ++i) {
    std::memmove(p + 5 + (i - 1) * stride, p + 5 + (i - 1) * kItemSize,
                 static_cast<size_t>(stride));
  }
}

// --- The cache -----------------------------------------------------------------

PageBuffer& CacheBuffer(int n) { return buffers[static_cast<size_t>(n)]; }
std::array<int, 3> CacheOrder() { return lru; }

void StartPageCache() {
  (void)hooked;
  Allocate();
  ForgetCachedPages();
}

void StopPageCache() {
  for (PageBuffer& b : buffers) {
    b = PageBuffer{};
  }
  lru = {0, 1, 2};
}

void ForgetCachedPages() {
  for (PageBuffer& b : buffers) {
    b.Owner = nullptr;
    b.Page = 0;
    b.Dirty = false;
  }
  lru = {0, 1, 2};
}

bool DamageThrows = false;

void IndexDamaged(const IndexFile& index, int32_t pg) {
  if (DamageThrows) throw PageDamage{pg};
  IoStatus = 201;
  CheckIoStatus(index, pg);
  StopEngineProgram(201);  // not reached: CheckIoStatus stops
}

uint8_t* GetPage(IndexFile& index, int32_t pg) {
  for (int n = 0; n < 3; ++n) {
    PageBuffer& b = buffers[n];
    if (b.Owner == &index && b.Page == pg && b.Bytes.size() == static_cast<size_t>(kPageBytes)) {
      Touch(n);
      return b.Bytes.data();
    }
  }
  if (pg < 1 || pg >= index.LiveSlots) IndexDamaged(index, pg);
  const int n = TakeBuffer();
  PageBuffer& b = buffers[n];
  uint8_t* p = b.Bytes.data();
  ReadRecordForUpdate(index, pg, p);
  PageFromDiskForm(p, index.KeyLength);
  // A damaged page never reaches the tree code: every count and key length
  // the code relies on lies inside the page.
  bool sane = page::Count(p) <= kPageItems;
  for (int i = 1; sane && i <= page::Count(p); ++i) {
    sane = page::Item(p, i)[8] <= index.KeyLength;
  }
  if (!sane) {
    UnlockRecord(index, pg);
    IndexDamaged(index, pg);
  }
  b.Owner = &index;
  b.Page = pg;
  b.Dirty = false;
  Touch(n);
  return p;
}

uint8_t* NewPage(IndexFile& index, int32_t& pg) {
  const int n = TakeBuffer();
  uint8_t* s = ScratchBuffer.data();
  if (ScratchBuffer.size() < static_cast<size_t>(kScratchSize)) {
    ScratchBuffer.assign(kScratchSize, 0);
    s = ScratchBuffer.data();
  }
  int32_t record;
  if (index.FirstFree == -1) {
    record = index.LiveSlots;
    if (record < 1 || record == INT32_MAX) IndexDamaged(index, record);
    ++index.LiveSlots;
    std::memset(s, 0, static_cast<size_t>(index.RecLen));  // a placeholder
    WriteRecordKeepLock(index, record, s);
    LockRecord(index, record);
  } else {
    record = index.FirstFree;
    if (record < 1 || record >= index.LiveSlots) IndexDamaged(index, record);
    // A page still in use on the chain would be handed out twice.
    for (const PageBuffer& b : buffers) {
      if (b.Owner == &index && b.Page == record) IndexDamaged(index, record);
    }
    ReadRecordForUpdate(index, record, s);
    index.FirstFree = Get32(s);
    --index.FreeCount;
  }
  index.SlotCount = index.LiveSlots;
  StoreHeaderKeepLock(index);
  PageBuffer& b = buffers[n];
  b.Owner = &index;
  b.Page = record;
  b.Dirty = false;
  Touch(n);
  pg = record;
  return b.Bytes.data();
}

void MarkDirty(const uint8_t* p) {
  const int n = BufferOf(p);
  if (n >= 0) buffers[n].Dirty = true;
}

void ReturnPage(IndexFile& index, const uint8_t* p) {
  const int n = BufferOf(p);
  if (n < 0) return;
  PageBuffer& b = buffers[n];
  if (index.Mode == ModeReadOnly) {
    ShowIllegalIndexOperation(index);
    return;
  }
  const int32_t pg = b.Page;
  uint8_t* s = ScratchBuffer.data();
  ReadRecord(index, pg, s);
  Put32(s, index.FirstFree);
  s[4] = 0;
  WriteRecord(index, pg, s);
  index.FirstFree = pg;
  ++index.FreeCount;
  index.SlotCount = index.LiveSlots;
  StoreHeaderKeepLock(index);
  b.Owner = nullptr;
  b.Dirty = false;
}

void ReleasePages(IndexFile& index) {
  for (PageBuffer& b : buffers) {
    if (b.Owner != &index) continue;
    b.Owner = nullptr;
    if (b.Dirty) {
      b.Dirty = false;
      PageToDiskForm(b.Bytes.data(), index.KeyLength);
      WriteRecord(index, b.Page, b.Bytes.data());
    } else {
      UnlockRecord(index, b.Page);
    }
  }
}

}  // namespace engine
