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

}  // namespace
}  // namespace qar
