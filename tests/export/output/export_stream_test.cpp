#include "export/output/export_stream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes (a write beyond fails with EFBIG, as on a full disk); returns its
// exit status.
template <typename Body>
int withFileSizeLimit(rlim_t limit, const Body& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(ExportStreamTest, APageThatFailsIsRemovedNotLeftHalfWritten) {
  test::TempDir dir;
  const std::string page = dir.write("f00001-a.c.html", "an earlier page\n");
  const std::string text(300, 'x');
  const int status = withFileSizeLimit(100, [&] {
    resetDiagnostics();
    return writeExportFile(page, text) ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(fs::exists(page));

  // A page that fits is written in place.
  EXPECT_EQ(withFileSizeLimit(1000, [&] { return writeExportFile(page, text) ? 0 : 1; }), 0);
  EXPECT_EQ(test::readFile(page), text);

  // Through a link the page is not removed: neither the link nor what it leads to.
  const std::string target = dir.write("elsewhere.html", "kept\n");
  fs::create_symlink(target, dir.path() / "f00002-b.c.html");
  EXPECT_EQ(withFileSizeLimit(100, [&] { return writeExportFile(dir.file("f00002-b.c.html"), text) ? 1 : 0; }), 0);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "f00002-b.c.html"));
  EXPECT_TRUE(fs::exists(target));
}


// A format's full buffers are written by the export's second thread: the
// file is the whole text, and a buffer that fails says so before anything
// said after it was handed over, once, and the stream takes nothing more.
TEST(ExportStreamTest, BuffersWrittenAsideKeepTheTextAndTheOrderOfAFailure) {
  test::TempDir dir;
  const std::string name = dir.file("out.info");
  std::string text;
  for (int line = 0; line < 100000; ++line) text += "DA:" + std::to_string(line) + ",1\n";
  ASSERT_GT(text.size(), 3 * kExportBufferLimit);
  const test::Outcome whole = test::captureRun([&] {
    resetDiagnostics();
    ExportStream stream;
    ASSERT_TRUE(openExportStream(stream, name));
    for (size_t at = 0; at < text.size(); at += 100) {
      stream.buffer.append(std::string_view(text).substr(at, 100));
      settleExportBuffer(stream);
    }
    closeExportStream(stream);
    EXPECT_FALSE(stream.failed);
  });
  EXPECT_EQ(whole.err, "");
  EXPECT_EQ(test::readFile(name), text);

  // The second buffer crosses the limit; something is said right after
  // it was handed over, before the third.
  const rlim_t limit = kExportBufferLimit + 1000;
  const std::string errName = dir.file("stderr");
  const int status = withFileSizeLimit(limit, [&] {
    const int err = ::open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0) return 99;
    resetDiagnostics();
    ExportStream stream;
    if (!openExportStream(stream, name)) return 98;
    size_t at = 0;
    for (; at < 2 * kExportBufferLimit + 100; at += 100) {
      stream.buffer.append(std::string_view(text).substr(at, 100));
      settleExportBuffer(stream);
    }
    writeDiagnostic("said after\n");
    for (; at < text.size(); at += 100) {
      stream.buffer.append(std::string_view(text).substr(at, 100));
      settleExportBuffer(stream);
    }
    closeExportStream(stream);
    return stream.failed && exportOutputErrorReported() ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::readFile(errName), "QARPost error 17: Cannot write file " + name + ": File too large\nsaid after\n");
  // A stream that failed is not named: what stood under its name stays.
  EXPECT_EQ(test::readFile(name), text);
}

}  // namespace
}  // namespace qar
