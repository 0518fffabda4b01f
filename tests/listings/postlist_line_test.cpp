// The fixed-column line buffer, the description column and the listing stream.
#include <gtest/gtest.h>

#include <vector>

#include "listing_test_support.h"

namespace qar {
namespace {

class ListingLineTest : public test::ListingTestBase {};

TEST_F(ListingLineTest, ColumnsAndTrailingBlanks) {
  EXPECT_EQ(lineOf([] {
              putHits(3);
              putFalseCount(0);
              putMarker('-');
              putLineNumber(14);
              setNestingLevel(1);
              describeProbe(20, "x > 0");
            }),
            "         3          0 -    14   if (x > 0)");
  // A six-digit line number runs into the cells after its field.
  EXPECT_EQ(lineOf([] {
              putLineNumber(1234567);
              putHits(4294967295u);
            }),
            "4294967295              1234567");
  EXPECT_EQ(lineOf([] {
              putExecutionCount(12);
              putTotalCost(-5);
              putAverageCost(2.25);
              putMaximumCost(2147483647);
              putTimingLineNumber(42);
              putTimingFunction("main");
            }),
            "        12         -5          2.2 2147483647    42 main()");
  std::string text = lineOf([] { putListingText(4090, "0123456789"); });  // stops at the last cell
  EXPECT_EQ(text.size(), kListingLineCells);
  // Flushing leaves the buffer blank.
  EXPECT_EQ(listingOf([] {
              putHits(1);
              flushListingLine();
              flushListingLine();
            }),
            "         1\n\n");
}

TEST_F(ListingLineTest, TextsByKindAndModes) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "FUNCTION calc()"}, {3, "}"},           {14, "case 3:"},  {16, "missing-default:"},
      {23, "for (;3;)"},      {33, "const-for (;3;)"}, {45, "3:"}, {103, "for each (3) {"}, {7, ""},
  };
  for (const auto& [kind, listed] : cases) {
    std::string line = lineOf([kind = kind] { describeProbe(kind, kind == 0 ? "calc" : "3"); });
    EXPECT_EQ(line, *listed ? std::string(30, ' ') + listed : "") << "kind " << kind;
  }
  EXPECT_EQ(lineOf([] { describeProbe(76, "TF_", 12); }), std::string(30, ' ') + "12: TF_");
  // The plain variant of the XML report: no number, no mark, no trailing blank.
  const std::pair<uint32_t, const char*> plain[] = {{0, "FUNCTION x()"}, {4, "x"}, {75, "x"}, {43, "try"}, {60, "try"},
                                                    {5, "}"}, {13, "return x"}, {50, ""}, {51, ""}, {99, ""}};
  for (const auto& [kind, text] : plain) EXPECT_EQ(describeProbePlain(kind, "x"), text) << kind;
  EXPECT_EQ(describeProbePlain(4, "[] "), "[]");
  // Only trailing blanks go; a NUL stays for the writer, which ends the text there.
  EXPECT_EQ(describeProbePlain(13, std::string_view("x\0 ", 3)), std::string_view("return x\0", 9));
  // The whole description, pattern included, is kept to 8191 characters.
  const std::string longText(9000, 'y');
  EXPECT_EQ(describeProbePlain(13, longText), "return " + std::string(8184, 'y'));
  EXPECT_EQ(describeProbePlain(4, longText), std::string(8191, 'y'));

  InstrumentationMode mode;
  mode.inclusiveTiming = mode.exclusiveTiming = true;
  EXPECT_EQ(instrumentationModeText(mode), "function+inclusive_timing");
  mode = InstrumentationMode{};
  mode.decision = mode.multicondition = mode.exclusiveTiming = true;
  EXPECT_EQ(instrumentationModeText(mode), "multicondition+exclusive_timing");
}

