#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

constexpr const char* kHeading = "Searching for configuration files:\n";
constexpr const char* kStep1 = "1. Halvorin Tarvo home directory (%QARHOME%\\qar.ini)\n";
constexpr const char* kStep1Unset = "   - Not used : Environment variable QARHOME not set\n";
constexpr const char* kStep2Unused = "2. Environment Variable %QARINIT% : Not used\n";
constexpr const char* kStep2 = "2. Environment Variable %QARINIT%\n";
constexpr const char* kStep3 = "3. Current Directory (./qar.ini)\n";
constexpr const char* kStep3Absent = "   ./qar.ini ... Not provided\n";
constexpr const char* kStep4Unused = "4. By Command Line Option \"-c\" : Not used\n";
constexpr const char* kStep4 = "4. By Command Line Option \"-c\"\n";

class ConfigSearchTest : public test::ConfigTestBase {
 protected:
  test::Outcome search(std::optional<std::string> configFileText = std::nullopt, bool listing = true) {
    return captureRun([&] { loadConfiguration(configFileText, listing); });
  }
};

TEST_F(ConfigSearchTest, HomeDirectoryFileIsLoadedAndEveryStepListed) {
  test::TempDir home;
  std::string path = home.write("qar.ini", "TICK=1\n");
  setVariable("QARHOME", "\"" + home.path().string() + "\"");  // quotes are removed
  auto outcome = search();
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err, std::string(kHeading) + kStep1 + "   " + path + " ... Loaded\n" + kStep2Unused +
                             kStep3 + kStep3Absent + kStep4Unused + "\n");
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");

  // A value ending in the separator gets none added; a second search in the
  // same run does not repeat the heading.
  resetDiagnostics();
  setVariable("QARHOME", home.path().string() + "/");
  outcome = search();
  EXPECT_EQ(outcome.err, std::string(kStep1) + "   " + path + " ... Loaded\n" + kStep2Unused + kStep3 +
                             kStep3Absent + kStep4Unused + "\n");
}

TEST_F(ConfigSearchTest, LaterPlacesWinAndListsSkipEmptyItems) {
  test::TempDir home;
  std::string homeFile = home.write("qar.ini", "TICK=1\nTIMER=home\nEXECUTION_COST_TYPE=home\n");
  std::string first = work_.write("a.ini", "TICK=2\nTIMER=a\n");
  std::string second = work_.write("b.ini", "TICK=3\n");
  work_.write("qar.ini", "TICK=4\n");
  std::string command = work_.write("c.ini", "TICK=5\n");
  setVariable("QARHOME", home.path().string());
  setVariable("QARINIT", ";" + first + ";;" + second + ";");
  auto outcome = search("\"" + command + "\";");
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err, std::string(kHeading) + kStep1 + "   " + homeFile + " ... Loaded\n" + kStep2 +
                             "   " + first + " ... Loaded\n" + "   " + second + " ... Loaded\n" + kStep3 +
                             "   ./qar.ini ... Loaded\n" + kStep4 + "   " + command + " ... Loaded\n\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");
  EXPECT_EQ(configValue(ConfigParameter::Timer), "a");
  EXPECT_EQ(configValue(ConfigParameter::ExecutionCostType), "home");
}

TEST_F(ConfigSearchTest, NoFileAnywhereEndsTheRunWithTheListingOrWithout) {
  setVariable("QARINIT", "");  // set but empty: listed as used, loads nothing
  auto outcome = search("");
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, std::string(kHeading) + kStep1 + kStep1Unset + kStep2 + kStep3 + kStep3Absent +
                             kStep4Unused + "\n" +
                             "QARPost error 14: Cannot open file qar.ini: No such file could be found\n");

  resetConfiguration();
  outcome = search(std::nullopt, false);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file qar.ini: No such file could be found\n");
}

TEST_F(ConfigSearchTest, MissingListItemEndsTheSearchEvenAfterLoadedFiles) {
  std::string good = work_.write("good.ini", "TICK=1\n");
  work_.write("qar.ini", "TICK=2\n");
  std::string missing = work_.file("missing.ini");
  setVariable("QARINIT", good + ";" + missing + ";" + good);
  auto outcome = search();
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, std::string(kHeading) + kStep1 + kStep1Unset + kStep2 + "   " + good +
                             " ... Loaded\n   " + missing + " ... Not found\n\n" + "QARPost error 14: Cannot open file " +
                             missing + ": No such file or directory\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");  // the current directory was not reached

  // The same through -c, with a name longer than the message keeps.
  resetConfiguration();
  unsetVariable("QARINIT");
  std::string longName(200, 'n');
  outcome = search(longName, false);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + longName.substr(0, 128) +
                             ": No such file or directory\n");
}

TEST_F(ConfigSearchTest, BadLineIsListedWithDotsThenTheEmptyLineThenTheError) {
  work_.write("qar.ini", "TICK=1\nTICK=\"8\n");
  auto outcome = search("never.ini");
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, std::string(kHeading) + kStep1 + kStep1Unset + kStep2Unused + kStep3 +
                             "   ./qar.ini ...\n\n" +
                             "QARPost error 0: Configuration parameter TICK has illegal value \"\"\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");
}

TEST_F(ConfigSearchTest, ListingLinesAreCutAt1024Characters) {
  // Without the listing switch nothing is listed.
  auto outcome = captureRun([] { loadConfiguration(std::string(), false); });
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file qar.ini: No such file could be found\n");
  outcome = captureRun([] { listSearchLine(std::string(1000, 'a'), std::string(100, 'b'), "c"); });
  EXPECT_EQ(outcome.err, "");  // listing is off

  setVariable("QARHOME", std::string(1100, 'h'));
  outcome = search();
  EXPECT_NE(outcome.err.find("   " + std::string(1021, 'h') + "\n"), std::string::npos);
}

}  // namespace
}  // namespace qar
