#include "base/heap_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace qar {
namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// Below this a run is small enough for the pages it touches not to matter.
constexpr size_t kSmallestReservation = size_t{16} << 20;
// A huge page's first fault above this is slower than faulting its 512
// small pages one by one (about 0.7 ms here, where a huge page from memory
// the machine still holds takes 0.2 ms and one it must be given back 2 to
// 5 ms).
constexpr std::chrono::nanoseconds kSlowFirstFault = std::chrono::microseconds(1000);
constexpr int kSlowFaultsToStop = 2;

// The choice, made as the run stores its texts; the heap's stretch is set
// before.
struct HugePageChoice {
  std::atomic<bool> advised{true};
  std::atomic<int> slowFaults{0};
  uintptr_t heapFirst = 0;  // the heap's stretch advised for huge pages
  uintptr_t heapLast = 0;
};

HugePageChoice& choice() {
  static HugePageChoice state;
  return state;
}
// Allocations from this size on get mappings of their own (the line arena's
// 2 MiB blocks among them), as before; smaller ones come from the heap.
constexpr int kMappedFrom = 1 << 20;
constexpr size_t kProbeSize = size_t{256} << 10;
constexpr size_t kMaxProbes = 64;
// The allocator's usual padding of a growth of the heap.
constexpr int kUsualTopPad = 128 << 10;

}  // namespace

void reserveHugePageHeap(size_t bytes) {
  if (bytes < kSmallestReservation) return;
  // The stretch is made by one growth of the heap with `bytes` of padding;
  // it stays the heap's free top until used, instead of being given back.
  mallopt(M_TRIM_THRESHOLD, INT32_MAX);
  // Two arenas: the threads the run starts (reading data files beside the
  // symbol files, preparing beside header extraction, walking parts of a
  // report) allocate from a second one. With this heap alone they waited on
  // its lock: loading took 9 to 13 % longer, all four reports up to 10 %.
  // What they leave in it is not reused by the run's thread, which costs up
  // to 7 % of the peak (the XML-heavy case; nothing in the default one).
  mallopt(M_ARENA_MAX, 2);
  mallopt(M_MMAP_THRESHOLD, kMappedFrom);
  mallopt(M_TOP_PAD, bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes));
  const auto start = reinterpret_cast<uintptr_t>(sbrk(0));
  // Small blocks are taken until one makes the heap grow (the free top that
  // the start-up left is used up first).
  void* probes[kMaxProbes];
  size_t taken = 0;
  uintptr_t end = start;
  while (taken < kMaxProbes && end == start) {
    probes[taken] = std::malloc(kProbeSize);
    if (probes[taken] == nullptr) break;
    ++taken;
    end = reinterpret_cast<uintptr_t>(sbrk(0));
  }
  mallopt(M_TOP_PAD, kUsualTopPad);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = end & ~(kHugePage - 1);
  if (last > first && hugePagesAdvised()) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    choice().heapFirst = first;
    choice().heapLast = last;
  }
  for (size_t i = 0; i < taken; ++i) std::free(probes[i]);
}

void adviseNewBlock(char* block, size_t size) {
  if (!hugePagesAdvised()) {
    // Also where the system gives huge pages unasked.
    madvise(block, size, MADV_NOHUGEPAGE);
    return;
  }
  // Only advice: without transparent huge pages the block is used as it is.
  madvise(block, size, MADV_HUGEPAGE);
  const auto start = std::chrono::steady_clock::now();
  *static_cast<volatile char*>(block) = 0;
  noteFirstFault(std::chrono::steady_clock::now() - start);
}

bool hugePagesAdvised() { return choice().advised.load(std::memory_order_relaxed); }

void noteFirstFault(std::chrono::nanoseconds took) {
  HugePageChoice& state = choice();
  if (!hugePagesAdvised() || took <= kSlowFirstFault) return;
  if (state.slowFaults.fetch_add(1, std::memory_order_relaxed) + 1 < kSlowFaultsToStop) return;
  if (state.advised.exchange(false, std::memory_order_relaxed) == false) return;
  // The pages of the stretch touched so far stay as they are.
  if (state.heapLast > state.heapFirst) {
    madvise(reinterpret_cast<void*>(state.heapFirst), state.heapLast - state.heapFirst, MADV_NOHUGEPAGE);
  }
}

void resetHugePageChoice() {
  HugePageChoice& state = choice();
  state.advised.store(true, std::memory_order_relaxed);
  state.slowFaults.store(0, std::memory_order_relaxed);
  state.heapFirst = 0;
  state.heapLast = 0;
}

}  // namespace qar
