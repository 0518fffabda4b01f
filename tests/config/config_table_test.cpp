#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ConfigTableTest : public test::ConfigTestBase {
 protected:
  ErrorCode apply(std::string_view text) { return applyConfigLine(text, configTable()); }

  // The message the stored error arguments give for `code`.
  std::string messageOf(ErrorCode code) {
    return captureRun([&] { reportError(code, ErrorSeverity::ContinueAfterReport); }).err;
  }
};

TEST_F(ConfigTableTest, AssignmentAcceptsBlanksAroundTheOperatorAndIgnoresUnknownNames) {
  EXPECT_EQ(apply("TICK=1000"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1000");
  EXPECT_EQ(apply("TICK \t=  2000 \t"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "2000");
  EXPECT_EQ(apply("TIMER= my timer "), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "my timer");

  // Names no part reads are accepted with any operator and change nothing.
  EXPECT_EQ(apply("LOG_LEVEL=3"), kNoError);
  EXPECT_EQ(apply("LOG_LEVEL-3"), kNoError);
  EXPECT_EQ(apply("TICKS=5"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "2000");
}

TEST_F(ConfigTableTest, BadLinesReportTheTextWithAnEmptyValue) {
  EXPECT_EQ(apply("tick=1000"), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue),
            "QARPost error 0: Configuration parameter tick=1000 has illegal value \"\"\n");

  // Lower case ends the name, so the operator is missing.
  EXPECT_EQ(apply("TICKs=1"), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue),
            "QARPost error 0: Configuration parameter TICKs=1 has illegal value \"\"\n");

  // No operator at all; trailing blanks are gone from the reported text.
  EXPECT_EQ(apply("TICK  "), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue),
            "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");

  EXPECT_EQ(apply(" TICK=1"), kIllegalConfigValue);  // nothing may stand before the name
  EXPECT_EQ(apply("TICK*1"), kIllegalConfigValue);
  EXPECT_EQ(apply(""), kIllegalConfigValue);

  // Long bad lines are cut at 128 characters in the message.
  EXPECT_EQ(apply(std::string(300, 'x')), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue), "QARPost error 0: Configuration parameter " +
                                                std::string(128, 'x') + " has illegal value \"\"\n");
  EXPECT_FALSE(findConfigValue(configTable(), ConfigParameter::Tick));
}

TEST_F(ConfigTableTest, QuotesSelectTheQuotedTextAndALoneLeadingQuoteIsIllegal) {
  EXPECT_EQ(apply("TIMER=\"a b\" c"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "a b");
  EXPECT_EQ(apply("TIMER=x\"y"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "y");
  EXPECT_EQ(apply("TIMER=pre \"in\" post \"more\""), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "in");
  EXPECT_EQ(apply("TIMER=\"\""), kNoError);
  EXPECT_EQ(slot(0, ConfigParameter::Timer), "");

  EXPECT_EQ(apply("TIMER=\"unclosed"), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue),
            "QARPost error 0: Configuration parameter TIMER has illegal value \"\"\n");
  EXPECT_EQ(apply("TIMER=\""), kIllegalConfigValue);
}

TEST_F(ConfigTableTest, PlusAppendsUnchangedOrAssignsAndMinusIsIllegal) {
  EXPECT_EQ(apply("EXECUTION_COST_TYPE=clock"), kNoError);
  EXPECT_EQ(apply("EXECUTION_COST_TYPE + ticks"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "clockticks");
  EXPECT_EQ(apply("EXECUTION_COST_TYPE+ \"q\" "), kNoError);  // quotes kept when appending
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "clockticks\"q\"");

  // On an empty slot "+" follows the "=" rules, quotes included.
  EXPECT_EQ(apply("TIMER+\"t 1\" rest"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "t 1");
  EXPECT_EQ(apply("TICK+\"5"), kIllegalConfigValue);

  EXPECT_EQ(apply("TICK-1"), kIllegalConfigValue);
  EXPECT_EQ(messageOf(kIllegalConfigValue),
            "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");
}

TEST_F(ConfigTableTest, SectionsAreMadeOnceAndQueriesFallBackToTheDefaultSection) {
  ConfigTable& table = configTable();
  EXPECT_EQ(apply("TICK=1"), kNoError);
  EXPECT_EQ(apply("TIMER=base"), kNoError);
  selectConfigSection(table, "other");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");  // fallback
  EXPECT_EQ(apply("TICK=5"), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");
  EXPECT_EQ(configValue(ConfigParameter::Timer), "base");
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "");
  EXPECT_FALSE(findConfigValue(table, ConfigParameter::ExecutionCostType));

  selectConfigSection(table, "Other");  // case matters
  selectConfigSection(table, "");       // a section of its own, not the default one
  selectConfigSection(table, "other");
  ASSERT_EQ(table.sections.size(), 4u);
  EXPECT_EQ(table.current, 1u);
  EXPECT_EQ(table.sections[2].name, "Other");
  EXPECT_FALSE(table.sections[3].isDefault);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "1");
  EXPECT_EQ(slot(1, ConfigParameter::Tick), "5");

  // An empty text in the current section is a text: no fallback.
  EXPECT_EQ(apply("TIMER="), kNoError);
  EXPECT_EQ(configValue(ConfigParameter::Timer), "");
  ASSERT_TRUE(findConfigValue(table, ConfigParameter::Timer));
}

}  // namespace
}  // namespace qar
