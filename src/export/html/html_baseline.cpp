#include "export/html/html_baseline.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "export/html/html_parts.h"
#include "export/html/html_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

constexpr const char* kMeasureLabels[kChangeMeasureCount] = {"Lines", "Branches", "Functions", "MC/DC conditions"};

void appendFigure(std::string& out, const CoverageCount& c) {
  if (c.found == 0) {
    out += "\xE2\x80\x94";
    return;
  }
  appendPercentText(out, c.hit, c.found);
  out += " <small>";
  appendDecimal(out, c.hit);
  out += '/';
  appendDecimal(out, c.found);
  out += "</small>";
}

// The change in points, or "—" when either side has nothing to count.
void appendChange(std::string& out, const CoverageCount& before, const CoverageCount& now) {
  if (before.found == 0 || now.found == 0) {
    out += "\xE2\x80\x94";
    return;
  }
  const int64_t change = percentChangeHundredths(before, now);
  out += change < 0 ? "<span class=\"fall\">" : change > 0 ? "<span class=\"rise\">" : "<span>";
  // A minus sign that reads as one.
  const std::string text = pointsText(change);
  out += text[0] == '-' ? "\xE2\x88\x92" + text.substr(1) : text;
  out += "</span>";
}

void appendCount(std::string& out, uint32_t value) {
  out += "<td>";
  appendDecimal(out, value);
  out += "</td>";
}

void appendSummary(std::string& out, const BaselineComparison& c) {
  out += "<table class=\"change\"><thead><tr><th scope=\"col\">Measure</th><th scope=\"col\">Baseline</th>"
         "<th scope=\"col\">Now</th><th scope=\"col\">Change (points)</th><th scope=\"col\">Lost</th>"
         "<th scope=\"col\">Gained</th><th scope=\"col\">New, covered</th><th scope=\"col\">New, not covered</th>"
         "<th scope=\"col\">Removed</th></tr></thead><tbody>\n";
  for (size_t m = 0; m < kChangeMeasureCount; ++m) {
    const ChangeCounts& counts = c.totals[m];
    out += "<tr><th scope=\"row\">";
    out += kMeasureLabels[m];
    out += "</th><td>";
    appendFigure(out, counts.before);
    out += "</td><td>";
    appendFigure(out, counts.now);
    out += "</td><td>";
    appendChange(out, counts.before, counts.now);
    out += "</td>";
    appendCount(out, counts.lost);
    appendCount(out, counts.gained);
    appendCount(out, counts.newCovered);
    appendCount(out, counts.newUncovered);
    appendCount(out, counts.removed);
    out += "</tr>\n";
  }
  // Statements are figures per function, not items: no counts of items.
  out += "<tr><th scope=\"row\">Statements</th><td>";
  appendFigure(out, c.statementsBefore);
  out += "</td><td>";
  appendFigure(out, c.statementsNow);
  out += "</td><td>";
  appendChange(out, c.statementsBefore, c.statementsNow);
  out += "</td><td colspan=\"5\" class=\"sub\">estimates per function, not items</td></tr>\n</tbody></table>\n";
}

bool changed(const FileChange& f) {
  for (const ChangeCounts& m : f.measures) {
    if (m.lost || m.gained || m.newCovered || m.newUncovered || m.removed || !(m.before == m.now)) return true;
  }
  return !(f.statementsBefore == f.statementsNow);
}

void appendPath(std::string& out, std::string_view path, const std::string& page) {
  if (page.empty()) {
    appendHtmlText(out, path);
    return;
  }
  out += "<a href=\"";
  appendHtmlText(out, page);
  out += "\">";
  appendHtmlText(out, path);
  out += "</a>";
}

void appendFiles(std::string& out, const BaselineComparison& c,
                 const std::function<std::string(std::string_view path)>& pageOf) {
  std::vector<size_t> order;
  for (size_t i = 0; i < c.files.size(); ++i) {
    if (changed(c.files[i])) order.push_back(i);
  }
  const size_t unchanged = c.files.size() - order.size();
  // The largest fall in lines first, then in branches; more lost items first.
  auto key = [&](size_t i) {
    const FileChange& f = c.files[i];
    const ChangeCounts& lines = f.measures[static_cast<int>(ChangeMeasure::Lines)];
    const ChangeCounts& branches = f.measures[static_cast<int>(ChangeMeasure::Branches)];
    return std::make_tuple(percentChangeHundredths(lines.before, lines.now),
                           percentChangeHundredths(branches.before, branches.now), -static_cast<int64_t>(lines.lost));
  };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
  out += "<h3>Files whose coverage changed</h3>\n";
  if (order.empty()) {
    out += "<p class=\"sub\">None.</p>\n";
    return;
  }
  out += "<div class=\"filelist\"><table class=\"change\"><thead><tr><th scope=\"col\">File</th>";
  for (const char* label : kMeasureLabels) {
    out += "<th scope=\"col\">";
    out += label;
    out += " (points)</th>";
  }
  out += "<th scope=\"col\">Items lost</th></tr></thead><tbody>\n";
  for (size_t i : order) {
    const FileChange& f = c.files[i];
    out += "<tr><th scope=\"row\">";
    appendPath(out, f.path, pageOf(f.path));
    if (f.changedThroughout) out += " <small>(compared as changed throughout)</small>";
    out += "</th>";
    uint32_t lost = 0;
    for (const ChangeCounts& m : f.measures) {
      out += "<td>";
      appendChange(out, m.before, m.now);
      out += "</td>";
      lost += m.lost;
    }
    appendCount(out, lost);
    out += "</tr>\n";
  }
  out += "</tbody></table></div>\n";
  if (unchanged > 0) {
    out += "<p class=\"sub\">";
    appendDecimal(out, unchanged);
    out += unchanged == 1 ? " file unchanged.</p>\n" : " files unchanged.</p>\n";
  }
}

