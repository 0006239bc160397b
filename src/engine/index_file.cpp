#include "engine/index_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/errors.h"
#include "engine/locking.h"
#include "engine/open_files.h"
#include "engine/status.h"
#include "settings/settings_files.h"
#include "text/literal.h"
#include "text/strings.h"
#include "ui/dialog.h"

namespace engine {

using namespace text::literals;
using namespace page;

namespace {

// --- Operation state --------------------------------------------------------------
//
// The tree code runs one operation at a time (the engine is single-threaded
// and no operation runs inside another), so the outputs of its recursive
// steps live here.

bool passUp = false;                 // AddKey: an item goes one level up
uint8_t passedItem[kItemSize];       // ... this one
bool tooSmall = false;               // DeleteKey: the page below fell to 15 items
std::vector<int32_t> descent;        // the pages of the current descent, root first

// Enters a page on the current descent. A page met twice, or a sixth level,
// can only come from a damaged file: without this check a loop of child
// links would recurse for ever.
void Enter(IndexFile& ix, int32_t pg) {
  if (descent.size() >= static_cast<size_t>(kMaxPathDepth) ||
      std::find(descent.begin(), descent.end(), pg) != descent.end()) {
    ReleasePages(ix);
    IndexDamaged(ix, pg);
  }
  descent.push_back(pg);
}
void Leave() { descent.pop_back(); }

// A page number that a change is about to use as a neighbour: inside the
// file and not on the descent.
void CheckNeighbour(IndexFile& ix, int32_t pg) {
  if (pg < 1 || pg >= ix.LiveSlots ||
      std::find(descent.begin(), descent.end(), pg) != descent.end()) {
    ReleasePages(ix);
    IndexDamaged(ix, pg);
  }
}

void CutKey(std::string& key, int keyLength) {
  if (key.size() > static_cast<size_t>(keyLength)) key.resize(static_cast<size_t>(keyLength));
}

struct PageSearch {
  bool found = false;
  int K = 0;  // the item found
  int R = 0;  // items below the key: the descent goes on in child R
};

// Binary search of one page for (key, reference).
PageSearch SearchPage(const IndexFile& ix, const uint8_t* p, std::string_view key, int32_t ref) {
  PageSearch s;
  int L = 1;
  int R = Count(p);
  if (R == 0) return s;
  int K = 0;
  do {
    K = (L + R) / 2;
    const uint8_t* item = Item(p, K);
    const int cmp = CompareEntries(key, Key(item), ref, Reference(item), ix.AllowDuplicates);
    if (cmp <= 0) R = K - 1;
    if (cmp >= 0) L = K + 1;
  } while (R >= L);
  s.found = L - R > 1;
  s.K = K;
  s.R = R;
  return s;
}

int32_t ChildAt(const uint8_t* p, int r) { return r == 0 ? LeftChild(p) : RightChild(Item(p, r)); }

void CopyItem(uint8_t* to, const uint8_t* from) { std::memmove(to, from, kItemSize); }

// Items from..to of page p moved by delta places (items stay inside 1..32).
void ShiftItems(uint8_t* p, int from, int to, int delta) {
  if (to < from) return;
  std::memmove(Item(p, from + delta), Item(p, from), static_cast<size_t>(to - from + 1) * kItemSize);
}

// --- AddKey -----------------------------------------------------------------------

void Insert(IndexFile& ix, int32_t pg, const std::string& key, int32_t ref) {
  if (pg == 0) {
    passUp = true;
    std::memset(passedItem, 0, sizeof passedItem);
    SetReference(passedItem, ref);
    SetRightChild(passedItem, 0);
    SetKey(passedItem, key);
    return;
  }
  Enter(ix, pg);
  uint8_t* p = GetPage(ix, pg);
  const PageSearch s = SearchPage(ix, p, key, ref);
  if (s.found) {
    OpOk = false;
    passUp = false;
    Leave();
    return;
  }
  const int R = s.R;
  Insert(ix, ChildAt(p, R), key, ref);
  if (passUp) {
    p = GetPage(ix, pg);
    const int count = Count(p);
    if (count < kPageItems) {
      ShiftItems(p, R + 1, count, 1);
      CopyItem(Item(p, R + 1), passedItem);
      SetCount(p, count + 1);
      passUp = false;
    } else {
      // Split: the 33 items in order, the 17th goes up, 16 stay, 16 move to
      // a new page.
      static uint8_t all[kPageItems + 1][kItemSize];
      for (int i = 1; i <= R; ++i) CopyItem(all[i - 1], Item(p, i));
      CopyItem(all[R], passedItem);
      for (int i = R + 1; i <= kPageItems; ++i) CopyItem(all[i], Item(p, i));
      int32_t np = 0;
      uint8_t* q = NewPage(ix, np);
      p = GetPage(ix, pg);
      for (int i = 1; i <= 16; ++i) CopyItem(Item(p, i), all[i - 1]);
      for (int i = 1; i <= 16; ++i) CopyItem(Item(q, i), all[16 + i]);
      SetCount(p, 16);
      SetCount(q, 16);
      CopyItem(passedItem, all[16]);
      SetLeftChild(q, RightChild(passedItem));
      SetRightChild(passedItem, np);
      MarkDirty(q);
    }
    MarkDirty(p);
  }
  Leave();
}

// Whether inserting the key would add a sixth level: every page on its way
// down is full and the tree has five levels already.
bool WouldOutgrow(IndexFile& ix, const std::string& key, int32_t ref) {
  int32_t pg = ix.Root;
  int depth = 0;
  bool outgrows = true;
  descent.clear();
  while (pg != 0) {
    Enter(ix, pg);
    ++depth;
    const uint8_t* p = GetPage(ix, pg);
    if (Count(p) < kPageItems) outgrows = false;
    const PageSearch s = SearchPage(ix, p, key, ref);
    if (s.found) outgrows = false;
    if (!outgrows) break;
    pg = ChildAt(p, s.R);
  }
  descent.clear();
  return outgrows && depth >= kMaxPathDepth;
}

// --- DeleteKey ----------------------------------------------------------------------

// The child at parent position R has fallen to 15 items: borrow from a
// neighbour or merge with it.
void Underflow(IndexFile& ix, int32_t parentPg, int32_t pagePg, int R) {
  uint8_t* pp = GetPage(ix, parentPg);
  const int pc = Count(pp);
  if (R < pc) {
    ++R;
    const int32_t S = RightChild(Item(pp, R));
    CheckNeighbour(ix, S);
    if (S == pagePg) IndexDamaged(ix, S);
    uint8_t* b = GetPage(ix, pagePg);
    uint8_t* sp = GetPage(ix, S);
    const int sc = Count(sp);
    if (Count(b) != kPageMinItems - 1 || sc < kPageMinItems) {
      ReleasePages(ix);
      IndexDamaged(ix, Count(b) != kPageMinItems - 1 ? pagePg : S);
    }
    const int M = (sc - 15) / 2;
    CopyItem(Item(b, 16), Item(pp, R));
    SetRightChild(Item(b, 16), LeftChild(sp));
    if (M > 0) {
      for (int j = 1; j <= M - 1; ++j) CopyItem(Item(b, 16 + j), Item(sp, j));
      CopyItem(Item(pp, R), Item(sp, M));
      SetRightChild(Item(pp, R), S);
      SetLeftChild(sp, RightChild(Item(sp, M)));
      ShiftItems(sp, M + 1, sc, -M);
      SetCount(sp, sc - M);
      SetCount(b, M + 15);
      tooSmall = false;
      MarkDirty(sp);
    } else {
      for (int j = 1; j <= sc; ++j) CopyItem(Item(b, 16 + j), Item(sp, j));
      ShiftItems(pp, R + 1, pc, -1);
      SetCount(b, 16 + sc);
      SetCount(pp, pc - 1);
      ReturnPage(ix, sp);
      tooSmall = pc - 1 < kPageMinItems;
    }
    MarkDirty(b);
  } else {
    const int32_t S = R == 1 ? LeftChild(pp) : RightChild(Item(pp, R - 1));
    CheckNeighbour(ix, S);
    if (S == pagePg) IndexDamaged(ix, S);
    uint8_t* b = GetPage(ix, pagePg);
    uint8_t* sp = GetPage(ix, S);
    const int sc = Count(sp);
    const int bc = Count(b);
    if (bc != kPageMinItems - 1 || sc < kPageMinItems) {
      ReleasePages(ix);
      IndexDamaged(ix, bc != kPageMinItems - 1 ? pagePg : S);
    }
    int N = sc + 1;
    const int M = (N - 16) / 2;
    if (M > 0) {
      ShiftItems(b, 1, bc, M);
      CopyItem(Item(b, M), Item(pp, R));
      SetRightChild(Item(b, M), LeftChild(b));
      N -= M;
      for (int j = 1; j <= M - 1; ++j) CopyItem(Item(b, j), Item(sp, N + j));
      SetLeftChild(b, RightChild(Item(sp, N)));
      CopyItem(Item(pp, R), Item(sp, N));
      SetRightChild(Item(pp, R), pagePg);
      SetCount(sp, N - 1);
      SetCount(b, M + bc);
      tooSmall = false;
      MarkDirty(b);
    } else {
      CopyItem(Item(sp, N), Item(pp, R));
      SetRightChild(Item(sp, N), LeftChild(b));
      for (int j = 1; j <= bc; ++j) CopyItem(Item(sp, N + j), Item(b, j));
      SetCount(sp, N + bc);
      SetCount(pp, pc - 1);
      ReturnPage(ix, b);
      tooSmall = pc - 1 < kPageMinItems;
    }
    MarkDirty(sp);
  }
  MarkDirty(pp);
}

// The item K of page foundPg is replaced by its predecessor, the last item
// of the rightmost leaf below P.
void ReplaceByPredecessor(IndexFile& ix, int32_t P, int32_t foundPg, int K) {
  Enter(ix, P);
  uint8_t* p = GetPage(ix, P);
  const int c = Count(p);
  if (c < 1) {
    ReleasePages(ix);
    IndexDamaged(ix, P);
  }
  const int32_t Y = RightChild(Item(p, c));
  if (Y != 0) {
    ReplaceByPredecessor(ix, Y, foundPg, K);
    if (tooSmall) Underflow(ix, P, Y, c);
  } else {
    uint8_t* fp = GetPage(ix, foundPg);
    p = GetPage(ix, P);
    uint8_t* last = Item(p, c);
    SetRightChild(last, RightChild(Item(fp, K)));
    CopyItem(Item(fp, K), last);
    SetCount(p, c - 1);
    tooSmall = c - 1 < kPageMinItems;
    MarkDirty(p);
    MarkDirty(fp);
  }
  Leave();
}

void Delete(IndexFile& ix, int32_t pg, const std::string& key, int32_t& ref) {
  if (pg == 0) {
    OpOk = false;
    tooSmall = false;
    return;
  }
  Enter(ix, pg);
  uint8_t* p = GetPage(ix, pg);
  const PageSearch s = SearchPage(ix, p, key, ref);
  const int32_t X = ChildAt(p, s.R);
  if (s.found) {
    ref = Reference(Item(p, s.K));
    if (X == 0) {
      const int count = Count(p);
      ShiftItems(p, s.K + 1, count, -1);
      SetCount(p, count - 1);
      tooSmall = count - 1 < kPageMinItems;
      MarkDirty(p);
    } else {
      ReplaceByPredecessor(ix, X, pg, s.K);
      if (tooSmall) Underflow(ix, pg, X, s.R);
    }
  } else {
    Delete(ix, X, key, ref);
    if (tooSmall) Underflow(ix, pg, X, s.R);
  }
  Leave();
}

// --- Searches -----------------------------------------------------------------------

// Takes the next step of a path down to page pg.
void PushStep(IndexFile& ix, int32_t pg, int16_t item) {
  for (int i = 0; i < ix.PathDepth; ++i) {
    if (ix.SearchPath[i].Page == pg) {
      ReleasePages(ix);
      IndexDamaged(ix, pg);
    }
  }
  if (ix.PathDepth >= kMaxPathDepth) {
    ReleasePages(ix);
    IndexDamaged(ix, pg);
  }
  ix.SearchPath[ix.PathDepth] = PathStep{pg, item};
  ++ix.PathDepth;
}

PathStep& LastStep(IndexFile& ix) { return ix.SearchPath[ix.PathDepth - 1]; }

// The entry a search leaves its path on, so that a walk can find its place
// again after the tree changed.
void NotePosition(IndexFile& ix, const uint8_t* item) {
  ix.PositionKey.assign(Key(item));
  ix.PositionRef = Reference(item);
}

// Every search that starts from the root reads the header here: the tree it
// then reads is the one of this change count.
void SyncRoot(IndexFile& ix) {
  RefreshHeader(ix);
  if (ix.Root != ix.RootPage) ix.Root = ix.RootPage;
  ix.SearchBase = ix.ChangeCount;
}

// With atRef, duplicates are searched at that reference (the path is left on
// the entry itself, or before where it would stand). True when the entry
// was found.
bool FindCore(IndexFile& ix, int32_t& ref, std::string& key, int32_t atRef = 0) {
  CutKey(key, ix.KeyLength);
  OpOk = false;
  ix.PathDepth = 0;
  SyncRoot(ix);
  int32_t P = ix.Root;
  bool found = false;
  while (P != 0 && !found) {
    PushStep(ix, P, 0);
    const uint8_t* p = GetPage(ix, P);
    const PageSearch s = SearchPage(ix, p, key, atRef);
    int R = s.R;
    if (s.found) {
      ref = Reference(Item(p, s.K));
      R = s.K;
      OpOk = true;
      found = true;
    }
    P = ChildAt(p, R);
    LastStep(ix).Item = static_cast<int16_t>(R);
  }
  if (!found && ix.PathDepth > 0) {
    while (ix.PathDepth > 1 && LastStep(ix).Item == 0) --ix.PathDepth;
    if (LastStep(ix).Item == 0) ix.PathDepth = 0;
  }
  if (ix.PathDepth > 0) {
    // The entry the path ends on: the one found, or the largest one below
    // the key.
    const uint8_t* p = GetPage(ix, LastStep(ix).Page);
    const int item = LastStep(ix).Item;
    if (item >= 1 && item <= Count(p)) NotePosition(ix, Item(p, item));
  }
  return found;
}

// The item the path's last step stands on, clamped to its page's count (a
// path kept across changes of the tree may point past it).
int ClampedItem(IndexFile& ix, const uint8_t* p) {
  PathStep& last = LastStep(ix);
  if (last.Item > Count(p)) last.Item = static_cast<int16_t>(Count(p));
  if (last.Item < 0) last.Item = 0;
  return last.Item;
}

void NextCore(IndexFile& ix, int32_t& ref, std::string& key) {
  int32_t P;
  if (ix.PathDepth == 0) {
    SyncRoot(ix);
    P = ix.Root;
  } else {
    const uint8_t* p = GetPage(ix, LastStep(ix).Page);
    P = ChildAt(p, ClampedItem(ix, p));
  }
  while (P != 0) {
    PushStep(ix, P, 0);
    P = LeftChild(GetPage(ix, P));
  }
  if (ix.PathDepth != 0) {
    while (ix.PathDepth > 1 && LastStep(ix).Item >= Count(GetPage(ix, LastStep(ix).Page))) {
      --ix.PathDepth;
    }
    const uint8_t* p = GetPage(ix, LastStep(ix).Page);
    const int item = ClampedItem(ix, p);
    if (item < Count(p)) {
      LastStep(ix).Item = static_cast<int16_t>(item + 1);
      key.assign(Key(Item(p, item + 1)));
      ref = Reference(Item(p, item + 1));
      NotePosition(ix, Item(p, item + 1));
    } else {
      ix.PathDepth = 0;
    }
  }
  OpOk = ix.PathDepth != 0;
  ReleasePages(ix);
}

// Ends a step back: the entry the path ends on goes into key and ref (the
// path is emptied when it ends before the first entry of its page), OpOk
// tells whether there was one, and the pages are let go.
void TakeEntryAtPath(IndexFile& ix, int32_t& ref, std::string& key) {
  if (ix.PathDepth != 0) {
    const uint8_t* p = GetPage(ix, LastStep(ix).Page);
    const int item = ClampedItem(ix, p);
    if (item > 0) {
      key.assign(Key(Item(p, item)));
      ref = Reference(Item(p, item));
      NotePosition(ix, Item(p, item));
    } else {
      ix.PathDepth = 0;
    }
  }
  OpOk = ix.PathDepth != 0;
  ReleasePages(ix);
}

void PrevCore(IndexFile& ix, int32_t& ref, std::string& key) {
  int32_t P;
  if (ix.PathDepth == 0) {
    SyncRoot(ix);
    P = ix.Root;
  } else {
    const uint8_t* p = GetPage(ix, LastStep(ix).Page);
    const int item = ClampedItem(ix, p);
    if (item == 0) {
      P = 0;
    } else {
      LastStep(ix).Item = static_cast<int16_t>(item - 1);
      P = ChildAt(p, item - 1);
    }
  }
  while (P != 0) {
    const uint8_t* p = GetPage(ix, P);
    const int count = Count(p);
    PushStep(ix, P, static_cast<int16_t>(count));
    P = count == 0 ? 0 : RightChild(Item(p, count));
  }
  if (ix.PathDepth != 0) {
    while (ix.PathDepth > 1 && LastStep(ix).Item == 0) --ix.PathDepth;
  }
  TakeEntryAtPath(ix, ref, key);
}

// A search runs with locking suspended and puts both switches back after.
class SearchLocking {
 public:
  SearchLocking() : enabled_(LockingEnabled), depth_(LockSuspendDepth) { SuspendLocking(); }
  ~SearchLocking() {
    DamageThrows = false;
    ResumeLocking();
    LockingEnabled = enabled_;
    LockSuspendDepth = depth_;
  }

