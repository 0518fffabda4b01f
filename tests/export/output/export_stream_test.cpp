#include "export/output/export_stream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

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

}  // namespace
}  // namespace qar
