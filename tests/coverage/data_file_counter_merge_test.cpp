#include <gtest/gtest.h>

#include "coverage/data_file_support.h"
#include "coverage/loading.h"

namespace qar {
namespace {

TEST(DataFileCounterMergeTest, CountsSaturateTotalsWrapMaximaCompareSigned) {
  CounterArrays into = test::makeBlock("a.c", {2, 1, 1, 1, 3}, 1);
  CounterArrays block = into;
  into.functionCounts = {0xFFFFFFF0, 5};
  block.functionCounts = {0x20, 7};
  into.jumpCounts = {0xFFFFFFFF};
  block.jumpCounts = {1};
  into.decisionTrueCounts = {1};
  block.decisionTrueCounts = {2};
  into.decisionFalseCounts = {0x80000000};
  block.decisionFalseCounts = {0x80000000};
  into.conditionCounts = {0};
  block.conditionCounts = {0xFFFFFFFF};
  into.timeTotals = {0xFFFFFFF0, 1, 0};
  block.timeTotals = {0x20, 2, 0};
  into.timeMaxima = {5, 0xFFFFFFFF, 0x7FFFFFFF};  // 5, -1, INT32_MAX
  block.timeMaxima = {0x80000000, 3, 6};           // INT32_MIN, 3, 6
  block.name = "other";
  block.updCount = 99;

  addCounters(into, block);
  EXPECT_EQ(into.functionCounts, (std::vector<uint32_t>{0xFFFFFFFF, 12}));
  EXPECT_EQ(into.jumpCounts, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(into.decisionTrueCounts, std::vector<uint32_t>{3});
  EXPECT_EQ(into.decisionFalseCounts, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(into.conditionCounts, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(into.timeTotals, (std::vector<uint32_t>{0x10, 3, 0}));
  EXPECT_EQ(into.timeMaxima, (std::vector<uint32_t>{5, 3, 0x7FFFFFFF}));
  EXPECT_EQ(into.name, "a.c");  // identification is not the merge's business
  EXPECT_EQ(into.updCount, 2u);
}

}  // namespace
}  // namespace qar