TEST_F(ListingLineTest, DescriptionsAreCutToTheListingWidth) {
  const std::string sixty(60, 'a');
  struct Case {
    uint32_t width, nesting, kind;
    std::string text, listed;
  };
  const Case cases[] = {
      {80, 0, 4, sixty, std::string(30, ' ') + std::string(48, 'a') + ".."},
      {80, 40, 13, "x", std::string(78, ' ') + ".."},  // the start reaching the width leaves ".."
      {80, 24, 41, "", std::string(78, ' ') + "do"},   // the last start that fits has room for two
      {31, 0, 13, "x", std::string(30, ' ') + ".."},   // widths up to 31 put ".." at column 30
      {32, 0, 13, "x", std::string(30, ' ') + ".."},
      {33, 0, 13, "x", std::string(30, ' ') + "r.."},
      {20, 0, 41, "", std::string(30, ' ') + "do"},
      {20, 5, 0, sixty, std::string(30, ' ') + "FUNCTION " + sixty + "()"},  // never cut, never indented
      {20, 5, 50, sixty, std::string(30, ' ') + sixty},
      {20, 5, 2, "", std::string(30, ' ') + "}"},
      {4096, 0, 4, std::string(4066, 'b'), std::string(30, ' ') + std::string(4066, 'b')},
      {4096, 0, 4, std::string(4067, 'b'), std::string(30, ' ') + std::string(4064, 'b') + ".."},
  };
  for (const Case& c : cases) {
    setWidth(c.width);
    EXPECT_EQ(lineOf([&] {
                setNestingLevel(c.nesting);
                describeProbe(c.kind, c.text);
              }),
              c.listed)
        << c.width << " " << c.nesting << " " << c.kind;
  }
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

// The mark and a combination's number are part of what is cut; a NUL in a
// probe's text ends the description where it is placed, after the cut.
TEST_F(ListingLineTest, MarksNumbersAndNulsInTheCut) {
  gFlags = {true, false};
  gAsked = 0;
  setReachedFlagSource(nextListedFlag);
  setWidth(40);
  std::string text = listingOf([] {
    enableReachabilityMarks(true);
    describeProbe(45, "abcdefgh");  // "abcdefgh:+" just fits the ten cells
    flushListingLine();
    setNestingLevel(1);
    describeProbe(5, "");  // "}-"
    flushListingLine();
  });
  EXPECT_EQ(text, std::string(30, ' ') + "abcdefgh:+\n" + std::string(32, ' ') + "}-\n");
  EXPECT_EQ(gAsked, 2u);
  gFlags = {true};
  gAsked = 0;
  text = listingOf([] {
    enableReachabilityMarks(true);
    describeProbe(45, "abcdefghi");  // the mark is asked for, then cut away
    flushListingLine();
  });
  EXPECT_EQ(text, std::string(30, ' ') + "abcdefgh..\n");
  EXPECT_EQ(gAsked, 1u);

  setWidth(35);
  EXPECT_EQ(lineOf([] { describeProbe(75, "TTF", 123); }), std::string(30, ' ') + "123..");
  const std::string_view withNul("ab\0cd", 5);
  const std::pair<uint32_t, std::string> nulCases[] = {
      {80, "ab"}, {35, "ab"}, {34, "ab.."}, {33, "a.."}};
  for (const auto& [width, listed] : nulCases) {
    setWidth(width);
    EXPECT_EQ(lineOf([&] { describeProbe(4, withNul); }), std::string(30, ' ') + listed) << width;
  }
  setWidth(80);
  // A line number wider than its field runs into the description's cells:
  // the description writes over them, an empty one (cut at a NUL) leaves them.
  EXPECT_EQ(lineOf([] {
              putLineNumber(1234567);
              describeProbe(20, "x");
            }),
            std::string(24, ' ') + "123456if (x)");
  EXPECT_EQ(lineOf([] {
              putLineNumber(1234567);
              describeProbe(4, std::string_view("\0x", 2));
            }),
            std::string(24, ' ') + "1234567");
  EXPECT_EQ(lineOf([] {
              putLineNumber(99999);
              putFalseCount(4294967295u);
              putMarker('\0');
            }),
            "           4294967295   99999");
}

TEST_F(ListingLineTest, ReachabilityMarksAskForFlagsOnlyWhereAMarkIsPossible) {
  gFlags = {true, false, true, false};
  gAsked = 0;
  setReachedFlagSource(nextListedFlag);
  auto show = [](uint32_t kind, const char* probeText, uint32_t nesting) {
    setNestingLevel(nesting);
    describeProbe(kind, probeText);
    flushListingLine();
  };
  std::string text = listingOf([&] {
    enableReachabilityMarks(true);
    show(0, "f", 0);
    show(1, "", 0);      // no try block: no mark, no question
    show(14, "1", 1);    // "+"
    show(45, "out", 1);  // nothing for a clear flag
    show(3, "", 1);      // "+"
    setFinalStatementPassed();
    show(3, "", 0);  // after the final statement at nesting 0: nothing
    show(43, "", 0);
    show(2, "", 0);  // "-"
    show(0, "g", 0);  // clears the try block and the final statement
    show(2, "", 0);
    setStatementFiguresAvailable(false);
    show(5, "", 1);  // no figures: no mark
  });
  EXPECT_EQ(gAsked, 4u);
  const std::string pad(30, ' ');
  EXPECT_EQ(text, pad + "FUNCTION f()\n" + pad + "}\n" + pad + "  case 1:+\n" + pad + "  out:\n" + pad + "  }+\n" +
                      pad + "}\n" + pad + "try\n" + pad + "}-\n" + pad + "FUNCTION g()\n" + pad + "}\n" + pad + "  }\n");
  gAsked = 0;  // a new listing starts without marks (as the untested one stays): no question
  listingOf([&] {
    show(6, "", 0);
    show(15, "", 0);
  });
  EXPECT_EQ(gAsked, 0u);
}

TEST_F(ListingLineTest, StreamFailuresEndTheRun) {
  std::string missing = dir_.file("no/such/dir/list.txt");
  EXPECT_EQ(test::captureRun([&] { openListing(missing); }).err,
            "QARPost error 8: Cannot create file " + missing + ": No such file or directory\n");
  // More than the stream's buffer holds fails at once; a short text when the file is closed.
  for (size_t size : {size_t{1} << 17, size_t{6}}) {
    test::Outcome outcome = test::captureRun([&] {
      openListing("/dev/full");
      writeListingText(std::string(size, 'x'));
      closeListing();
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
    resetListingStream();
  }
}

}  // namespace
}  // namespace qar
