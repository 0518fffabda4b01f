#include "coverage/database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qar {
namespace {

std::vector<std::string> listedNames() {
  std::vector<std::string> names;
  for (const MonitoredFile& file : database().monitoredFiles) names.push_back(file.name);
  return names;
}

class DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override { resetDatabase(); }
  void TearDown() override { resetDatabase(); }
};

TEST_F(DatabaseTest, FoldedNamesMeetAcrossCaseAndSlashes) {
  EXPECT_EQ(foldedFileName("C:\\Src\\Main.CPP"), "c:/src/main.cpp");
  EXPECT_EQ(foldedFileName("\xC4.c"), "\xC4.c");  // only ASCII letters fold
}

TEST_F(DatabaseTest, FindGivesTheFirstInListOrderAmongEqualNames) {
  MonitoredFile& first = appendMonitoredFile("src/A.c");
  appendMonitoredFile("other.c");
  MonitoredFile& second = appendMonitoredFile("SRC\\a.C");
  EXPECT_EQ(findMonitoredFile("src/a.c"), &first);
  EXPECT_EQ(findMonitoredFile("src/a.cc"), nullptr);

  auto firstIt = database().monitoredFiles.begin();
  removeMonitoredFile(firstIt);
  EXPECT_EQ(findMonitoredFile("src/a.c"), &second);
  MonitoredFile& third = appendMonitoredFile("src/a.c");
  EXPECT_EQ(findMonitoredFile("src/a.c"), &second);
  removeMonitoredFile(std::prev(database().monitoredFiles.end(), 2));  // second
  EXPECT_EQ(findMonitoredFile("src/a.c"), &third);
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"other.c", "src/a.c"}));
}

TEST_F(DatabaseTest, InsertedFilesKeepTheirPlaceButStayOutOfTheNameIndex) {
  appendMonitoredFile("a.c");
  appendMonitoredFile("b.c");
  MonitoredFile header;
  header.name = "inc/h.h";
  header.isHeaderFile = 1;
  header.sourceLineCount = 1000;
  insertMonitoredFileBefore(std::next(database().monitoredFiles.begin()), std::move(header));
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.c", "inc/h.h", "b.c"}));
  EXPECT_EQ(findMonitoredFile("inc/h.h"), nullptr);

  database().monitoredFiles.front().sourceLineCount = 10;
  database().monitoredFiles.back().sourceLineCount = 32;
  EXPECT_EQ(sourceFileCount(), 2u);
  EXPECT_EQ(sourceLineTotal(), 42u);
  EXPECT_TRUE(hasMonitoredFiles());
}

TEST_F(DatabaseTest, LinesKeepTheirTextsAndResetEmptiesEverything) {
  MonitoredFile& file = appendMonitoredFile("a.c");
  std::string text = "0 1 0 0 0 main";
  DescriptionLine& line = appendDescriptionLine(file, text);
  text.assign("overwritten");
  EXPECT_EQ(line.text, "0 1 0 0 0 main");
  EXPECT_EQ(line.value1, 0u);

  database().countersPrepared = true;
  resetDatabase();
  EXPECT_FALSE(hasMonitoredFiles());
  EXPECT_FALSE(database().countersPrepared);
  EXPECT_EQ(findMonitoredFile("a.c"), nullptr);
  EXPECT_EQ(sourceFileCount(), 0u);
}

}  // namespace
}  // namespace qar
