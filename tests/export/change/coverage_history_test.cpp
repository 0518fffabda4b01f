// The history line of a run and its appending to a file never rewritten.
#include "export/change/coverage_history.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qar {
namespace {

std::string fileText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CoverageHistory, LineCarriesTimeLabelAndTotals) {
  RunResult run;
  run.lineCoverage.lines = {35, 31};
  run.statements.total = 50;
  run.statements.hits = 40;
  run.mcdc = {2, 1};
  const std::string label = "ab\"c";
  EXPECT_EQ(historyLine(0, &label, run),
            "{\"time\": \"1970-01-01T00:00:00Z\", \"label\": \"ab\\\"c\", \"lines\": {\"found\": 35, \"hit\": 31}, "
            "\"branches\": {\"found\": 0, \"hit\": 0}, \"functions\": {\"found\": 0, \"hit\": 0}, "
            "\"statements\": {\"found\": 50, \"hit\": 40}, \"mcdc\": {\"found\": 2, \"hit\": 1}}\n");
  EXPECT_NE(historyLine(0, nullptr, run).find("\"label\": null,"), std::string::npos);
}

TEST(CoverageHistory, AppendsKeepingEarlierLinesAndEndsACutOne) {
  const std::string name = (std::filesystem::temp_directory_path() / "qarpost_history_test.jsonl").string();
  std::remove(name.c_str());
  std::string error;
  ASSERT_TRUE(appendHistoryLine(name, "{\"a\": 1}\n", error)) << error;
  ASSERT_TRUE(appendHistoryLine(name, "{\"b\": 2}\n", error)) << error;
  EXPECT_EQ(fileText(name), "{\"a\": 1}\n{\"b\": 2}\n");
  {
    std::ofstream out(name, std::ios::app | std::ios::binary);
    out << "{\"cut";
  }
  ASSERT_TRUE(appendHistoryLine(name, "{\"c\": 3}\n", error)) << error;
  EXPECT_EQ(fileText(name), "{\"a\": 1}\n{\"b\": 2}\n{\"cut\n{\"c\": 3}\n");
  std::remove(name.c_str());

  EXPECT_FALSE(appendHistoryLine("/nonexistent-dir/h.jsonl", "x\n", error));
  EXPECT_FALSE(error.empty());
}

TEST(CoverageHistory, ReadsBackWhatItWritesAndPassesOverCutLines) {
  RunResult run;
  run.lineCoverage.lines = {35, 31};
  run.mcdc = {2, 1};
  const std::string label = "v1";
  const std::string first = historyLine(86400, &label, run);
  run.lineCoverage.lines = {40, 20};
  const std::string second = historyLine(172800, nullptr, run);
  // A killed run left a cut line, ended by the next append; the last line is cut too.
  const std::string text = first + "{\"time\": \"1970-01\n" + second + "\n" + second.substr(0, 30);
  const HistoryRead read = parseHistory(text);
  ASSERT_EQ(read.entries.size(), 2u);
  EXPECT_EQ(read.entries[0].time, "1970-01-02T00:00:00Z");
  EXPECT_EQ(read.entries[0].label, "v1");
  EXPECT_FALSE(read.entries[1].label);
  const HistoryFigure lines = read.entries[1].measures[static_cast<int>(HistoryMeasure::Lines)];
  EXPECT_EQ(lines.found, 40u);
  EXPECT_EQ(lines.hit, 20u);
  EXPECT_EQ(read.entries[1].measures[static_cast<int>(HistoryMeasure::Mcdc)].found, 2u);
  EXPECT_EQ(read.passedOver, (std::vector<uint32_t>{2, 5}));
  EXPECT_EQ(passedOverNotice("h.jsonl", {5}), "history h.jsonl: line 5 is not a whole entry, passed over");
  EXPECT_EQ(passedOverNotice("h.jsonl", read.passedOver),
            "history h.jsonl: 2 lines are not whole entries, passed over (lines 2, 5)");
  EXPECT_EQ(passedOverNotice("h.jsonl", {}), "");
}

TEST(CoverageHistory, EntryOfThisRunEqualsTheLineReadBack) {
  RunResult run;
  run.lineCoverage.branches = {8, 3};
  run.statements.total = 9;
  run.statements.hits = 4;
  const HistoryEntry made = historyEntry(0, nullptr, run);
  const HistoryRead read = parseHistory(historyLine(0, nullptr, run));
  ASSERT_EQ(read.entries.size(), 1u);
  for (size_t m = 0; m < kHistoryMeasureCount; ++m) {
    EXPECT_EQ(read.entries[0].measures[m].found, made.measures[m].found);
    EXPECT_EQ(read.entries[0].measures[m].hit, made.measures[m].hit);
  }
  EXPECT_EQ(read.entries[0].time, made.time);
  // More hits than items is not an entry of this program.
  EXPECT_EQ(parseHistory(R"({"time": "x", "label": null, "lines": {"found": 1, "hit": 2}})").passedOver.size(), 1u);
  EXPECT_TRUE(readHistory("/nonexistent-dir/h.jsonl").entries.empty());
  EXPECT_FALSE(readHistory("/nonexistent-dir/h.jsonl").error);
}

}  // namespace
}  // namespace qar
