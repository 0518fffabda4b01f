#include "export/html/html_trend.h"

#include <algorithm>

#include "export/html/html_parts.h"
#include "export/html/html_text.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

// The chart's frame: the plot within margins that hold the axes' labels.
constexpr int kWidth = 720;
constexpr int kHeight = 280;
constexpr int kLeft = 56;
constexpr int kRight = 16;
constexpr int kTop = 16;
constexpr int kBottom = 56;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kPlotHeight = kHeight - kTop - kBottom;

struct Series {
  const char* label;
  HistoryMeasure measure;
  const char* colour;  // readable on light and dark backgrounds
  const char* dashes;  // so that the lines differ by more than colour
};

constexpr Series kSeries[] = {
    {"Lines", HistoryMeasure::Lines, "#2f7ed8", ""},
    {"Branches", HistoryMeasure::Branches, "#d9822b", "8 4"},
    {"Functions", HistoryMeasure::Functions, "#3a9e5a", "2 3"},
    {"Statements", HistoryMeasure::Statements, "#9b59b6", "10 3 2 3"},
    {"MC/DC", HistoryMeasure::Mcdc, "#c0392b", "4 4"},
};

void appendNumber(std::string& out, int64_t value) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  appendDecimal(out, static_cast<uint64_t>(value));
}

// A coordinate in tenths of a unit, written with one decimal.
void appendCoordinate(std::string& out, int64_t tenths) {
  appendNumber(out, tenths / 10);
  out += '.';
  out += static_cast<char>('0' + tenths % 10);
}

int64_t xTenths(size_t index, size_t count) {
  if (count <= 1) return (kLeft + kPlotWidth / 2) * 10;
  return kLeft * 10 + static_cast<int64_t>(index) * kPlotWidth * 10 / static_cast<int64_t>(count - 1);
}

__extension__ typedef unsigned __int128 Wide;

// A percent of `hit` of `found` as a height in tenths (0 % at the bottom).
int64_t yTenths(const HistoryFigure& f) {
  const auto share = static_cast<int64_t>(Wide{f.hit} * kPlotHeight * 10 / f.found);
  return (kTop + kPlotHeight) * 10 - share;
}

// "12-06 14:00" from "2026-12-06T14:00:00Z": short enough for an axis.
std::string shortTime(const std::string& time) {
  if (time.size() >= 16 && time[10] == 'T') return time.substr(5, 5) + " " + time.substr(11, 5);
  return time;
}

std::string entryName(const HistoryEntry& entry) {
  return entry.label ? *entry.label : shortTime(entry.time);
}

void appendAxisText(std::string& out, int64_t xTenthsValue, int64_t yTenthsValue, const char* anchor,
                    std::string_view text) {
  out += "<text x=\"";
  appendCoordinate(out, xTenthsValue);
  out += "\" y=\"";
  appendCoordinate(out, yTenthsValue);
  out += "\" text-anchor=\"";
  out += anchor;
  out += "\">";
  appendHtmlText(out, text);
  out += "</text>";
}

void appendAxes(std::string& out, size_t count, const HistoryEntry& first, const HistoryEntry& last) {
  // Horizontal grid lines with the percent they stand for.
  for (int percent = 0; percent <= 100; percent += 25) {
    const int64_t y = (kTop + kPlotHeight) * 10 - static_cast<int64_t>(percent) * kPlotHeight * 10 / 100;
    out += "<line x1=\"";
    appendNumber(out, kLeft);
    out += "\" x2=\"";
    appendNumber(out, kLeft + kPlotWidth);
    out += "\" y1=\"";
    appendCoordinate(out, y);
    out += "\" y2=\"";
    appendCoordinate(out, y);
    out += percent == 0 ? "\" stroke=\"currentColor\"/>" : "\" stroke=\"currentColor\" stroke-opacity=\"0.2\"/>";
    std::string label;
    appendDecimal(label, static_cast<uint64_t>(percent));
    label += " %";
    appendAxisText(out, (kLeft - 6) * 10, y + 40, "end", label);
  }
  out += "<line x1=\"";
  appendNumber(out, kLeft);
  out += "\" x2=\"";
  appendNumber(out, kLeft);
  out += "\" y1=\"";
  appendNumber(out, kTop);
  out += "\" y2=\"";
  appendNumber(out, kTop + kPlotHeight);
  out += "\" stroke=\"currentColor\"/>";
  // The first and the latest run under the axis, and the axes' titles.
  const int64_t tickY = (kTop + kPlotHeight + 16) * 10;
  appendAxisText(out, xTenths(0, count), tickY, count > 1 ? "start" : "middle", entryName(first));
  if (count > 1) appendAxisText(out, xTenths(count - 1, count), tickY, "end", entryName(last));
  std::string runs = "runs, oldest to latest (";
  appendDecimal(runs, count);
  runs += count == 1 ? " run)" : " runs)";
  appendAxisText(out, (kLeft + kPlotWidth / 2) * 10, (kHeight - 10) * 10, "middle", runs);
  out += "<text transform=\"translate(14 ";
  appendNumber(out, kTop + kPlotHeight / 2);
  out += ") rotate(-90)\" text-anchor=\"middle\">coverage</text>";
}

