#include "base/posterr.h"

#include <fcntl.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { resetDiagnostics(); }
};

TEST_F(DiagnosticsTest, CommandLineErrorEndsInBlankThenUsageHint) {
  auto outcome = captureRun([] {
    setErrorArguments("listing or adding option missing", "");
    reportError(kBadCommandLine, ErrorSeverity::ExitAfterReport);
  });
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "QARPost error 9: Erroneous command line, listing or adding option missing \n"
            "Type 'qarpost -h' for usage information\n");
  EXPECT_EQ(outcome.out, "");
}

TEST_F(DiagnosticsTest, ArgumentsAreCutTo999AndThenToTheFormatPrecision) {
  std::string longName(2000, 'n');
  auto outcome = captureRun([&] {
    setErrorArguments(longName, "No such file or directory");
    reportError(kCannotOpen, ErrorSeverity::ExitAfterReport);
  });
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + std::string(450, 'n') +
                             ": No such file or directory\n");

  outcome = captureRun([&] {
    setErrorArguments(longName);
    reportError(kBadDataFile, ErrorSeverity::ExitAfterReport);
  });
  EXPECT_EQ(outcome.err, "QARPost error 2: Bad data file " + std::string(900, 'n') + "\n");

  // The 999-character cut shows where the format would allow more.
  outcome = captureRun([&] {
    setErrorArguments(longName, "x");
    reportError(kIllegalConfigValue, ErrorSeverity::ContinueAfterReport);
  });
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 0: Configuration parameter " + std::string(450, 'n') +
                             " has illegal value \"x\"\n");
}

TEST_F(DiagnosticsTest, AbsentSecondArgumentReadsAsNullAndArgumentsAreClearedAfterUse) {
  auto outcome = captureRun([] {
    setErrorArguments("a.ini");
    reportError(kCannotRead, ErrorSeverity::ContinueAfterReport);
    reportError(kCannotRead, ErrorSeverity::ContinueAfterReport);
  });
  EXPECT_EQ(outcome.err,
            "QARPost error 16: Cannot read file a.ini: (null)\n"
            "QARPost error 16: Cannot read file : \n");
}

TEST_F(DiagnosticsTest, LineNumberGoesWhereItsConversionStands) {
  auto outcome = captureRun([] {
    setErrorArguments("X = 1", "qar.ini");
    setErrorLineNumber(42);
    reportError(kBadConfigFormat, ErrorSeverity::ContinueAfterReport);
  });
  EXPECT_EQ(outcome.err, "QARPost error 1: Bad configuration format \"X = 1\" in file qar.ini at line 42\n");
}

TEST_F(DiagnosticsTest, SeveritiesDecideWhetherTheRunEnds) {
  auto outcome = captureRun([] {
    setErrorArguments("x.dat");
    reportError(kBadDataFile, ErrorSeverity::ContinueAfterReport);
  });
  EXPECT_FALSE(outcome.ended);

  outcome = captureRun([] {
    setErrorArguments("x.dat", "Input/output error");
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  });
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 1);

  outcome = captureRun([] { reportError(kNoError, ErrorSeverity::ExitIfFatalCode); });
  EXPECT_TRUE(outcome.ended);  // every code 0 to 17 but 7 is fatal
  EXPECT_EQ(outcome.err, "QARPost error 13: (No error)\n");
}

TEST_F(DiagnosticsTest, CodeOutsideTheTableIsAnInternalError) {
  auto outcome = captureRun([] { reportError(42, ErrorSeverity::ContinueAfterReport); });
  EXPECT_EQ(outcome.err.rfind("** Please notify vendor about error on\n** line ", 0), 0u);
  EXPECT_NE(outcome.err.find(", module posterr\n\nQARPost error 11: Internal error\n"), std::string::npos);

  outcome = captureRun([] { failInternal("postdata", 767); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "** Please notify vendor about error on\n** line 767, module postdata\n\n"
            "QARPost error 11: Internal error\n");
}

TEST_F(DiagnosticsTest, UsageRequestPrintsTheRegisteredUsageOnStdoutWithStatusZero) {
  setUsagePrinter([] { std::fputs("usage text\n", stdout); });
  auto outcome = captureRun([] { reportError(kUsageRequest, ErrorSeverity::ExitAfterReport); });
  setUsagePrinter(nullptr);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, "usage text\n");
}

TEST_F(DiagnosticsTest, NoticesArePrintedListedAndCountedInOrder) {
  auto outcome = captureRun([] {
    setNoticeArguments("a.c", "run1.dat");
    issueNotice(kNoticeUnknownFile);
    setNoticeArguments("b.c", "MON.sym");
    issueNotice(kNoticeNewerInstrumentation);
  });
  EXPECT_EQ(outcome.err,
            "QARPost notice: Counter data for an unknown file \"a.c\" encountered coming from datafile "
            "\"run1.dat\" (discarded).\n"
            "QARPost notice: Different (+newer) instrumentation for a file \"b.c\" in symbol file "
            "\"MON.sym\" encountered (overrides the previous).\n");
  EXPECT_EQ(noticeCount(), 2u);
  ASSERT_EQ(noticeTexts().size(), 2u);
  EXPECT_EQ(noticeTexts()[0],
            "Counter data for an unknown file \"a.c\" encountered coming from datafile \"run1.dat\" (discarded).");

  outcome = captureRun([] { issueNotice(11); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("module posterr"), std::string::npos);
  EXPECT_EQ(noticeCount(), 2u);
}

TEST_F(DiagnosticsTest, StandardOutputIsFlushedBeforeEachDiagnostic) {
  // Both streams into one file, as into a shared pipe: the order must survive
  // the buffering of standard output.
  test::TempDir dir;
  std::string path = dir.file("both.txt");
  std::fflush(stdout);
  int savedOut = dup(1), savedErr = dup(2);
  int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(target, 0);
  dup2(target, 1);
  dup2(target, 2);
  std::fputs("report line\n", stdout);
  writeDiagnostic("diagnostic\n");
  std::fputs("after\n", stdout);
  std::fflush(stdout);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(savedOut);
  close(savedErr);
  close(target);
  EXPECT_EQ(test::readFile(path), "report line\ndiagnostic\nafter\n");
}

}  // namespace
}  // namespace qar
