// Counts of the system calls made by the file service (reads, writes, seeks)
// and by the byte locks (every fcntl for a lock, a test or a release), for
// benchmarks and tests that measure how many calls an operation costs.
// Counting is a relaxed atomic increment: cheap enough to stay on always.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

struct SyscallCounts {
  uint64_t reads = 0;
  uint64_t writes = 0;
  uint64_t seeks = 0;
  uint64_t locks = 0;
  uint64_t Total() const { return reads + writes + seeks + locks; }
};

namespace syscall_count {
extern std::atomic<uint64_t> reads;
extern std::atomic<uint64_t> writes;
extern std::atomic<uint64_t> seeks;
extern std::atomic<uint64_t> locks;

inline void Read() { reads.fetch_add(1, std::memory_order_relaxed); }
inline void Write() { writes.fetch_add(1, std::memory_order_relaxed); }
inline void Seek() { seeks.fetch_add(1, std::memory_order_relaxed); }
inline void Lock() { locks.fetch_add(1, std::memory_order_relaxed); }
}  // namespace syscall_count

// The counts since the start of the process (or the last reset).
SyscallCounts CurrentSyscallCounts();
void ResetSyscallCounts();

}  // namespace platform
