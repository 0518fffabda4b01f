// The index's trend chart and its part on the change since a baseline.
#include <gtest/gtest.h>

#include <string>

#include "export/html/html_baseline.h"
#include "export/html/html_trend.h"

namespace qar {
namespace {

size_t occurrences(const std::string& text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

HistoryEntry entry(std::string label, uint64_t found, uint64_t hit) {
  HistoryEntry e;
  e.time = "2026-12-01T10:00:00Z";
  e.label = std::move(label);
  for (HistoryFigure& f : e.measures) f = {found, hit};
  return e;
}

TEST(HtmlTrend, ShowsTheLatestHundredRunsWithLabelledAxes) {
  std::vector<HistoryEntry> entries;
  for (int i = 0; i < 150; ++i) entries.push_back(entry("run" + std::to_string(i), 4, 2));
  entries.back().label = "<b>&";
  std::string out;
  appendTrendSection(out, entries);
  EXPECT_NE(out.find("over the last 100 runs</title>"), std::string::npos);
  EXPECT_NE(out.find(">run50</text>"), std::string::npos);  // the oldest shown
  EXPECT_EQ(out.find(">run49<"), std::string::npos);
  EXPECT_NE(out.find(">&lt;b&gt;&amp;</text>"), std::string::npos);
  EXPECT_NE(out.find(">100 %</text>"), std::string::npos);
  EXPECT_NE(out.find(">runs, oldest to latest (100 runs)</text>"), std::string::npos);
  EXPECT_NE(out.find(">coverage</text>"), std::string::npos);
  // 50 % of every measure lies halfway up the plot: one line per measure.
  EXPECT_EQ(occurrences(out, "<polyline"), 5u);
  EXPECT_NE(out.find("<polyline points=\"56.0,120.0 "), std::string::npos);
  EXPECT_EQ(out.find("<script"), std::string::npos);
  // The table lists the runs latest first.
  EXPECT_LT(out.find("&lt;b&gt;&amp;</td>"), out.find(">run148</td>"));

  std::string none;
  appendTrendSection(none, {});
  EXPECT_EQ(none, "");
}

TEST(HtmlTrend, NothingToCountLeavesAGapAndALoneRunIsADot) {
  std::vector<HistoryEntry> entries = {entry("a", 4, 4), entry("b", 4, 0), entry("c", 0, 0), entry("d", 4, 1)};
  std::string out;
  appendTrendSection(out, entries);
  // Each measure: a line over a and b, then d alone as a dot.
  EXPECT_EQ(occurrences(out, "<polyline"), 10u);
  EXPECT_EQ(occurrences(out, "stroke-linecap=\"round\""), 5u);
  EXPECT_NE(out.find("<polyline points=\"704.0,172.0 704.0,172.0\""), std::string::npos);
  EXPECT_NE(out.find("<td>\xE2\x80\x94</td>"), std::string::npos);
  EXPECT_NE(out.find("<td>25.0 %</td>"), std::string::npos);
}

BaselineComparison comparisonWithLost(size_t lostItems) {
  BaselineComparison c;
  for (const char* path : {"a.c", "b.c", "c.c"}) c.files.emplace_back().path = path;
  // b.c fell more than a.c; c.c did not change.
  c.files[0].measures[0] = ChangeCounts{{10, 9}, {10, 8}, 1, 0, 0, 0, 0};
  c.files[1].measures[0] = ChangeCounts{{10, 9}, {10, 4}, 5, 0, 0, 0, 0};
  c.files[2].measures[0] = ChangeCounts{{10, 9}, {10, 9}, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < lostItems; ++i) c.lost.push_back(LostItem{"b.c", static_cast<uint32_t>(i + 1), {}, "line"});
  c.totals[0] = ChangeCounts{{30, 27}, {30, 21}, static_cast<uint32_t>(lostItems), 0, 0, 0, 0};
  return c;
}

TEST(HtmlBaseline, FilesByTheirFallAndTheLostItemsLinkedToTheirLines) {
  std::string out;
  appendBaselineSection(out, "old.json", comparisonWithLost(60),
                        [](std::string_view path) { return path == "b.c" ? std::string("f00002-b.c.html") : ""; });
  EXPECT_LT(out.find(">b.c</a>"), out.find(">a.c<"));
  EXPECT_EQ(out.find(">c.c<"), std::string::npos);
  EXPECT_NE(out.find("1 file unchanged."), std::string::npos);
  EXPECT_NE(out.find("\xE2\x88\x92" "50.00"), std::string::npos);  // b.c: 90 % to 40 %
  EXPECT_NE(out.find("<a href=\"f00002-b.c.html#L50\">b.c:50</a>"), std::string::npos);
  EXPECT_EQ(out.find("b.c:51<"), std::string::npos);
  EXPECT_NE(out.find("and 10 more"), std::string::npos);
  // Nothing to count on either side is no change of 0 points.
  EXPECT_NE(out.find("<th scope=\"row\">Branches</th><td>\xE2\x80\x94</td><td>\xE2\x80\x94</td><td>\xE2\x80\x94</td>"),
            std::string::npos);
}

TEST(HtmlBaseline, NothingLostSaysSo) {
  std::string out;
  appendBaselineSection(out, "old.json", comparisonWithLost(0), [](std::string_view) { return std::string(); });
  EXPECT_NE(out.find("Nothing that was covered in the baseline is uncovered now."), std::string::npos);
  EXPECT_EQ(out.find("more"), std::string::npos);
}

}  // namespace
}  // namespace qar
