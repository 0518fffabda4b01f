#include "export/formats/markdown_export.h"

#include <algorithm>

#include "export/gates/coverage_gates.h"
#include "export/gates/patch_gates.h"
#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

std::string rowLabel(GateMeasure measure, CoverageView view) {
  switch (measure) {
    case GateMeasure::Line: return "Lines";
    case GateMeasure::Branch: return "Branches";
    case GateMeasure::Function: return "Functions";
    case GateMeasure::Statement: return "Statements";
    case GateMeasure::Ter: return gateMeasureLabel(measure, view);
    case GateMeasure::Mcdc: return "MC/DC conditions";
  }
  return {};
}

std::string tableCell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

void measuresTable(std::string& text, const MarkdownInput& input) {
  text += "| Measure | Whole run |";
  if (input.patch) text += " Change |";
  for (const MarkdownColumn& column : input.extraColumns) text += " " + tableCell(column.heading) + " |";
  text += "\n|---|---:|";
  if (input.patch) text += "---:|";
  for (size_t c = 0; c < input.extraColumns.size(); ++c) text += "---:|";
  text += "\n";
  for (size_t row = 0; row < std::size(kMarkdownMeasures); ++row) {
    const GateMeasure measure = kMarkdownMeasures[row];
    const GateFigure whole = gateFigure(measure, input.run, input.view);
    text += "| " + rowLabel(measure, input.view) + " | " + markdownFigure(whole.hit, whole.found) + " |";
    if (input.patch) {
      const GateFigure change = patchGateFigure(measure, input.patch->summary, input.view);
      text += " " + markdownFigure(change.hit, change.found) + " |";
    }
    for (const MarkdownColumn& column : input.extraColumns) {
      text += " " + (row < column.cells.size() ? tableCell(column.cells[row]) : std::string()) + " |";
    }
    text += "\n";
  }
}

void changeSections(std::string& text, const PatchResult& patch) {
  size_t changed = 0;
  for (const PatchFile& f : patch.files) changed += f.changedLines.size();
  text += "\nThe change (" + markdownCode(patch.diffName) + "): ";
  appendDecimal(text, patch.files.size());
  text += patch.files.size() == 1 ? " file with coverage, " : " files with coverage, ";
  appendDecimal(text, changed);
  text += changed == 1 ? " changed line.\n" : " changed lines.\n";

  text += "\n### Uncovered items of the change\n\n";
  if (patch.uncoveredItems == 0) text += "None.\n";
  size_t listed = 0;
  for (const PatchFile& f : patch.files) {
    for (const UncoveredItem& item : f.uncovered) {
      if (listed == kMarkdownItemLimit) break;
      ++listed;
      std::string place = f.path + ":";
      appendDecimal(place, item.line);
      text += "- " + markdownCode(place) + " ";
      appendUtf8(text, item.missing);
      if (!item.function.empty()) text += " (in " + markdownCode(item.function) + ")";
      text += "\n";
    }
  }
  if (patch.uncoveredItems > listed) {
    text += "- and ";
    appendDecimal(text, patch.uncoveredItems - listed);
    text += " more\n";
  }

  if (patch.filesWithoutCoverage.empty()) return;
  text += "\n### Files of the change without coverage\n\n";
  for (const FileWithoutCoverage& f : patch.filesWithoutCoverage) {
    text += "- " + markdownCode(f.path);
    if (f.closest.empty()) {
      text += ": not instrumented\n";
      continue;
    }
    text += ": not in the coverage under this path; the closest names: ";
    for (size_t n = 0; n < f.closest.size(); ++n) {
      if (n > 0) text += ", ";
      text += markdownCode(f.closest[n]);
    }
    text += "\n";
  }
}

void lowestFiles(std::string& text, std::vector<FileLineCoverage> files) {
  if (files.empty()) return;
  // Lowest line coverage first (compared exactly), then by name.
  const auto below = [](const FileLineCoverage& a, const FileLineCoverage& b) {
    const uint64_t left = uint64_t{a.coverage.lines.hit} * b.coverage.lines.found;
    const uint64_t right = uint64_t{b.coverage.lines.hit} * a.coverage.lines.found;
    return left != right ? left < right : a.path < b.path;
  };
  const size_t shown = std::min(files.size(), kMarkdownLowestFiles);
  std::partial_sort(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(shown), files.end(), below);
  text += "\n### Files with the lowest line coverage\n\n| File | Lines | Branches | Functions |\n|---|---:|---:|---:|\n";
  for (size_t i = 0; i < shown; ++i) {
    const LineCoverage& c = files[i].coverage;
    text += "| " + tableCell(markdownCode(files[i].path)) + " | " + markdownFigure(c.lines.hit, c.lines.found) +
            " | " + markdownFigure(c.branches.hit, c.branches.found) + " | " +
            markdownFigure(c.functions.hit, c.functions.found) + " |\n";
  }
}

}  // namespace

std::string markdownFigure(uint64_t hit, uint64_t found) {
  if (found == 0) return "not applicable";
  std::string text = gatePercentText(GateFigure{hit, found}) + " % (";
  appendDecimal(text, hit);
  text += " of ";
  appendDecimal(text, found);
  text += ")";
  return text;
}

std::string markdownCode(std::string_view text) {
  size_t longest = 0;
  size_t run = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  const std::string fence(longest + 1, '`');
  const bool pad = !text.empty() && (text.front() == '`' || text.back() == '`');
  std::string code = fence + (pad ? " " : "");
  appendUtf8(code, text);
  return code + (pad ? " " : "") + fence;
}

void writeMarkdownSummary(ExportStream& out, const MarkdownInput& input) {
  std::string& text = out.buffer;
  text += "## Coverage\n\n";
  measuresTable(text, input);
  if (input.patch) {
    changeSections(text, *input.patch);
  } else {
    lowestFiles(text, input.files);
  }
  text += input.extraSections;
  settleExportBuffer(out);
}

}  // namespace qar
