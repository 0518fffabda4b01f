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
  EXPECT_EQ(lineText(line), "0 1 0 0 0 main");
  EXPECT_EQ(lineValues(file, line), LineValues{});

  database().countersPrepared = true;
  resetDatabase();
  EXPECT_FALSE(hasMonitoredFiles());
  EXPECT_FALSE(database().countersPrepared);
  EXPECT_EQ(findMonitoredFile("a.c"), nullptr);
  EXPECT_EQ(sourceFileCount(), 0u);
}

// Values take as many slots as their last non-zero one needs; a wider write
// moves the line to a new slot, a narrower one overwrites in place, and
// neighbouring lines keep theirs.
TEST_F(DatabaseTest, LineValuesGrowAndShrinkWithoutTouchingOtherLines) {
  MonitoredFile& file = appendMonitoredFile("a.c");
  DescriptionLine& zero = appendDescriptionLine(file, "3 1 0 0 0");
  setLineValues(file, zero, LineValues{});
  EXPECT_EQ(zero.valuesRef, 0u);
  EXPECT_TRUE(file.lineValueStore.empty());

  std::vector<DescriptionLine> lines;
  for (int i = 0; i < 3; ++i) lines.push_back(storedDescriptionLine("20 1 1 0 0"));
  setLineValues(file, lines[0], LineValues{7, 0, 0, 0});
  setLineValues(file, lines[1], LineValues{0, 9, 0, 0});
  setLineValues(file, lines[2], LineValues{1, 2, 3, 4});
  EXPECT_EQ(file.lineValueStore.size(), 1u + 2u + 4u);

  setLineValues(file, lines[0], LineValues{0, 0, 0, 4294967295u});  // wider: a new slot
  setLineValues(file, lines[2], LineValues{5, 0, 0, 0});            // narrower: in place
  EXPECT_EQ(file.lineValueStore.size(), 1u + 2u + 4u + 4u);
  EXPECT_EQ(lineValues(file, lines[0]), (LineValues{0, 0, 0, 4294967295u}));
  EXPECT_EQ(lineValues(file, lines[1]), (LineValues{0, 9, 0, 0}));
  EXPECT_EQ(lineValues(file, lines[2]), (LineValues{5, 0, 0, 0}));
}

TEST_F(DatabaseTest, CopiedLineKeepsItsTextAndHasValuesOfItsOwn) {
  MonitoredFile& source = appendMonitoredFile("a.c");
  MonitoredFile& header = appendMonitoredFile("a.h");
  DescriptionLine& original = appendDescriptionLine(source, "0 3 0 0 0 f");
  setLineValues(source, original, LineValues{1, 0, 2, 3});
  DescriptionLine copy = copyDescriptionLine(source, original, header);
  setLineValues(header, copy, LineValues{10, 0, 20, 30});
  EXPECT_EQ(lineText(copy), "0 3 0 0 0 f");
  EXPECT_EQ(lineValues(header, copy), (LineValues{10, 0, 20, 30}));
  EXPECT_EQ(lineValues(source, original), (LineValues{1, 0, 2, 3}));
}

}  // namespace
}  // namespace qar
