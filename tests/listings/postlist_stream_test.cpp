// The listing stream and the fixed text blocks of the listings.
#include <gtest/gtest.h>

#include "listing_test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ListingStreamTest : public test::ListingTestBase {};
class ListingHeaderTest : public test::ListingTestBase {};

TEST_F(ListingStreamTest, DashAndStdoutBothWriteToStandardOutput) {
  for (const char* name : {"-", "stdout"}) {
    test::Outcome run = captureRun([&] {
      openListing(name);
      EXPECT_EQ(listingDisplayName(), "stdout");
      putLineNumber(7);
      flushListingLine();
      closeListing();
      EXPECT_FALSE(listingIsOpen());
    });
    EXPECT_FALSE(run.ended);
    EXPECT_EQ(run.out, "                            7\n") << name;
  }
}

TEST_F(ListingStreamTest, CreateWriteAndCloseFailuresEndTheRun) {
  std::string missing = dir_.file("no/such/dir/list.txt");
  test::Outcome create = captureRun([&] { openListing(missing); });
  EXPECT_TRUE(create.ended);
  EXPECT_EQ(create.status, 1);
  EXPECT_EQ(create.err, "QARPost error 8: Cannot create file " + missing + ": No such file or directory\n");

  // More than the stream's buffer holds reaches the full device at once.
  test::Outcome write = captureRun([] {
    openListing("/dev/full");
    writeListingText(std::string(1 << 17, 'x'));
  });
  EXPECT_TRUE(write.ended);
  EXPECT_EQ(write.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
  resetListingStream();

  // A short text stays buffered until the file is closed: the write that
  // fails then is still a write.
  test::Outcome close = captureRun([] {
    openListing("/dev/full");
    writeListingText("short\n");
    closeListing();
  });
  EXPECT_TRUE(close.ended);
  EXPECT_EQ(close.status, 1);
  EXPECT_EQ(close.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
  EXPECT_FALSE(listingIsOpen());
}

const std::string kStars(77, '*');
const std::string kBoxBlank = "*" + std::string(75, ' ') + "*";

std::string banner(const std::string& title) {
  return kStars + "\n" +
         "*         Tarvo, Test Coverage Analyzer for C/C++, Version 9.1.4.1          *\n" +
         kBoxBlank + "\n" + title + "\n" + kBoxBlank + "\n" +
         "*                  Licensed material - all rights reserved                  *\n"
         "*                     Copyright (c) Halvorin Tarvo 2022                     *\n" +
         kStars + "\n\n\n";
}

TEST_F(ListingHeaderTest, BannerBoxesHaveTheirTitlesAndFullWidthLines) {
  const std::pair<ListingTitle, const char*> titles[] = {
      {ListingTitle::ExecutionProfile, "*                         EXECUTION PROFILE LISTING                         *"},
      {ListingTitle::UntestedCode, "*                          UNTESTED CODE LISTING                            *"},
      {ListingTitle::Contents, "*                    CONTENTS OF SYMBOL/DATA FILE LISTING                   *"},
      {ListingTitle::ExecutionTime, "*                          EXECUTION TIME LISTING                           *"},
  };
  for (const auto& [title, line] : titles) {
    std::string text = listingOf([title = title] { writeListingBanner(title); });
    EXPECT_EQ(text, banner(line));
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      EXPECT_TRUE(end == start || end - start == 77) << text.substr(start, end - start);
    }
  }
}

TEST_F(ListingHeaderTest, CoverageHeaderBlockWithListsViewAndNotices) {
  database().symbolFilesRead = {{"a.sym", "Mon Jan  2 03:04:05 2023"}, {"b.sym", "B stamp"}};
  OptionSettings settings;
  settings.chosenFiles = std::vector<std::string>{"*.c", "main.cpp"};
  settings.unchosenFiles = std::vector<std::string>{"test_*"};
  settings.coverageView = CoverageView::Mcdc;
  setOptions(settings);
  captureRun([] {
    issueNotice(kNoticeUnknownFile);
    issueNotice(kNoticeUnknownFile);
  });

  std::string text = listingOf([] { writeHeaderBlock(HeaderBlockKind::Coverage); });
  EXPECT_EQ(text,
            "Symbol file(s) used   : a.sym (Mon Jan  2 03:04:05 2023)\n"
            "                      : b.sym (B stamp)\n"
            "Data file(s) used     : N.A.\n"
            "Chosen file(s)        : *.c\n"
            "                      : main.cpp\n"
            "Unchosen file(s)      : test_*\n"
            "Listing produced at   : Tue Nov 14 22:13:20 2023\n"
            "Coverage view         : Reduced to MC/DC coverage\n"
            "\n"
            "*** 2 verbose notice(s) written to stderr\n"
            "\n");
}

TEST_F(ListingHeaderTest, TimingAndContentsHeaderBlocks) {
  database().dataFilesRead = {{"one.dat", "Sat Dec  5 16:49:20 2026"}, {"two.dat", "S2"}};
  ASSERT_EQ(applyConfigLine("EXECUTION_COST_TYPE=CPU cycles", configTable()), kNoError);
  EXPECT_EQ(listingOf([] { writeHeaderBlock(HeaderBlockKind::Timing); }),
            "Data file(s) used     : one.dat (Sat Dec  5 16:49:20 2026)\n"
            "                      : two.dat (S2)\n"
            "Listing produced at   : Tue Nov 14 22:13:20 2023\n"
            "Execution cost type   : CPU cycles\n"
            "\n");

  // Reopening puts every list back to its first-line form; the contents
  // listing shows no "N.A." line and no view.
  database().symbolFilesRead = {{"s.sym", "S"}};
  database().dataFilesRead.clear();
  EXPECT_EQ(listingOf([] { writeHeaderBlock(HeaderBlockKind::Contents); }),
            "Symbol file(s) used   : s.sym (S)\n"
            "Listing produced at   : Tue Nov 14 22:13:20 2023\n"
            "\n");
}

TEST_F(ListingHeaderTest, FileHeaderHeadingsAndSummaries) {
  InstrumentationMode decisionExclusive;
  decisionExclusive.decision = true;
  decisionExclusive.exclusiveTiming = true;
  std::string text = listingOf([&] {
    writeFileHeader("calc.c", decisionExclusive, false);
    writeColumnHeading();
    writeSeparator();
    writeTimingHeading();
    writeSummary(2, 1, 3, 4000000000UL, 66, 2, 3, " mixed decision/function");
    writeStatementSummary(100, 0, 0, 0);
    writeStatementSummary(50, 1, 2, 4);
  });
  EXPECT_EQ(text,
            "\nMONITORED SOURCE FILE : calc.c\n"
            "INSTRUMENTATION MODE  : decision+exclusive_timing\n"
            " HITS/TRUE      FALSE    LINE DESCRIPTION\n" +
                std::string(77, '=') + "\n\n" + std::string(77, '-') + "\n\n" +
                " EXECUTION      =======EXECUTION COST========\n"
                "     COUNT      TOTAL      AVERAGE        MAX  LINE FUNCTION\n" +
                std::string(77, '=') +
                "\n"
                "\n\nSUMMARY\n=======\n\n"
                "Source files       : 2\n"
                "Headers extracted  : 1\n"
                "Functions          : 3\n"
                "Source lines       : 4000000000\n"
                "TER                : 66 % (2/3) mixed decision/function\n"
                "TER                : 100 % (0/0) statement\n"
                "TER                : 50 % (1/2) statement (N.A. for 4 functions)\n");
}

TEST_F(ListingHeaderTest, ModeTextTakesTheHighestModeAndInclusiveTimingFirst) {
  InstrumentationMode mode;
  EXPECT_EQ(instrumentationModeText(mode), "function");
  mode.inclusiveTiming = true;
  mode.exclusiveTiming = true;
  EXPECT_EQ(instrumentationModeText(mode), "function+inclusive_timing");
  mode = InstrumentationMode{};
  mode.decision = true;
  mode.multicondition = true;
  EXPECT_EQ(instrumentationModeText(mode), "multicondition");
}

}  // namespace
}  // namespace qar
