#include "export/formats/json_baseline.h"

#include "export/output/export_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

void key(std::string& text, std::string_view name) {
  text.push_back('"');
  text.append(name);
  text.append("\": ");
}

void count(std::string& text, std::string_view name, uint64_t value) {
  key(text, name);
  appendDecimal(text, value);
}

void figure(std::string& text, std::string_view name, const CoverageCount& c) {
  key(text, name);
  text += "{";
  count(text, "found", c.found);
  text += ", ";
  count(text, "hit", c.hit);
  text += ", ";
  count(text, "percent", c.found == 0 ? 100 : static_cast<uint64_t>(c.hit) * 100 / c.found);
  text += "}";
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
    key(text, "change");
    const std::string points = pointsText(percentChangeHundredths(c.before, c.now));
    text += points[0] == '+' ? points.substr(1) : points;
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

}  // namespace

std::string pointsText(int64_t hundredths) {
  std::string text = hundredths < 0 ? "-" : hundredths > 0 ? "+" : "";
  const uint64_t magnitude = static_cast<uint64_t>(hundredths < 0 ? -hundredths : hundredths);
  appendDecimal(text, magnitude / 100);
  text += '.';
  text += static_cast<char>('0' + magnitude % 100 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

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
    text += "}";
  }
  text += comparison.files.empty() ? "],\n    " : "\n    ],\n    ";
  key(text, "summary");
  text += "{\n     ";
  measures(text, comparison.totals, "\n     ");
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
