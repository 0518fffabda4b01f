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
  BaselineComparer comparer(baseline, nullptr);
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
  BaselineComparer comparer(baseline, nullptr);
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
  BaselineComparer comparer(baseline, nullptr);
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

FileResult fileWithConditions(std::string path, uint32_t sourceLines, uint32_t line, std::vector<bool> covered) {
  FileResult file;
  file.path = std::move(path);
  file.sourceLines = sourceLines;
  FunctionResult& f = file.functions.emplace_back();
  MulticonditionResult& m = f.multiconditions.emplace_back();
  m.line = line;
  for (size_t i = 0; i < covered.size(); ++i) {
    m.conditions.push_back(McdcConditionResult{static_cast<uint32_t>(i + 1), covered[i], {}});
  }
  return file;
}

TEST(BaselineCompare, McdcConditionsAndStatementFiguresOfDatabaseFiles) {
  Baseline baseline;
  baseline.files.push_back(BaselineFile{"a.c", 30, 8, 10, {{12, 1, true}, {12, 2, true}}});
  BaselineComparer comparer(baseline, nullptr);
  FileResult file = fileWithConditions("a.c", 30, 12, {true, false});
  file.statements.hits = 6;
  file.statements.total = 10;
  comparer.addFile(file);
  const BaselineComparison c = comparer.finish();
  const ChangeCounts& m = c.totals[static_cast<int>(ChangeMeasure::Mcdc)];
  EXPECT_EQ(m.lost, 1u);
  EXPECT_EQ(m.before, (CoverageCount{2, 2}));
  EXPECT_EQ(m.now, (CoverageCount{2, 1}));
  ASSERT_EQ(c.lost.size(), 1u);
  EXPECT_EQ(c.lost[0].what, "condition 2");
  EXPECT_EQ(c.lost[0].measure, ChangeMeasure::Mcdc);
  EXPECT_EQ(c.statementsBefore, (CoverageCount{10, 8}));
  EXPECT_EQ(c.statementsNow, (CoverageCount{10, 6}));
}

TEST(BaselineCompare, FileWithAnotherLineCountIsChangedThroughout) {
  Baseline baseline;
  baseline.sources.push_back(BaselineSource{"a.c", {{1, 1}, {2, 1}}, {}, {}});
  baseline.files.push_back(BaselineFile{"a.c", 20, 0, 0, {}});
  BaselineComparer comparer(baseline, nullptr);
  comparer.addFile(fileWithConditions("a.c", 25, 3, {}));
  comparer.addSource(table("a.c", {{1, 0}, {2, 1}}));
  const BaselineComparison c = comparer.finish();
  ASSERT_TRUE(c.files[0].changedThroughout);
  EXPECT_EQ(c.files[0].sourceLinesBefore, 20u);
  EXPECT_EQ(c.files[0].sourceLinesNow, 25u);
  // Line 1 would be lost if the lines had stayed where they were.
  EXPECT_EQ(lines(c).lost, 0u);
  EXPECT_EQ(lines(c).removed, 2u);
  EXPECT_EQ(lines(c).newCovered, 1u);
  EXPECT_EQ(lines(c).newUncovered, 1u);
}

// A change that renames old.c, adds ten lines above its function and rewrites one line in it.
UnifiedDiff tenLinesAddedAtTop() {
  std::string text =
      "diff --git a/old.c b/new.c\n"
      "similarity index 80%\n"
      "rename from old.c\n"
      "rename to new.c\n"
      "--- a/old.c\n"
      "+++ b/new.c\n"
      "@@ -0,0 +1,10 @@\n";
  for (int i = 0; i < 10; ++i) text += "+// added\n";
  text += "@@ -4,3 +14,3 @@\n x\n-old\n+new\n y\n";
  DiffReadResult read = parseUnifiedDiff(text);
  EXPECT_TRUE(read.diff) << read.error;
  return read.diff ? *read.diff : UnifiedDiff{};
}

TEST(BaselineCompare, LinesCarriedThroughTheChangeMatchTheMovedCode) {
  Baseline baseline;
  baseline.sources.push_back(
      BaselineSource{"old.c", {{3, 1}, {4, 1}, {5, 1}}, {}, {BaselineFunction{"f@3", 3, 1}, {"f", 9, 0}}});
  baseline.files.push_back(BaselineFile{"old.c", 9, 0, 0, {{4, 1, true}}});
  const UnifiedDiff diff = tenLinesAddedAtTop();
  BaselineComparer comparer(baseline, &diff);
  // The line count differs, but the change says where each line went.
  comparer.addFile(fileWithConditions("new.c", 19, 14, {true}));
  comparer.addSource(table("new.c", {{13, 1}, {14, 1}, {15, 0}}, {},
                           {LocatedFunction{"f", 13, 1, {}}, LocatedFunction{"f", 19, 0, {}}}));
  const BaselineComparison c = comparer.finish();
  ASSERT_EQ(c.files.size(), 1u);
  EXPECT_EQ(c.files[0].path, "new.c");
  EXPECT_FALSE(c.files[0].changedThroughout);
  // Line 5 was rewritten: removed, and its successor new, never lost.
  EXPECT_EQ(lines(c).lost, 0u);
  EXPECT_EQ(lines(c).removed, 1u);
  EXPECT_EQ(lines(c).newUncovered, 1u);
  const ChangeCounts& f = c.totals[static_cast<int>(ChangeMeasure::Functions)];
  EXPECT_EQ(f.removed + f.newCovered + f.newUncovered + f.lost + f.gained, 0u);
  EXPECT_EQ(c.totals[static_cast<int>(ChangeMeasure::Mcdc)].lost, 0u);
  EXPECT_TRUE(c.lost.empty());
}

TEST(BaselineCompare, DeletedFileIsRemovedUnderItsOldName) {
  Baseline baseline;
  baseline.sources.push_back(BaselineSource{"gone.c", {{1, 1}}, {}, {}});
  DiffReadResult read = parseUnifiedDiff(
      "diff --git a/gone.c b/gone.c\ndeleted file mode 100644\n--- a/gone.c\n+++ /dev/null\n@@ -1 +0,0 @@\n-x\n");
  ASSERT_TRUE(read.diff) << read.error;
  BaselineComparer comparer(baseline, &*read.diff);
  comparer.addSource(table("gone.c", {{1, 0}}));  // a file of the same name made anew
  const BaselineComparison c = comparer.finish();
  EXPECT_EQ(lines(c).lost, 0u);
  EXPECT_EQ(lines(c).removed, 1u);
  EXPECT_EQ(lines(c).newUncovered, 1u);
}

TEST(BaselineCompare, PercentChangeOfTruncatedPercents) {
  EXPECT_EQ(percentChangeHundredths({3, 2}, {3, 1}), 3333 - 6666);
  EXPECT_EQ(percentChangeHundredths({0, 0}, {4, 1}), 2500 - 10000);
  EXPECT_EQ(percentChangeHundredths({4, 4}, {4, 4}), 0);
  EXPECT_EQ(pointsText(-125), "-1.25");
  EXPECT_EQ(pointsText(0), "0.00");
  EXPECT_EQ(pointsText(350), "+3.50");
}

}  // namespace
}  // namespace qar
