// Gates on the change since a baseline: reading them and judging them exactly.
#include "export/gates/delta_gates.h"

#include <gtest/gtest.h>

#include "base/posterr.h"
#include "base/standard_output.h"

namespace qar {
namespace {

TEST(DeltaGates, ReadsSignedPointsForComparedMeasures) {
  std::optional<DeltaGate> g = parseDeltaGate("line=-0.5");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->measure, GateMeasure::Line);
  EXPECT_EQ(g->points, -500'000'000);
  EXPECT_EQ(g->pointsText, "-0.5");
  g = parseDeltaGate("mcdc=+2");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->points, 2'000'000'000);
  ASSERT_TRUE(parseDeltaGate("statement=0"));
  for (const char* bad : {"ter=0", "line", "line=", "line=-", "line=1%", "line=101", "line=--1", "lines=0",
                          "line=0.1234567891"}) {
    EXPECT_FALSE(parseDeltaGate(bad)) << bad;
  }
}

BaselineComparison linesBeforeAndNow(CoverageCount before, CoverageCount now) {
  BaselineComparison c;
  ChangeCounts& lines = c.totals[static_cast<int>(ChangeMeasure::Lines)];
  lines.before = before;
  lines.now = now;
  lines.lost = 3;
  lines.gained = 1;
  return c;
}

class DeltaGatesApplied : public ::testing::Test {
 protected:
  void SetUp() override { resetDiagnostics(); }
  bool apply(std::string_view gate, const BaselineComparison& c) {
    testing::internal::CaptureStderr();
    const bool missed = applyDeltaGates({*parseDeltaGate(gate)}, c);
    flushStandardOutput();
    stderrText = testing::internal::GetCapturedStderr();
    return missed;
  }
  std::string stderrText;
};

TEST_F(DeltaGatesApplied, ComparesTheExactChangeNotRoundedPercents) {
  // 2 of 3 to 1 of 2: -16.666... points.
  const BaselineComparison c = linesBeforeAndNow({3, 2}, {2, 1});
  EXPECT_FALSE(apply("line=-16.67", c));
  EXPECT_TRUE(apply("line=-16.66", c));
  EXPECT_EQ(stderrText,
            "QARPost gate missed: line coverage changed by -16.66 points since the baseline (66.66 % to 50.00 %; "
            "3 items lost, 1 gained), less than -16.66\n");
}

TEST_F(DeltaGatesApplied, ASmallFallMissesAGateOfZero) {
  // 999 of 1000 to 9989 of 10000: -0.01 points, shown with its direction.
  const BaselineComparison c = linesBeforeAndNow({1000, 999}, {10000, 9989});
  EXPECT_TRUE(apply("line=0", c));
  EXPECT_NE(stderrText.find("changed by -0.01 points"), std::string::npos) << stderrText;
  EXPECT_FALSE(apply("line=-0.01", c));
  EXPECT_TRUE(apply("line=0", linesBeforeAndNow({100000, 99999}, {100000, 99998})));
  EXPECT_NE(stderrText.find("changed by -0.00 points"), std::string::npos) << stderrText;
  // A rise can be demanded; no change is no fall.
  EXPECT_TRUE(apply("line=+1", linesBeforeAndNow({10, 5}, {10, 5})));
  EXPECT_NE(stderrText.find("changed by 0.00 points"), std::string::npos) << stderrText;
  EXPECT_FALSE(apply("line=0", linesBeforeAndNow({10, 5}, {10, 5})));
}

TEST_F(DeltaGatesApplied, NothingToCountPassesWithANotice) {
  EXPECT_FALSE(apply("line=0", linesBeforeAndNow({0, 0}, {4, 1})));
  EXPECT_EQ(stderrText, "QARPost notice: gate delta.line not applicable: nothing to count in the baseline\n");
}

}  // namespace
}  // namespace qar
