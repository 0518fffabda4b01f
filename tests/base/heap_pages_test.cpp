#include "base/heap_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_arena.h"

namespace qar {
namespace {

using std::chrono::microseconds;

class HugePageChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { resetHugePageChoice(); }
  void TearDown() override { resetHugePageChoice(); }
};

// Huge pages stay advised while their first faults are quick, or slow only
// once; two slow ones end the advice for the rest of the run.
TEST_F(HugePageChoiceTest, TwoSlowFirstFaultsEndTheAdvice) {
  for (int block = 0; block < 100; ++block) noteFirstFault(microseconds(200));
  noteFirstFault(microseconds(4000));
  for (int block = 0; block < 100; ++block) noteFirstFault(microseconds(200));
  EXPECT_TRUE(hugePagesAdvised());
  noteFirstFault(microseconds(2500));
  EXPECT_FALSE(hugePagesAdvised());
  noteFirstFault(microseconds(100));  // no way back within the run
  EXPECT_FALSE(hugePagesAdvised());
  resetHugePageChoice();
  EXPECT_TRUE(hugePagesAdvised());
}

// The arena's blocks are made the same either way: what is stored reads
// back once huge pages are no longer advised.
TEST_F(HugePageChoiceTest, TheArenaStoresAlikeWithoutHugePages) {
  for (bool advised : {true, false}) {
    if (!advised) {
      noteFirstFault(microseconds(5000));
      noteFirstFault(microseconds(5000));
    }
    ASSERT_EQ(hugePagesAdvised(), advised);
    TextArena arena;
    std::vector<uint32_t> references;
    const std::string text(1000, advised ? 'h' : 's');
    for (int i = 0; i < 5000; ++i) references.push_back(arena.store(text + std::to_string(i)));  // 3 blocks
    EXPECT_GE(arena.bytesReserved(), size_t{3} << 21);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(arena.view(references[static_cast<size_t>(i)]), text + std::to_string(i));
  }
}

}  // namespace
}  // namespace qar
