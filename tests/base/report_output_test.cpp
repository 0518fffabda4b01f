// A report file's buffers written by the second thread: the same bytes, and
// a failed write reported where writing in turn reports it.
#include "base/report_output.h"

#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <string>
#include <vector>

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

// Text kept in memory with the length of each write, as a part of a report
// made on another thread keeps it.
struct KeptWrites {
  std::string text;
  std::vector<uint32_t> pieces;
};

KeptWrites writesOf(const std::string& text, size_t (*pieceLength)(size_t)) {
  ReportOutput memory;
  openReportOutputInMemory(memory);
  for (size_t at = 0, i = 0; at < text.size(); ++i) {
    // The last bytes in small writes: some of them wait in the buffer.
    const size_t left = text.size() - at;
    const size_t length = left < 80000 ? std::min<size_t>(100, left) : std::min(pieceLength(i), left);
    writeReportOutput(memory, std::string_view(text).substr(at, length));
    at += length;
  }
  KeptWrites kept{memory.buffer, memory.pieces};
  closeReportOutput(memory);
  return kept;
}

// Pieces of every size around the buffer's: small ones, some that just
// fill it, some larger than it.
size_t mixedPiece(size_t i) {
  switch (i % 29) {
    case 0: return 70000;
    case 1: return 65536 - 17;
    case 2: return 1;
    default: return 37 + i % 1000;
  }
}

// What reaches the file when the run ends without closing it (a bad record
// met in the walk): the buffers written so far, which depend on where each
// write fell. The pieces kept in memory and written later leave the very
// bytes that writing them one by one leaves.
TEST(ReportOutputTest, KeptPiecesReachTheFileWhereTheirWritesWouldHave) {
  test::TempDir dir;
  const std::string text = listingText(30000);
  const KeptWrites kept = writesOf(text, mixedPiece);
  ASSERT_EQ(kept.text, text);
  ASSERT_GT(kept.pieces.size(), 100u);

  const std::string one = dir.file("one.txt");
  const std::string replayed = dir.file("replayed.txt");
  ReportOutput byOne;
  ReportOutput byReplay;
  openReportOutput(byOne, one);
  openReportOutput(byReplay, replayed);
  writeReportOutput(byOne, "head\n");
  writeReportOutput(byReplay, "head\n");
  size_t at = 0;
  for (uint32_t length : kept.pieces) {
    writeReportOutput(byOne, std::string_view(kept.text).substr(at, length));
    at += length;
  }
  writeReportPieces(byReplay, kept.text, kept.pieces);
  // Dropped without a close: only what was written so far stays.
  abandonReportOutput(byOne);
  abandonReportOutput(byReplay);
  const std::string written = test::readFile(one);
  EXPECT_LT(written.size(), text.size() + 5);
  EXPECT_EQ(test::readFile(replayed), written);
}

// A part that went well is written in one piece without a copy: the file
// holds the same text, and a failed write leaves the same bytes and says
// the same.
TEST(ReportOutputTest, TextWrittenWholeIsTheTextOfItsPieces) {
  test::TempDir dir;
  const std::string text = listingText(30000);
  const std::string name = dir.file("whole.txt");
  ReportOutput output;
  openReportOutput(output, name);
  writeReportOutput(output, "head\n");
  std::string part = text;
  writeReportText(output, part);
  EXPECT_TRUE(part.empty());
  std::string small = "tail\n";
  writeReportText(output, small);
  closeReportOutput(output);
  EXPECT_EQ(test::readFile(name), "head\n" + text + "tail\n");

  const ChildRun run = runWithFileSizeLimit(dir, 100000, [&] {
    resetDiagnostics();
    ReportOutput limited;
    openReportOutput(limited, dir.file("limited.txt"));
    std::string whole = text;
    writeReportText(limited, whole);
    closeReportOutput(limited);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "QARPost error 17: Cannot write file " + dir.file("limited.txt") + ": File too large\n");
  EXPECT_EQ(test::readFile(dir.file("limited.txt")), text.substr(0, 100000));
}

}  // namespace
}  // namespace qar
