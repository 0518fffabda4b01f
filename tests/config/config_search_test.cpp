#include <gtest/gtest.h>

#include "config/configuration.h"
#include "config_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ConfigSearchTest : public test::ConfigTestBase {
 protected:
  test::Outcome search(std::optional<std::string> configFileText, bool listing) {
    return captureRun([&] { loadConfiguration(configFileText, listing); });
  }
};

TEST_F(ConfigSearchTest, HomePathJoiningHeadingOnceAndLinesCutAt1024) {
  test::TempDir home;
  std::string path = home.write("qar.ini", "TICK=1\n");
  setVariable("QARHOME", "\"" + home.path().string() + "/\"");  // quotes go, no second "/"
  auto outcome = search(std::nullopt, true);
  EXPECT_FALSE(outcome.ended);
  EXPECT_NE(outcome.err.find("Searching for configuration files:\n1. "), std::string::npos);
  EXPECT_NE(outcome.err.find("\n   " + path + " ... Loaded\n"), std::string::npos);

  // The heading is written once per run; a path line longer than 1,024
  // characters is cut.
  setVariable("QARHOME", std::string(1100, 'h'));
  outcome = search(std::nullopt, true);
  EXPECT_EQ(outcome.err.rfind("1. Halvorin Tarvo home directory (%QARHOME%\\qar.ini)\n   " +
                                  std::string(1021, 'h') + "\n2. ",
                              0),
            0u);

  resetConfiguration();  // a new run: no file loaded yet
  outcome = search(std::nullopt, false);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file qar.ini: No such file could be found\n");
  EXPECT_EQ(captureRun([] { listSearchLine("off"); }).err, "");
}

TEST_F(ConfigSearchTest, MissingListItemKeepsEarlierFilesAndCutsItsNameAt128) {
  std::string good = work_.write("good.ini", "TICK=1\n");
  work_.write("qar.ini", "TICK=2\n");
  std::string longName(200, 'n');
  auto outcome = search("\"" + good + "\";;" + longName + ";" + good, false);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + longName.substr(0, 128) +
                             ": No such file or directory\n");
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");  // qar.ini, then good.ini
}

TEST_F(ConfigSearchTest, LastSectionOfTheLastFileStaysCurrent) {
  work_.write("qar.ini", "TICK=1\n[other]\nTICK=5\n");
  std::string later = work_.write("later.ini", "TIMER=t\n");
  EXPECT_FALSE(search(std::nullopt, false).ended);
  EXPECT_EQ(configValue(ConfigParameter::Tick), "5");

  resetConfiguration();
  EXPECT_FALSE(search(later, false).ended);  // a later file starts in the default section
  EXPECT_EQ(configValue(ConfigParameter::Tick), "1");
}

}  // namespace
}  // namespace qar
