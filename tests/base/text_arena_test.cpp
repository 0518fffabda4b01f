#include "base/text_arena.h"

#include "base/arena_blocks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qar {
namespace {

std::string textOf(size_t i) { return "line " + std::to_string(i) + std::string(i % 300, 'x'); }

// Once its table is kept in place, another thread views the texts stored so
// far while this one stores many more blocks of them (a sanitizer build
// catches a table that moves under the reader).
TEST(TextArenaTest, ViewsFromAnotherThreadWhileStoring) {
  TextArena arena;
  arena.keepTableInPlace();
  EXPECT_EQ(arena.view(0), "");
  std::vector<uint32_t> references;
  for (size_t i = 0; i < 2000; ++i) references.push_back(arena.store(textOf(i)));
  size_t mismatches = 0;
  std::thread reader([&] {
    for (int round = 0; round < 50; ++round) {
      for (size_t i = 0; i < references.size(); ++i) mismatches += arena.view(references[i]) != textOf(i);
    }
  });
  for (size_t i = 0; i < 60000; ++i) arena.store(textOf(i));
  reader.join();
  EXPECT_EQ(mismatches, 0u);
}

// While the supply is open and a thread supplies it, the arena takes its
// blocks from it; texts stored in them read back the same. Closing the
// supply ends the thread's loop (as does a stop request, the way a thread
// leaves on an error) and gives back the blocks nobody took.
TEST(TextArenaTest, TakesItsBlocksFromTheSupplyWhileItIsOpen) {
  EXPECT_EQ(takeSuppliedArenaBlock(), nullptr);
  std::vector<std::string> texts;
  for (size_t i = 0; i < 40000; ++i) texts.push_back(textOf(i));  // about 6 MiB, 3 blocks or more
  for (const bool closedFirst : {true, false}) {
    TextArena arena;
    std::vector<uint32_t> references;
    {
      ArenaBlockSupply supply(2);
      std::jthread supplier([](std::stop_token stop) { supplyArenaBlocks(stop); });
      // Both blocks made before the arena needs its first.
      for (int wait = 0; wait < 2000 && suppliedArenaBlocksReady() < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      for (const std::string& text : texts) references.push_back(arena.store(text));
      EXPECT_GE(suppliedArenaBlocksTaken(), 2u) << closedFirst;
      EXPECT_GE(arena.bytesReserved(), 3 * kArenaBlockSize);
      if (closedFirst) {
        closeArenaBlockSupply();
        EXPECT_EQ(suppliedArenaBlocksReady(), 0u);
        supplier.join();
      }
    }
    EXPECT_EQ(suppliedArenaBlocksReady(), 0u);
    EXPECT_EQ(takeSuppliedArenaBlock(), nullptr);
    size_t mismatches = 0;
    for (size_t i = 0; i < texts.size(); ++i) mismatches += arena.view(references[i]) != texts[i];
    EXPECT_EQ(mismatches, 0u) << closedFirst;
    // Stored once the supply is closed: blocks of the arena's own.
    const uint32_t later = arena.store(std::string(3000, 'y'));
    EXPECT_EQ(arena.view(later), std::string(3000, 'y'));
  }
  // Not open: a supplier returns at once.
  supplyArenaBlocks(std::stop_token());
  EXPECT_EQ(suppliedArenaBlocksReady(), 0u);
}

}  // namespace
}  // namespace qar
