#include "export/formats/json_patch.h"

#include "export/formats/json_export.h"
#include "export/formats/json_parts.h"
#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

void key(std::string& text, std::string_view name) { appendJsonKey(text, name); }

void count(std::string& text, std::string_view name, uint64_t value) { appendJsonCount(text, name, value); }

// Truncated as everywhere; null when there is nothing to cover.
void percent(std::string& text, uint64_t hit, uint64_t found) {
  appendJsonPercent(text, hit, found, EmptyPercent::Null);
}

void coverageCount(std::string& text, std::string_view name, const CoverageCount& c) {
  appendJsonCoverageCount(text, name, c, EmptyPercent::Null);
}

void figures(std::string& text, const PatchFigures& f, std::string_view indent) {
  key(text, "line_coverage");
  text += "{";
  coverageCount(text, "lines", f.lineCoverage.lines);
  text += ", ";
  coverageCount(text, "branches", f.lineCoverage.branches);
  text += ", ";
  coverageCount(text, "functions", f.lineCoverage.functions);
  text += "},";
  text += indent;
  key(text, "statements");
  text += "{";
  count(text, "hits", f.statements.hits);
  text += ", ";
  count(text, "total", f.statements.total);
  text += ", ";
  percent(text, f.statements.hits, f.statements.total);
  text += "},";
  text += indent;
  key(text, "ter");
  text += "{";
  for (size_t v = 0; v < kCoverageViewCount; ++v) {
    if (v > 0) text += ", ";
    const TerFigures& ter = f.ter[v];
    key(text, jsonViewName(kCoverageViews[v]));
    text += "{";
    count(text, "items", ter.items);
    text += ", ";
    count(text, "covered", ter.covered());
    text += ", ";
    percent(text, ter.covered(), ter.items);
    text += "}";
  }
  text += "},";
  text += indent;
  key(text, "mcdc");
  text += "{";
  count(text, "conditions", f.mcdc.conditions);
  text += ", ";
  count(text, "covered", f.mcdc.covered);
  text += ", ";
  percent(text, f.mcdc.covered, f.mcdc.conditions);
  text += "}";
}

void item(std::string& text, const UncoveredItem& i) {
  text += "{";
  count(text, "line", i.line);
  text += ", ";
  count(text, "last_line", i.lastLine);
  text += ", ";
  key(text, "kind");
  appendJsonString(text, uncoveredKindName(i.kind));
  text += ", ";
  key(text, "function");
  appendJsonString(text, i.function);
  text += ", ";
  key(text, "missing");
  appendJsonString(text, i.missing);
  text += "}";
}

void file(std::string& text, const PatchFile& f) {
  text += "{";
  key(text, "path");
  appendJsonString(text, f.path);
  text += ", ";
  key(text, "old_path");
  if (f.oldPath.empty()) {
    text += "null";
  } else {
    appendJsonString(text, f.oldPath);
  }
  text += ", ";
  key(text, "status");
  appendJsonString(text, diffStatusName(f.status));
  text += ",\n       ";
  count(text, "added_lines", f.addedLines);
  text += ", ";
  key(text, "source_read");
  text += f.sourceRead ? "true" : "false";
  text += ", ";
  key(text, "changed_lines");
  text += "[";
  for (size_t i = 0; i < f.changedLines.size(); ++i) {
    if (i > 0) text += ", ";
    appendDecimal(text, f.changedLines[i]);
  }
  text += "],\n       ";
  figures(text, f.figures, "\n       ");
  text += ",\n       ";
  key(text, "uncovered");
  text += "[";
  for (size_t i = 0; i < f.uncovered.size(); ++i) {
    text += i > 0 ? ",\n         " : "\n         ";
    item(text, f.uncovered[i]);
  }
  text += "]}";
}

}  // namespace

const char* diffStatusName(DiffStatus status) {
  switch (status) {
    case DiffStatus::Modified: return "modified";
    case DiffStatus::New: return "new";
    case DiffStatus::Deleted: return "deleted";
    case DiffStatus::Renamed: return "renamed";
    case DiffStatus::Copied: return "copied";
  }
  return "modified";
}

void appendJsonPatch(std::string& text, const PatchResult& patch) {
  key(text, "patch");
  text += "{\n    ";
  key(text, "diff");
  appendJsonString(text, patch.diffName);
  text += ",\n    ";
  key(text, "files");
  text += "[";
  for (size_t i = 0; i < patch.files.size(); ++i) {
    text += i > 0 ? ",\n      " : "\n      ";
    file(text, patch.files[i]);
  }
  text += patch.files.empty() ? "],\n    " : "\n    ],\n    ";
  key(text, "summary");
  text += "{";
  count(text, "files", patch.files.size());
  text += ", ";
  size_t changed = 0;
  for (const PatchFile& f : patch.files) changed += f.changedLines.size();
  count(text, "changed_lines", changed);
  text += ", ";
  count(text, "uncovered_items", patch.uncoveredItems);
  text += ",\n     ";
  figures(text, patch.summary, "\n     ");
  text += "},\n    ";
  key(text, "files_without_coverage");
  text += "[";
  for (size_t i = 0; i < patch.filesWithoutCoverage.size(); ++i) {
    const FileWithoutCoverage& f = patch.filesWithoutCoverage[i];
    text += i > 0 ? ", {" : "{";
    key(text, "path");
    appendJsonString(text, f.path);
    text += ", ";
    key(text, "closest");
    text += "[";
    for (size_t n = 0; n < f.closest.size(); ++n) {
      if (n > 0) text += ", ";
      appendJsonString(text, f.closest[n]);
    }
    text += "]}";
  }
  text += "]\n  }";
}

}  // namespace qar
