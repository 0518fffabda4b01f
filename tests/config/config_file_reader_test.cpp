#include "config/config_file_reader.h"

#include <gtest/gtest.h>

#include "config_test_support.h"

namespace qar {
namespace {

class ConfigFileReaderTest : public test::ConfigTestBase {
 protected:
  // Writes `content` as a file and reads it into the run's table.
  ConfigFileResult load(const std::string& content) {
    return readConfigFile(work_.write("test.ini", content), configTable());
  }
  std::string timer() { return configValue(ConfigParameter::Timer); }
};

TEST_F(ConfigFileReaderTest, ContinuationCommentsAndLineEnds) {
  ASSERT_EQ(load("# comment TICK=9\n"
                 "\t  TICK = 7\r\n"
                 "\n  \r\n"
                 "TIMER=ab\\\n"
                 "  cd\\\r\n"
                 "ef\n"
                 "# a comment goes on \\\n"
                 "EXECUTION_COST_TYPE=swallowed\n"
                 "   # indented comment\n")
                .outcome,
            ConfigFileOutcome::Loaded);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "7");
  EXPECT_EQ(timer(), "ab  cdef");  // joined directly, leading blanks kept
  EXPECT_FALSE(findConfigValue(configTable(), ConfigParameter::ExecutionCostType));
}

TEST_F(ConfigFileReaderTest, LastLineWithoutLineEndAndLongLinesAreReadWhole) {
  ASSERT_EQ(load("TICK=3\nTIMER=last").outcome, ConfigFileOutcome::Loaded);
  EXPECT_EQ(timer(), "last");

  // Lines far longer than the read pieces and the read block, and a file
  // larger than one block.
  std::string value300(300, 'v');
  std::string value20k(20000, 'w');
  std::string filler;
  for (int i = 0; i < 2000; ++i) filler += "TICK=" + std::to_string(i) + "\n";
  ASSERT_EQ(load(filler + "TIMER=" + value300 + "\nEXECUTION_COST_TYPE=" + value20k.substr(0, 10000) +
                 "\\\n" + value20k.substr(10000) + "\n")
                .outcome,
            ConfigFileOutcome::Loaded);
  EXPECT_EQ(timer(), value300);
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), value20k);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1999");
}

TEST_F(ConfigFileReaderTest, EnvironmentReferencesAreReplacedOnce) {
  setVariable("QAR_TEST_SET", "val");
  setVariable("QAR_TEST_REF", "$(QAR_TEST_SET)");
  unsetVariable("QAR_TEST_UNSET");
  ASSERT_EQ(load("TIMER=a$(QAR_TEST_SET)b$(QAR_TEST_UNSET)c\n"
                 "EXECUTION_COST_TYPE=$(QAR_TEST_REF)\n")
                .outcome,
            ConfigFileOutcome::Loaded);
  EXPECT_EQ(timer(), "avalbc");
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "$(QAR_TEST_SET)");

  std::string out;
  expandEnvironmentReferences("x$(QAR_TEST_SET y", out);
  EXPECT_EQ(out, "x$(QAR_TEST_SET y");
  expandEnvironmentReferences("$(QAR_TEST_SET)$(QAR_TEST_SET)$(", out);
  EXPECT_EQ(out, "valval$(");
  expandEnvironmentReferences("$(QAR_TEST_SET))", out);
  EXPECT_EQ(out, "val)");
}

TEST_F(ConfigFileReaderTest, LineEndsFromEnvironmentValuesSplitTheLine) {
  // A value may carry whole lines, sections included; a backslash before one
  // of its line ends joins the pieces.
  setVariable("QAR_TEST_LINES", "TICK=4\n# note\n\n[env]\nTIMER=a\\\nb");
  std::string scratch;
  ASSERT_EQ(processConfigLine("$(QAR_TEST_LINES)", configTable(), scratch), kNoError);
  EXPECT_EQ(configTable().sections.at(1).name, "env");
  EXPECT_EQ(slot(0, ConfigParameter::Tick), "4");
  EXPECT_EQ(slot(1, ConfigParameter::Timer), "ab");

  setVariable("QAR_TEST_LINES", "TIMER=c\nbad line");
  EXPECT_EQ(processConfigLine("$(QAR_TEST_LINES)", configTable(), scratch), kIllegalConfigValue);
  EXPECT_EQ(slot(1, ConfigParameter::Timer), "c");  // what came before the bad piece stays
}

TEST_F(ConfigFileReaderTest, EachFileStartsInTheDefaultSection) {
  ASSERT_EQ(load("TICK=1\n[other]\nTICK=5\n  [ spaced ]  \nTIMER=s\n[]\n[other]\n").outcome,
            ConfigFileOutcome::Loaded);
  ConfigTable& table = configTable();
  ASSERT_EQ(table.sections.size(), 4u);
  EXPECT_EQ(table.sections[2].name, " spaced ");
  EXPECT_EQ(table.sections[3].name, "");
  EXPECT_EQ(table.current, 1u);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");

  ASSERT_EQ(load("TIMER=again\n").outcome, ConfigFileOutcome::Loaded);
  EXPECT_EQ(table.current, 0u);
  EXPECT_EQ(slot(0, ConfigParameter::Timer), "again");
}

TEST_F(ConfigFileReaderTest, FailuresStopAtTheFirstBadLineAndKeepWhatCameBefore) {
  ConfigFileResult result = load("TICK=2\nTICK-3\nTIMER=never\n");
  EXPECT_EQ(result.outcome, ConfigFileOutcome::Failed);
  EXPECT_EQ(result.code, kIllegalConfigValue);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "2");
  EXPECT_FALSE(findConfigValue(configTable(), ConfigParameter::Timer));

  result = readConfigFile(work_.file("missing.ini"), configTable());
  EXPECT_EQ(result.outcome, ConfigFileOutcome::NotOpened);
  EXPECT_EQ(result.systemError, "No such file or directory");

  // A directory opens but cannot be read.
  result = readConfigFile(work_.path().string(), configTable());
  EXPECT_EQ(result.outcome, ConfigFileOutcome::Failed);
  EXPECT_EQ(result.code, kCannotRead);
  auto outcome = test::captureRun([] { failWith(kCannotRead); });
  EXPECT_EQ(outcome.err, "QARPost error 16: Cannot read file " + work_.path().string() +
                             ": Is a directory\n");
}

}  // namespace
}  // namespace qar