 private:
  bool enabled_;
  int16_t depth_;
};

// A walk's step whose stored path met a page it cannot use: the path is
// found again from the entry it stood on, then the step is taken from
// there. A step back from an entry that is gone lands on the entry before
// its place.
void StepFromPosition(IndexFile& ix, int32_t& ref, std::string& key, int direction) {
  std::string at = ix.PositionKey;
  int32_t atRef = ix.PositionRef;
  const bool exact = FindCore(ix, atRef, at, ix.PositionRef);
  if (direction > 0) {
    NextCore(ix, ref, key);
  } else if (exact) {
    PrevCore(ix, ref, key);
  } else {
    TakeEntryAtPath(ix, ref, key);
  }
}

bool OthersMayChange(const IndexFile& ix) {
  return ix.Mode == ModeShared || ix.Mode == ModeReadOnly;
}

// The change count of the tree now. False when the pages just read may mix
// two states of the tree: another station holds the header lock (its change
// is under way). The lock is tested before the count is read, so a change
// that ended after the test shows in the count.
bool TreeNow(IndexFile& ix, uint32_t& now) {
  if (!OthersMayChange(ix) || HoldsLock(ix, 0)) {
    now = ix.ChangeCount;
    return true;
  }
  return ReadChangeCount(ix, now);
}

// Failed tries of one search after which it takes the header lock, so that
// a busy index cannot keep a search waiting for ever.
constexpr int kTriesBeforeHeaderLock = 4;

// Runs a search with locking suspended; it reads the pages while other
// stations may be changing the tree. Its result counts only when the tree's
// change count is still the one it started from and no change is under way;
// otherwise it is done again (after the change under way, if any). A walk's
// step (direction +1 or -1) starts from the path it kept, and the path only
// describes the tree of the change count it was found against: after any
// change (of this program or another station) the step finds its place
// again from the entry it stood on, kept in the descriptor, so that a walk
// never skips or repeats an entry. A page that cannot be used may be one
// that another station is changing or has just freed: the search is done
// again in the same way, and only the last try reports the damage.
template <class Work>
void Searching(IndexFile& ix, int32_t& ref, std::string& key, Work work, int direction = 0) {
  SearchLocking guard;
  const int16_t depth = ix.PathDepth;
  const auto path = ix.SearchPath;
  const int32_t ref0 = ref;
  const std::string key0 = key;
  const bool walkStep = direction != 0 && depth > 0 && ix.HasPosition;
  // A try that is not kept must not move the position either.
  const std::string positionKey = ix.PositionKey;
  const int32_t positionRef = ix.PositionRef;
  bool reposition = false;
  bool holding = false;
  int failed = 0;
  auto startAgain = [&] {
    ReleasePages(ix);
    ix.PathDepth = depth;
    ix.SearchPath = path;
    ref = ref0;
    key = key0;
    ix.PositionKey = positionKey;
    ix.PositionRef = positionRef;
    if (walkStep) reposition = true;
    // While another station holds the header lock it is changing the
    // tree: its change is waited for.
    bool changing = false;
    for (int poll = 0; !holding && RecordLockedByOther(ix, 0); ++poll) {
      changing = true;
      PausePoll(poll);
    }
    if (++failed >= kTriesBeforeHeaderLock && !holding) holding = HoldHeaderForSearch(ix);
    return changing;
  };
  for (int attempt = 0;; ++attempt) {
    DamageThrows = attempt < SearchRetries;
    try {
      ix.SearchBase = ix.PathCount;
      if (reposition) {
        StepFromPosition(ix, ref, key, direction);
      } else {
        work();
      }
      DamageThrows = false;
      // Holding the header lock, the search started from the header it
      // read under the lock (every retry does), and nothing can change.
      uint32_t now = ix.SearchBase;
      if (!holding && (!TreeNow(ix, now) || now != ix.SearchBase)) {
        startAgain();
        --attempt;  // not damage: the try does not count
        continue;
      }
      ix.PathCount = now;
      // The cores noted the entry the path ends on; a search that found
      // nothing may still leave a path (before where the key would stand).
      ix.HasPosition = ix.PathDepth != 0;
      if (holding) ReleaseHeaderHold(ix);
      return;
    } catch (const PageDamage&) {
      DamageThrows = false;
      if (startAgain()) {
        attempt = 0;
      } else {
        PausePoll(attempt);
      }
    }
  }
}

void SearchUnnormalised(IndexFile& ix, int32_t& ref, std::string& key) {
  Searching(ix, ref, key, [&] {
    FindCore(ix, ref, key);
    if (!OpOk) NextCore(ix, ref, key);
    ReleasePages(ix);
  });
}

bool RefuseKeyLength(int keyLength) {
  if (keyLength >= 1 && keyLength <= kMaxKeyLength) return false;
  OpOk = false;
  IoStatus = 12;
  return true;
}

// Pages of a descriptor left in the cache by an operation that a stop
// interrupted are never used again.
void ForgetPagesOf(IndexFile& ix) {
  for (int n = 0; n < 3; ++n) {
    PageBuffer& b = CacheBuffer(n);
    if (b.Owner == &ix) {
      b.Owner = nullptr;
      b.Dirty = false;
    }
  }
}

void ReadLive(DataFile& data, int32_t ref, void* record) {
  if (LockingEnabled) {
    ReadRecordForUpdate(data, ref, record);
  } else {
    ReadRecord(data, ref, record);
  }
}

}  // namespace

int SearchRetries = 40;

// --- Keys -------------------------------------------------------------------------

int CompareEntries(std::string_view a, std::string_view b, int32_t refA, int32_t refB,
                   bool duplicates) {
  const size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (!duplicates) return 0;
  return refA < refB ? -1 : refA > refB ? 1 : 0;
}

std::string NormaliseKey(std::string_view key) {
  std::string k = text::UpperOem(key.substr(0, kMaxKeyLength));
  if (k.size() > static_cast<size_t>(kMaxKeyLength)) k.resize(kMaxKeyLength);
  return k;
}

void ShowIllegalIndexOperation(const DataFile& f) {
  ui::Prompt("Illegális file müvelet!"_cp + '\0' + NameWithoutFolder(f.Name), "");
}

// --- Opening and closing ------------------------------------------------------------

void MakeIndex(IndexFile& ix, std::string_view name, int keyLength, bool duplicates) {
  if (RefuseKeyLength(keyLength)) return;
  ForgetPagesOf(ix);
  MakeDataFile(ix, name, IndexRecLen(keyLength));
  ix.AllowDuplicates = duplicates;
  ix.KeyLength = static_cast<int16_t>(keyLength);
  ix.Root = 0;
  ix.PathDepth = 0;
  if (OpOk) RegisterFile(ix.TableSlot, &ix, KindIndex, &ix);
}

void OpenIndex(IndexFile& ix, std::string_view name, int keyLength, bool duplicates) {
  if (RefuseKeyLength(keyLength)) return;
  ForgetPagesOf(ix);
  OpenDataFile(ix, name, IndexRecLen(keyLength));
  ix.AllowDuplicates = duplicates;
  ix.KeyLength = static_cast<int16_t>(keyLength);
  ix.Root = ix.RootPage;
  ix.PathDepth = 0;
  if (OpOk) RegisterFile(ix.TableSlot, &ix, KindIndex, &ix);
}

void CloseIndex(IndexFile& ix) {
  if (ix.Handle.IsOpen()) ReleasePages(ix);
  ForgetPagesOf(ix);
  ix.RootPage = ix.Root;
  CloseDataFile(ix);
  ix.PathDepth = 0;
}

void OpenOrMakeIndex(IndexFile& ix, std::string_view name, int keyLength, bool duplicates) {
  OpenIndex(ix, name, keyLength, duplicates);
  if (!OpOk) MakeIndex(ix, name, keyLength, duplicates);
}

void RecreateIndex(IndexFile& ix) {
  const std::string name = settings::LocateDataFile(ix.Name);
  const int keyLength = ix.KeyLength;
  const bool duplicates = ix.AllowDuplicates;
  // Emptying the tree is a change too: the new header carries the count on.
  RefreshHeader(ix);
  const uint32_t changes = ix.ChangeCount + 1;
  SetOpenMode(ix.Mode, TableEntry(ix.TableSlot).member);
  CloseIndex(ix);
  ix.ChangeCount = changes;
  MakeIndex(ix, name, keyLength, duplicates);
  RestoreOpenMode();
}

void OpenOrMakePair(std::string_view base, DataFile& data, IndexFile& ix, int32_t recLen,
                    int keyLength, bool duplicates) {
  const std::string b(base);
  OpenDataFile(data, b + ".dat", recLen);
  if (OpOk) {
    OpenIndex(ix, b + ".idx", keyLength, duplicates);
    return;
  }
  MakeDataFile(data, b + ".dat", recLen);
  MakeIndex(ix, b + ".idx", keyLength, duplicates);
  FlushFile(data);
  FlushFile(ix);
}

// --- Changes ----------------------------------------------------------------------------

namespace {

// The start of AddKey and DeleteKey: the key normalised and cut, the header
// read under its lock (held to the end of the change). False when the index
// is only open for reading (the message shown, OpOk false).
bool BeginChange(IndexFile& ix, std::string& key) {
  key = NormaliseKey(key);
  if (ix.Mode == ModeReadOnly) {
    ShowIllegalIndexOperation(ix);
    OpOk = false;
    return false;
  }
  CutKey(key, ix.KeyLength);
  OpOk = true;
  RefreshHeaderLocked(ix);
  if (ix.Root != ix.RootPage) ix.Root = ix.RootPage;
  return true;
}

// The end of a change: a change that took place raises the change count;
// the pages are written and the header stored, which lets its lock go.
void EndChange(IndexFile& ix) {
  ix.RootPage = ix.Root;
  if (OpOk) ++ix.ChangeCount;
  ReleasePages(ix);
  StoreHeader(ix);
}

}  // namespace

void AddKey(IndexFile& ix, int32_t reference, std::string& key) {
  if (!BeginChange(ix, key)) return;
  if (ix.Root != 0 && Count(GetPage(ix, ix.Root)) == kPageItems &&
      WouldOutgrow(ix, key, reference)) {
    ReleasePages(ix);
    StoreHeader(ix);
    OpOk = false;
    ui::Prompt("Az index megtelt: öt szintnél mélyebb fa nem lehet!"_cp + '\0' +
                   NameWithoutFolder(ix.Name),
               "");
    return;
  }
  descent.clear();
  passUp = false;
  Insert(ix, ix.Root, key, reference);
  if (passUp) {
    int32_t np = 0;
    uint8_t* p = NewPage(ix, np);
    SetCount(p, 1);
    SetLeftChild(p, ix.Root);
    CopyItem(Item(p, 1), passedItem);
    MarkDirty(p);
    ix.Root = np;
    passUp = false;
  }
  EndChange(ix);
}

void DeleteKey(IndexFile& ix, int32_t& reference, std::string& key) {
  if (!BeginChange(ix, key)) return;
  descent.clear();
  tooSmall = false;
  Delete(ix, ix.Root, key, reference);
  if (tooSmall) {
    uint8_t* p = GetPage(ix, ix.Root);
    if (Count(p) == 0) {
      ix.Root = LeftChild(p);
      ReturnPage(ix, p);
    }
    tooSmall = false;
  }
  EndChange(ix);
}

// --- Searches -------------------------------------------------------------------------

void FindKey(IndexFile& ix, int32_t& reference, std::string& key) {
  key = NormaliseKey(key);
  Searching(ix, reference, key, [&] {
    FindCore(ix, reference, key);
    if (!OpOk && ix.AllowDuplicates) {
      const std::string wanted = key;
      NextCore(ix, reference, key);
      OpOk = OpOk && key == wanted;
    }
    ReleasePages(ix);
  });
}

void SearchKey(IndexFile& ix, int32_t& reference, std::string& key) {
  key = NormaliseKey(key);
  SearchUnnormalised(ix, reference, key);
}

void NextKey(IndexFile& ix, int32_t& reference, std::string& key) {
  Searching(ix, reference, key, [&] { NextCore(ix, reference, key); }, 1);
}

void PrevKey(IndexFile& ix, int32_t& reference, std::string& key) {
  Searching(ix, reference, key, [&] { PrevCore(ix, reference, key); }, -1);
}

void ClearKey(IndexFile& ix) {
  ix.PathDepth = 0;
  ix.HasPosition = false;
}

void FindLastKey(IndexFile& ix, int32_t& reference, std::string& key) {
  key = NormaliseKey(key);
  if (key.empty()) {
    key = "\xFF";
  } else {
    // Raising a last 255 carries into the character before it; a key of
    // nothing but 255s has no bound above it.
    while (!key.empty() && static_cast<uint8_t>(key.back()) == 0xFF) key.pop_back();
    if (key.empty()) {
      ClearKey(ix);
      PrevKey(ix, reference, key);
      return;
    }
    key.back() = static_cast<char>(static_cast<uint8_t>(key.back()) + 1);
  }
  // The raised key is searched as it is: upper-casing it again could turn
  // it into another bound.
  SearchUnnormalised(ix, reference, key);
  PrevKey(ix, reference, key);
}

void FindKeyForRecord(IndexFile& ix, int32_t& reference, std::string& key) {
  const int32_t wantedRef = reference;
  FindKey(ix, reference, key);
  const std::string wantedKey = key;
  while (OpOk && key == wantedKey && reference != wantedRef) NextKey(ix, reference, key);
  OpOk = OpOk && key == wantedKey && reference == wantedRef;
}

void NextLiveRecord(IndexFile& ix, std::string& key, DataFile& data, int32_t& reference,
                    void* record) {
  do {
    NextKey(ix, reference, key);
    if (OpOk) ReadLive(data, reference, record);
  } while (OpOk && !RecordLive);
}

void PrevLiveRecord(IndexFile& ix, std::string& key, DataFile& data, int32_t& reference,
                    void* record) {
  do {
    PrevKey(ix, reference, key);
    if (OpOk) ReadLive(data, reference, record);
  } while (OpOk && !RecordLive);
}

void FindLiveRecord(IndexFile& ix, std::string& key, DataFile& data, int32_t& reference,
                    void* record) {
  FindKey(ix, reference, key);
  if (OpOk) {
    ReadLive(data, reference, record);
    OpOk = RecordLive;
  }
}

void SearchLiveRecord(IndexFile& ix, std::string& key, DataFile& data, int32_t& reference,
                      void* record) {
  SearchKey(ix, reference, key);
  if (OpOk) {
    ReadLive(data, reference, record);
    if (!RecordLive) NextLiveRecord(ix, key, data, reference, record);
  }
}

}  // namespace engine
