// The Markdown summary: figures with counts or "not applicable", the list of
// the change's uncovered items cut at its limit, and names as code spans.
#include "export/formats/markdown_export.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

std::string summary(const MarkdownInput& input) {
  ExportStream out;
  out.held = true;  // the text stays in the buffer
  writeMarkdownSummary(out, input);
  return out.buffer;
}

TEST(MarkdownExport, FiguresAreTruncatedWithCountsOrNotApplicable) {
  EXPECT_EQ(markdownFigure(2, 3), "66.66 % (2 of 3)");
  EXPECT_EQ(markdownFigure(0, 0), "not applicable");
  EXPECT_EQ(markdownFigure(999999, 1000000), "99.99 % (999999 of 1000000)");
}

TEST(MarkdownExport, CodeSpansOutlastTheBackticksInside) {
  EXPECT_EQ(markdownCode("src/a.c"), "`src/a.c`");
  EXPECT_EQ(markdownCode("a`b"), "``a`b``");
  EXPECT_EQ(markdownCode("`x"), "`` `x ``");
}

TEST(MarkdownExport, ChangeListsAtMostFiftyItemsThenHowManyMore) {
  RunResult run;
  run.lineCoverage.lines = {4, 3};
  PatchResult patch;
  patch.diffName = "mr.diff";
  PatchFile& file = patch.files.emplace_back();
  file.path = "src/a.c";
  file.changedLines = {1, 2};
  file.figures.lineCoverage.lines = {2, 1};
  for (uint32_t line = 1; line <= 53; ++line) {
    file.uncovered.push_back({line, line, UncoveredKind::Jump, "", "f", "return never reached", 0});
  }
  patch.uncoveredItems = 53;
  patch.summary = file.figures;
  patch.filesWithoutCoverage.push_back({"lib/a.c", {"src/a.c"}});
  patch.filesWithoutCoverage.push_back({"README", {}});
  MarkdownInput input{run, CoverageView::Decision, &patch, {}, {{"Since the baseline", {"+1.00", "", "", "", "", ""}}},
                      "\n### More\n"};
  const std::string text = summary(input);
  EXPECT_NE(text.find("| Measure | Whole run | Change | Since the baseline |\n|---|---:|---:|---:|\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("| Lines | 75.00 % (3 of 4) | 50.00 % (1 of 2) | +1.00 |"), std::string::npos) << text;
  EXPECT_NE(text.find("| Branches | not applicable | not applicable |  |"), std::string::npos) << text;
  EXPECT_NE(text.find("- `src/a.c:50` return never reached (in `f`)\n- and 3 more\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("src/a.c:51"), std::string::npos);
  EXPECT_NE(text.find("- `lib/a.c`: not in the coverage under this path; the closest names: `src/a.c`"),
            std::string::npos);
  EXPECT_NE(text.find("- `README`: not instrumented"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 10), "\n### More\n");
}

TEST(MarkdownExport, WithoutAChangeTheFilesWithTheLowestLineCoverage) {
  RunResult run;
  std::vector<FileLineCoverage> files;
  for (uint32_t i = 0; i < 12; ++i) {
    LineCoverage c;
    c.lines = {10, i};  // file i has i of 10 lines covered
    files.push_back({"f" + std::to_string(i) + ".c", c});
  }
  MarkdownInput input{run, CoverageView::AsInstrumented, nullptr, files, {}, {}};
  const std::string text = summary(input);
  EXPECT_NE(text.find("| Measure | Whole run |\n"), std::string::npos);
  const size_t lowest = text.find("| `f0.c` | 0.00 % (0 of 10)");
  const size_t next = text.find("| `f1.c` | 10.00 % (1 of 10)");
  ASSERT_NE(lowest, std::string::npos) << text;
  EXPECT_LT(lowest, next);
  EXPECT_NE(text.find("`f9.c`"), std::string::npos);
  EXPECT_EQ(text.find("`f10.c`"), std::string::npos);  // ten at most
}

}  // namespace
}  // namespace qar
