// The change's figures: which items a diff's changed lines lie in, per
// measure, through the export walk as qarpost-export feeds it.
#include "export/change/patch_coverage.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "export/walk/export_walk.h"
#include "listings/mcdc.h"
#include "listings/statement_analysis.h"
#include "test_support.h"

namespace qar {
namespace {

struct Counters {
  std::vector<uint32_t> f, j, dTrue, dFalse, c;
};

class PatchCoverageTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void reset() {
    resetDiagnostics();
    resetDatabase();
    resetRecordReader();
    resetConfiguration();
    resetMcdc();
    resetStatementAnalysis();
    setOptions(OptionSettings{});
  }
  void TearDown() override {
    resetDatabase();
    resetRecordReader();
  }

  // One database file "u.c" of `records` under `diffText`.
  PatchResult patchOf(uint32_t mode, std::initializer_list<const char*> records, const Counters& counters,
                      std::string_view diffText, CoverageView view = CoverageView::AsInstrumented,
                      const std::optional<std::string>& sourceRoot = std::nullopt) {
    reset();
    MonitoredFile& file = appendMonitoredFile("u.c");
    file.sourceLineCount = 40;
    appendDescriptionLine(file, "@u.c");
    appendDescriptionLine(file, std::to_string(mode) + " 1764900000 0000BEEF 0 0");
    for (const char* record : records) appendDescriptionLine(file, record);
    appendDescriptionLine(file, "%40,0,0,0,0,0");
    auto data = std::make_unique<CounterArrays>();
    data->functionCounts = counters.f;
    data->jumpCounts = counters.j;
    data->decisionTrueCounts = counters.dTrue;
    data->decisionFalseCounts = counters.dFalse;
    data->conditionCounts = counters.c;
    file.counterData = std::move(data);

    DiffReadResult diff = parseUnifiedDiff(diffText);
    EXPECT_TRUE(diff.diff) << diff.error;
    PatchResult result;
    test::Outcome outcome = test::captureRun([&] {
      prepareCounters();
      PatchCoverage patch(*diff.diff, "change.diff", sourceRoot, view);
      ExportWalkSinks sinks;
      sinks.record = [&](const Probe& p, const std::string& place) { patch.addRecord(p, place); };
      sinks.file = [&](const FileResult& r) { patch.addFile(r); };
      sinks.path = [&](const PathTable& t, const LineCoverage&) { patch.addPath(t); };
      sinks.recordStatements = [&](const std::string& place) { return patch.touchesPlace(place); };
      sinks.recordsWanted = [&](const std::string& key) { return patch.touches(key); };
      walkDatabaseForExport(std::nullopt, sinks);
      result = patch.finish();
    });
    EXPECT_FALSE(outcome.ended) << outcome.err;
    return result;
  }
};

// A diff of "u.c" adding the given new-side lines, each a hunk of its own.
std::string diffAdding(std::initializer_list<uint32_t> lines, std::string_view path = "u.c") {
  std::string text = "--- a/" + std::string(path) + "\n+++ b/" + std::string(path) + "\n";
  for (uint32_t line : lines) {
    text += "@@ -" + std::to_string(line - 1) + ",0 +" + std::to_string(line) + " @@\n+x\n";
  }
  return text;
}

std::pair<uint32_t, uint32_t> counts(const CoverageCount& c) { return {c.hit, c.found}; }

// if (a &&          line 3: the decision
//     b)            line 4: its continuation
//   return 1;       line 5
// return 0;         line 7
const std::initializer_list<const char*> kTwoLineCondition = {
    "0 1 0 0 0 f", "20 3 0 0 1 a && b", "13 5 1 0 2 1", "3 6 1 0 1", "13 7 2 1 1 0", "2 8 2 0 0"};
const Counters kTrueOnly{{4}, {4, 0}, {4}, {0}, {}};

TEST_F(PatchCoverageTest, ContinuationLineOfAConditionIsInTheChange) {
  PatchResult patch = patchOf(3, kTwoLineCondition, kTrueOnly, diffAdding({4}));
  ASSERT_EQ(patch.files.size(), 1u);
  const PatchFigures& f = patch.summary;
  EXPECT_EQ(counts(f.lineCoverage.lines), std::make_pair(0u, 0u));  // no line of the line-based formats
  EXPECT_EQ(counts(f.lineCoverage.branches), std::make_pair(1u, 2u));
  EXPECT_EQ(counts(f.lineCoverage.functions), std::make_pair(1u, 1u));
  // The return's statement stands after the decision, on lines 4 and 5.
  EXPECT_EQ(f.statements, (StatementFigures{1, 1}));
  const TerFigures& decision = f.ter[static_cast<size_t>(CoverageView::Decision)];
  EXPECT_EQ(decision.items, 3u);  // the function and both outcomes
  EXPECT_EQ(decision.covered(), 2u);
  ASSERT_EQ(patch.files[0].uncovered.size(), 1u);
  EXPECT_EQ(patch.files[0].uncovered[0].line, 3u);
  EXPECT_EQ(patch.files[0].uncovered[0].missing, "FALSE outcome never taken");
  EXPECT_EQ(patch.uncoveredItems, 1u);
}

TEST_F(PatchCoverageTest, LinesCountOnTheirOwnLineOnly) {
  PatchResult patch = patchOf(3, kTwoLineCondition, kTrueOnly, diffAdding({5, 7}));
  const PatchFigures& f = patch.summary;
  EXPECT_EQ(counts(f.lineCoverage.lines), std::make_pair(1u, 2u));  // return 1 ran, return 0 did not
  EXPECT_EQ(counts(f.lineCoverage.branches), std::make_pair(0u, 0u));
  ASSERT_EQ(patch.files[0].uncovered.size(), 1u);
  EXPECT_EQ(patch.files[0].uncovered[0].missing, "return never reached");
}

TEST_F(PatchCoverageTest, DeletionOnlyChangeHasNothingToCover) {
  PatchResult patch = patchOf(3, kTwoLineCondition, kTrueOnly, "--- a/u.c\n+++ b/u.c\n@@ -4,2 +3,0 @@\n-x\n-y\n");
  ASSERT_EQ(patch.files.size(), 1u);
  const PatchFigures& f = patch.summary;
  EXPECT_EQ(f.lineCoverage.lines.found + f.lineCoverage.branches.found + f.lineCoverage.functions.found, 0u);
  EXPECT_EQ(f.statements.total, 0u);
  EXPECT_EQ(f.mcdc.conditions, 0u);
  for (const TerFigures& ter : f.ter) EXPECT_EQ(ter.items, 0u);
  EXPECT_TRUE(patch.files[0].uncovered.empty());
}

// The bundled example's a && b, b never false: its pair is missing.
TEST_F(PatchCoverageTest, McdcConditionOnAChangedLine) {
  const auto records = {"0 3 0 0 0 both", "78 5 0 0 1 0", "79 5 0 0 1 1,2", "70 5 0 0 1 a && b",
                        "75 5 0 0 1 TT", "76 5 0 1 1 TF", "76 5 0 2 1 F_", "80 5 0 0 1 0,1", "81 5 0 0 1 2",
                        "77 5 0 0 1 a", "80 5 0 0 1 0", "81 5 0 0 1 1", "77 5 0 0 1 b", "13 9 1 0 2 1",
                        "3 9 1 0 1", "13 10 2 1 1 0", "2 11 2 0 0"};
  const Counters counters{{7}, {5, 2}, {}, {}, {5, 0, 2}};
  PatchResult patch = patchOf(7, records, counters, diffAdding({6}), CoverageView::Mcdc);
  EXPECT_EQ(patch.summary.mcdc.conditions, 2u);
  EXPECT_EQ(patch.summary.mcdc.covered, 1u);
  ASSERT_EQ(patch.files[0].uncovered.size(), 1u);
  EXPECT_EQ(patch.files[0].uncovered[0].kind, UncoveredKind::McdcCondition);
  EXPECT_NE(patch.files[0].uncovered[0].missing.find("only `b` changes the outcome"), std::string::npos);
  // A change after the multicondition's extent leaves its conditions out.
  EXPECT_EQ(patchOf(7, records, counters, diffAdding({10}), CoverageView::Mcdc).summary.mcdc.conditions, 0u);
}

// Records after a line directive count in the file it names, with that
// file's line numbers.
TEST_F(PatchCoverageTest, RegionOfALineDirectiveCountsInItsFile) {
  const auto records = {"0 1 0 0 0 parse", "50 2 0 0 0 # 40 \"gram.y\"", "20 41 0 0 1 ok",
                        "13 42 1 0 2 1", "50 3 0 0 0 # 10 \"u.c\"", "2 10 1 0 0"};
  const Counters counters{{2}, {2}, {2}, {0}, {}};
  std::string diff = diffAdding({41}, "gram.y") + diffAdding({41}, "u.c");
  PatchResult patch = patchOf(3, records, counters, diff);
  ASSERT_EQ(patch.files.size(), 2u);
  EXPECT_EQ(patch.files[0].path, "gram.y");
  EXPECT_EQ(counts(patch.files[0].figures.lineCoverage.branches), std::make_pair(1u, 2u));
  ASSERT_EQ(patch.files[0].uncovered.size(), 1u);
  EXPECT_EQ(patch.files[0].uncovered[0].path, "gram.y");
  // u.c has no line 41 of its own.
  EXPECT_EQ(patch.files[1].figures.lineCoverage.branches.found, 0u);
  EXPECT_EQ(patch.files[1].figures.ter[static_cast<size_t>(CoverageView::Decision)].items, 0u);
}

TEST_F(PatchCoverageTest, FilesWithoutCoverageNameTheClosestWrittenNames) {
  std::string diff = diffAdding({2}, "lib/u.c") + diffAdding({2}, "README.md") +
                     "diff --git a/gone.c b/gone.c\ndeleted file mode 100644\n--- a/gone.c\n+++ /dev/null\n"
                     "@@ -1 +0,0 @@\n-x\n";
  PatchResult patch = patchOf(3, kTwoLineCondition, kTrueOnly, diff);
  EXPECT_TRUE(patch.files.empty());
  ASSERT_EQ(patch.filesWithoutCoverage.size(), 2u);  // a deleted file is not among them
  EXPECT_EQ(patch.filesWithoutCoverage[0].path, "lib/u.c");
  EXPECT_EQ(patch.filesWithoutCoverage[0].closest, std::vector<std::string>{"u.c"});
  EXPECT_TRUE(patch.filesWithoutCoverage[1].closest.empty());
}

TEST_F(PatchCoverageTest, CommentAndBlankLinesChangeNothingWhenTheSourceIsRead) {
  test::TempDir dir;
  dir.write("u.c", "int f(int a, int b) {\n"
              "  // checks\n"
              "  if (a &&      // both\n"
              "      b)        // continuation\n"
              "    return 1;\n"
              "  }\n"
              "  return 0;\n"
              "}\n");
  // Line 2 holds only a comment.
  const auto withoutSource = patchOf(3, kTwoLineCondition, kTrueOnly, diffAdding({2}));
  EXPECT_EQ(withoutSource.summary.lineCoverage.functions.found, 1u);
  const auto withSource = patchOf(3, kTwoLineCondition, kTrueOnly, diffAdding({2}), CoverageView::AsInstrumented,
                                  dir.path().string());
  ASSERT_EQ(withSource.files.size(), 1u);
  EXPECT_TRUE(withSource.files[0].sourceRead);
  EXPECT_TRUE(withSource.files[0].changedLines.empty());
  EXPECT_EQ(withSource.summary.lineCoverage.functions.found, 0u);
  EXPECT_EQ(withSource.files[0].addedLines, 1u);
}

}  // namespace
}  // namespace qar
