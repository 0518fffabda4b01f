// The categories of a comparison with a baseline, per measure and file.
#include "export/change/baseline_compare.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

PathTable table(std::string path, std::vector<LineHits> lines, std::vector<BranchCount> branches = {},
                std::vector<LocatedFunction> functions = {}) {
  PathTable t;
  t.path = std::move(path);
  t.lines = std::move(lines);
  t.branches = std::move(branches);
  t.functions = std::move(functions);
  return t;
}

const ChangeCounts& lines(const BaselineComparison& c) { return c.totals[static_cast<int>(ChangeMeasure::Lines)]; }

TEST(BaselineCompare, EachLineFallsInOneCategory) {
  Baseline baseline;
  baseline.sources.push_back(BaselineSource{"a.c", {{1, 1}, {2, 1}, {3, 0}, {4, 2}}, {}, {}});
  BaselineComparer comparer(baseline);
  // 1 stays covered, 2 lost, 3 gained, 4 removed, 5 new covered, 6 new uncovered.
  comparer.addSource(table("a.c", {{1, 4}, {2, 0}, {3, 1}, {5, 1}, {6, 0}}));
  const BaselineComparison c = comparer.finish();
  const ChangeCounts& l = lines(c);
  EXPECT_EQ(l.lost, 1u);
  EXPECT_EQ(l.gained, 1u);
  EXPECT_EQ(l.removed, 1u);
  EXPECT_EQ(l.newCovered, 1u);
  EXPECT_EQ(l.newUncovered, 1u);
  EXPECT_EQ(l.before, (CoverageCount{4, 3}));
  EXPECT_EQ(l.now, (CoverageCount{5, 3}));
  ASSERT_EQ(c.lost.size(), 1u);
  EXPECT_EQ(c.lost[0].path, "a.c");
  EXPECT_EQ(c.lost[0].line, 2u);
  EXPECT_EQ(c.lost[0].what, "line");
}

TEST(BaselineCompare, FilesOnOneSideOnlyAreRemovedOrNew) {
  Baseline baseline;
  baseline.sources.push_back(BaselineSource{"gone.c", {{1, 1}, {2, 0}}, {}, {{"f", 1, 1}}});
  BaselineComparer comparer(baseline);
  comparer.addSource(table("new.c", {{1, 1}, {2, 0}}));
  const BaselineComparison c = comparer.finish();
  ASSERT_EQ(c.files.size(), 2u);
  EXPECT_EQ(c.files[0].path, "new.c");
  EXPECT_EQ(c.files[1].path, "gone.c");
  EXPECT_EQ(lines(c).removed, 2u);
  EXPECT_EQ(lines(c).lost, 0u);
  EXPECT_EQ(lines(c).newCovered, 1u);
  EXPECT_EQ(lines(c).newUncovered, 1u);
  EXPECT_EQ(c.totals[static_cast<int>(ChangeMeasure::Functions)].removed, 1u);
  EXPECT_TRUE(c.lost.empty());
}

TEST(BaselineCompare, BranchesMatchByLineKindAndPlaceNotBlock) {
  Baseline baseline;
  baseline.sources.push_back(BaselineSource{
      "a.c", {{7, 1}}, {{7, 0, 0, 1, BranchKind::True}, {7, 0, 1, 1, BranchKind::False}}, {{"f", 7, 1}}});
  BaselineComparer comparer(baseline);
  // The same decision numbered as another block: the false branch is lost, the function too.
  comparer.addSource(table("a.c", {{7, 1}}, {{7, 4, 0, 3, BranchKind::True}, {7, 4, 1, 0, BranchKind::False}},
                           {LocatedFunction{"f", 7, 0, {}}}));
  const BaselineComparison c = comparer.finish();
  const ChangeCounts& b = c.totals[static_cast<int>(ChangeMeasure::Branches)];
  EXPECT_EQ(b.lost, 1u);
  EXPECT_EQ(b.removed + b.newCovered + b.newUncovered, 0u);
  EXPECT_EQ(c.totals[static_cast<int>(ChangeMeasure::Functions)].lost, 1u);
  ASSERT_EQ(c.lost.size(), 2u);
  EXPECT_EQ(c.lost[0].what, "branch false");
  EXPECT_EQ(c.lost[1].what, "function f");
}

TEST(BaselineCompare, PercentChangeOfTruncatedPercents) {
  EXPECT_EQ(percentChangeHundredths({3, 2}, {3, 1}), 3333 - 6666);
  EXPECT_EQ(percentChangeHundredths({0, 0}, {4, 1}), 2500 - 10000);
  EXPECT_EQ(percentChangeHundredths({4, 4}, {4, 4}), 0);
}

}  // namespace
}  // namespace qar
