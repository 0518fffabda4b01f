// Assignment lines, sections, -C overrides and the TICK check.
#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ConfigTableTest : public test::ConfigTestBase {
 protected:
  ErrorCode apply(std::string_view text) { return applyConfigLine(text, configTable()); }
  // The error line of ErrorCode 0 with the arguments the last line stored.
  static std::string illegalMessage() {
    return captureRun([] { reportError(kIllegalConfigValue, ErrorSeverity::ContinueAfterReport); }).err;
  }
  static std::string illegal(const std::string& first) {
    return "QARPost error 0: Configuration parameter " + first + " has illegal value \"\"\n";
  }
};

TEST_F(ConfigTableTest, AssignmentLines) {
  const std::pair<const char*, const char*> accepted[] = {
      {"TICK+\"5\" x", "5"},  // "+" on an empty slot is "="
      {"TICK=1000", "1000"},          {"TIMER \t=  my timer \t", "my timer"},
      {"TIMER=\"a b\" c", "a b"},     {"TIMER=x\"y", "y"},
      {"TIMER=pre \"in\" post", "in"}, {"EXECUTION_COST_TYPE=clock", "clock"},
      {"EXECUTION_COST_TYPE + ticks", "clockticks"},
      {"EXECUTION_COST_TYPE+\"q\"", "clockticks\"q\""},  // appended unchanged
  };
  for (const auto& [line, value] : accepted) {
    ASSERT_EQ(apply(line), kNoError) << line;
    std::string_view name(line);
    name = name.substr(0, name.find_first_of(" \t=+"));
    EXPECT_EQ(configValue(*findConfigParameter(name)), value) << line;
  }
  for (const char* ignored : {"LOG_LEVEL-3", "QAR_AREA=1", "ZONE_9=x"}) EXPECT_EQ(apply(ignored), kNoError) << ignored;

  const std::pair<std::string, std::string> refused[] = {
      {"tick=1000", "tick=1000"}, {"TICKs=1", "TICKs=1"}, {"TICK  ", "TICK"}, {" TICK=1", " TICK=1"},
      {std::string(300, 'x'), std::string(128, 'x')}, {"TIMER=\"unclosed", "TIMER"}, {"TICK-1", "TICK"},
  };
  for (const auto& [line, first] : refused) {
    EXPECT_EQ(apply(line), kIllegalConfigValue) << line;
    EXPECT_EQ(illegalMessage(), illegal(first));
  }
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1000");
}

TEST_F(ConfigTableTest, SectionsFallBackToTheDefaultSection) {
  ConfigTable& table = configTable();
  EXPECT_EQ(apply("TICK=1"), kNoError);
  selectConfigSection(table, "other");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");
  EXPECT_EQ(apply("TICK=5"), kNoError);
  EXPECT_EQ(apply("TIMER="), kNoError);  // an empty text is a text: no fallback
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");
  EXPECT_TRUE(findConfigValue(table, ConfigParameter::Timer));
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "");
  selectConfigSection(table, "Other");  // case matters
  selectConfigSection(table, "");       // its own section, not the default one
  selectConfigSection(table, "other");
  ASSERT_EQ(table.sections.size(), 4u);
  EXPECT_EQ(table.current, 1u);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "1");
}

TEST_F(ConfigTableTest, OverridesGoUnchangedToTheCurrentSection) {
  ASSERT_EQ(apply("TICK=1"), kNoError);
  selectConfigSection(configTable(), "other");
  setVariable("QAR_TEST_SET", "val");
  EXPECT_FALSE(captureRun([] { applyConfigOverrides(std::vector<std::string>{"TICK=50", "TIMER=$(QAR_TEST_SET)"}); })
                   .ended);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "50");
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "1");
  EXPECT_EQ(configValue(ConfigParameter::Timer), "$(QAR_TEST_SET)");
  auto outcome = captureRun([] { applyConfigOverrides(std::vector<std::string>{"[other]", "TICK=2"}); });
  EXPECT_EQ(outcome.err, illegal("[other]"));
  EXPECT_EQ(configValue(ConfigParameter::Tick), "50");
}

TEST_F(ConfigTableTest, TickMustBeAPositive32BitInteger) {
  EXPECT_EQ(parseTick("0x10"), 16);
  EXPECT_EQ(parseTick("010"), 8);
  EXPECT_EQ(parseTick(" +7"), 7);
  EXPECT_EQ(parseTick("2147483647"), 2147483647);
  for (const char* bad : {"10 ms", "0", "-5", "", "08", "0x", "2147483648", "99999999999999999999"}) {
    EXPECT_FALSE(parseTick(bad)) << bad;
  }
  EXPECT_EQ(captureRun([] { validateConfiguration(); }).err,
            "QARPost error 12: Missing definition \"TICK\" in configuration file\n");
}

}  // namespace
}  // namespace qar
