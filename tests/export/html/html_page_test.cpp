#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/html/html_listing_rows.h"
#include "export/html/html_mcdc.h"
#include "export/html/html_natural_order.h"
#include "export/html/html_page.h"
#include "export/html/html_report.h"
#include "export/html/html_text.h"
#include "export/html/html_uncovered.h"

namespace qar {
namespace {

ListingSection section(std::initializer_list<const char*> texts) {
  ListingSection rows;
  for (const char* text : texts) {
    ListingRow& row = rows.rows.emplace_back();
    EXPECT_TRUE(parseListingRow(text, row)) << text;
  }
  rows.size = rows.rows.size();
  return rows;
}

size_t count(const std::string& text, std::string_view part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

TEST(HtmlLineRule, OneStatePerLineWhereverItsRowsStand) {
  // A statement counted 0 without a marker (the function view counts no
  // statements) did not run: not covered, as the line exports' 0 says.
  const ListingSection zero = section({"         0                 18   return 0"});
  EXPECT_EQ(summariseLine(zero.begin(), 1).state, LineState::NotCovered);

  // The rows of line 5 stand apart in the listing (a nested row between
  // them); the line's state takes all of them, so every row of the page
  // without the source shows what the annotated line shows.
  const ListingSection rows = section({"         7                  3 FUNCTION both()",
                                       "         5          2       5   if (a && b)",
                                       "         5                  6     return 1",
                                       "                    0 -     5     2: TF",
                                       "                           16   }-"});
  const std::vector<SummarisedLine> lines = summariseLines(rows);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].line, 3u);
  EXPECT_EQ(lines[1].line, 5u);
  EXPECT_EQ(lines[1].summary.state, LineState::PartlyCovered);
  EXPECT_EQ(lines[1].summary.hits, 7u);
  EXPECT_EQ(lines[2].summary.state, LineState::Covered);
  EXPECT_EQ(lines[3].summary.state, LineState::NotInstrumented);
}

TEST(HtmlSourceMatch, LineCountAndRecordsBeyondTheEnd) {
  EXPECT_EQ(countSourceLines(""), 0u);
  EXPECT_EQ(countSourceLines("a"), 1u);
  EXPECT_EQ(countSourceLines("a\n"), 1u);
  EXPECT_EQ(countSourceLines("a\r\nb"), 2u);
  EXPECT_EQ(countSourceLines("a\n\n"), 2u);

  const ListingSection rows = section({"         1                  3 FUNCTION f()", "         1                  4 x"});
  EXPECT_FALSE(findSourceMismatch("1\n2\n3\n4\n", 4, rows));
  // A line added at the top, and a file cut short.
  auto added = findSourceMismatch("0\n1\n2\n3\n4\n", 4, rows);
  ASSERT_TRUE(added);
  EXPECT_EQ(added->lines, 5u);
  EXPECT_EQ(added->recorded, 4u);
  ASSERT_TRUE(findSourceMismatch("1\n2\n", 4, rows));
  // A header records no line count: only a record beyond its end tells.
  EXPECT_FALSE(findSourceMismatch("1\n2\n3\n4", 0, rows));
  auto beyond = findSourceMismatch("1\n2\n3\n", 0, rows);
  ASSERT_TRUE(beyond);
  EXPECT_EQ(beyond->recorded, 0u);
  EXPECT_EQ(beyond->recordLine, 4u);
}

TEST(HtmlNaturalOrder, NumbersByValueAndATotalOrder) {
  EXPECT_TRUE(naturalLess("part_2.h", "part_10.h"));
  EXPECT_FALSE(naturalLess("part_10.h", "part_2.h"));
  EXPECT_TRUE(naturalLess("v1.9.2", "v1.10.0"));
  EXPECT_TRUE(naturalLess("a", "b"));
  EXPECT_TRUE(naturalLess("x", "x1"));
  EXPECT_TRUE(naturalLess("x9", "xa"));  // a digit's byte before a letter's
  EXPECT_TRUE(naturalLess("a99999999999999999999999", "a100000000000000000000000"));  // beyond 64 bits
  // Equal values written differently are still ordered, one way only.
  EXPECT_NE(naturalLess("a07", "a7"), naturalLess("a7", "a07"));
  EXPECT_FALSE(naturalLess("same_1", "same_1"));
}

TEST(HtmlTexts, TimeUnitAndPathBreaks) {
  EXPECT_EQ(timeUnitText("clockticks", "1000"), "clockticks / 1000");
  EXPECT_EQ(timeUnitText("us", "1"), "us");
  EXPECT_EQ(timeUnitText("  ", "0x10"), "cost units / 16");
  EXPECT_EQ(timeUnitText("<b>", "1"), "&lt;b&gt;");

  std::string path;
  appendHtmlPath(path, "src/a&b/c.c");
  EXPECT_EQ(path, "src/<wbr>a&amp;b/<wbr>c.c");
  path.clear();
  appendHtmlPath(path, "dir/");
  EXPECT_EQ(path, "dir/");
}

CollectedRecord record(uint32_t kind, uint32_t line, const char* text = "") {
  CollectedRecord r;
  r.kind = kind;
  r.line = line;
  r.text = text;
  return r;
}

TEST(HtmlMcdc, ConditionsNamedInTheOrderOfTheAnalyses) {
  UncoveredCollector collector;
  // Function 1: a multicondition closed by a statement, then one still open
  // at the function's end (not analysed). Function 2: none.
  collector.functions.push_back({record(0, 3, "both"), record(70, 5, "a && b"), record(75, 5, "TT"),
                                 record(76, 5, "TF"), record(77, 5, "a"), record(77, 5, "b"), record(13, 6),
                                 record(70, 8, "c || d"), record(75, 8, "T_"), record(77, 8, "c")});
  collector.functions.push_back({record(0, 10, "other")});
  FileResult file;
  file.functions.resize(2);
  file.functions[0].multiconditions.resize(1);
  ConditionNames names;
  multiconditionNames(collector, file, names);
  ASSERT_EQ(names.multiconditions(), 1u);
  ASSERT_EQ(names.count(0), 2u);
  EXPECT_EQ(names.name(0, 0), "a");
  EXPECT_EQ(names.name(0, 1), "b");
  EXPECT_EQ(names.name(0, 2), "");
  EXPECT_EQ(names.name(1, 0), "");

  // Filled again for another file, nothing of the first is left; an
  // analysis the records do not account for (function 2's) stays unnamed
  // in its place.
  file.functions[1].multiconditions.resize(1);
  collector.functions[0].resize(6);
  multiconditionNames(collector, file, names);
  ASSERT_EQ(names.multiconditions(), 2u);
  EXPECT_EQ(names.count(0), 0u);
  EXPECT_EQ(names.count(1), 0u);
  EXPECT_EQ(names.text, "");
  collector.functions[0].push_back(record(13, 6));
  collector.functions[1] = {record(0, 10, "other"), record(70, 11, "e && f"), record(75, 11, "TT"),
                            record(77, 11, "e"), record(77, 11, "f"), record(13, 12)};
  multiconditionNames(collector, file, names);
  ASSERT_EQ(names.multiconditions(), 2u);
  EXPECT_EQ(names.name(0, 1), "b");
  EXPECT_EQ(names.name(1, 0), "e");
  EXPECT_EQ(names.name(1, 1), "f");
  collector.functions[1].resize(1);
  multiconditionNames(collector, file, names);

  // The section names them; a condition without a pair says what it needs.
  MulticonditionResult& m = file.functions[0].multiconditions[0];
  file.functions[0].name = "both";
  m.line = 5;
  m.combinations = {{1, true, 5, "TT"}, {2, false, 0, "TF"}};
  // Condition 2's pairs follow condition 1's in the multicondition's list.
  m.pairs = {{1, 2, true}, {1, 2, false}, {3, 4, false}};
  m.conditions = {{1, true, 0, 1}, {2, false, 1, 2}};
  std::string out;
  appendMcdcSection(out, file, names, true);
  EXPECT_NE(out.find("1 <code>a</code>"), std::string::npos) << out;
  EXPECT_NE(out.find("2 <code>b</code></th><td>&#10007; no independence pair ran; it needs 1 + 2 or 3 + 4<"), std::string::npos)
      << out;
  EXPECT_NE(out.find("<b>never ran</b>"), std::string::npos);
}

TEST(HtmlUncovered, ListLinksOwnLinesAndFoldsALongList) {
  std::vector<UncoveredItem> items;
  for (uint32_t line = 1; line <= 14; ++line) {
    items.push_back({line, line, UncoveredKind::Jump, line == 2 ? "other.h" : "", "f", "return never reached"});
  }
  std::string out;
  appendUncoveredList(out, items, CoverageView::AsInstrumented, true);
  EXPECT_EQ(count(out, "<li>"), 14u);
  EXPECT_EQ(count(out, "<a href=\"#L"), 13u);  // not line 2, which lies in another file
  EXPECT_NE(out.find("line 2 of other.h"), std::string::npos);
  EXPECT_NE(out.find("<summary>2 more</summary><ol class=\"todo\" start=\"13\">"), std::string::npos) << out;

  out.clear();
  appendUncoveredList(out, {}, CoverageView::Mcdc, true);
  EXPECT_EQ(out.find("<ol"), std::string::npos);

  // From line to line: the first has no previous one, the last no next.
  const std::vector<uint32_t> lines = {5, 9, 13};
  out.clear();
  appendLineNavigation(out, lines, 0);
  EXPECT_EQ(out, "<a class=nx href=#L9>&darr;</a>");
  out.clear();
  appendLineNavigation(out, lines, 2);
  EXPECT_EQ(out, "<a class=nx href=#L9>&uarr;</a>");
}

}  // namespace
}  // namespace qar
