#include "listings/measures.h"

#include <gtest/gtest.h>

#include <vector>

namespace qar {
namespace {

Probe probe(uint32_t kind, uint32_t counter1, uint32_t counter2 = 0) {
  Probe p;
  p.kind = kind;
  p.counter1 = counter1;
  p.counter2 = counter2;
  return p;
}

TEST(MeasuresTest, TerPercentTruncatesWithAWideProduct) {
  EXPECT_EQ(terPercent(0, 0), 100u);
  EXPECT_EQ(terPercent(3, 1), 66u);
  EXPECT_EQ(terPercent(200, 1), 99u);
  EXPECT_EQ(terPercent(5, 5), 0u);
  EXPECT_EQ(terPercent(4294967295u, 0), 100u);
  EXPECT_EQ(terPercent(4000000000u, 1), 99u);
  EXPECT_EQ(statementPercent(2, 3), 66u);
  EXPECT_EQ(statementPercent(0, 0), 100u);
}

TEST(MeasuresTest, SingleProbesUnderTheViews) {
  const TerFigures none{};
  // An uncalled function is one missed item even under the function view.
  EXPECT_EQ(probeTerFigures(probe(0, 0), CoverageView::Function), (TerFigures{1, 1}));
  EXPECT_EQ(probeTerFigures(probe(13, 0), CoverageView::Function), none);
  EXPECT_EQ(probeTerFigures(probe(13, 0), CoverageView::Decision), (TerFigures{1, 1}));
  // A decision evaluated only as TRUE, and the same from condition counters.
  EXPECT_EQ(probeTerFigures(probe(20, 3, 0), CoverageView::Decision), (TerFigures{2, 1}));
  EXPECT_EQ(probeTerFigures(probe(72, 3, 0), CoverageView::Mcdc), (TerFigures{2, 1}));
  EXPECT_EQ(probeTerFigures(probe(20, 0, 0), CoverageView::Function), none);
  // Constant decisions: one item, missed only when never evaluated.
  EXPECT_EQ(probeTerFigures(probe(30, 0, 4), CoverageView::Decision), (TerFigures{1, 0}));
  EXPECT_EQ(probeTerFigures(probe(35, 0, 0), CoverageView::AsInstrumented), (TerFigures{1, 1}));
  // And/or expressions from the condition view up.
  EXPECT_EQ(probeTerFigures(probe(85, 0, 0), CoverageView::Decision), none);
  EXPECT_EQ(probeTerFigures(probe(85, 0, 0), CoverageView::Condition), (TerFigures{2, 2}));
  // Uncounted kinds.
  for (uint32_t kind : {2u, 3u, 6u, 40u, 41u, 42u, 43u, 45u, 50u, 56u, 90u}) {
    EXPECT_EQ(probeTerFigures(probe(kind, 0, 0), CoverageView::AsInstrumented), none) << kind;
  }
}

// if (a && b) return;  -- a: true 2, false 1; b: true 2, never false;
// combinations TT 2, TF 0, F- 1.
TEST(MeasuresTest, OneMulticonditionUnderEveryView) {
  const std::vector<Probe> function = {
      probe(0, 1),       probe(20, 2, 1), probe(77, 2, 1), probe(77, 2, 0),
      probe(75, 2),      probe(76, 0, 0), probe(76, 0, 1), probe(13, 2),
      probe(2, 0),
  };
  auto total = [&](CoverageView view) {
    TerFigures sum;
    for (const Probe& p : function) sum += probeTerFigures(p, view);
    // Condition a has an independence pair (TT, F-); b's pair needs TF.
    sum += mcdcConditionTerFigures(false, view);
    sum += mcdcConditionTerFigures(true, view);
    return sum;
  };
  EXPECT_EQ(total(CoverageView::Function), (TerFigures{1, 0}));
  EXPECT_EQ(total(CoverageView::Decision), (TerFigures{4, 0}));
  EXPECT_EQ(total(CoverageView::Condition), (TerFigures{8, 1}));       // two per condition
  EXPECT_EQ(total(CoverageView::Mcdc), (TerFigures{6, 1}));            // one per condition
  EXPECT_EQ(total(CoverageView::AsInstrumented), (TerFigures{7, 1}));  // one per combination
}

TEST(MeasuresTest, CoverageTypeText) {
  // One decision file and one function-only file.
  EXPECT_EQ(coverageTypeText(true, true, false, CoverageView::AsInstrumented), " mixed decision/function");
  EXPECT_EQ(coverageTypeText(true, true, false, CoverageView::Function), " function");
  EXPECT_EQ(coverageTypeText(false, true, false, CoverageView::Mcdc), " decision");
  // Multicondition files name the view's level.
  EXPECT_EQ(coverageTypeText(false, false, true, CoverageView::AsInstrumented), " multicondition");
  EXPECT_EQ(coverageTypeText(false, false, true, CoverageView::Condition), " condition");
  EXPECT_EQ(coverageTypeText(false, false, true, CoverageView::Decision), " decision");
  EXPECT_EQ(coverageTypeText(false, true, true, CoverageView::Mcdc), " mixed MC/DC/decision");
  EXPECT_EQ(coverageTypeText(true, true, true, CoverageView::AsInstrumented),
            " mixed multicondition/decision/function");
  EXPECT_EQ(coverageTypeText(false, false, true, CoverageView::Function), " function");
  // No files at all.
  EXPECT_EQ(coverageTypeText(false, false, false, CoverageView::Decision), "");
}

TEST(MeasuresTest, StatementLines) {
  EXPECT_EQ(functionStatementLine(0, 0), "       N.A. statement\n");
  EXPECT_EQ(functionStatementLine(2, 3), "        66 % (  2/  3) statement\n");
  EXPECT_EQ(functionStatementLine(1234, 2000), "        61 % (1234/2000) statement\n");
  EXPECT_EQ(fileStatementLine(0, 0, 0), "       100 % (  0/  0) statement\n");
  EXPECT_EQ(fileStatementLine(0, 0, 3), "       100 % (  0/  0) statement (N.A. for 3 functions)\n");
  EXPECT_EQ(fileStatementLine(5, 5, 1), "       100 % (  5/  5) statement (N.A. for 1 functions)\n");
  EXPECT_EQ(fileStatementLine(1, 4, 0), "        25 % (  1/  4) statement\n");
}

}  // namespace
}  // namespace qar
