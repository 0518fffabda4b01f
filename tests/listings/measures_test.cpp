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

TEST(MeasuresTest, PercentagesTruncateWithAWideProduct) {
  EXPECT_EQ(terPercent(0, 0), 100u);
  EXPECT_EQ(terPercent(3, 1), 66u);
  EXPECT_EQ(terPercent(200, 1), 99u);
  EXPECT_EQ(terPercent(5, 5), 0u);
  EXPECT_EQ(terPercent(4000000000u, 1), 99u);
  EXPECT_EQ(statementPercent(2, 3), 66u);
  EXPECT_EQ(functionStatementLine(1234, 2000), "        61 % (1234/2000) statement\n");
  EXPECT_EQ(fileStatementLine(5, 5, 1), "       100 % (  5/  5) statement (N.A. for 1 functions)\n");
}

TEST(MeasuresTest, SingleProbesUnderTheViews) {
  const TerFigures none{};
  struct Case {
    Probe probe;
    CoverageView view;
    TerFigures figures;
  };
  const Case cases[] = {
      {probe(0, 0), CoverageView::Function, {1, 1}},  // an uncalled function even under the function view
      {probe(13, 0), CoverageView::Function, none},
      {probe(13, 0), CoverageView::Decision, {1, 1}},
      {probe(20, 3, 0), CoverageView::Decision, {2, 1}},  // evaluated only as TRUE
      {probe(72, 3, 0), CoverageView::Mcdc, {2, 1}},
      {probe(20, 0, 0), CoverageView::Function, none},
      {probe(30, 0, 4), CoverageView::Decision, {1, 0}},  // constant: missed only when never evaluated
      {probe(35, 0, 0), CoverageView::AsInstrumented, {1, 1}},
      {probe(85, 0, 0), CoverageView::Decision, none},
      {probe(85, 0, 0), CoverageView::Condition, {2, 2}},
  };
  for (const Case& c : cases) EXPECT_EQ(probeTerFigures(c.probe, c.view), c.figures) << c.probe.kind;
  for (uint32_t kind : {2u, 3u, 6u, 40u, 41u, 42u, 43u, 45u, 50u, 56u, 90u}) {
    EXPECT_EQ(probeTerFigures(probe(kind, 0, 0), CoverageView::AsInstrumented), none) << kind;
  }
}

// if (a && b) return;  -- a: true 2, false 1; b: true 2, never false;
// combinations TT 2, TF 0, F- 1.
TEST(MeasuresTest, OneMulticonditionUnderEveryView) {
  const std::vector<Probe> function = {probe(0, 1),  probe(20, 2, 1), probe(77, 2, 1), probe(77, 2, 0), probe(75, 2),
                                       probe(76, 0, 0), probe(76, 0, 1), probe(13, 2), probe(2, 0)};
  const std::pair<CoverageView, TerFigures> views[] = {
      {CoverageView::Function, {1, 0}},  {CoverageView::Decision, {4, 0}},
      {CoverageView::Condition, {8, 1}},  // two per condition
      {CoverageView::Mcdc, {6, 1}},       // one per condition
      {CoverageView::AsInstrumented, {7, 1}},  // one per combination
  };
  for (const auto& [view, expected] : views) {
    TerFigures sum;
    for (const Probe& p : function) sum += probeTerFigures(p, view);
    // Condition a has an independence pair (TT, F-); b's pair needs TF.
    sum += mcdcConditionTerFigures(false, view);
    sum += mcdcConditionTerFigures(true, view);
    EXPECT_EQ(sum, expected) << static_cast<int>(view);
  }
}

TEST(MeasuresTest, CoverageTypeText) {
  using V = CoverageView;
  EXPECT_EQ(coverageTypeText(false, true, true, V::Mcdc), " mixed MC/DC/decision");
  EXPECT_EQ(coverageTypeText(false, false, true, V::Decision), " decision");
  EXPECT_EQ(coverageTypeText(false, false, true, V::Function), " function");
  EXPECT_EQ(coverageTypeText(false, true, false, V::Mcdc), " decision");
  EXPECT_EQ(coverageTypeText(false, false, false, V::Decision), "");
}

}  // namespace
}  // namespace qar