// One measure's line; runs with nothing to count leave a gap, and a run
// alone between gaps is a round dot (a line from the point to itself).
void appendSeries(std::string& out, const Series& series, const HistoryEntry* entries, size_t count) {
  std::string points;
  size_t inLine = 0;
  auto endLine = [&] {
    if (inLine == 0) return;
    if (inLine == 1) points += " " + points;
    out += "<polyline points=\"";
    out += points;
    out += "\" fill=\"none\" stroke=\"";
    out += series.colour;
    if (inLine == 1) {
      out += "\" stroke-width=\"6\" stroke-linecap=\"round\"/>";
    } else {
      out += "\" stroke-width=\"2\"";
      if (*series.dashes) {
        out += " stroke-dasharray=\"";
        out += series.dashes;
        out += "\"";
      }
      out += "/>";
    }
    points.clear();
    inLine = 0;
  };
  for (size_t i = 0; i < count; ++i) {
    const HistoryFigure& f = entries[i].measures[static_cast<int>(series.measure)];
    if (f.found == 0) {
      endLine();
      continue;
    }
    if (inLine++ > 0) points += ' ';
    appendCoordinate(points, xTenths(i, count));
    points += ',';
    appendCoordinate(points, yTenths(f));
  }
  endLine();
}

void appendFigureTable(std::string& out, const HistoryEntry* entries, size_t count) {
  out += "<details><summary>The figures of these runs</summary>\n<table class=\"trend\"><thead><tr>"
         "<th scope=\"col\">Time (UTC)</th><th scope=\"col\">Label</th>";
  for (const Series& s : kSeries) {
    out += "<th scope=\"col\">";
    out += s.label;
    out += "</th>";
  }
  out += "</tr></thead><tbody>\n";
  for (size_t i = count; i-- > 0;) {
    const HistoryEntry& e = entries[i];
    out += "<tr><th scope=\"row\">";
    appendHtmlText(out, e.time);
    out += "</th><td>";
    if (e.label) appendHtmlText(out, *e.label);
    out += "</td>";
    for (const Series& s : kSeries) {
      const HistoryFigure& f = e.measures[static_cast<int>(s.measure)];
      out += "<td>";
      if (f.found == 0) {
        out += "\xE2\x80\x94";
      } else {
        appendPercentText(out, f.hit, f.found);
      }
      out += "</td>";
    }
    out += "</tr>\n";
  }
  out += "</tbody></table></details>\n";
}

}  // namespace

void appendTrendSection(std::string& out, const std::vector<HistoryEntry>& all) {
  if (all.empty()) return;
  const size_t count = std::min(all.size(), kTrendEntries);
  const HistoryEntry* entries = all.data() + (all.size() - count);
  out += "<section class=\"trend\"><h2>Trend</h2>\n<figure>\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
  appendNumber(out, kWidth);
  out += ' ';
  appendNumber(out, kHeight);
  out += "\" width=\"";
  appendNumber(out, kWidth);
  out += "\" height=\"";
  appendNumber(out, kHeight);
  out += "\" role=\"img\" aria-labelledby=\"trend-title\" font-size=\"12\" fill=\"currentColor\">"
         "<title id=\"trend-title\">Coverage of each measure over the last ";
  appendDecimal(out, count);
  out += count == 1 ? " run</title>" : " runs</title>";
  appendAxes(out, count, entries[0], entries[count - 1]);
  for (const Series& s : kSeries) appendSeries(out, s, entries, count);
  out += "</svg>\n<figcaption>";
  for (const Series& s : kSeries) {
    out += "<span class=\"key\"><svg width=\"28\" height=\"10\" aria-hidden=\"true\"><line x1=\"0\" y1=\"5\" "
           "x2=\"28\" y2=\"5\" stroke-width=\"2\" stroke=\"";
    out += s.colour;
    out += "\"";
    if (*s.dashes) {
      out += " stroke-dasharray=\"";
      out += s.dashes;
      out += "\"";
    }
    out += "/></svg> ";
    out += s.label;
    out += "</span> ";
  }
  out += "(a gap: nothing to count in that run)</figcaption>\n</figure>\n";
  appendFigureTable(out, entries, count);
  out += "</section>\n";
}

}  // namespace qar
