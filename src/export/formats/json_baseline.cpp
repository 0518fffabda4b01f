#include "export/formats/json_baseline.h"

#include "export/formats/json_parts.h"
#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

void key(std::string& text, std::string_view name) { appendJsonKey(text, name); }

void count(std::string& text, std::string_view name, uint64_t value) { appendJsonCount(text, name, value); }

void figure(std::string& text, std::string_view name, const CoverageCount& c) { appendJsonCoverageCount(text, name, c); }

// The change in points as a JSON number ("-12.50", "3.00").
void changeValue(std::string& text, const CoverageCount& before, const CoverageCount& now) {
  key(text, "change");
  const std::string points = pointsText(percentChangeHundredths(before, now));
  text += points[0] == '+' ? points.substr(1) : points;
}

void measures(std::string& text, const ChangeCounts (&counts)[kChangeMeasureCount], std::string_view indent) {
  for (size_t m = 0; m < kChangeMeasureCount; ++m) {
    const ChangeCounts& c = counts[m];
    if (m > 0) {
      text += ",";
      text += indent;
    }
    key(text, changeMeasureName(static_cast<ChangeMeasure>(m)));
    text += "{";
    figure(text, "before", c.before);
    text += ", ";
    figure(text, "now", c.now);
    text += ", ";
    changeValue(text, c.before, c.now);
    text += ", ";
    count(text, "lost", c.lost);
    text += ", ";
    count(text, "gained", c.gained);
    text += ", ";
    count(text, "new_covered", c.newCovered);
    text += ", ";
    count(text, "new_uncovered", c.newUncovered);
    text += ", ";
    count(text, "removed", c.removed);
    text += "}";
  }
}

void statements(std::string& text, const CoverageCount& before, const CoverageCount& now) {
  key(text, "statements");
  text += "{";
  figure(text, "before", before);
  text += ", ";
  figure(text, "now", now);
  text += ", ";
  changeValue(text, before, now);
  text += "}";
}

}  // namespace

void appendJsonBaseline(std::string& text, std::string_view baselineFile, const BaselineComparison& comparison) {
  key(text, "baseline");
  text += "{\n    ";
  key(text, "file");
  appendJsonString(text, baselineFile);
  text += ",\n    ";
  key(text, "files");
  text += "[";
  for (size_t i = 0; i < comparison.files.size(); ++i) {
    const FileChange& file = comparison.files[i];
    text += i > 0 ? ",\n    {" : "\n    {";
    key(text, "path");
    appendJsonString(text, file.path);
    text += ",\n     ";
    measures(text, file.measures, "\n     ");
    text += ",\n     ";
    statements(text, file.statementsBefore, file.statementsNow);
    text += ",\n     ";
    key(text, "changed_throughout");
    text += file.changedThroughout ? "true" : "false";
    text += "}";
  }
  text += comparison.files.empty() ? "],\n    " : "\n    ],\n    ";
  key(text, "summary");
  text += "{\n     ";
  measures(text, comparison.totals, "\n     ");
  text += ",\n     ";
  statements(text, comparison.statementsBefore, comparison.statementsNow);
  text += "},\n    ";
  key(text, "lost_items");
  text += "[";
  for (size_t i = 0; i < comparison.lost.size(); ++i) {
    const LostItem& item = comparison.lost[i];
    text += i > 0 ? ",\n    {" : "\n    {";
    key(text, "path");
    appendJsonString(text, item.path);
    text += ", ";
    count(text, "line", item.line);
    text += ", ";
    key(text, "measure");
    appendJsonString(text, changeMeasureName(item.measure));
    text += ", ";
    key(text, "item");
    appendJsonString(text, item.what);
    text += "}";
  }
  text += comparison.lost.empty() ? "]\n  }" : "\n    ]\n  }";
}

}  // namespace qar
