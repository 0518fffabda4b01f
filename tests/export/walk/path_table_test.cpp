#include "export/walk/path_table.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qar
