// Independence pairs, the chosen pair per condition, and the MC/DC lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing_test_support.h"

namespace qar {
namespace {

class McdcTest : public test::ListingTestBase {
 protected:
  void add(bool outcome, uint32_t count, std::string_view text) {
    registerCombination(outcome, count, text, 40, 2);
  }

  // "<number><space or -> <pair list>" per condition of a fresh analysis.
  std::vector<std::string> conditions() {
    analyseMcdc();
    std::vector<std::string> out;
    McdcCondition condition;
    while (nextMcdcCondition(condition)) {
      out.push_back(std::to_string(condition.number) + (condition.uncovered ? "-" : " ") + " " +
                    std::string(condition.pairList));
    }
    return out;
  }

  using Lines = std::vector<std::string>;
};

void registerAndExample() {
  registerCombination(true, 5, "TT", 17, 1);
  registerCombination(false, 0, "TF", 17, 1);
  registerCombination(false, 2, "F_", 18, 1);
}

TEST_F(McdcTest, TwoConditionAndExample) {
  registerAndExample();
  EXPECT_TRUE(mcdcPending());
  EXPECT_EQ(conditions(), (Lines{"1  1 + 3", "2- 1 - 2"}));
  EXPECT_FALSE(mcdcPending());
}

TEST_F(McdcTest, ProfileWritesEveryConditionUntestedOnlyUncoveredOnes) {
  for (bool profile : {true, false}) {
    uint32_t items = 10;
    uint32_t misses = 3;
    std::string text = listingOf([&] {
      registerAndExample();
      writeMcdcOutput(profile, items, misses);
    });
    EXPECT_EQ(items, 12u);
    EXPECT_EQ(misses, 4u);
    // Saved position: the last combination's line 18, nesting 1 + 1.
    std::string uncovered = std::string(22, ' ') + "-    18     MC/DC (cond 2): 1 - 2\n";
    if (profile) {
      EXPECT_EQ(text, "                           18     MC/DC (cond 1): 1 + 3\n" + uncovered);
    } else {
      EXPECT_EQ(text, uncovered);
    }
  }
}

TEST_F(McdcTest, CoveredPairIsChosenFirstAndOthersFollowInOrder) {
  // Three conditions joined by "or": every false combination is FFF.
  add(true, 0, "T__");
  add(true, 4, "FT_");
  add(true, 1, "FFT");
  add(true, 2, "T__");
  add(false, 3, "FFF");
  add(false, 0, "FFF");
  EXPECT_EQ(conditions(), (Lines{"1  4 + 5, 1 - 5, 1 - 6, 4 - 6", "2  2 + 5, 2 - 6", "3  3 + 5, 3 - 6"}));
}

TEST_F(McdcTest, NotEvaluatedValuesAndZeroCounts) {
  // "_" matches anything at the other positions; in the tested position the
  // two values need only differ. A count of 0 makes every pair uncovered.
  add(true, 1, "TT");
  add(false, 1, "F_");
  add(false, 0, "T_");
  EXPECT_EQ(conditions(), (Lines{"1  1 + 2", "2- 1 - 3"}));
  // Characters other than T, F and _ are not part of the vector.
  add(true, 1, "(a) T && (b) T");
  add(false, 1, "F && _");
  EXPECT_EQ(conditions(), (Lines{"1  1 + 2", "2- "}));
}

TEST_F(McdcTest, InconsistentCombinationsStayWithinTheirVectors) {
  // A condition without any pair still gets its line, uncovered.
  add(true, 1, "TT");
  add(false, 1, "FF");
  EXPECT_EQ(conditions(), (Lines{"1- ", "2- "}));
  // Shorter vectors read as "_" past their end; longer ones are looked at
  // only up to the first true combination's length.
  add(true, 1, "TTT");
  add(false, 1, "F");
  add(false, 1, "TTFF");
  EXPECT_EQ(conditions(), (Lines{"1  1 + 2", "2- ", "3  1 + 3"}));
  // No true combination: no conditions, and numbering starts at 1 again.
  add(false, 1, "F");
  EXPECT_EQ(conditions(), Lines{});
  add(true, 1, "T");
  add(false, 1, "F");
  EXPECT_EQ(conditions(), (Lines{"1  1 + 2"}));
}

}  // namespace
}  // namespace qar
