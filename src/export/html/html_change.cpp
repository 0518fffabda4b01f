#include "export/html/html_change.h"

#include <algorithm>
#include <unordered_map>

#include "base/quick_format.h"
#include "export/html/html_parts.h"
#include "export/html/html_report.h"
#include "export/html/html_text.h"
#include "export/walk/export_paths.h"

namespace qar {

const std::vector<uint32_t>* htmlChangedLines(const HtmlReport& report, const std::string& key) {
  return report.patch ? report.patch->changedLinesOf(key) : nullptr;
}

void appendChangedLineMark(std::string& out, const std::vector<uint32_t>* changed, uint32_t line) {
  if (changed == nullptr || !std::binary_search(changed->begin(), changed->end(), line)) return;
  out += " <span class=chg title=\"changed by the diff\" style=\"color:#6a3fb5;font-weight:bold\">&#x25B8;</span>";
}

void appendHtmlChange(std::string& out, const HtmlReport& report) {
  if (report.patchResult == nullptr) return;
  const PatchResult& patch = *report.patchResult;
  const PatchFigures& f = patch.summary;
  out += "<section aria-label=\"The change\"><h2>The change: ";
  appendHtmlText(out, patch.diffName);
  out += "</h2>\n<section class=\"cards\" aria-label=\"Figures of the change\">\n";
  appendFigureCard(out, terFigure("TER", f.ter[static_cast<size_t>(report.view)]));
  StatementTotals statements;
  statements.hits = f.statements.hits;
  statements.total = f.statements.total;
  appendFigureCard(out, statementFigure(statements));
  appendFigureCard(out, countFigure("Functions", f.lineCoverage.functions, "functions"));
  appendFigureCard(out, countFigure("Lines", f.lineCoverage.lines, "lines"));
  appendFigureCard(out, countFigure("Branches", f.lineCoverage.branches, "branches"));
  if (f.mcdc.conditions > 0) appendFigureCard(out, mcdcFigure(f.mcdc));
  out += "</section>\n";

  std::unordered_map<std::string, const std::string*> pages;
  for (const HtmlIndexEntry& entry : report.files) pages.emplace(entry.key, &entry.page);
  out += "<ul class=\"change\">\n";
  for (const PatchFile& file : patch.files) {
    auto page = pages.find(exportPathKey(file.path));
    out += "<li>";
    if (page != pages.end()) {
      out += "<a href=\"";
      appendHtmlText(out, *page->second);
      out += "\">";
    }
    appendHtmlText(out, file.path);
    if (page != pages.end()) out += "</a>";
    out += " &middot; ";
    appendUnsigned(out, file.changedLines.size());
    out += file.changedLines.size() == 1 ? " changed line" : " changed lines";
    if (!file.uncovered.empty()) {
      out += "\n<ul>\n";
      for (const UncoveredItem& item : file.uncovered) {
        out += "<li>";
        if (page != pages.end()) {
          out += "<a href=\"";
          appendHtmlText(out, *page->second);
          out += "#L";
          appendUnsigned(out, item.line);
          out += "\">";
        }
        out += "line ";
        appendUnsigned(out, item.line);
        if (page != pages.end()) out += "</a>";
        out += ": ";
        appendHtmlText(out, item.missing);
        out += "</li>\n";
      }
      out += "</ul>";
    }
    out += "</li>\n";
  }
  for (const FileWithoutCoverage& file : patch.filesWithoutCoverage) {
    out += "<li>";
    appendHtmlText(out, file.path);
    out += file.closest.empty() ? " &middot; not instrumented" : " &middot; not in the coverage under this path";
    out += "</li>\n";
  }
  out += "</ul></section>\n";
}

}  // namespace qar
