#include "base/text_arena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qar {
namespace {

TEST(TextArenaTest, EveryLengthReadsBackAcrossShortAndLongEntriesAndBlocks) {
  TextArena arena;
  EXPECT_EQ(arena.view(0), "");  // before anything is stored
  std::vector<std::string> texts;
  std::vector<uint32_t> references;
  // Lengths around the one-byte limit and up to the largest symbol line,
  // over several blocks; odd lengths shift the following entries.
  for (size_t round = 0; round < 1200; ++round) {
    for (size_t length : {1u, 2u, 253u, 254u, 255u, 256u, 4095u}) {
      std::string text(length, static_cast<char>('a' + (round + length) % 26));
      text.front() = static_cast<char>(round % 200 + 1);
      references.push_back(arena.store(text));
      texts.push_back(std::move(text));
    }
  }
  EXPECT_GT(arena.bytesReserved(), size_t{2} << 21);
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(arena.view(references[i]), texts[i]) << i;
  EXPECT_EQ(arena.store(""), 0u);
  EXPECT_EQ(arena.view(0), "");
}

TEST(TextArenaTest, LongestTextFitsAndLongerIsRefused) {
  TextArena arena;
  std::string longest(TextArena::kMaxTextLength, 'x');
  uint32_t reference = arena.store(longest);
  EXPECT_EQ(arena.view(reference), longest);
  EXPECT_THROW(arena.store(std::string(TextArena::kMaxTextLength + 1, 'y')), std::length_error);
  arena.clear();
  EXPECT_EQ(arena.bytesReserved(), 0u);
  EXPECT_EQ(arena.view(arena.store("again")), "again");
}

}  // namespace
}  // namespace qar
