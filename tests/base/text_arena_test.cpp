#include "base/text_arena.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qar {
namespace {

std::string textOf(size_t i) { return "line " + std::to_string(i) + std::string(i % 300, 'x'); }

// Texts keep their bytes and their place while blocks are added after them:
// references and views taken early stay good.
TEST(TextArenaTest, TextsStayInPlaceAcrossBlocks) {
  TextArena arena;
  EXPECT_EQ(arena.view(0), "");
  std::vector<uint32_t> references;
  std::vector<const char*> places;
  for (size_t i = 0; i < 40000; ++i) {  // about 6 MB: several blocks
    references.push_back(arena.store(textOf(i)));
    places.push_back(arena.view(references.back()).data());
  }
  EXPECT_GE(arena.bytesReserved(), size_t{3} << 21);
  EXPECT_EQ(arena.store(""), 0u);
  for (size_t i = 0; i < references.size(); ++i) {
    ASSERT_EQ(arena.view(references[i]), textOf(i)) << i;
    ASSERT_EQ(arena.view(references[i]).data(), places[i]) << i;
  }
  arena.clear();
  EXPECT_EQ(arena.bytesReserved(), 0u);
  EXPECT_EQ(arena.view(0), "");
}

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