void appendLost(std::string& out, const BaselineComparison& c,
                const std::function<std::string(std::string_view path)>& pageOf) {
  out += "<h3>Coverage lost</h3>\n";
  if (c.lost.empty()) {
    out += "<p class=\"sub\">Nothing that was covered in the baseline is uncovered now.</p>\n";
    return;
  }
  out += "<ul class=\"lost\">\n";
  const size_t listed = std::min(c.lost.size(), kListedLostItems);
  for (size_t i = 0; i < listed; ++i) {
    const LostItem& item = c.lost[i];
    std::string page = pageOf(item.path);
    out += "<li>";
    std::string place(item.path);
    place += ':';
    appendDecimal(place, item.line);
    if (!page.empty()) {
      page += "#L";
      appendDecimal(page, item.line);
    }
    appendPath(out, place, page);
    out += " &mdash; ";
    appendHtmlText(out, item.what);
    out += "</li>\n";
  }
  out += "</ul>\n";
  if (c.lost.size() > listed) {
    out += "<p class=\"sub\">and ";
    appendDecimal(out, c.lost.size() - listed);
    out += " more (all of them in the JSON export's baseline part).</p>\n";
  }
}

}  // namespace

LostLines lostLinesOf(const std::vector<LostItem>* lost) {
  LostLines lines;
  if (lost == nullptr) return lines;
  std::vector<const LostItem*> items;
  for (const LostItem& item : *lost) items.push_back(&item);
  std::stable_sort(items.begin(), items.end(), [](const LostItem* a, const LostItem* b) { return a->line < b->line; });
  for (const LostItem* item : items) {
    if (lines.empty() || lines.back().first != item->line) {
      lines.emplace_back(item->line, item->what);
    } else {
      lines.back().second += ", " + item->what;
    }
  }
  return lines;
}

void appendLostLineMark(std::string& out, const LostLines& lost, uint32_t line) {
  auto at = std::lower_bound(lost.begin(), lost.end(), line,
                             [](const std::pair<uint32_t, std::string>& l, uint32_t n) { return l.first < n; });
  if (at == lost.end() || at->first != line) return;
  out += " <span class=\"lostmark\" title=\"covered in the baseline, not now: ";
  appendHtmlText(out, at->second);
  out += "\">lost</span>";
}

std::string_view changeStyleRules() {
  return R"css(
section.baseline, section.trend { margin: 0 0 24px; }
table.change { border-collapse: collapse; margin: 0 0 12px; font-size: 14px; }
table.change th, table.change td { padding: 4px 10px; border-bottom: 1px solid var(--line); text-align: right; white-space: nowrap; }
table.change thead th:first-child { text-align: left; }
table.change th[scope=row] { text-align: left; font-weight: normal; white-space: normal; overflow-wrap: anywhere; }
table.change td small { color: var(--muted); margin-left: 6px; }
.fall { color: var(--fall, #a3261b); font-weight: 600; }
.rise { color: var(--rise, #1d6e34); }
@media (prefers-color-scheme: dark) { :root { --fall: #ff8f85; --rise: #7ad69a; } }
.lostmark { font-size: 11px; font-weight: 600; color: var(--fall, #a3261b); border: 1px solid currentColor; border-radius: 3px; padding: 0 3px; margin-left: 4px; }
ul.lost { margin: 0 0 12px; padding-left: 20px; }
section.trend figure { margin: 0 0 12px; max-width: 100%; overflow-x: auto; }
section.trend svg { max-width: 100%; height: auto; }
section.trend figcaption { font-size: 13px; color: var(--muted); }
section.trend .key { white-space: nowrap; margin-right: 10px; }
section.trend .key svg { vertical-align: middle; }
)css";
}

void appendBaselineSection(std::string& out, std::string_view baselineFile, const BaselineComparison& comparison,
                           const std::function<std::string(std::string_view path)>& pageOf) {
  out += "<section class=\"baseline\"><h2>Change since the baseline</h2>\n<p class=\"sub\">Compared with ";
  appendHtmlText(out, baselineFile);
  out += ".</p>\n";
  appendSummary(out, comparison);
  appendFiles(out, comparison, pageOf);
  appendLost(out, comparison, pageOf);
  out += "</section>\n";
}

}  // namespace qar
