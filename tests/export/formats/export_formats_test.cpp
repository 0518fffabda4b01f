// The four formats' texts for small tables, and the gates.
#include <gtest/gtest.h>

#include "export/formats/cobertura_export.h"
#include "export/gates/coverage_gates.h"
#include "export/formats/lcov_export.h"
#include "export/formats/sonar_export.h"

namespace qar {
namespace {

PathTable sampleTable() {
  PathTable table;
  table.path = "src/a,b.c";
  table.key = "src/a,b.c";
  table.lines = {{3, 2}, {4, 2}, {9, 0}};
  table.branches = {{4, 0, 0, 2, BranchKind::True}, {4, 0, 1, 0, BranchKind::False}};
  table.functions = {{"pair<int, int>::first", 3, 2, {3, 4}}, {"unused", 9, 0, {9}}};
  return table;
}

TEST(ExportFormats, LcovRecord) {
  ExportStream out;
  PathTable table = sampleTable();
  writeLcovRecord(out, table, uniqueFunctionNames(table), lineCoverageOf(table));
  EXPECT_EQ(out.buffer,
            "TN:\nSF:src/a,b.c\n"
            "FN:3,pair<int; int>::first\nFN:9,unused\nFNDA:2,pair<int; int>::first\nFNDA:0,unused\nFNF:2\nFNH:1\n"
            "BRDA:4,0,0,2\nBRDA:4,0,1,0\nBRF:2\nBRH:1\n"
            "DA:3,2\nDA:4,2\nDA:9,0\nLF:3\nLH:2\nend_of_record\n");
}

TEST(ExportFormats, SonarQubeFile) {
  ExportStream out;
  writeSonarFile(out, sampleTable());
  EXPECT_EQ(out.buffer,
            "  <file path=\"src/a,b.c\">\n"
            "    <lineToCover lineNumber=\"3\" covered=\"true\"/>\n"
            "    <lineToCover lineNumber=\"4\" covered=\"true\" branchesToCover=\"2\" coveredBranches=\"1\"/>\n"
            "    <lineToCover lineNumber=\"9\" covered=\"false\"/>\n"
            "  </file>\n");
}

TEST(ExportFormats, CoberturaRatesAreTruncated) {
  EXPECT_EQ(coberturaRate(2, 3), "0.6666");
  EXPECT_EQ(coberturaRate(9999, 10000), "0.9999");
  EXPECT_EQ(coberturaRate(3, 3), "1.0000");
  EXPECT_EQ(coberturaRate(0, 0), "1.0000");
  EXPECT_EQ(coberturaRate(0, 7), "0.0000");
}

TEST(ExportFormats, CoberturaClassWithMethodsAndBranchLines) {
  CoberturaDocument document;
  ExportStream out;
  document.out = &out;
  PathTable table = sampleTable();
  std::vector<LineCoverage> functions;
  functionCoverages(table, functions);
  writeCoberturaClass(document, table, uniqueFunctionNames(table), functions, lineCoverageOf(table));
  EXPECT_NE(out.buffer.find("<package name=\"src\" line-rate=\"0.6666\" branch-rate=\"0.5000\""), std::string::npos);
  EXPECT_NE(out.buffer.find("<method name=\"pair&lt;int, int&gt;::first\" signature=\"\" line-rate=\"1.0000\" "
                            "branch-rate=\"0.5000\" complexity=\"0\">"),
            std::string::npos);
  EXPECT_NE(out.buffer.find("<line number=\"4\" hits=\"2\" branch=\"true\" condition-coverage=\"50% (1/2)\"/>"),
            std::string::npos);
  EXPECT_NE(out.buffer.find("<line number=\"9\" hits=\"0\" branch=\"false\"/>"), std::string::npos);
}

TEST(CoverageGates, ComparedExactly) {
  const GateFigure twoOfThree{2, 3};
  EXPECT_EQ(gatePercentText(twoOfThree), "66.66");
  EXPECT_FALSE(gateMissed(*parseCoverageGate("line=66.666666666"), twoOfThree));
  EXPECT_TRUE(gateMissed(*parseCoverageGate("line=66.666666667"), twoOfThree));
  EXPECT_FALSE(gateMissed(*parseCoverageGate("line=100"), GateFigure{UINT32_MAX, UINT32_MAX}));
  EXPECT_TRUE(gateMissed(*parseCoverageGate("line=100"), GateFigure{UINT32_MAX - 1, UINT32_MAX}));
  // Nothing to cover is 100 %.
  EXPECT_FALSE(gateMissed(*parseCoverageGate("branch=100"), GateFigure{0, 0}));
  EXPECT_EQ(gatePercentText(GateFigure{0, 0}), "100.00");
}

TEST(CoverageGates, EachMeasureTakesItsFigure) {
  RunResult run;
  run.lineCoverage.lines = {10, 9};
  run.lineCoverage.branches = {4, 1};
  run.lineCoverage.functions = {3, 3};
  run.statements.hits = 5;
  run.statements.total = 8;
  run.ter[static_cast<size_t>(CoverageView::Decision)] = {20, 5};
  run.ter[static_cast<size_t>(CoverageView::AsInstrumented)] = {30, 3};
  run.mcdc = {6, 2};
  auto figure = [&](GateMeasure measure, CoverageView view = CoverageView::AsInstrumented) {
    GateFigure f = gateFigure(measure, run, view);
    return std::make_pair(f.hit, f.found);
  };
  EXPECT_EQ(figure(GateMeasure::Line), std::make_pair(uint64_t{9}, uint64_t{10}));
  EXPECT_EQ(figure(GateMeasure::Branch), std::make_pair(uint64_t{1}, uint64_t{4}));
  EXPECT_EQ(figure(GateMeasure::Function), std::make_pair(uint64_t{3}, uint64_t{3}));
  EXPECT_EQ(figure(GateMeasure::Statement), std::make_pair(uint64_t{5}, uint64_t{8}));
  EXPECT_EQ(figure(GateMeasure::Ter, CoverageView::Decision), std::make_pair(uint64_t{15}, uint64_t{20}));
  EXPECT_EQ(figure(GateMeasure::Ter), std::make_pair(uint64_t{27}, uint64_t{30}));
  EXPECT_EQ(figure(GateMeasure::Mcdc), std::make_pair(uint64_t{2}, uint64_t{6}));
}

}  // namespace
}  // namespace qar
