// The fixed-column line buffer and the description column.
#include <gtest/gtest.h>

#include <vector>

#include "listing_test_support.h"

namespace qar {
namespace {

class ListingLineTest : public test::ListingTestBase {};
class ProbeDescriptionTest : public test::ListingTestBase {};

TEST_F(ListingLineTest, CoverageColumnsAndTrailingBlanks) {
  EXPECT_EQ(lineOf([] {
              putHits(3);
              putFalseCount(0);
              putMarker('-');
              putLineNumber(14);
              setNestingLevel(1);
              describeProbe(20, "x > 0");
            }),
            "         3          0 -    14   if (x > 0)");
  // Only a marker and a line number: the line ends at the number.
  EXPECT_EQ(lineOf([] {
              putMarker('-');
              putLineNumber(16);
            }),
            "                      -    16");
  // A six-digit line number runs into the cells after its field.
  EXPECT_EQ(lineOf([] {
              putLineNumber(1234567);
              putHits(4294967295u);
            }),
            "4294967295              1234567");
  // Flushing leaves the buffer blank: the next line starts afresh.
  EXPECT_EQ(listingOf([] {
              putHits(1);
              flushListingLine();
              flushListingLine();
            }),
            "         1\n\n");
}

TEST_F(ListingLineTest, TimingColumns) {
  EXPECT_EQ(lineOf([] {
              putExecutionCount(12);
              putTotalCost(-5);
              putAverageCost(2.25);
              putMaximumCost(2147483647);
              putTimingLineNumber(42);
              putTimingFunction("main");
            }),
            "        12         -5          2.2 2147483647    42 main()");
}

TEST_F(ListingLineTest, TextStopsAtTheLastCell) {
  std::string text = lineOf([] { putListingText(4090, "0123456789"); });
  EXPECT_EQ(text.size(), kListingLineCells);
  EXPECT_EQ(text.substr(4090), "012345");
}

TEST_F(ProbeDescriptionTest, TextsByKind) {
  struct Case {
    uint32_t kind;
    const char* text;
    const char* listed;
  };
  const Case cases[] = {
      {0, "calc", "FUNCTION calc()"},       {3, "ignored", "}"},
      {14, "3", "case 3:"},                 {23, "i < n", "for (;i < n;)"},
      {33, "1", "const-for (;1;)"},         {45, "again", "again:"},
      {103, "v : w", "for each (v : w) {"}, {7, "unknown", ""},
  };
  for (const Case& c : cases) {
    std::string line = lineOf([&] { describeProbe(c.kind, c.text); });
    std::string expected = *c.listed ? std::string(30, ' ') + c.listed : "";
    EXPECT_EQ(line, expected) << "kind " << c.kind;
  }
  EXPECT_EQ(lineOf([] { describeProbe(76, "TF_", 12); }), std::string(30, ' ') + "12: TF_");
}

TEST_F(ProbeDescriptionTest, WidthRules) {
  const std::string sixty(60, 'a');
  setWidth(80);
  std::string cut = lineOf([&] { describeProbe(4, sixty); });
  EXPECT_EQ(cut.size(), 80u);
  EXPECT_EQ(cut.substr(30), std::string(48, 'a') + "..");

  // The start column reaching the width leaves ".." two cells before it.
  std::string deep = lineOf([] {
    setNestingLevel(40);
    describeProbe(13, "x");
  });
  EXPECT_EQ(deep, std::string(78, ' ') + "..");
  // At the last start that still fits, two characters are the room.
  EXPECT_EQ(lineOf([] {
              setNestingLevel(24);
              describeProbe(41, "");
            }),
            std::string(78, ' ') + "do");

  // Widths up to 31 put ".." at column 30; the unlimited kinds are never cut
  // and never indented.
  setWidth(20);
  EXPECT_EQ(lineOf([] { describeProbe(13, "x"); }), std::string(30, ' ') + "..");
  EXPECT_EQ(lineOf([] { describeProbe(41, ""); }), std::string(30, ' ') + "do");
  for (uint32_t kind : {0u, 50u}) {
    std::string full = lineOf([&] {
      setNestingLevel(5);
      describeProbe(kind, sixty);
    });
    EXPECT_EQ(full.size(), 30 + sixty.size() + (kind == 0 ? 11 : 0)) << kind;
  }
  EXPECT_EQ(lineOf([] {
              setNestingLevel(5);
              describeProbe(2, "");
            }),
            std::string(30, ' ') + "}");

  // Default width: cut only past 4096 - 30 characters at nesting 0.
  setOptions(OptionSettings{});
  EXPECT_EQ(lineOf([] { describeProbe(4, std::string(4066, 'b')); }).size(), 4096u);
  std::string longest = lineOf([] { describeProbe(4, std::string(4067, 'b')); });
  EXPECT_EQ(longest.size(), 4096u);
  EXPECT_EQ(longest.substr(4094), "..");
}

TEST_F(ProbeDescriptionTest, McdcLineFollowsTheWidthRuleAtTheCurrentNesting) {
  setWidth(50);
  EXPECT_EQ(lineOf([] {
              setNestingLevel(2);
              describeMcdc(1, "1 + 3");
            }),
            std::string(34, ' ') + "MC/DC (cond 1)..");
}

// Hands out reached flags from a list and counts the questions.
std::vector<bool> gFlags;
size_t gAsked = 0;
bool nextListedFlag() {
  bool flag = gAsked < gFlags.size() && gFlags[gAsked];
  ++gAsked;
  return flag;
}

TEST_F(ProbeDescriptionTest, ReachabilityMarksAskForFlagsOnlyWhereAMarkIsPossible) {
  gFlags = {true, false, true, false};
  gAsked = 0;
  setReachedFlagSource(nextListedFlag);
  std::string text = listingOf([] {
    enableReachabilityMarks(true);
    auto show = [](uint32_t kind, const char* probeText, uint32_t nesting) {
      setNestingLevel(nesting);
      describeProbe(kind, probeText);
      flushListingLine();
    };
    show(0, "f", 0);
    show(1, "", 0);       // no try block: no mark, no question
    show(14, "1", 1);     // "+"
    show(45, "out", 1);   // nothing for a clear flag
    show(3, "", 1);       // "+"
    setFinalStatementPassed();
    show(3, "", 0);       // after the final statement at nesting 0: nothing
    show(43, "", 0);
    show(2, "", 0);       // "-"
    show(0, "g", 0);      // clears the try block and final statement
    show(2, "", 0);
    setStatementFiguresAvailable(false);
    show(5, "", 1);       // no figures: no mark
  });
  EXPECT_EQ(gAsked, 4u);
  const std::string pad(30, ' ');
  EXPECT_EQ(text, pad + "FUNCTION f()\n" + pad + "}\n" + pad + "  case 1:+\n" + pad + "  out:\n" + pad +
                      "  }+\n" + pad + "}\n" + pad + "try\n" + pad + "}-\n" + pad + "FUNCTION g()\n" + pad +
                      "}\n" + pad + "  }\n");

  // Without marks (the untested code listing) no flag is asked for.
  gAsked = 0;
  listingOf([] {
    describeProbe(6, "");
    describeProbe(15, "");
    flushListingLine();
  });
  EXPECT_EQ(gAsked, 0u);
}

TEST_F(ProbeDescriptionTest, PlainVariantForTheXmlReport) {
  enableReachabilityMarks(true);
  setReachedFlagSource(nullptr);  // asking would be an internal error
  EXPECT_EQ(describeProbePlain(0, "main"), "FUNCTION main()");
  EXPECT_EQ(describeProbePlain(4, "[] "), "[]");
  EXPECT_EQ(describeProbePlain(75, "TT"), "TT");
  EXPECT_EQ(describeProbePlain(76, "F_"), "F_");
  EXPECT_EQ(describeProbePlain(43, "x"), "try");
  EXPECT_EQ(describeProbePlain(60, "x"), "try");
  EXPECT_EQ(describeProbePlain(5, "x"), "}");
  EXPECT_EQ(describeProbePlain(14, "2"), "case 2:");
  EXPECT_EQ(describeProbePlain(13, ""), "return");
  EXPECT_EQ(describeProbePlain(50, "line"), "");
  EXPECT_EQ(describeProbePlain(51, "line"), "");
  EXPECT_EQ(describeProbePlain(99, "x"), "");
}

}  // namespace
}  // namespace qar
