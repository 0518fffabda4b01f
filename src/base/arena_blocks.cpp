#include "base/arena_blocks.h"

#include <sys/mman.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>

#include "base/heap_pages.h"

namespace qar {
namespace {

// Every page of a new block made resident at once: one call instead of 512
// faults. Kernels without it (before 5.14) get the pages touched one by one.
void touchBlock(char* block) {
#ifdef MADV_POPULATE_WRITE
  if (madvise(block, kArenaBlockSize, MADV_POPULATE_WRITE) == 0) return;
#endif
  for (size_t at = 0; at < kArenaBlockSize; at += 4096) static_cast<volatile char*>(block)[at] = 0;
}

struct Supply {
  std::mutex guard;
  std::condition_variable_any wanted;
  std::deque<char*> ready;
  size_t ahead = 0;
  bool open = false;
  size_t taken = 0;
};

Supply& supply() {
  static Supply state;
  return state;
}

void releaseReady(Supply& state) {
  for (char* block : state.ready) unmapArenaBlock(block);
  state.ready.clear();
}

}  // namespace

char* mapArenaBlock() {
  // Twice the size mapped, to cut an aligned block out of it.
  void* mapped = ::mmap(nullptr, 2 * kArenaBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kArenaBlockSize - 1) & ~(kArenaBlockSize - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  if (const uintptr_t tail = start + 2 * kArenaBlockSize - (aligned + kArenaBlockSize); tail > 0) {
    ::munmap(reinterpret_cast<void*>(aligned + kArenaBlockSize), tail);
  }
  char* block = reinterpret_cast<char*>(aligned);
  adviseNewBlock(block, kArenaBlockSize);
  return block;
}

void unmapArenaBlock(char* block) { ::munmap(block, kArenaBlockSize); }

void openArenaBlockSupply(size_t ahead) {
  Supply& state = supply();
  std::lock_guard lock(state.guard);
  releaseReady(state);
  state.ahead = ahead;
  state.open = ahead > 0;
  state.taken = 0;
}

void closeArenaBlockSupply() {
  Supply& state = supply();
  {
    std::lock_guard lock(state.guard);
    state.open = false;
    releaseReady(state);
  }
  state.wanted.notify_all();
}

void supplyArenaBlocks(std::stop_token stop) {
  Supply& state = supply();
  std::unique_lock lock(state.guard);
  while (state.open && !stop.stop_requested()) {
    if (state.ready.size() >= state.ahead) {
      state.wanted.wait(lock, stop, [&state] { return !state.open || state.ready.size() < state.ahead; });
      continue;
    }
    lock.unlock();
    char* block = mapArenaBlock();
    if (block != nullptr) touchBlock(block);
    lock.lock();
    // Out of memory: the arena maps its own blocks and meets it there.
    if (block == nullptr) return;
    if (!state.open) {
      unmapArenaBlock(block);
      return;
    }
    state.ready.push_back(block);
  }
}

char* takeSuppliedArenaBlock() {
  Supply& state = supply();
  char* block = nullptr;
  {
    std::lock_guard lock(state.guard);
    if (!state.open || state.ready.empty()) return nullptr;
    block = state.ready.front();
    state.ready.pop_front();
    ++state.taken;
  }
  state.wanted.notify_all();
  return block;
}

size_t suppliedArenaBlocksTaken() {
  Supply& state = supply();
  std::lock_guard lock(state.guard);
  return state.taken;
}

size_t suppliedArenaBlocksReady() {
  Supply& state = supply();
  std::lock_guard lock(state.guard);
  return state.ready.size();
}

}  // namespace qar
