#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

class ConfigTableTest : public test::ConfigTestBase {
 protected:
  ErrorCode apply(std::string_view text) { return applyConfigLine(text, configTable()); }

  // The error line the stored error arguments give for ErrorCode 0.
  std::string illegalMessage() {
    return test::captureRun([] { reportError(kIllegalConfigValue, ErrorSeverity::ContinueAfterReport); }).err;
  }
  static std::string illegal(const std::string& first) {
    return "QARPost error 0: Configuration parameter " + first + " has illegal value \"\"\n";
  }
};

TEST_F(ConfigTableTest, NamesBlanksAndBadLines) {
  EXPECT_EQ(apply("TICK=1000"), kNoError);
  EXPECT_EQ(apply("TIMER \t=  my timer \t"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "my timer");
  EXPECT_EQ(apply("LOG_LEVEL-3"), kNoError);  // unknown names: ignored, any operator
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1000");

  EXPECT_EQ(apply("tick=1000"), kIllegalConfigValue);
  EXPECT_EQ(illegalMessage(), illegal("tick=1000"));
  EXPECT_EQ(apply("TICKs=1"), kIllegalConfigValue);  // lower case ends the name
  EXPECT_EQ(illegalMessage(), illegal("TICKs=1"));
  EXPECT_EQ(apply("TICK  "), kIllegalConfigValue);
  EXPECT_EQ(illegalMessage(), illegal("TICK"));
  EXPECT_EQ(apply(" TICK=1"), kIllegalConfigValue);
  EXPECT_EQ(apply(std::string(300, 'x')), kIllegalConfigValue);
  EXPECT_EQ(illegalMessage(), illegal(std::string(128, 'x')));
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1000");
}

TEST_F(ConfigTableTest, OperatorsAndQuoteRules) {
  EXPECT_EQ(apply("TIMER=\"a b\" c"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "a b");
  EXPECT_EQ(apply("TIMER=x\"y"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "y");
  EXPECT_EQ(apply("TIMER=pre \"in\" post"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "in");
  EXPECT_EQ(apply("TIMER=\"unclosed"), kIllegalConfigValue);
  EXPECT_EQ(illegalMessage(), illegal("TIMER"));

  EXPECT_EQ(apply("EXECUTION_COST_TYPE=clock"), kNoError);
  EXPECT_EQ(apply("EXECUTION_COST_TYPE + ticks"), kNoError);
  EXPECT_EQ(apply("EXECUTION_COST_TYPE+\"q\""), kNoError);  // appended unchanged
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "clockticks\"q\"");
  EXPECT_EQ(apply("TICK+\"5\" x"), kNoError);  // on an empty slot "+" is "="
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");

  EXPECT_EQ(apply("TICK-1"), kIllegalConfigValue);
  EXPECT_EQ(illegalMessage(), illegal("TICK"));
}

TEST_F(ConfigTableTest, SectionsAndDefaultFallback) {
  ConfigTable& table = configTable();
  EXPECT_EQ(apply("TICK=1"), kNoError);
  selectConfigSection(table, "other");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");
  EXPECT_EQ(apply("TICK=5"), kNoError);
  EXPECT_EQ(apply("TIMER="), kNoError);  // an empty text is a text: no fallback
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");
  EXPECT_TRUE(findConfigValue(table, ConfigParameter::Timer));
  EXPECT_FALSE(findConfigValue(table, ConfigParameter::ExecutionCostType));
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "");

  selectConfigSection(table, "Other");  // case matters
  selectConfigSection(table, "");       // its own section, not the default one
  selectConfigSection(table, "other");
  ASSERT_EQ(table.sections.size(), 4u);
  EXPECT_EQ(table.current, 1u);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "1");
}

}  // namespace
}  // namespace qar
