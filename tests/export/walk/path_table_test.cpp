#include "export/walk/path_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace qar {
namespace {

PathTable contribution(std::vector<LineHits> lines, std::vector<BranchCount> branches,
                       std::vector<LocatedFunction> functions) {
  PathTable table;
  table.path = "inc/a.h";
  table.key = "inc/a.h";
  table.lines = std::move(lines);
  table.branches = std::move(branches);
  table.functions = std::move(functions);
  settleContribution(table);
  return table;
}

std::vector<std::pair<uint32_t, uint32_t>> linesOf(const PathTable& table) {
  std::vector<std::pair<uint32_t, uint32_t>> lines;
  for (const LineHits& line : table.lines) lines.emplace_back(line.line, line.hits);
  return lines;
}

TEST(PathTable, ALineOfOneFileCountsItsLargestRecord) {
  PathTable table = contribution({{12, 3}, {10, 1}, {12, 7}, {12, 0}}, {}, {});
  EXPECT_EQ(linesOf(table), (std::vector<std::pair<uint32_t, uint32_t>>{{10, 1}, {12, 7}}));
}

TEST(PathTable, ContributionsOfSeveralFilesAddUp) {
  PathTable into = contribution({{3, 4}, {4, 0}}, {{4, 0, 0, 2, BranchKind::True}, {4, 0, 1, 0, BranchKind::False}},
                                {{"square", 3, 4, {3, 4}}});
  PathTable from = contribution({{4, 5}, {9, UINT32_MAX}},
                                {{4, 0, 0, 1, BranchKind::True},
                                 {4, 0, 1, 3, BranchKind::False},
                                 {9, 1, 0, 0, BranchKind::Constant}},
                                {{"square", 3, 1, {3, 4}}, {"cube", 9, 0, {9}}});
  mergeContribution(into, from);
  mergeContribution(into, contribution({{9, 1}}, {}, {}));
  EXPECT_EQ(linesOf(into), (std::vector<std::pair<uint32_t, uint32_t>>{{3, 4}, {4, 5}, {9, UINT32_MAX}}));
  ASSERT_EQ(into.branches.size(), 3u);
  EXPECT_EQ(into.branches[0].taken, 3u);
  EXPECT_EQ(into.branches[1].taken, 3u);
  EXPECT_EQ(into.branches[2].kind, BranchKind::Constant);
  ASSERT_EQ(into.functions.size(), 2u);
  EXPECT_EQ(into.functions[0].name, "square");
  EXPECT_EQ(into.functions[0].calls, 5u);
  EXPECT_EQ(into.functions[1].name, "cube");

  const LineCoverage coverage = lineCoverageOf(into);
  EXPECT_EQ(coverage.lines, (CoverageCount{3, 3}));
  EXPECT_EQ(coverage.branches, (CoverageCount{3, 2}));
  EXPECT_EQ(coverage.functions, (CoverageCount{2, 1}));
}

TEST(PathTable, NamesAreUniqueWithinAFile) {
  PathTable table = contribution({{3, 1}, {9, 1}, {20, 1}, {30, 1}}, {},
                                 {{"add", 9, 1, {}}, {"add", 3, 1, {}}, {"f(a,b)", 20, 1, {}}, {"f(a;b)", 30, 1, {}},
                                  {"main", 3, 1, {}}});
  // Sorted by line, then name; a name at two lines (compared with "," as
  // an LCOV reader cuts it) gets its line.
  EXPECT_EQ(uniqueFunctionNames(table),
            (std::vector<std::string>{"add@3", "main", "add@9", "f(a,b)@20", "f(a;b)@30"}));
}

TEST(PathTable, AFunctionCoversItsOwnLinesAndTheirBranches) {
  PathTable table = contribution({{3, 2}, {4, 2}, {5, 0}, {8, 1}},
                                 {{4, 0, 0, 2, BranchKind::True}, {4, 0, 1, 0, BranchKind::False},
                                  {8, 1, 0, 1, BranchKind::Case}},
                                 {{"f", 3, 2, {3, 4, 5}}, {"g", 8, 1, {8}}});
  LineCoverage f = functionCoverage(table, table.functions[0]);
  EXPECT_EQ(f.lines, (CoverageCount{3, 2}));
  EXPECT_EQ(f.branches, (CoverageCount{2, 1}));
  LineCoverage g = functionCoverage(table, table.functions[1]);
  EXPECT_EQ(g.lines, (CoverageCount{1, 1}));
  EXPECT_EQ(g.branches, (CoverageCount{1, 1}));

  std::vector<std::pair<uint32_t, uint32_t>> branchFigures;
  forEachLine(table, [&](const LineHits& line, const LineBranches& branches) {
    if (branches.found > 0) branchFigures.emplace_back(line.line, branches.found * 10 + branches.hit);
  });
  EXPECT_EQ(branchFigures, (std::vector<std::pair<uint32_t, uint32_t>>{{4, 21}, {8, 11}}));
}

// Functions whose lines lie far apart, between the lines of others and on
// lines with no entry, with runs of branches: each function's figures are
// those of looking up every one of its lines.
TEST(PathTable, FunctionFiguresWhereverTheirLinesLie) {
  std::vector<LineHits> lines;
  std::vector<BranchCount> branches;
  for (uint32_t line = 1; line <= 400; ++line) {
    if (line % 7 == 3) continue;  // lines a function names but the table has not
    lines.push_back({line, line % 4});
    for (uint32_t b = 0; b < line % 5; ++b) branches.push_back({line, line, b, (line + b) % 3, BranchKind::Case});
  }
  std::vector<LocatedFunction> functions;
  for (uint32_t f = 0; f < 12; ++f) {
    LocatedFunction function{"f" + std::to_string(f), 1 + f, f, {}};
    // Every twelfth line from its own first one, some runs close together.
    for (uint32_t line = 1 + f; line <= 400; line += (f % 3 == 0 ? 12 : 1 + f)) function.lines.push_back(line);
    functions.push_back(function);
  }
  const PathTable table = contribution(lines, branches, functions);
  std::vector<LineCoverage> all;
  functionCoverages(table, all);
  ASSERT_EQ(all.size(), table.functions.size());
  for (size_t f = 0; f < table.functions.size(); ++f) {
    LineCoverage expected;
    for (uint32_t line : table.functions[f].lines) {
      for (const LineHits& entry : table.lines) {
        if (entry.line != line) continue;
        ++expected.lines.found;
        if (entry.hits > 0) ++expected.lines.hit;
      }
      for (const BranchCount& branch : table.branches) {
        if (branch.line != line) continue;
        ++expected.branches.found;
        if (branch.taken > 0) ++expected.branches.hit;
      }
    }
    EXPECT_GT(expected.lines.found, 0u) << f;
    EXPECT_EQ(all[f].lines, expected.lines) << table.functions[f].name;
    EXPECT_EQ(all[f].branches, expected.branches) << table.functions[f].name;
    EXPECT_EQ(functionCoverage(table, table.functions[f]).branches, expected.branches);
  }
}


// Every field of two settled tables, for comparing the shared table with
// the contributions merged one after the other.
void expectSameTable(const PathTable& a, const PathTable& b) {
  EXPECT_EQ(a.path, b.path);
  EXPECT_EQ(a.nextBlock, b.nextBlock);
  EXPECT_EQ(linesOf(a), linesOf(b));
  ASSERT_EQ(a.branches.size(), b.branches.size());
  for (size_t i = 0; i < a.branches.size(); ++i) {
    const BranchCount& x = a.branches[i];
    const BranchCount& y = b.branches[i];
    EXPECT_TRUE(x.line == y.line && x.block == y.block && x.branch == y.branch && x.taken == y.taken &&
                x.kind == y.kind)
        << "branch " << i;
  }
  ASSERT_EQ(a.functions.size(), b.functions.size());
  for (size_t i = 0; i < a.functions.size(); ++i) {
    EXPECT_EQ(a.functions[i].name, b.functions[i].name);
    EXPECT_EQ(a.functions[i].line, b.functions[i].line);
    EXPECT_EQ(a.functions[i].calls, b.functions[i].calls);
    EXPECT_EQ(a.functions[i].lines, b.functions[i].lines);
  }
}

TEST(SharedPathTable, SeveralFilesContributingToOneFileAddUpInTheirOrder) {
  SharedPathTable shared;
  PathTable first = contribution({{7, 2}, {5, 1}}, {{7, 0, 0, 1, BranchKind::True}}, {{"yyparse", 5, 1, {5}}});
  first.path = "gen/parser.y";
  first.nextBlock = 1;
  PathTable second = contribution({{7, UINT32_MAX}, {6, 0}}, {{7, 0, 0, 4, BranchKind::Case}},
                                  {{"yyparse", 5, 2, {7}}, {"yylex", 5, 0, {6}}});
  second.path = "GEN/parser.y";  // the same file under another spelling: the first one's stays
  shared.add(std::move(first));
  shared.add(std::move(second));
  const PathTable& table = shared.merged();
  EXPECT_EQ(table.path, "gen/parser.y");
  EXPECT_EQ(table.nextBlock, 1u);
  EXPECT_EQ(linesOf(table), (std::vector<std::pair<uint32_t, uint32_t>>{{5, 1}, {6, 0}, {7, UINT32_MAX}}));
  // A tie on (line, block, branch): the counts add, the earlier file's kind stays.
  ASSERT_EQ(table.branches.size(), 1u);
  EXPECT_EQ(table.branches[0].taken, 5u);
  EXPECT_EQ(table.branches[0].kind, BranchKind::True);
  // Functions by line, then name; the same function's calls add and its lines join.
  ASSERT_EQ(table.functions.size(), 2u);
  EXPECT_EQ(table.functions[0].name, "yylex");
  EXPECT_EQ(table.functions[1].name, "yyparse");
  EXPECT_EQ(table.functions[1].calls, 3u);
  EXPECT_EQ(table.functions[1].lines, (std::vector<uint32_t>{5, 7}));
}

// Many files over the same few lines, with reads in between: the shared
// table merges in batches and must give what merging one file after the
// other gives, ties and saturated counts included.
TEST(SharedPathTable, BatchedMergesMatchMergingEachContributionInTurn) {
  uint64_t state = 12345;
  auto below = [&state](uint32_t bound) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((state >> 33) % bound);
  };
  const char* const names[] = {"yyparse", "yylex", "lookup", "emit"};
  SharedPathTable shared;
  PathTable sequential;
  for (int file = 0; file < 600; ++file) {
    std::vector<LineHits> lines;
    std::vector<BranchCount> branches;
    std::vector<LocatedFunction> functions;
    for (int row = 0; row < 20; ++row) {
      const uint32_t line = 1 + below(300);
      lines.push_back({line, below(4) == 0 ? UINT32_MAX - below(3) : below(5)});
      branches.push_back({line, below(3), below(2), below(3), static_cast<BranchKind>(below(6))});
    }
    // Within one file a branch is unique.
    std::sort(branches.begin(), branches.end(), [](const BranchCount& a, const BranchCount& b) {
      return std::tie(a.line, a.block, a.branch) < std::tie(b.line, b.block, b.branch);
    });
    branches.erase(std::unique(branches.begin(), branches.end(),
                               [](const BranchCount& a, const BranchCount& b) {
                                 return a.line == b.line && a.block == b.block && a.branch == b.branch;
                               }),
                   branches.end());
    const uint32_t line = 1 + below(40);
    functions.push_back({names[below(4)], line, below(3), {line, line + 1 + below(5)}});
    PathTable table = contribution(std::move(lines), std::move(branches), std::move(functions));
    table.nextBlock = below(100);
    if (file == 0) {
      sequential = table;
    } else {
      mergeContribution(sequential, table);
    }
    shared.add(std::move(table));
    if (file == 17 || file == 400) expectSameTable(shared.merged(), sequential);
  }
  expectSameTable(shared.merged(), sequential);
}

}  // namespace
}  // namespace qar
