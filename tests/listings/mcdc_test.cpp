// Independence pairs, the chosen pair per condition, and the MC/DC lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing_test_support.h"

namespace qar {
namespace {

using Lines = std::vector<std::string>;

struct Combination {
  bool outcome;
  uint32_t count;
  const char* text;
};

// "<condition><space or -> <pair list>" per condition of one analysis.
Lines conditionsOf(const std::vector<Combination>& combinations) {
  for (const Combination& c : combinations) registerCombination(c.outcome, c.count, c.text, 40, 2);
  analyseMcdc();
  Lines out;
  McdcCondition condition;
  while (nextMcdcCondition(condition)) {
    out.push_back(std::to_string(condition.number) + (condition.uncovered ? "-" : " ") + " " +
                  std::string(condition.pairList));
  }
  return out;
}

class McdcTest : public test::ListingTestBase {};

TEST_F(McdcTest, PairsAndTheirChosenRepresentatives) {
  const std::pair<std::vector<Combination>, Lines> cases[] = {
      // a && b: TT 5, TF 0, F_ 2.
      {{{true, 5, "TT"}, {false, 0, "TF"}, {false, 2, "F_"}}, {"1  1 + 3", "2- 1 - 2"}},
      // a || b || c: the covered pair first, the others in order.
      {{{true, 0, "T__"}, {true, 4, "FT_"}, {true, 1, "FFT"}, {true, 2, "T__"}, {false, 3, "FFF"}, {false, 0, "FFF"}},
       {"1  4 + 5, 1 - 5, 1 - 6, 4 - 6", "2  2 + 5, 2 - 6", "3  3 + 5, 3 - 6"}},
      // "_" matches anything elsewhere; in the tested position values need only differ.
      {{{true, 1, "TT"}, {false, 1, "F_"}, {false, 0, "T_"}}, {"1  1 + 2", "2- 1 - 3"}},
      {{{true, 1, "TT"}, {false, 1, "_F"}}, {"1- ", "2  1 + 2"}},
      // Only T, F and _ belong to a vector.
      {{{true, 1, "(a) T && (b) T"}, {false, 1, "F && _"}}, {"1  1 + 2", "2- "}},
      // A condition without any pair still gets its line, uncovered.
      {{{true, 1, "TT"}, {false, 1, "FF"}}, {"1- ", "2- "}},
      // Shorter vectors read as "_" past their end; longer ones only up to the first true one's length.
      {{{true, 1, "TTT"}, {false, 1, "F"}, {false, 1, "TTFF"}}, {"1  1 + 2", "2- ", "3  1 + 3"}},
      // No true combination: no conditions.
      {{{false, 1, "F"}}, {}},
      // Numbering starts at 1 again after every analysis.
      {{{true, 1, "T"}, {false, 1, "F"}}, {"1  1 + 2"}},
  };
  for (const auto& [combinations, expected] : cases) {
    EXPECT_EQ(conditionsOf(combinations), expected) << combinations.front().text;
    EXPECT_FALSE(mcdcPending());
  }
}

TEST_F(McdcTest, ProfileWritesEveryConditionUntestedOnlyUncoveredOnes) {
  for (bool profile : {true, false}) {
    uint32_t items = 10;
    uint32_t misses = 3;
    std::string text = listingOf([&] {
      registerCombination(true, 5, "TT", 17, 1);
      registerCombination(false, 0, "TF", 17, 1);
      registerCombination(false, 2, "F_", 18, 1);
      writeMcdcOutput(profile, items, misses);
    });
    EXPECT_EQ(std::tie(items, misses), std::make_tuple(12u, 4u));
    // At the last combination's line 18, nesting 1 + 1.
    std::string uncovered = std::string(22, ' ') + "-    18     MC/DC (cond 2): 1 - 2\n";
    EXPECT_EQ(text, profile ? "                           18     MC/DC (cond 1): 1 + 3\n" + uncovered : uncovered);
  }
}

}  // namespace
}  // namespace qar
