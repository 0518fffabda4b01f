#include "export/walk/export_walk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>
#include <unordered_set>
#include <string>

#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "listings/mcdc.h"
#include "listings/statement_analysis.h"
#include "test_support.h"

namespace qar {
namespace {

using test::Outcome;

struct Counters {
  std::vector<uint32_t> f, j, dTrue, dFalse, c, tTotal, tMax;
};

class ExportWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    resetRecordReader();
    resetConfiguration();
    resetMcdc();
    resetStatementAnalysis();
    setOptions(OptionSettings{});
    ASSERT_EQ(applyConfigLine("TICK=10", configTable()), kNoError);
  }
  void TearDown() override {
    resetDatabase();
    resetRecordReader();
  }

  void addFile(const std::string& name, uint32_t mode, std::initializer_list<const char*> records,
               const Counters& counters = {}) {
    MonitoredFile& file = appendMonitoredFile(name);
    file.instrumentationTime = 1764900000;
    file.sourceLineCount = 40;
    appendDescriptionLine(file, "@" + name);
    appendDescriptionLine(file, std::to_string(mode) + " 1764900000 0000BEEF 0 0");
    for (const char* record : records) appendDescriptionLine(file, record);
    appendDescriptionLine(file, "%40,0,0,0,0,0");
    auto data = std::make_unique<CounterArrays>();
    data->functionCounts = counters.f;
    data->jumpCounts = counters.j;
    data->decisionTrueCounts = counters.dTrue;
    data->decisionFalseCounts = counters.dFalse;
    data->conditionCounts = counters.c;
    data->timeTotals = counters.tTotal;
    data->timeMaxima = counters.tMax;
    file.counterData = std::move(data);
  }

  // Prepares the database and walks it; files and written paths in order.
  RunResult walk(const std::optional<std::string>& root = std::nullopt) {
    RunResult run;
    Outcome outcome = test::captureRun([&] {
      prepareCounters();
      ExportWalkSinks sinks;
      sinks.file = [&](const FileResult& file) { files.push_back(file); };
      sinks.path = [&](const PathTable& table, const LineCoverage&) { paths.push_back(table); };
      run = walkDatabaseForExport(root, sinks);
    });
    EXPECT_FALSE(outcome.ended) << outcome.err;
    return run;
  }

  static std::vector<std::pair<uint32_t, uint32_t>> linesOf(const PathTable& table) {
    std::vector<std::pair<uint32_t, uint32_t>> lines;
    for (const LineHits& line : table.lines) lines.emplace_back(line.line, line.hits);
    return lines;
  }

  std::vector<FileResult> files;
  std::vector<PathTable> paths;
};

using Lines = std::vector<std::pair<uint32_t, uint32_t>>;

// The multicondition of the bundled example: a && b with combinations TT
// (5 times), TF (never) and F_ (twice), and its two conditions.
TEST_F(ExportWalkTest, TerUnderEveryViewAsTheListingsCountIt) {
  addFile("logic.c", 7,
          {"0 3 0 0 0 both", "78 5 0 0 1 0", "79 5 0 0 1 1,2", "70 5 0 0 1 a && b", "75 5 0 0 1 TT",
           "76 5 0 1 1 TF", "76 5 0 2 1 F_", "80 5 0 0 1 0,1", "81 5 0 0 1 2", "77 5 0 0 1 a", "80 5 0 0 1 0",
           "81 5 0 0 1 1", "77 5 0 0 1 b", "13 6 1 0 2 1", "3 6 1 0 1", "13 7 2 1 1 0", "2 8 2 0 0"},
          {{7}, {5, 2}, {}, {}, {5, 0, 2}, {}, {}});
  RunResult run = walk();
  ASSERT_EQ(files.size(), 1u);
  const FunctionResult& both = files[0].functions.at(0);
  auto figures = [&](CoverageView view) {
    const TerFigures& ter = both.ter[static_cast<size_t>(view)];
    return std::make_pair(ter.items, ter.misses);
  };
  EXPECT_EQ(figures(CoverageView::Function), std::make_pair(1u, 0u));
  EXPECT_EQ(figures(CoverageView::Decision), std::make_pair(5u, 0u));
  // Two conditions of two outcomes each; condition b was never false.
  EXPECT_EQ(figures(CoverageView::Condition), std::make_pair(9u, 1u));
  // One item per condition; b has no covered independence pair.
  EXPECT_EQ(figures(CoverageView::Mcdc), std::make_pair(7u, 1u));
  // One item per combination; TF never occurred.
  EXPECT_EQ(figures(CoverageView::AsInstrumented), std::make_pair(8u, 1u));
  EXPECT_EQ(run.ter, files[0].ter);

  ASSERT_EQ(both.multiconditions.size(), 1u);
  const MulticonditionResult& m = both.multiconditions[0];
  EXPECT_EQ(m.line, 5u);
  ASSERT_EQ(m.combinations.size(), 3u);
  EXPECT_EQ(m.combinations[2].values, "F_");
  EXPECT_EQ(m.combinations[2].count, 2u);
  ASSERT_EQ(m.conditions.size(), 2u);
  EXPECT_TRUE(m.conditions[0].covered);
  ASSERT_EQ(pairsOf(m, m.conditions[0]).size(), 1u);
  EXPECT_EQ(pairsOf(m, m.conditions[0])[0].falseCombination, 3u);
  EXPECT_FALSE(m.conditions[1].covered);
  // Each condition's pairs are its own within the multicondition's list.
  ASSERT_EQ(pairsOf(m, m.conditions[1]).size(), 1u);
  EXPECT_EQ(pairsOf(m, m.conditions[1])[0].trueCombination, 1u);
  EXPECT_EQ(pairsOf(m, m.conditions[1])[0].falseCombination, 2u);
  EXPECT_FALSE(pairsOf(m, m.conditions[1])[0].covered);
  EXPECT_EQ(run.mcdc.conditions, 2u);
  EXPECT_EQ(run.mcdc.covered, 1u);
  EXPECT_EQ(both.statements, (StatementFigures{3, 3}));

  // The decision is a line of seven evaluations with two branches; the
  // combinations and conditions are no lines of their own.
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(linesOf(paths[0]), (Lines{{3, 7}, {5, 7}, {6, 5}, {7, 2}}));
  ASSERT_EQ(paths[0].branches.size(), 2u);
  EXPECT_EQ(paths[0].branches[0].taken, 5u);
  EXPECT_EQ(paths[0].branches[1].taken, 2u);
}

