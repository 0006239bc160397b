// Helpers of the index tests: keys made from numbers, the whole index read
// through NextKey, and the tree check as a test assertion.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine_fixture.h"

namespace engine {

inline bool operator==(const IndexEntry& a, const IndexEntry& b) {
  return a.Key == b.Key && a.Reference == b.Reference;
}
inline std::ostream& operator<<(std::ostream& os, const IndexEntry& e) {
  return os << "(" << e.Key << "," << e.Reference << ")";
}

}  // namespace engine

namespace engine::testing {

// "K" + n with leading zeros: keys that sort as their numbers.
inline std::string NumKey(int n, int width = 5) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "K%0*d", width, n);
  return buf;
}

// Every entry through ClearKey and NextKey.
inline std::vector<IndexEntry> WalkForward(IndexFile& ix) {
  std::vector<IndexEntry> out;
  ClearKey(ix);
  int32_t ref = 0;
  std::string key;
  for (NextKey(ix, ref, key); OpOk; NextKey(ix, ref, key)) out.push_back({key, ref});
  return out;
}

inline std::vector<IndexEntry> WalkBackward(IndexFile& ix) {
  std::vector<IndexEntry> out;
  ClearKey(ix);
  int32_t ref = 0;
  std::string key;
  for (PrevKey(ix, ref, key); OpOk; PrevKey(ix, ref, key)) out.insert(out.begin(), {key, ref});
  return out;
}


inline ::testing::AssertionResult TreeSound(IndexFile& ix, DataFile* data = nullptr) {
  const IndexCheckResult r = CheckIndex(ix, data);
  if (r.Faults.empty()) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  for (const std::string& f : r.Faults) failure << f << "\n";
  return failure;
}

}  // namespace engine::testing
