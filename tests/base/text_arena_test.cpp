#include "base/text_arena.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qar
