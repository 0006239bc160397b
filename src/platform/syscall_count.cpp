#include "platform/syscall_count.h"

namespace platform {
namespace syscall_count {
std::atomic<uint64_t> reads{0};
std::atomic<uint64_t> writes{0};
std::atomic<uint64_t> seeks{0};
std::atomic<uint64_t> locks{0};
}  // namespace syscall_count

SyscallCounts CurrentSyscallCounts() {
  SyscallCounts c;
  c.reads = syscall_count::reads.load(std::memory_order_relaxed);
  c.writes = syscall_count::writes.load(std::memory_order_relaxed);
  c.seeks = syscall_count::seeks.load(std::memory_order_relaxed);
  c.locks = syscall_count::locks.load(std::memory_order_relaxed);
  return c;
}

void ResetSyscallCounts() {
  syscall_count::reads.store(0, std::memory_order_relaxed);
  syscall_count::writes.store(0, std::memory_order_relaxed);
  syscall_count::seeks.store(0, std::memory_order_relaxed);
  syscall_count::locks.store(0, std::memory_order_relaxed);
}

}  // namespace platform
