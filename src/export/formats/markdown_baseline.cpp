#include "export/formats/markdown_baseline.h"

#include <algorithm>

#include "export/walk/export_numbers.h"

namespace qar {
namespace {

// "−2.50 points" (or "+1.00", "0.00"); "not applicable" with nothing to count.
std::string changeText(const CoverageCount& before, const CoverageCount& now) {
  if (before.found == 0 || now.found == 0) return "not applicable";
  return pointsText(percentChangeHundredths(before, now)) + " points";
}

std::string itemsText(const ChangeCounts& counts) {
  std::string text = changeText(counts.before, counts.now);
  if (counts.lost == 0 && counts.gained == 0) return text;
  text += " (";
  appendDecimal(text, counts.lost);
  text += " lost, ";
  appendDecimal(text, counts.gained);
  text += " gained)";
  return text;
}

}  // namespace

MarkdownColumn baselineColumn(const BaselineComparison& c) {
  MarkdownColumn column;
  column.heading = "Change since the baseline";
  for (GateMeasure measure : kMarkdownMeasures) {
    switch (measure) {
      case GateMeasure::Line: column.cells.push_back(itemsText(c.totals[static_cast<int>(ChangeMeasure::Lines)])); break;
      case GateMeasure::Branch:
        column.cells.push_back(itemsText(c.totals[static_cast<int>(ChangeMeasure::Branches)]));
        break;
      case GateMeasure::Function:
        column.cells.push_back(itemsText(c.totals[static_cast<int>(ChangeMeasure::Functions)]));
        break;
      case GateMeasure::Statement: column.cells.push_back(changeText(c.statementsBefore, c.statementsNow)); break;
      case GateMeasure::Ter: column.cells.push_back("not compared"); break;
      case GateMeasure::Mcdc: column.cells.push_back(itemsText(c.totals[static_cast<int>(ChangeMeasure::Mcdc)])); break;
    }
  }
  return column;
}

std::string lostSection(std::string_view baselineFile, const BaselineComparison& c) {
  std::string text = "\n### Coverage lost since the baseline\n\n";
  if (c.lost.empty()) {
    text += "Nothing covered in " + markdownCode(baselineFile) + " is uncovered now.\n";
    return text;
  }
  text += "Covered in " + markdownCode(baselineFile) + ", not covered now:\n\n";
  const size_t listed = std::min(c.lost.size(), kMarkdownLostLimit);
  for (size_t i = 0; i < listed; ++i) {
    const LostItem& item = c.lost[i];
    std::string place = item.path + ":";
    appendDecimal(place, item.line);
    text += "- " + markdownCode(place) + " " + markdownCode(item.what) + "\n";
  }
  if (c.lost.size() > listed) {
    text += "- and ";
    appendDecimal(text, c.lost.size() - listed);
    text += " more\n";
  }
  return text;
}

std::string historySection(const std::vector<HistoryEntry>& entries) {
  if (entries.empty()) return {};
  std::string text =
      "\n### Recent runs\n\n| Time (UTC) | Label | Lines | Branches | Functions | Statements | MC/DC conditions |\n"
      "|---|---|---:|---:|---:|---:|---:|\n";
  const size_t shown = std::min(entries.size(), kMarkdownHistoryEntries);
  for (size_t i = entries.size(); i-- > entries.size() - shown;) {
    const HistoryEntry& e = entries[i];
    text += "| " + e.time + " | " + (e.label ? markdownCode(*e.label) : std::string()) + " |";
    for (const HistoryFigure& f : e.measures) text += " " + markdownFigure(f.hit, f.found) + " |";
    text += "\n";
  }
  return text;
}

}  // namespace qar
