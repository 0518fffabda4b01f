#include "config/config_file_reader.h"

#include <gtest/gtest.h>

#include "config_test_support.h"

namespace qar {
namespace {

class ConfigFileReaderTest : public test::ConfigTestBase {
 protected:
  ConfigFileResult load(const std::string& content) {
    return readConfigFile(work_.write("test.ini", content), configTable());
  }
};

TEST_F(ConfigFileReaderTest, LogicalLines) {
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
}

TEST_F(ConfigFileReaderTest, EnvironmentReferences) {
  setVariable("QAR_TEST_SET", "val");
  setVariable("QAR_TEST_REF", "$(QAR_TEST_SET)");
  setVariable("QAR_TEST_UNSET", std::nullopt);
  std::string out;
  expandEnvironmentReferences("a$(QAR_TEST_SET)b$(QAR_TEST_UNSET)c$(QAR_TEST_REF)", out);
  EXPECT_EQ(out, "avalbc$(QAR_TEST_SET)");  // substituted text is not scanned again
  expandEnvironmentReferences("$(QAR_TEST_SET))$(QAR_TEST_SET", out);
  EXPECT_EQ(out, "val)$(QAR_TEST_SET");

  // Values may carry line ends: each piece is a line of its own, and a
  // backslash before one of them joins the pieces.
  setVariable("QAR_TEST_LINES", "TICK=4\n# note\n\n[env]\nTIMER=a\\\nb\nbad line");
  std::string scratch;
  EXPECT_EQ(processConfigLine("$(QAR_TEST_LINES)", configTable(), scratch), kIllegalConfigValue);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "4");
  EXPECT_EQ(slot(1, ConfigParameter::Timer), "ab");
}

TEST_F(ConfigFileReaderTest, FailuresStopAtTheFirstError) {
  ConfigFileResult result = load("TICK=2\nTICK-3\nTIMER=never\n");
  EXPECT_EQ(result.outcome, ConfigFileOutcome::Failed);
  EXPECT_EQ(result.code, kIllegalConfigValue);
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "2");
  EXPECT_FALSE(slot(0, ConfigParameter::Timer));

  result = readConfigFile(work_.file("missing.ini"), configTable());
  EXPECT_EQ(result.outcome, ConfigFileOutcome::NotOpened);
  EXPECT_EQ(result.systemError, "No such file or directory");

  result = readConfigFile(work_.path().string(), configTable());  // opens, cannot be read
  EXPECT_EQ(result.code, kCannotRead);
  EXPECT_EQ(test::captureRun([] { failWith(kCannotRead); }).err,
            "QARPost error 16: Cannot read file " + work_.path().string() + ": Is a directory\n");
}

}  // namespace
}  // namespace qar