TEST_F(ExportWalkTest, CombinationsLeftAtAFunctionsEndGiveNoMcdcFigures) {
  // The listings analyse a multicondition at the record after its
  // combinations; one that ends the function is never analysed.
  addFile("m.c", 7, {"0 3 0 0 0 f", "75 5 0 0 1 TT", "76 5 0 1 1 F_", "0 9 0 1 0 g", "2 10 0 0 0"},
          {{1, 1}, {}, {}, {}, {1, 1}, {}, {}});
  walk();
  const FunctionResult& f = files.at(0).functions.at(0);
  EXPECT_TRUE(f.multiconditions.empty());
  EXPECT_EQ(f.ter[static_cast<size_t>(CoverageView::Mcdc)], (TerFigures{1, 0}));
  EXPECT_EQ(f.ter[static_cast<size_t>(CoverageView::AsInstrumented)], (TerFigures{3, 0}));
}

TEST_F(ExportWalkTest, SwitchLabelsAreBranchesOfTheirSwitchOnTheirOwnLines) {
  addFile("s.c", 3,
          {"0 3 0 0 0 classify", "42 5 0 0 1 sides", "14 6 0 0 1 3", "42 7 0 0 2 inner", "14 8 0 1 2 1",
           "16 9 0 2 2", "3 9 0 0 2", "15 10 0 3 1", "3 12 1 0 1", "30 13 1 0 1 DEBUG", "2 14 1 0 0"},
          {{4}, {3, 2, 0, 1}, {0}, {2}, {}, {}, {}});
  walk();
  ASSERT_EQ(paths.size(), 1u);
  const std::vector<BranchCount>& b = paths[0].branches;
  ASSERT_EQ(b.size(), 5u);
  // Outer switch: block 0, its case (line 6) and its default (line 10).
  using Numbers = std::vector<uint32_t>;
  EXPECT_EQ((Numbers{b[0].line, b[0].block, b[0].branch, b[0].taken}), (Numbers{6, 0, 0, 3}));
  EXPECT_EQ((Numbers{b[3].line, b[3].block, b[3].branch, b[3].taken}), (Numbers{10, 0, 1, 1}));
  EXPECT_EQ(b[3].kind, BranchKind::Default);
  // Inner switch: block 1, its case and the missing default.
  EXPECT_EQ((std::vector<uint32_t>{b[1].line, b[1].block, b[1].branch}), (std::vector<uint32_t>{8, 1, 0}));
  EXPECT_EQ((std::vector<uint32_t>{b[2].line, b[2].block, b[2].branch}), (std::vector<uint32_t>{9, 1, 1}));
  EXPECT_EQ(b[2].kind, BranchKind::MissingDefault);
  // A constant decision: one branch of both counts.
  EXPECT_EQ(b[4].kind, BranchKind::Constant);
  EXPECT_EQ(b[4].taken, 2u);
  // The switch lines themselves hold no counter and are no lines.
  EXPECT_EQ(linesOf(paths[0]), (Lines{{3, 4}, {6, 3}, {8, 2}, {9, 0}, {10, 1}, {13, 2}}));
}

