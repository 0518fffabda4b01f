#include "base/arena_blocks.h"

#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

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
  std::condition_variable wanted;
  std::deque<char*> ready;
  size_t ahead = 0;
  bool stopping = false;
  std::thread thread;
  std::atomic<bool> running{false};
  std::atomic<size_t> taken{0};
};

Supply& supply() {
  static Supply state;
  return state;
}

void supplyBlocks(Supply& state) {
  std::unique_lock lock(state.guard);
  while (!state.stopping) {
    if (state.ready.size() >= state.ahead) {
      state.wanted.wait(lock);
      continue;
    }
    lock.unlock();
    char* block = mapArenaBlock();
    if (block != nullptr) touchBlock(block);
    lock.lock();
    // Out of memory: the arena maps its own blocks and meets it there.
    if (block == nullptr) break;
    state.ready.push_back(block);
  }
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

void startArenaBlockSupply(size_t ahead) {
  Supply& state = supply();
  if (state.running.load() || ahead == 0) return;
  state.ahead = ahead;
  state.stopping = false;
  state.taken.store(0);
  try {
    state.thread = std::thread(supplyBlocks, std::ref(state));
  } catch (const std::system_error&) {
    return;
  }
  state.running.store(true);
}

void stopArenaBlockSupply() {
  Supply& state = supply();
  if (!state.running.load()) return;
  {
    std::lock_guard lock(state.guard);
    state.stopping = true;
  }
  state.wanted.notify_one();
  state.thread.join();
  state.running.store(false);
  for (char* block : state.ready) unmapArenaBlock(block);
  state.ready.clear();
}

char* takeSuppliedArenaBlock() {
  Supply& state = supply();
  if (!state.running.load(std::memory_order_relaxed)) return nullptr;
  char* block = nullptr;
  {
    std::lock_guard lock(state.guard);
    if (!state.ready.empty()) {
      block = state.ready.front();
      state.ready.pop_front();
    }
  }
  state.wanted.notify_one();
  if (block != nullptr) state.taken.fetch_add(1, std::memory_order_relaxed);
  return block;
}

size_t suppliedArenaBlocksTaken() { return supply().taken.load(); }

size_t suppliedArenaBlocksReady() {
  Supply& state = supply();
  std::lock_guard lock(state.guard);
  return state.ready.size();
}

}  // namespace qar
