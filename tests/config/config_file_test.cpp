// Reading configuration files and searching for them.
#include "config/config_file_reader.h"

#include <gtest/gtest.h>

#include "config_test_support.h"

namespace qar {
namespace {

class ConfigFileTest : public test::ConfigTestBase {
 protected:
  ConfigFileResult load(const std::string& content) {
    return readConfigFile(work_.write("test.ini", content), configTable());
  }
  test::Outcome search(std::optional<std::string> configFileText, bool listing) {
    return test::captureRun([&] { loadConfiguration(configFileText, listing); });
  }
};

TEST_F(ConfigFileTest, LogicalLinesJoinCommentsAndSections) {
  std::string long20k(20000, 'w');
  ASSERT_EQ(load("# comment TICK=9\n"
                 "\t  TICK = 7\r\n"
                 "\n  \r\n"
                 "TIMER=ab\\\n  cd\\\r\nef\n"
                 "# comment goes on \\\nEXECUTION_COST_TYPE=swallowed\n"
                 "[long]\nEXECUTION_COST_TYPE=" + long20k.substr(0, 9000) + "\\\n" + long20k.substr(9000) +
                 "\nTIMER=no line end")
                .outcome,
            ConfigFileOutcome::Loaded);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "7");
  EXPECT_EQ(slot(0, ConfigParameter::Timer), "ab  cdef");  // joined directly, blanks kept
  EXPECT_FALSE(slot(0, ConfigParameter::ExecutionCostType));
  EXPECT_EQ(slot(1, ConfigParameter::ExecutionCostType), long20k);
  EXPECT_EQ(slot(1, ConfigParameter::Timer), "no line end");
  ASSERT_EQ(load("TIMER=again\n").outcome, ConfigFileOutcome::Loaded);  // starts in the default section
  EXPECT_EQ(slot(0, ConfigParameter::Timer), "again");

  ConfigFileResult result = load("TICK=2\nTICK-3\nTIMER=never\n");  // stops at the first error
  EXPECT_EQ(result.code, kIllegalConfigValue);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "2");
  EXPECT_EQ(slot(0, ConfigParameter::Timer), "again");
  EXPECT_EQ(readConfigFile(work_.path().string(), configTable()).code, kCannotRead);  // a directory
}

TEST_F(ConfigFileTest, EnvironmentReferencesAndTheLinesTheyHold) {
  setVariable("QAR_TEST_SET", "val");
  setVariable("QAR_TEST_REF", "$(QAR_TEST_SET)");
  setVariable("QAR_TEST_UNSET", std::nullopt);
  std::string out;
  expandEnvironmentReferences("a$(QAR_TEST_SET)b$(QAR_TEST_UNSET)c$(QAR_TEST_REF)", out);
  EXPECT_EQ(out, "avalbc$(QAR_TEST_SET)");  // substituted text is not scanned again
  expandEnvironmentReferences("$(QAR_TEST_SET))$(QAR_TEST_SET", out);
  EXPECT_EQ(out, "val)$(QAR_TEST_SET");

  // Each line of a value is a line of its own; a backslash before one joins.
  setVariable("QAR_TEST_LINES", "TICK=4\n# note\n\n[env]\nTIMER=a\\\nb\nbad line");
  std::string scratch;
  EXPECT_EQ(processConfigLine("$(QAR_TEST_LINES)", configTable(), scratch), kIllegalConfigValue);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "4");
  EXPECT_EQ(slot(1, ConfigParameter::Timer), "ab");
}

TEST_F(ConfigFileTest, SearchJoinsTheHomePathCutsLongLinesAndKeepsTheLastSection) {
  test::TempDir home;
  std::string path = home.write("qar.ini", "TICK=1\n[other]\nTICK=5\n");
  setVariable("QARHOME", "\"" + home.path().string() + "/\"");  // quotes go, no second "/"
  auto outcome = search(std::nullopt, true);
  EXPECT_NE(outcome.err.find("\n   " + path + " ... Loaded\n"), std::string::npos) << outcome.err;
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");

  // The heading is written once per run; a later file starts in the default section.
  std::string later = work_.write("later.ini", "TIMER=t\n");
  setVariable("QARHOME", std::string(1100, 'h'));
  outcome = search(later, true);
  EXPECT_EQ(outcome.err.rfind("1. Halvorin Tarvo home directory (%QARHOME%\\qar.ini)\n   " +
                                  std::string(1021, 'h') + "\n2. ", 0), 0u);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");
}

TEST_F(ConfigFileTest, MissingListItemEndsTheSearchWithItsNameCutAt128) {
  std::string good = work_.write("good.ini", "TICK=1\n");
  work_.write("qar.ini", "TICK=2\n");
  std::string longName(200, 'n');
  auto outcome = search("\"" + good + "\";;" + longName + ";" + good, false);
  EXPECT_EQ(outcome.err,
            "QARPost error 14: Cannot open file " + longName.substr(0, 128) + ": No such file or directory\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");  // qar.ini, then good.ini
}

}  // namespace
}  // namespace qar