TEST_F(ExportWalkTest, LineDirectivesSendLinesWhereTheyPointAndSharedFilesComeLast) {
  addFile("main.c", 3,
          {"0 3 0 0 0 main", "13 4 1 0 1 0", "2 5 1 0 0", "50 1 0 0 0 # 1 \"gen/parse.y\"", "0 20 0 1 0 yyparse",
           "13 22 1 1 1 1", "2 23 1 0 0", "51 30 0 0 0 # 30 \"main.c\"", "0 31 0 2 0 after", "2 32 0 0 0"},
          {{1, 2, 3}, {1, 2}, {}, {}, {}, {}, {}});
  addFile("other.c", 3, {"50 40 0 0 0 # 40 \"gen/parse.y\"", "0 41 0 0 0 lex", "13 42 1 0 1 t", "2 43 1 0 0"},
          {{5}, {4}, {}, {}, {}, {}, {}});
  addFile("last.c", 3, {"0 1 0 0 0 last", "2 2 0 0 0"}, {{1}, {}, {}, {}, {}, {}, {}});
  walk();
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0].path, "main.c");
  EXPECT_EQ(linesOf(paths[0]), (Lines{{3, 1}, {4, 1}, {31, 3}}));
  EXPECT_EQ(paths[1].path, "last.c");
  // Reached from two database files: written once, at the end.
  EXPECT_EQ(paths[2].path, "gen/parse.y");
  EXPECT_EQ(linesOf(paths[2]), (Lines{{20, 2}, {22, 2}, {41, 5}, {42, 4}}));
  ASSERT_EQ(paths[2].functions.size(), 2u);
  EXPECT_EQ(paths[2].functions[1].name, "lex");
  // The measures stay with the database file; the function knows where it stands.
  EXPECT_EQ(files[0].functions[1].path, "gen/parse.y");
  EXPECT_EQ(files[0].functions[2].path, "");
  EXPECT_EQ(files[0].ter[static_cast<size_t>(CoverageView::Decision)].items, 5u);
}

// Directives that go back and forth, naming one written file under two
// spellings, all reach the same table; the next file starts with nothing of
// the one before.
TEST_F(ExportWalkTest, DirectivesNamingAFileAgainReachTheSameTable) {
  addFile("main.c", 3,
          {"0 3 0 0 0 main", "50 1 0 0 0 # 1 \"gen/parse.y\"", "0 10 0 1 0 a", "51 4 0 0 0 # 4 \"main.c\"",
           "0 5 0 2 0 b", "50 1 0 0 0 # 1 \"./gen/parse.y\"", "0 11 0 3 0 c", "50 1 0 0 0 # 1 \"gen/parse.y\"",
           "0 12 0 4 0 d", "51 6 0 0 0 # 6 \"main.c\"", "0 6 0 5 0 e"},
          {{1, 2, 3, 4, 5, 6}, {}, {}, {}, {}, {}, {}});
  addFile("next.c", 3, {"0 1 0 0 0 next", "2 2 0 0 0"}, {{7}, {}, {}, {}, {}, {}, {}});
  walk();
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0].path, "main.c");
  EXPECT_EQ(linesOf(paths[0]), (Lines{{3, 1}, {5, 3}, {6, 6}}));
  EXPECT_EQ(paths[1].path, "next.c");
  EXPECT_EQ(paths[2].path, "gen/parse.y");
  EXPECT_EQ(linesOf(paths[2]), (Lines{{10, 2}, {11, 4}, {12, 5}}));
  ASSERT_EQ(files.size(), 2u);
  ASSERT_EQ(files[1].functions.size(), 1u);
  EXPECT_EQ(files[1].functions[0].name, "next");
  EXPECT_EQ(files[1].ter[static_cast<size_t>(CoverageView::Function)].items, 1u);
}

