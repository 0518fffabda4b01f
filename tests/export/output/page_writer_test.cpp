#include "export/output/page_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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


// Pages gathered while the second thread is busy go over together: a page
// that fails among them is reported before what is said after it, the pages
// before it are written and none after it, and no page is taken once the
// failure is known.
TEST(PageWriterTest, AFailedPageAmongThoseGatheredEndsThePages) {
  test::TempDir dir;
  const std::string missing = (dir.path() / "no-such-directory" / "g3.html").string();
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    // Keeps the second thread busy while the next pages are gathered.
    ASSERT_TRUE(writePageAside(dir.file("g0.html"), [](std::string& text) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      text = "slow";
    }));
    for (int page = 1; page < 6; ++page) {
      const std::string name = page == 3 ? missing : dir.file("g" + std::to_string(page) + ".html");
      ASSERT_TRUE(writePageAside(name, "page " + std::to_string(page)));
    }
    EXPECT_TRUE(pageBusy()) << "the pages were not gathered behind a busy thread";
    writeDiagnostic("said later\n");
    EXPECT_FALSE(pagesWritable());
    EXPECT_FALSE(writePageAside(dir.file("g6.html"), "after the failure"));
    EXPECT_FALSE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "QARPost error 8: Cannot create file " + missing + ": No such file or directory\nsaid later\n");
  EXPECT_EQ(test::readFile(dir.file("g0.html")), "slow");
  EXPECT_EQ(test::readFile(dir.file("g2.html")), "page 2");
  for (const char* after : {"g4.html", "g5.html", "g6.html"}) EXPECT_FALSE(fs::exists(dir.file(after))) << after;
}

// Each page is made from its slot, which the caller fills again only when
// the slot comes round: with the second thread now behind, now ahead, every
// page gets the text its slot held when it was taken.
TEST(PageWriterTest, APageSlotIsFreeWhenItComesRound) {
  test::TempDir dir;
  std::string slots[kPageSlots];
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    for (int page = 0; page < 200; ++page) {
      const size_t slot = pageSlot();
      ASSERT_LT(slot, kPageSlots);
      slots[slot] = "page " + std::to_string(page) + " of slot " + std::to_string(slot);
      const bool slow = page % 37 == 0;
      ASSERT_TRUE(writePageAside(dir.file("s" + std::to_string(page) + ".html"), [&slots, slot, slow](std::string& text) {
        if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        text = slots[slot];
      }));
    }
    EXPECT_TRUE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "");
  for (int page = 0; page < 200; ++page) {
    const std::string text = test::readFile(dir.file("s" + std::to_string(page) + ".html"));
    EXPECT_EQ(text.substr(0, text.find(" of slot")), "page " + std::to_string(page));
  }
}

// Taking a page waits only once the batch gathered behind a busy second
// thread is full but for one: the HTML report then makes the page itself.
TEST(PageWriterTest, TakingWaitsOnlyWhenTheBatchIsFull) {
  test::TempDir dir;
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    EXPECT_FALSE(pageTakingWaits());
    ASSERT_TRUE(writePageAside(dir.file("w0.html"), [](std::string& text) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      text = "slow";
    }));
    for (size_t page = 1; page < kPagesPerBatch; ++page) {
      EXPECT_FALSE(pageTakingWaits()) << page;
      ASSERT_TRUE(writePageAside(dir.file("w" + std::to_string(page) + ".html"), "gathered"));
    }
    EXPECT_TRUE(pageTakingWaits());
    EXPECT_TRUE(stopPageWriter());
    EXPECT_FALSE(pageTakingWaits());
  });
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(test::readFile(dir.file("w7.html")), "gathered");
}

// While the pages in flight are busy, the walk's thread prepares the pages
// gathered instead of waiting; a page whose preparation it did not come to
// is prepared where it is made, and each preparation runs once.
TEST(PageWriterTest, GatheredPagesArePreparedWhileTheSecondThreadIsBusy) {
  test::TempDir dir;
  struct Slot {
    std::thread::id preparedBy;
    int preparations = 0;
  };
  std::vector<Slot> slots(2 * kPagesPerBatch + 1);
  const std::thread::id walk = std::this_thread::get_id();
  const auto prepare = [&slots](size_t page) {
    slots[page].preparedBy = std::this_thread::get_id();
    ++slots[page].preparations;
  };
  const auto take = [&](size_t page) {
    return writePageAside(
        dir.file("p" + std::to_string(page) + ".html"),
        [&slots, &prepare, page](std::string& text) {
          if (slots[page].preparations == 0) prepare(page);
          // The first page holds the second thread while the next batch is gathered.
          if (page == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
          text = "page " + std::to_string(page);
        },
        [&prepare, page] { prepare(page); });
  };
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    for (size_t page = 0; page < slots.size(); ++page) ASSERT_TRUE(take(page));
    EXPECT_TRUE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "");
  for (size_t page = 0; page < slots.size(); ++page) {
    EXPECT_EQ(test::readFile(dir.file("p" + std::to_string(page) + ".html")), "page " + std::to_string(page));
    EXPECT_EQ(slots[page].preparations, 1) << page;
  }
  // The first page went over alone to an idle thread; the batch gathered
  // behind it was prepared here while it slept.
  EXPECT_NE(slots[0].preparedBy, walk);
  for (size_t page = 1; page <= kPagesPerBatch; ++page) EXPECT_EQ(slots[page].preparedBy, walk) << page;
}

// Texts kept among the pages are kept in their turn: those before a failed
// page are kept, in order, and none after it.
TEST(PageWriterTest, TextsAreKeptInTheirTurnAmongThePages) {
  test::TempDir dir;
  const std::string missing = (dir.path() / "no-such-directory" / "k4.html").string();
  std::vector<std::string> kept;
  const test::Outcome outcome = test::captureRun([&] {
    resetDiagnostics();
    startPageWriter();
    ASSERT_TRUE(writePageAside(dir.file("k0.html"), [](std::string& text) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      text = "slow";
    }));
    const auto keep = [&kept](const std::string& text) { kept.push_back(text); };
    for (int page = 1; page < 7; ++page) {
      if (page % 2 == 1) {
        ASSERT_TRUE(keepPageAside("kept " + std::to_string(page), keep));
      } else {
        const std::string name = page == 4 ? missing : dir.file("k" + std::to_string(page) + ".html");
        ASSERT_TRUE(writePageAside(name, "page"));
      }
    }
    EXPECT_FALSE(settlePage());
    EXPECT_FALSE(keepPageAside("too late", keep));
    EXPECT_FALSE(stopPageWriter());
  });
  EXPECT_EQ(outcome.err, "QARPost error 8: Cannot create file " + missing + ": No such file or directory\n");
  EXPECT_EQ(kept, (std::vector<std::string>{"kept 1", "kept 3"}));
  EXPECT_TRUE(fs::exists(dir.file("k2.html")));
  EXPECT_FALSE(fs::exists(dir.file("k6.html")));
}

}  // namespace
}  // namespace qar
