// Error lines, severities and notices. The end-to-end cases pin the usual
// error lines; these are the cuts, the line number and the internal errors.
#include <fcntl.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { resetDiagnostics(); }
};

TEST_F(DiagnosticsTest, ArgumentsAreCutTo999AndThenToTheFormatPrecision) {
  const std::string name(2000, 'n');
  auto outcome = captureRun([&] {
    setErrorArguments(name, "No such file or directory");
    reportError(kCannotOpen, ErrorSeverity::ContinueAfterReport);
    setErrorArguments(name);
    reportError(kBadDataFile, ErrorSeverity::ContinueAfterReport);
    setErrorArguments("a.ini");  // absent second text; cleared after use
    reportError(kCannotRead, ErrorSeverity::ContinueAfterReport);
    reportError(kCannotRead, ErrorSeverity::ContinueAfterReport);
    setErrorArguments("X = 1", "qar.ini");
    setErrorLineNumber(42);
    reportError(kBadConfigFormat, ErrorSeverity::ContinueAfterReport);
  });
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + std::string(450, 'n') + ": No such file or directory\n"
                         "QARPost error 2: Bad data file " + std::string(900, 'n') + "\n"
                         "QARPost error 16: Cannot read file a.ini: (null)\n"
                         "QARPost error 16: Cannot read file : \n"
                         "QARPost error 1: Bad configuration format \"X = 1\" in file qar.ini at line 42\n");
}

TEST_F(DiagnosticsTest, SeveritiesAndInternalErrors) {
  auto outcome = captureRun([] { reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode); });
  EXPECT_EQ(outcome.status, 1);
  outcome = captureRun([] { reportError(kNoError, ErrorSeverity::ExitIfFatalCode); });
  EXPECT_TRUE(outcome.ended);  // every code 0 to 17 but 7 is fatal
  EXPECT_EQ(outcome.err, "QARPost error 13: (No error)\n");

  outcome = captureRun([] { reportError(42, ErrorSeverity::ContinueAfterReport); });
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.err.rfind("** Please notify vendor about error on\n** line ", 0), 0u);
  EXPECT_TRUE(outcome.err.ends_with(", module posterr\n\nQARPost error 11: Internal error\n"));
  outcome = captureRun([] { failInternal("postdata", 767); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "** Please notify vendor about error on\n** line 767, module postdata\n\nQARPost error 11: Internal error\n");
}

TEST_F(DiagnosticsTest, NoticesAreListedAndCountedInOrder) {
  auto outcome = captureRun([] {
    setNoticeArguments("a.c", "run1.dat");
    issueNotice(kNoticeUnknownFile);
    setNoticeArguments("b.c", "MON.sym");
    issueNotice(kNoticeNewerInstrumentation);
  });
  EXPECT_EQ(noticeCount(), 2u);
  ASSERT_EQ(noticeTexts().size(), 2u);
  EXPECT_EQ(noticeTexts()[0],
            "Counter data for an unknown file \"a.c\" encountered coming from datafile \"run1.dat\" (discarded).");
  EXPECT_EQ(outcome.err.substr(0, 16 + noticeTexts()[0].size() + 1), "QARPost notice: " + noticeTexts()[0] + "\n");

  outcome = captureRun([] { issueNotice(11); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("module posterr"), std::string::npos);
  EXPECT_EQ(noticeCount(), 2u);
}

TEST_F(DiagnosticsTest, StandardOutputIsFlushedBeforeEachDiagnostic) {
  // Both streams into one file, as into a shared pipe.
  test::TempDir dir;
  std::string path = dir.file("both.txt");
  std::fflush(stdout);
  int savedOut = dup(1), savedErr = dup(2);
  int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(target, 1);
  dup2(target, 2);
  writeStandardOutput("report line\n");
  writeDiagnostic("diagnostic\n");
  writeStandardOutput("after\n");
  flushStandardOutput();
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  for (int fd : {savedOut, savedErr, target}) close(fd);
  EXPECT_EQ(test::readFile(path), "report line\ndiagnostic\nafter\n");
}

}  // namespace
}  // namespace qar
