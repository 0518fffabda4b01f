#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ConfigParametersTest : public test::ConfigTestBase {
 protected:
  void set(std::string_view line) { ASSERT_EQ(applyConfigLine(line, configTable()), kNoError); }
  std::string validationError() { return captureRun([] { validateConfiguration(); }).err; }
  test::Outcome override(std::vector<std::string> texts) {
    return captureRun([&] { applyConfigOverrides(texts); });
  }
};

TEST_F(ConfigParametersTest, TickForms) {
  EXPECT_EQ(parseTick("0x10"), 16);
  EXPECT_EQ(parseTick("010"), 8);
  EXPECT_EQ(parseTick(" +7"), 7);
  EXPECT_EQ(parseTick("2147483647"), 2147483647);
  for (const char* bad : {"10 ms", "0", "-5", "", "08", "0x", "2147483648", "99999999999999999999"}) {
    EXPECT_FALSE(parseTick(bad)) << bad;
  }

  EXPECT_EQ(validationError(), "QARPost error 12: Missing definition \"TICK\" in configuration file\n");
  set("TICK=");
  EXPECT_EQ(validationError(), "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");
  set("TICK=0x10");
  selectConfigSection(configTable(), "other");
  EXPECT_EQ(validationError(), "");  // the default section's text is the fallback
  set("TICK=10 ms");
  EXPECT_EQ(validationError(), "QARPost error 0: Configuration parameter TICK has illegal value \"10 ms\"\n");
}

TEST_F(ConfigParametersTest, OverridesGoToTheCurrentSectionUnchanged) {
  set("TICK=1");
  EXPECT_FALSE(override({"TICK+0", "LOG_LEVEL=3"}).ended);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "10");

  selectConfigSection(configTable(), "other");
  setVariable("QAR_TEST_SET", "val");
  EXPECT_FALSE(override({"TICK=50", "TIMER=$(QAR_TEST_SET)"}).ended);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "50");
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "10");
  EXPECT_EQ(configValue(ConfigParameter::Timer), "$(QAR_TEST_SET)");

  auto outcome = override({"[other]", "TICK=2"});  // no section lines in overrides
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter [other] has illegal value \"\"\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "50");
}

}  // namespace
}  // namespace qar
