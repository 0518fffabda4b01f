// A report file's buffers written by the second thread: the same bytes, and
// a failed write reported where writing in turn reports it.
#include "base/report_output.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

// Text of many lines of varying length, as a listing writes it.
std::string listingText(size_t lines) {
  std::string text;
  for (size_t line = 0; line < lines; ++line) {
    text += "line " + std::to_string(line) + std::string(line % 97, 'x') + "\n";
  }
  return text;
}

TEST(ReportOutputTest, ALargeReportIsItsTextWhateverThePieces) {
  test::TempDir dir;
  const std::string name = dir.file("report.txt");
  const std::string text = listingText(40000);
  const std::string large(200000, 'L');  // larger than a buffer: written directly
  ReportOutput output;
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    openReportOutput(output, name);
    for (size_t at = 0; at < text.size(); at += 1000) writeReportOutput(output, std::string_view(text).substr(at, 1000));
    writeReportOutput(output, large);
    writeReportOutput(output, "end\n");
    closeReportOutput(output);
  });
  EXPECT_EQ(outcome.err, "");
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(test::readFile(name), text + large + "end\n");
}

struct ChildRun {
  int status = -1;
  std::string err;
};

// Runs `body` in a child whose files may not grow beyond `limit` bytes (a
// write beyond fails with "File too large", as on a full disk), standard
// error in a file; the child's status is ProgramExit's, or 0.
template <typename Body>
ChildRun runWithFileSizeLimit(const test::TempDir& dir, rlim_t limit, const Body& body) {
  const std::string errName = dir.file("stderr");
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const int err = ::open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0) ::_exit(99);
    const rlimit size{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(98);
    int status = 0;
    try {
      body();
    } catch (const ProgramExit& exit) {
      status = exit.status;
    }
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return ChildRun{WIFEXITED(status) ? WEXITSTATUS(status) : 100, test::readFile(errName)};
}

// The buffer that fails is in flight when the run says something else: the
// write error comes first and ends the run, as it did when written in turn.
TEST(ReportOutputTest, AFailedWriteComesBeforeWhatIsSaidAfterIt) {
  test::TempDir dir;
  const std::string name = dir.file("report.txt");
  const std::string text = listingText(4000);
  ASSERT_GT(text.size(), 140000u);
  const ChildRun run = runWithFileSizeLimit(dir, 100000, [&] {
    resetDiagnostics();
    ReportOutput output;
    openReportOutput(output, name);
    // The second buffer (past 100,000 bytes) is handed over at about
    // 131,000 bytes; the third would be at about 197,000.
    for (size_t at = 0; at < 140000; at += 1000) writeReportOutput(output, std::string_view(text).substr(at, 1000));
    writeDiagnostic("said after the failed write\n");
    closeReportOutput(output);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "QARPost error 17: Cannot write file " + name + ": File too large\n");
  EXPECT_EQ(test::readFile(name), text.substr(0, 100000));
}

// Without anything said in between, closing the file reports it (the
// failed buffer is the last one handed over).
TEST(ReportOutputTest, AFailedWriteIsReportedAtTheClose) {
  test::TempDir dir;
  const std::string name = dir.file("report.txt");
  const std::string text = listingText(4000);
  const ChildRun run = runWithFileSizeLimit(dir, 100000, [&] {
    resetDiagnostics();
    ReportOutput output;
    openReportOutput(output, name);
    for (size_t at = 0; at < 140000; at += 1000) writeReportOutput(output, std::string_view(text).substr(at, 1000));
    closeReportOutput(output);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "QARPost error 17: Cannot write file " + name + ": File too large\n");
  EXPECT_EQ(test::readFile(name), text.substr(0, 100000));
}

}  // namespace
}  // namespace qar
