#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "export/html/html_listing_rows.h"
#include "export/html/html_page.h"
#include "export/html/html_report.h"
#include "export/html/html_text.h"

namespace qar {
namespace {

ListingRow row(const char* text) {
  ListingRow parsed;
  EXPECT_TRUE(parseListingRow(text, parsed)) << text;
  return parsed;
}

TEST(HtmlListingRows, ReadsTheColumnsOfEveryRowForm) {
  ListingRow function = row("         6                  3 FUNCTION classify()");
  EXPECT_EQ(function.hits, 6u);
  EXPECT_FALSE(function.falseCount);
  EXPECT_FALSE(function.missed);
  EXPECT_EQ(function.line, 3u);
  EXPECT_EQ(function.description, "FUNCTION classify()");

  ListingRow decision = row("         3          0 -    14   if (x > 0)");
  EXPECT_EQ(decision.hits, 3u);
  EXPECT_EQ(decision.falseCount, 0u);
  EXPECT_TRUE(decision.missed);
  EXPECT_EQ(decision.description, "  if (x > 0)");

  ListingRow falseOnly = row("                    2      12   const-if (DEBUG_LEVEL > 0)");
  EXPECT_FALSE(falseOnly.hits);
  EXPECT_EQ(falseOnly.falseCount, 2u);

  ListingRow blockEnd = row("                           16   }-");
  EXPECT_FALSE(blockEnd.hits);
  EXPECT_EQ(blockEnd.description, "  }-");

  ListingRow mcdc = row("                      -     5     MC/DC (cond 2): 1 - 2");
  EXPECT_TRUE(mcdc.missed);
  EXPECT_EQ(mcdc.description, "    MC/DC (cond 2): 1 - 2");

  // A line record's row has no description; a six-digit line runs on.
  EXPECT_EQ(row("                          120").description, "");
  ListingRow longLine = row("         1               123456 x = 1");
  EXPECT_EQ(longLine.line, 123456u);
  EXPECT_EQ(longLine.description, "x = 1");

  // Counts fill their ten columns up to the largest 32-bit count.
  ListingRow largest = row("4294967295 4294967295      12 x");
  EXPECT_EQ(largest.hits, 4294967295u);
  EXPECT_EQ(largest.falseCount, 4294967295u);
}

TEST(HtmlListingRows, RejectsNumbersThatAreNotCountsOrLines) {
  ListingRow parsed;
  for (const char* text : {"4294967296                 12 x", "           4294967296      12 x",
                           "         1               4294967296 x", "        1x                 12 x",
                           "      12                   12 x", "         1          -2      12 x",
                           "         1              99999999999999999999999 x"}) {
    EXPECT_FALSE(parseListingRow(text, parsed)) << text;
  }
}

TEST(HtmlListingRows, PassesOverTheOtherLinesOfASection) {
  ListingRow ignored;
  for (const char* text : {"", " HITS/TRUE      FALSE    LINE DESCRIPTION",
                           "=============================================================================",
                           "***TER  60 % (  3/  5) of FUNCTION calc()", "        66 % (  2/  3) statement",
                           "       100 % (  0/  0) statement (N.A. for 2 functions)",
                           "#include \"calc.h\"", "INSTRUMENTATION MODE  : decision"}) {
    EXPECT_FALSE(parseListingRow(text, ignored)) << text;
  }
}

TEST(HtmlListingRows, ReadsAListingFileSectionBySection) {
  const std::string name = ::testing::TempDir() + "html_rows_sections.txt";
  std::FILE* file = std::fopen(name.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("banner\n\nMONITORED SOURCE FILE : a.c\nINSTRUMENTATION MODE  : decision\n\n"
             "         1                  3 FUNCTION f()\n\n***TER 100 % (  1/  1) of FILE a.c\n"
             "MONITORED HEADER FILE : b.h\n         0            -     7 FUNCTION g()\n"
             "                            8 }\nSUMMARY\n=======\n         9                  9 not a row\n",
             file);
  std::fclose(file);

  ListingSectionReader reader;
  ASSERT_TRUE(openListingSections(reader, name));
  ListingSection section;
  ASSERT_TRUE(readListingSection(reader, section));
  ASSERT_EQ(section.size, 1u);
  EXPECT_EQ(section.rows[0].description, "FUNCTION f()");
  // A page takes the section by swapping: the descriptions go with it.
  ListingSection taken;
  std::swap(taken, section);
  // In two steps, the rows read where the page is made: once.
  ASSERT_TRUE(readListingSectionLines(reader, section));
  EXPECT_EQ(section.size, 0u);
  readListingRows(section);
  EXPECT_EQ(taken.rows[0].description, "FUNCTION f()");
  ASSERT_EQ(section.size, 2u);
  EXPECT_TRUE(section.rows[0].missed);
  EXPECT_EQ(section.rows[1].line, 8u);
  readListingRows(section);
  EXPECT_EQ(section.size, 2u);
  // Past the last section the rows are none, not the last section's.
  EXPECT_FALSE(readListingSectionLines(reader, section));
  readListingRows(section);
  EXPECT_EQ(section.size, 0u);
  EXPECT_FALSE(readListingSection(reader, section));
  std::remove(name.c_str());
}

// The reader takes the file in large blocks: lines cut at a block's end, a
// line longer than a block, and a last line without its line end.
TEST(HtmlListingRows, ReadsSectionsAcrossBlocks) {
  const std::string name = ::testing::TempDir() + "html_rows_blocks.txt";
  std::FILE* file = std::fopen(name.c_str(), "w");
  ASSERT_NE(file, nullptr);
  const std::string longText(600000, 'x');
  constexpr uint32_t kSections = 20000;
  for (uint32_t n = 1; n <= kSections; ++n) {
    std::fprintf(file, "MONITORED SOURCE FILE : f%u.c\n%10u %10u   %5u %s%s", n, n, n + 1, n,
                 n == 7 ? longText.c_str() : "d", n == kSections ? "" : "\n");
  }
  std::fclose(file);

  ListingSectionReader reader;
  ASSERT_TRUE(openListingSections(reader, name));
  ListingSection section;
  uint32_t read = 0;
  while (readListingSection(reader, section)) {
    ++read;
    ASSERT_EQ(section.size, 1u) << "section " << read;
    const ListingRow& row = section.rows[0];
    ASSERT_EQ(row.line, read);
    ASSERT_EQ(row.hits, read);
    ASSERT_EQ(row.falseCount, read + 1);
    ASSERT_EQ(row.description, read == 7 ? longText : "d");
  }
  EXPECT_EQ(read, kSections);
  closeListingSections(reader);
  std::remove(name.c_str());
}

TEST(HtmlLineState, FollowsTheMarkersAndCountsOfTheRowsOnALine) {
  auto state = [](std::initializer_list<const char*> texts) {
    std::vector<ListingRow> rows;
    for (const char* text : texts) rows.push_back(row(text));
    return summariseLine(rows.data(), rows.size());
  };
  EXPECT_EQ(state({}).state, LineState::NotInstrumented);
  EXPECT_EQ(state({"                           16   }+"}).state, LineState::NotInstrumented);
  LineSummary covered = state({"         9          1      19   for (;i < n;)"});
  EXPECT_EQ(covered.state, LineState::Covered);
  EXPECT_EQ(covered.hits, 10u);  // evaluations: true and false
  EXPECT_EQ(state({"         3          0 -    14   if (x > 0)"}).state, LineState::PartlyCovered);
  EXPECT_EQ(state({"         0            -    18   return 0"}).state, LineState::NotCovered);
  // A missed MC/DC condition under a decision that ran is partly covered.
  EXPECT_EQ(state({"         5          2       5   if (a && b)", "                      -     5     MC/DC (cond 2): 1 - 2"})
                .state,
            LineState::PartlyCovered);
  // Several statements: the line's count is the largest.
  EXPECT_EQ(state({"         2                 21       break", "         7                 21 x"}).hits, 7u);
}

TEST(HtmlText, EscapesMarkupAndReadsOtherBytesAsLatin1) {
  std::string out;
  appendHtmlText(out, "<script>alert(1)</script>");
  EXPECT_EQ(out, "&lt;script&gt;alert(1)&lt;/script&gt;");
  out.clear();
  appendHtmlText(out, "\"><img src=x onerror='run()'>&");
  EXPECT_EQ(out, "&quot;&gt;&lt;img src=x onerror=&#39;run()&#39;&gt;&amp;");
  out.clear();
  appendHtmlText(out, std::string_view("caf\xe9\x01\tx", 7));
  EXPECT_EQ(out, "caf\xc3\xa9?\tx");
  out.clear();
  appendHtmlText(out, "plain/text.c");
  EXPECT_EQ(out, "plain/text.c");
  // Markup before and after the first byte above ASCII, a UTF-8 sequence
  // kept whole, and the text appended to what is already there.
  appendHtmlText(out, std::string_view("a<b\xc3\xa9\xe9&'\x7f", 9));
  EXPECT_EQ(out, "plain/text.ca&lt;b\xc3\xa9\xc3\xa9&amp;&#39;\x7f");
}

// Whether the row writer writes `text` as appendHtmlText appends it,
// within the room kept for it.
::testing::AssertionResult writtenAsAppended(const std::string& text) {
  std::string appended;
  appendHtmlText(appended, text);
  std::string written(kHtmlTextExpansion * text.size(), '#');
  const char* end = writeHtmlText(written.data(), text);
  if (end > written.data() + written.size()) return ::testing::AssertionFailure() << "past its room";
  const std::string_view result(written.data(), static_cast<size_t>(end - written.data()));
  if (result != appended) return ::testing::AssertionFailure() << "wrote " << result << " for " << appended;
  return ::testing::AssertionSuccess();
}

// Texts with a byte that needs care every few bytes, as conditions have,
// and all of them at once: the row writer writes what appendHtmlText
// appends, within its room.
TEST(HtmlText, WritesTextsDenseWithMarkupAsItAppends) {
  const std::string_view pieces[] = {"a", "->", " < ", "&&", " || ", "\"x\"", "'", "\t", "\x01", "bcdefghij", "\x7f", " >= "};
  uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const size_t count = round % 23;
    for (size_t i = 0; i < count; ++i) {
      seed = seed * 1664525u + 1013904223u;
      text += pieces[(seed >> 16) % std::size(pieces)];
    }
    // Now and then a byte above ASCII somewhere in it.
    if (round % 7 == 3 && !text.empty()) text.insert((seed >> 8) % text.size(), "\xe9");
    ASSERT_TRUE(writtenAsAppended(text)) << text;
  }
}

// The row writer escapes eight plain bytes at a time: every byte that needs
// care, at every place around those eight, comes out as appendHtmlText
// writes it, within the room kept for it.
TEST(HtmlText, WritesWithAPointerWhatItAppends) {
  const std::string_view cares[] = {"&", "<", ">", "\"", "'", "\x01", "\t", "\x7f", "\xe9", "\xc3\xa9", "\x1f"};
  for (std::string_view care : cares) {
    for (size_t before = 0; before <= 17; ++before) {
      for (size_t after : {0, 1, 7, 8, 9}) {
        const std::string text = std::string(before, 'a') + std::string(care) + std::string(after, 'z');
        EXPECT_TRUE(writtenAsAppended(text)) << text;
      }
    }
  }
  std::string empty;
  EXPECT_EQ(writeHtmlText(empty.data(), ""), empty.data());
}

TEST(HtmlText, SortKeysOrderFiguresAndCountEmptyOnesComplete) {
  EXPECT_EQ(htmlSortKey(0, 0), htmlSortKey(5, 5));
  EXPECT_LT(htmlSortKey(1, 3), htmlSortKey(2, 3));
  EXPECT_LT(htmlSortKey(2, 3), htmlSortKey(667, 1000));  // finer than whole percents
}

TEST(HtmlPageName, NumbersFilesAndKeepsOnlySafeCharacters) {
  EXPECT_EQ(htmlPageName(7, "src/shapes.c"), "f00007-shapes.c.html");
  EXPECT_EQ(htmlPageName(123456, "C:\\dir\\a b<c>.cpp"), "f123456-a_b_c_.cpp.html");
}

}  // namespace
}  // namespace qar