// A database large enough for the plan to be made by two threads, its line
// directives in both halves among records with and without counts: the
// written files shared are those the plan of one thread finds, and they are
// written last.
TEST_F(ExportWalkTest, APlanOfTwoThreadsFindsTheSharedFilesOfOne) {
  constexpr uint32_t kFiles = 64;
  constexpr uint32_t kFunctions = 900;
  std::vector<std::vector<std::string>> records(kFiles);
  for (uint32_t i = 0; i < kFiles; ++i) {
    for (uint32_t k = 0; k < kFunctions; ++k) {
      records[i].push_back("0 " + std::to_string(2 * k + 1) + " 0 " + std::to_string(k) + " 0 f" + std::to_string(k));
      records[i].push_back("2 " + std::to_string(2 * k + 2) + " 0 0 0");
      if (i == 2 && k == 400) records[i].push_back("50 1 0 0 0 # 1 \"u60.c\"");
      if (i == 50 && k == 100) records[i].push_back("50 1 0 0 0 # 1 \"u3.c\"");
      if (i == 61 && k == 800) records[i].push_back("50 1 0 0 0 # 1 \"gen/x.y\"");
      if ((i == 2 || i == 50 || i == 61) && k == 850) records[i].push_back("51 9 0 0 0 # 9 \"u" + std::to_string(i) + ".c\"");
    }
  }
  for (uint32_t i = 0; i < kFiles; ++i) {
    MonitoredFile& file = appendMonitoredFile("u" + std::to_string(i) + ".c");
    file.instrumentationTime = 1764900000;
    file.sourceLineCount = 2 * kFunctions;
    appendDescriptionLine(file, "@u" + std::to_string(i) + ".c");
    appendDescriptionLine(file, "1 1764900000 0000BEEF 0 0");
    for (const std::string& record : records[i]) appendDescriptionLine(file, record);
    appendDescriptionLine(file, "%" + std::to_string(2 * kFunctions) + ",0,0,0,0,0");
    auto data = std::make_unique<CounterArrays>();
    for (uint32_t k = 0; k < kFunctions; ++k) data->functionCounts.push_back(k % 3);
    file.counterData = std::move(data);
  }
  ExportWalkPlan one;
  Outcome outcome = test::captureRun([&] {
    prepareCounters();
    ExportWalkPlan two = planExportWalk(std::nullopt, {});
    EXPECT_EQ(two.sharedKeys, (std::unordered_set<std::string>{"u60.c", "u3.c", "gen/x.y"}));
    // A question about records keeps the plan on one thread.
    one = planExportWalk(std::nullopt, [](const std::string&) { return false; });
    ExportWalkSinks sinks;
    sinks.path = [&](const PathTable& table, const LineCoverage&) { paths.push_back(table); };
    walkDatabaseForExport(std::nullopt, sinks, std::move(two));
  });
  ASSERT_FALSE(outcome.ended) << outcome.err;
  const std::unordered_set<std::string> expected{"u60.c", "u3.c", "gen/x.y"};
  EXPECT_EQ(one.sharedKeys, expected);
  ASSERT_EQ(paths.size(), kFiles + 1);
  EXPECT_EQ(paths[kFiles - 3].path, "u63.c");
  std::unordered_set<std::string> last;
  for (size_t p = kFiles - 2; p < paths.size(); ++p) last.insert(paths[p].path);
  EXPECT_EQ(last, expected);
}

TEST_F(ExportWalkTest, StatementsAndTimingAsTheListingsGiveThem) {
  addFile("calc.c", 11,
          {"0 12 0 0 0 calc", "20 14 0 0 1 x > 0", "13 16 1 0 2 x", "3 16 1 0 1", "13 18 2 1 1 0", "2 19 2 0 0"},
          {{2}, {3, 0}, {3}, {0}, {}, {125}, {95}});
  addFile("util.c", 1, {"0 3 0 0 0 util_init"}, {{0}, {}, {}, {}, {}, {}, {}});
  RunResult run = walk();
  const FunctionResult& calc = files.at(0).functions.at(0);
  EXPECT_TRUE(calc.statementsAvailable);
  EXPECT_EQ(calc.statements, (StatementFigures{2, 3}));
  ASSERT_TRUE(calc.timing.has_value());
  EXPECT_EQ(calc.timing->total, 12);  // 125 / TICK 10
  EXPECT_EQ(calc.timing->maximum, 9);
  EXPECT_DOUBLE_EQ(calc.timing->average, 6.0);
  EXPECT_FALSE(files.at(1).functions.at(0).statementsAvailable);
  EXPECT_FALSE(files.at(1).functions.at(0).timing.has_value());
  EXPECT_EQ(run.statements.hits, 2u);
  EXPECT_EQ(run.statements.total, 3u);
  EXPECT_EQ(run.statements.functionsWithoutFigures, 1u);
  EXPECT_TRUE(run.anyDecision);
  EXPECT_TRUE(run.anyFunctionOnly);
  EXPECT_EQ(run.sourceFiles, 2u);
  EXPECT_EQ(run.lineCoverage.functions, (CoverageCount{2, 1}));
}

}  // namespace
}  // namespace qar
