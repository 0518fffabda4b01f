#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ConfigParametersTest : public test::ConfigTestBase {
 protected:
  void set(std::string_view line) { ASSERT_EQ(applyConfigLine(line, configTable()), kNoError); }
  test::Outcome validate() { return captureRun([] { validateConfiguration(); }); }
  test::Outcome override(std::vector<std::string> texts) {
    return captureRun([&] { applyConfigOverrides(texts); });
  }
};

TEST_F(ConfigParametersTest, TickForms) {
  EXPECT_EQ(parseTick("0x10"), 16);
  EXPECT_EQ(parseTick("0X1f"), 31);
  EXPECT_EQ(parseTick("010"), 8);
  EXPECT_EQ(parseTick("+7"), 7);
  EXPECT_EQ(parseTick(" \t12"), 12);
  EXPECT_EQ(parseTick("2147483647"), 2147483647);
  for (const char* bad : {"10 ms", "0", "-5", "", "08", "0x", "1.5", "2147483648", "99999999999999999999",
                          "-4294967295"}) {
    EXPECT_FALSE(parseTick(bad)) << bad;
  }
}

TEST_F(ConfigParametersTest, ValidationNamesTheMissingOrIllegalTick) {
  auto outcome = validate();
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 12: Missing definition \"TICK\" in configuration file\n");

  set("TICK=10 ms");
  outcome = validate();
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter TICK has illegal value \"10 ms\"\n");

  set("TICK=");
  EXPECT_EQ(validate().err, "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");

  // The text of the current section counts, the default is only a fallback.
  set("TICK=0x10");
  selectConfigSection(configTable(), "other");
  EXPECT_FALSE(validate().ended);
  set("TICK=-5");
  EXPECT_EQ(validate().err, "QARPost error 0: Configuration parameter TICK has illegal value \"-5\"\n");
}

TEST_F(ConfigParametersTest, OverridesApplyInOrderToTheCurrentSection) {
  set("TICK=1");
  auto outcome = override({"TICK+0", "LOG_LEVEL=3", "TIMER = \"t\" x"});
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "10");
  EXPECT_EQ(configValue(ConfigParameter::Timer), "t");

  selectConfigSection(configTable(), "other");
  EXPECT_FALSE(override({"TICK=50"}).ended);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "50");
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "10");

  // No environment references in overrides.
  setVariable("QAR_TEST_SET", "val");
  EXPECT_FALSE(override({"TIMER=$(QAR_TEST_SET)"}).ended);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "$(QAR_TEST_SET)");

  EXPECT_FALSE(captureRun([] { applyConfigOverrides(std::nullopt); }).ended);
}

TEST_F(ConfigParametersTest, BadOverridesEndTheRunAtTheFirstError) {
  auto outcome = override({"TICK", "TIMER=never"});
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");
  EXPECT_FALSE(findConfigValue(configTable(), ConfigParameter::Timer));

  outcome = override({"TICK-1"});
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");
  outcome = override({"# TICK=1"});
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter # TICK=1 has illegal value \"\"\n");
  outcome = override({"[other]"});
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter [other] has illegal value \"\"\n");
}

}  // namespace
}  // namespace qar
