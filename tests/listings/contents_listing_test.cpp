#include "listings/contents_listing.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "coverage/database.h"
#include "listings/postlist.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

class ContentsListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    setOptions(OptionSettings{});
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) savedTz_ = tz;
    hadTz_ = tz != nullptr;
    setenv("TZ", "UTC", 1);
  }
  void TearDown() override {
    resetListingStream();
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
  }

  static void addDescription(const std::string& name, int64_t time, uint32_t fingerprint, CounterSizes sizes,
                             uint32_t rwr, uint32_t upd) {
    MonitoredFile& file = appendMonitoredFile(name);
    file.instrumentationTime = time;
    file.fingerprint = fingerprint;
    file.counterSizes = sizes;
    file.rwrCount = rwr;
    file.updCount = upd;
  }

  // The body as written to a listing file.
  std::string body(ReportKind kind, bool anySymbolFile, bool anyDataFile) {
    std::string path = dir_.file("contents.txt");
    test::Outcome outcome = captureRun([&] {
      openListing(path);
      writeContentsListing(kind, anySymbolFile, anyDataFile);
      closeListing();
    });
    EXPECT_EQ(outcome.err, "");
    return test::readFile(path);
  }

  test::TempDir dir_;
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(ContentsListingTest, BothSectionsWithCounters) {
  addDescription("src/a.c", 1764950400, 0xABCDEF01, {3, 4, 5, 6, 7}, 8, 9);
  // A symbol-file time beyond 32 bits shows its low 32 bits, taken as signed:
  // 2^32 + 86400 is one day after 1970.
  addDescription("src/a.c", (int64_t{1} << 32) + 86400, 0x1, {1, 0, 0, 0, 0}, 0, 4294967295u);
  database().dataBlockSummaries.push_back({"x.c", 0x7FFFFFFF, 0xFFFFFFFF, {1, 2, 3, 4, 5}, 6, 7});
  // The earliest signed time is still a 24-character date.
  database().dataBlockSummaries.push_back({"y.c", INT32_MIN, 0x0, {1, 0, 0, 0, 0}, 0, 0});

  EXPECT_EQ(body(ReportKind::ContentsWithCounters, true, true),
            "Instrumentation times and file names in symbol file(s):\n\n"
            "   Fri Dec  5 16:00:00 2025   abcdef01 src/a.c\n"
            "      counters: F: 3, J: 4, D: 5, C: 6, T: 7, rwr: 8, upd: 9\n"
            "   Fri Jan  2 00:00:00 1970   00000001 src/a.c\n"
            "      counters: F: 1, J: 0, D: 0, C: 0, T: 0, rwr: 0, upd: 4294967295\n"
            "\n"
            "Source files: 2\n"
            "\n"
            "Instrumentation times and file names in data file(s):\n\n"
            "   Tue Jan 19 03:14:07 2038   ffffffff x.c\n"
            "      counters: F: 1, J: 2, D: 3, C: 4, T: 5, rwr: 6, upd: 7\n"
            "   Fri Dec 13 20:45:52 1901   00000000 y.c\n"
            "      counters: F: 1, J: 0, D: 0, C: 0, T: 0, rwr: 0, upd: 0\n"
            "\n"
            "Source files: 2\n");
}

TEST_F(ContentsListingTest, EmptySectionsHaveNoEmptyLineBeforeTheirCount) {
  EXPECT_EQ(body(ReportKind::Contents, true, false),
            "Instrumentation times and file names in symbol file(s):\n\n"
            "Source files: 0\n");
  EXPECT_EQ(body(ReportKind::Contents, true, true),
            "Instrumentation times and file names in symbol file(s):\n\n"
            "Source files: 0\n"
            "\n"
            "Instrumentation times and file names in data file(s):\n\n"
            "Source files: 0\n");
}

}  // namespace
}  // namespace qar
