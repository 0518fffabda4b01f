// Gate arguments: the measure and the percent, kept exactly.
#include "export/gates/gate_settings.h"

#include <gtest/gtest.h>

#include <optional>

namespace qar {
namespace {

TEST(CoverageGateArgument, MeasureAndPercentKeptExactly) {
  std::optional<CoverageGate> gate = parseCoverageGate("line=80");
  ASSERT_TRUE(gate);
  EXPECT_EQ(gate->measure, GateMeasure::Line);
  EXPECT_EQ(gate->threshold, 80 * kThresholdScale);
  EXPECT_EQ(gate->thresholdText, "80");

  gate = parseCoverageGate("mcdc=66.666666667%");
  ASSERT_TRUE(gate);
  EXPECT_EQ(gate->measure, GateMeasure::Mcdc);
  EXPECT_EQ(gate->threshold, 66'666'666'667u);
  EXPECT_EQ(gate->thresholdText, "66.666666667");

  for (const char* text : {"branch=0", "function=100", "statement=100.0", "ter=0.5", "mcdc=007"}) {
    EXPECT_TRUE(parseCoverageGate(text)) << text;
  }
  for (const char* text : {"line", "line=", "=80", "lines=80", "Line=80", "line=8a", "line=.5", "line=5.",
                           "line=100.000000001", "line=101", "line=1000", "line=-1", "line=80%%", "line= 80",
                           "line=1.0000000001"}) {
    EXPECT_FALSE(parseCoverageGate(text)) << text;
  }
}

}  // namespace
}  // namespace qar
