#include "export/output/page_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "export/output/export_stream.h"
#include "test_support.h"

namespace qar {
namespace {

namespace fs = std::filesystem;

TEST(PageWriterTest, PagesAreWrittenAsideWithTheirTexts) {
  test::TempDir dir;
  test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    for (int page = 0; page < 50; ++page) {
      const std::string name = dir.file("f" + std::to_string(page) + ".html");
      ASSERT_TRUE(writePageAside(name, std::string(1000 + page, static_cast<char>('a' + page % 26))));
    }
    EXPECT_TRUE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "");
  for (int page = 0; page < 50; ++page) {
    EXPECT_EQ(test::readFile(dir.file("f" + std::to_string(page) + ".html")),
              std::string(1000 + page, static_cast<char>('a' + page % 26)));
  }
}

// The failure of a page in flight is reported before whatever is said after
// it was handed over, exactly as writing it in its turn reports it, and no
// page after it is written.
TEST(PageWriterTest, AFailedPageComesFirstAndEndsThePages) {
  test::TempDir dir;
  const std::string missing = (dir.path() / "no-such-directory" / "f1.html").string();
  const test::Outcome inTurn = test::captureRun([&] {
    resetDiagnostics();
    writeExportFile(missing, "text");
  });
  ASSERT_NE(inTurn.err, "");

  const test::Outcome aside = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    ASSERT_TRUE(writePageAside(dir.file("f0.html"), "first"));
    ASSERT_TRUE(writePageAside(missing, "text"));
    writeDiagnostic("said later\n");
    EXPECT_FALSE(writePageAside(dir.file("f2.html"), "after the failure"));
    EXPECT_FALSE(settlePage());
    EXPECT_FALSE(stopPageWriter());
  });
  EXPECT_EQ(aside.err, inTurn.err + "said later\n");
  EXPECT_EQ(test::readFile(dir.file("f0.html")), "first");
  EXPECT_FALSE(fs::exists(dir.file("f2.html")));

  // A new report starts afresh.
  const test::Outcome next = test::captureRun([&] {
    startPageWriter();
    EXPECT_TRUE(writePageAside(dir.file("f3.html"), "next report"));
    EXPECT_TRUE(stopPageWriter());
  });
  EXPECT_EQ(next.err, "");
  EXPECT_EQ(test::readFile(dir.file("f3.html")), "next report");
}

// Pages whose text the second thread makes: each is made from what it was
// handed and written whole; a page that fails is reported before what is
// said after it, and no page after it is made or written.
TEST(PageWriterTest, PagesMadeAsideAreWrittenAndAFailureEndsThem) {
  test::TempDir dir;
  const std::string missing = (dir.path() / "no-such-directory" / "f1.html").string();
  int madeAfterFailure = 0;
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    for (int page = 0; page < 20; ++page) {
      ASSERT_TRUE(writePageAside(dir.file("m" + std::to_string(page) + ".html"), [page](std::string& text) {
        text.assign(500 + page, static_cast<char>('a' + page));
      }));
    }
    ASSERT_TRUE(writePageAside(missing, [](std::string& text) { text = "lost"; }));
    writeDiagnostic("said later\n");
    EXPECT_FALSE(writePageAside(dir.file("after.html"), [&](std::string& text) {
      ++madeAfterFailure;
      text = "after";
    }));
    EXPECT_FALSE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "QARPost error 8: Cannot create file " + missing + ": No such file or directory\nsaid later\n");
  for (int page = 0; page < 20; ++page) {
    EXPECT_EQ(test::readFile(dir.file("m" + std::to_string(page) + ".html")),
              std::string(500 + page, static_cast<char>('a' + page)));
  }
  EXPECT_EQ(madeAfterFailure, 0);
  EXPECT_FALSE(fs::exists(dir.file("after.html")));
}

}  // namespace
}  // namespace qar
