// The coverage listings' walk where the end-to-end cases do not reach: line
// records and their pending slots, include records, a bad record, and a
// listing after a walk that stopped early.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "coverage/database.h"
#include "listings/listing_test_support.h"
#include "listings/postprof.h"

namespace qar {
namespace {

struct Line {
  const char* text;
  uint32_t value1 = 0;
  uint32_t value2 = 0;
};

// A file whose lines carry their counter values as after the preparation pass.
void addPreparedFile(const std::string& name, std::initializer_list<Line> lines) {
  MonitoredFile& file = appendMonitoredFile(name);
  file.instrumentationTime = 1;
  appendDescriptionLine(file, "@" + name);
  appendDescriptionLine(file, "3 1 00000001 0 0");
  for (const Line& line : lines) {
    setLineValues(file, appendDescriptionLine(file, line.text), LineValues{line.value1, line.value2, 0, 0});
  }
  appendDescriptionLine(file, "%20,2,2,0,0,0");
  database().countersPrepared = true;
}

// The part of a listing between the first column heading and the summary.
std::string bodyOf(const std::string& listing) {
  const std::string heading = "=============================================================================\n\n";
  size_t start = listing.find(heading);
  size_t end = listing.find("\n\n\nSUMMARY");
  if (start == std::string::npos || end == std::string::npos) return listing;
  start += heading.size();
  return listing.substr(start, end - start);
}

class CoverageListingTest : public test::ListingTestBase {
 protected:
  void SetUp() override {
    ListingTestBase::SetUp();
    resetRecordReader();
    resetStatementAnalysis();
  }
  std::string listing(bool untested) {
    return listingOf([&] { writeCoverageListing(untested); });
  }
};

// Line records: only the last of a run survives; one before a function is
// shown as a line entry at the description column, one inside a function at
// its nesting; a probe without a line record before it clears the slot.
TEST_F(CoverageListingTest, LineRecordsPrecedeTheLinesTheyIntroduce) {
  addPreparedFile("a.c", {{"50 1 0 0 0 \"a.c\" 1"},
                          {"0 3 0 0 0 f", 1},
                          {"51 4 0 0 1 first"},
                          {"51 5 0 0 1 second"},
                          {"13 6 1 0 1 0", 0},
                          {"13 7 2 1 1 1", 1},
                          {"2 8 2 0 0"}});
  EXPECT_EQ(bodyOf(listing(false)),
            "                            1 \"a.c\" 1\n"
            "         1                  3 FUNCTION f()\n"
            "                            5   second\n"
            "         0            -     6   return 0\n"
            "         1                  7   return 1\n"
            "                            8 }\n"
            "\n"
            "***TER  66 % (  2/  3) of FUNCTION f()\n"
            "        50 % (  1/  2) statement\n"
            "-----------------------------------------------------------------------------\n"
            "\n"
            "\n"
            "***TER  66 % (  2/  3) of FILE a.c\n"
            "        50 % (  1/  2) statement\n"
            "-----------------------------------------------------------------------------\n");

  // The untested listing writes the pending context just before the first
  // untested line: file header, line entry, function, line record.
  EXPECT_EQ(bodyOf(listing(true)),
            "                            1 \"a.c\" 1\n"
            "         1                  3 FUNCTION f()\n"
            "                            5   second\n"
            "         0            -     6   return 0\n"
            "\n"
            "-----------------------------------------------------------------------------\n");
}

// A line record whose probe is not written stays pending until the next
// probe; one still pending at the next function moves before that function.
TEST_F(CoverageListingTest, UnwrittenLineRecordMovesBeforeTheNextFunction) {
  addPreparedFile("a.c", {{"0 3 0 0 0 f", 1},
                          {"51 4 0 0 1 covered"},
                          {"13 4 1 0 1 a", 1},
                          {"51 9 0 0 0 tail"},
                          {"2 9 1 0 0"},
                          {"0 11 0 1 0 g", 0},
                          {"13 12 1 1 1 b", 0},
                          {"2 13 1 0 0"}});
  EXPECT_EQ(bodyOf(listing(true)),
            "                            9 tail\n"
            "         0            -    11 FUNCTION g()\n"
            "         0            -    12   return b\n"
            "\n"
            "-----------------------------------------------------------------------------\n");
}

// Include records stand before the first function: the profile listing
// writes them under the heading, the untested listing never does. One after
// a function ends the walk without a message, and the next listing starts
// from the first file again.
TEST_F(CoverageListingTest, IncludeRecordsAndAnEarlyEndOfTheWalk) {
  addPreparedFile("a.c", {{"#include \"a.h\""}, {"0 3 0 0 0 f", 0}, {"2 4 1 0 0"}});
  addPreparedFile("b.c", {{"0 3 0 0 0 g", 0}, {"#include \"b.h\""}, {"2 4 1 0 0"}});
  addPreparedFile("c.c", {{"0 3 0 0 0 h", 0}});

  std::string profile = listing(false);
  EXPECT_NE(profile.find("=\n\n#include \"a.h\"\n         0            -     3 FUNCTION f()\n"),
            std::string::npos);
  EXPECT_NE(profile.find("MONITORED SOURCE FILE : b.c"), std::string::npos);
  EXPECT_EQ(profile.find("c.c"), std::string::npos);
  EXPECT_NE(profile.find("Functions          : 2\n"), std::string::npos);

  std::string untested = listing(true);
  EXPECT_EQ(untested.find("#include"), std::string::npos);
  EXPECT_NE(untested.find("FUNCTION f()"), std::string::npos);
  EXPECT_NE(untested.find("Functions          : 2\n"), std::string::npos);
}

TEST_F(CoverageListingTest, BadRecordStopsTheListingWithErrorFive) {
  addPreparedFile("a.c", {{"0 3 0 0 0 f", 1}, {"13 4 1"}});
  test::Outcome outcome = test::captureRun([&] { listing(false); });
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file a.c\n");
}

}  // namespace
}  // namespace qar
