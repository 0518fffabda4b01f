#include "export/html/html_page.h"

#include "export/html/html_change.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "base/quick_format.h"
#include "export/walk/export_numbers.h"
#include "export/html/html_mcdc.h"
#include "export/html/html_parts.h"
#include "export/html/html_text.h"
#include "export/html/html_uncovered.h"
#include "listings/measures.h"
#include "listings/postlist.h"

namespace qar {
namespace {

const char* stateClass(LineState state) {
  switch (state) {
    case LineState::Covered: return "c";
    case LineState::PartlyCovered: return "p";
    case LineState::NotCovered: return "n";
    case LineState::NotInstrumented: break;
  }
  return "x";
}

// The marker that tells the state without colour.
const char* stateMarker(LineState state) {
  switch (state) {
    case LineState::Covered: return "\u2713";        // check mark
    case LineState::PartlyCovered: return "\u25D0";  // half circle
    case LineState::NotCovered: return "\u2717";     // ballot x
    case LineState::NotInstrumented: break;
  }
  return "";
}

uint64_t rowCount(const ListingRow& row) {
  return static_cast<uint64_t>(row.hits.value_or(0)) + row.falseCount.value_or(0);
}

void appendDecimal(std::string& out, double value) {
  char digits[64];
  int length = std::snprintf(digits, sizeof digits, "%.1f", value);
  out.append(digits, static_cast<size_t>(length));
}

std::string_view trimmedDescription(const ListingRow& row) {
  std::string_view text = row.description;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

void appendLegend(std::string& out) {
  out += "<p class=\"legend\"><span><i class=\"key-c\">&#10003;</i>covered</span>"
         "<span><i class=\"key-p\">&#9680;</i>partly covered</span>"
         "<span><i class=\"key-n\">&#10007;</i>not covered</span>"
         "<span><i class=\"key-x\">&nbsp;</i>not instrumented</span>"
         "<span><i class=\"key-x\">T / F</i>times a decision was true / false</span>"
         "<span><i class=\"key-x\">}+ }-</i>block end reached / not reached</span>"
         "<span><i class=\"key-x\">&darr; &uarr;</i>next / previous line not fully covered (keys j, k)</span></p>\n";
}

// The cards; returns the span of the line-based ones.
HtmlCardsSpan appendFigures(std::string& out, const HtmlFilePage& page) {
  const FileResult& file = *page.file;
  out += "<section class=\"cards\" aria-label=\"Figures\">\n";
  appendFigureCard(out, terFigure("TER", file.ter[static_cast<size_t>(page.view)]));
  appendFigureCard(out, statementFigure(file.statements));
  HtmlCardsSpan span;
  span.at = out.size();
  appendLineCards(out, page.coverage);
  span.length = out.size() - span.at;
  if (file.mode.multicondition) appendFigureCard(out, mcdcFigure(file.mcdc));
  out += "</section>\n";
  return span;
}

void appendFunctionTable(ExportStream& stream, const HtmlFilePage& page, bool linesLinked) {
  std::string& out = stream.buffer;
  const FileResult& file = *page.file;
  out += "<h2 id=\"functions\">Functions</h2>\n";
  if (file.functions.empty()) {
    out += "<p class=\"sub\">No instrumented function.</p>\n";
    return;
  }
  const bool timing = std::any_of(file.functions.begin(), file.functions.end(),
                                  [](const FunctionResult& f) { return f.timing.has_value(); });
  out += "<table class=\"grid\"><thead><tr><th scope=\"col\">Function</th><th scope=\"col\" class=\"num\">Line</th>"
         "<th scope=\"col\" class=\"num\">Calls</th><th scope=\"col\">TER</th><th scope=\"col\">Statements</th>";
  if (timing) {
    // The costs are in the configured cost type divided by TICK.
    out += "<th scope=\"col\" class=\"num\">Time total<small>";
    out += page.timeUnit;
    out += "</small></th><th scope=\"col\" class=\"num\">Average<small>";
    out += page.timeUnit;
    out += " per call</small></th><th scope=\"col\" class=\"num\">Maximum<small>";
    out += page.timeUnit;
    out += "</small></th>";
  }
  out += "</tr></thead>\n<tbody>\n";
  const size_t view = static_cast<size_t>(page.view);
  for (size_t i = 0; i < file.functions.size(); ++i) {
    const FunctionResult& f = file.functions[i];
    const bool here = f.path.empty() && linesLinked;
    {
      TextRoom room(out, 160 + 4 * kDecimalRoom + kHtmlTextExpansion * (f.name.size() + f.path.size()));
      room.put("<tr id=\"F").number(i + 1).put("\"><th scope=\"row\">");
      if (here) room.put("<a href=\"#L").number(f.line).put("\">");
      room.put(writeHtmlText, f.name).put("()");
      if (here) room.put("</a>");
      if (!f.path.empty()) room.put("<span class=\"tag\">in ").put(writeHtmlText, f.path).put("</span>");
      room.put("</th><td class=\"num\">").number(f.line).put("</td><td class=\"num\">").number(f.calls).put("</td>");
    }
    appendFigureCell(out, terFigure("TER", f.ter[view]));
    if (f.statementsAvailable) {
      StatementTotals totals;
      totals.hits = f.statements.hits;
      totals.total = f.statements.total;
      appendFigureCell(out, statementFigure(totals));
    } else {
      appendEmptyFigureCell(out);
    }
    if (timing) {
      if (f.timing) {
        out += "<td class=\"num\">";
        appendSigned(out, f.timing->total);
        out += "</td><td class=\"num\">";
        appendDecimal(out, f.timing->average);
        out += "</td><td class=\"num\">";
        appendSigned(out, f.timing->maximum);
        out += "</td>";
      } else {
        out += "<td></td><td></td><td></td>";
      }
    }
    out += "</tr>\n";
    settleExportBuffer(stream);
  }
  out += "</tbody></table>\n";
}

// The counts of a row as its columns show them: a lone HITS/TRUE count,
// or "T n" and "F n" when the FALSE column is used.
void appendRowCounts(std::string& out, const ListingRow& row) {
  if (row.falseCount) {
    if (row.hits) {
      out += "T ";
      appendUnsigned(out, *row.hits);
      out += " &middot; ";
    }
    out += "F ";
    appendUnsigned(out, *row.falseCount);
  } else if (row.hits) {
    appendUnsigned(out, *row.hits);
  }
}

void appendAnnotation(std::string& out, const ListingRow& row) {
  out += row.missed ? "<span class=\"ann miss\">" : "<span class=\"ann\">";
  if (row.hits || row.falseCount) {
    out += "<span class=\"cnt\">";
    appendRowCounts(out, row);
    out += "</span>";
  }
  appendHtmlText(out, trimmedDescription(row));
  if (row.missed) out += "<b> &#10007; not covered</b>";
  out += "</span>";
}

// Whether the rows of a line say more than its source and hit count do:
// several rows, a FALSE count, a marker, or a block end's reachability mark.
bool needsAnnotation(const ListingRow* rows, size_t count) {
  if (count == 0) return false;
  if (count > 1) return true;
  const ListingRow& row = rows[0];
  if (row.falseCount || row.missed) return true;
  if (row.hits) return false;
  return row.description.ends_with("}+") || row.description.ends_with("}-");
}

std::vector<std::string_view> splitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The function (from 1) standing on each line, for the links back: pairs
// of line and function in line order, the first function of a line only.
using FunctionLines = std::vector<std::pair<uint32_t, size_t>>;

void findFunctionLines(const FileResult& file, FunctionLines& byLine) {
  byLine.clear();
  for (size_t i = 0; i < file.functions.size(); ++i) {
    if (file.functions[i].path.empty()) byLine.emplace_back(file.functions[i].line, i + 1);
  }
  std::stable_sort(byLine.begin(), byLine.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  byLine.erase(std::unique(byLine.begin(), byLine.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
               byLine.end());
}

// The entry of `line`, or nullptr.
const std::pair<uint32_t, size_t>* functionOnLine(const FunctionLines& byLine, uint32_t line) {
  auto at = std::lower_bound(byLine.begin(), byLine.end(), line,
                             [](const auto& entry, uint32_t wanted) { return entry.first < wanted; });
  return at != byLine.end() && at->first == line ? &*at : nullptr;
}

constexpr std::string_view kBackLinkStart = "<a class=\"up\" href=\"#F";
constexpr std::string_view kBackLinkEnd = "\" title=\"Back to the function table\">&uarr; function</a>";
constexpr size_t kBackLinkRoom = kBackLinkStart.size() + kDecimalRoom + kBackLinkEnd.size();

void putBackLink(TextRoom& room, size_t function) { room.put(kBackLinkStart).number(function).put(kBackLinkEnd); }

void appendBackLink(std::string& out, size_t function) {
  TextRoom room(out, kBackLinkRoom);
  putBackLink(room, function);
}

// The lines not fully covered, ascending: the stops of the links from line
// to line.
std::vector<uint32_t> linesToVisit(const std::vector<SummarisedLine>& lines) {
  std::vector<uint32_t> visit;
  for (const SummarisedLine& line : lines) {
    if (line.line > 0 && (line.summary.state == LineState::NotCovered || line.summary.state == LineState::PartlyCovered)) {
      visit.push_back(line.line);
    }
  }
  return visit;
}

// The position of `line` in `lines`, or lines.size().
size_t positionOf(const std::vector<uint32_t>& lines, uint32_t line) {
  auto at = std::lower_bound(lines.begin(), lines.end(), line);
  return at != lines.end() && *at == line ? static_cast<size_t>(at - lines.begin()) : lines.size();
}

// The code tables are the bulk of the report, so their rows are written
// lean: cells without classes (the style sheet styles them by position) and
// without the optional end tags.
void appendAnnotatedSource(ExportStream& stream, const HtmlFilePage& page, const std::vector<uint32_t>& visit) {
  std::string& out = stream.buffer;
  std::vector<ListingRow> byLine(page.rows->begin(), page.rows->end());
  std::stable_sort(byLine.begin(), byLine.end(), [](const ListingRow& a, const ListingRow& b) { return a.line < b.line; });
  const std::vector<std::string_view> lines = splitLines(*page.source);
  FunctionLines functions;
  findFunctionLines(*page.file, functions);
  const std::vector<McdcMark> marks = mcdcMarks(*page.file);
  size_t mark = 0;
  uint32_t last = static_cast<uint32_t>(lines.size());
  if (!byLine.empty()) last = std::max(last, byLine.back().line);

  out += "<table class=\"code src\"><thead><tr><th scope=col class=\"num\">Line<th scope=col class=\"num\">Hits"
         "<th scope=col>State<th scope=col>Source</thead>\n<tbody>\n";
  size_t at = 0;
  while (at < byLine.size() && byLine[at].line == 0) ++at;  // rows without a line stand nowhere
  for (uint32_t line = 1; line <= last; ++line) {
    const size_t first = at;
    while (at < byLine.size() && byLine[at].line == line) ++at;
    const ListingRow* onLine = byLine.data() + first;
    const size_t count = at - first;
    const LineSummary summary = summariseLine(onLine, count);
    out += "<tr class=";
    out += stateClass(summary.state);
    out += " id=L";
    appendUnsigned(out, line);
    out += "><td><a href=#L";
    appendUnsigned(out, line);
    out += '>';
    appendUnsigned(out, line);
    out += "</a>";
    appendChangedLineMark(out, page.changedLines, line);
    appendLostLineMark(out, page.lostLines, line);
    out += "<td>";
    if (summary.counted) appendUnsigned(out, summary.hits);
    out += "<td>";
    out += stateMarker(summary.state);
    out += "<td>";
    if (const size_t stop = positionOf(visit, line); stop < visit.size()) appendLineNavigation(out, visit, stop);
    if (const auto* f = functionOnLine(functions, line)) appendBackLink(out, f->second);
    if (line <= lines.size()) appendHtmlText(out, lines[line - 1]);
    out += '\n';
    const size_t firstMark = mark;
    while (mark < marks.size() && marks[mark].line == line) ++mark;
    if (needsAnnotation(onLine, count) || mark > firstMark) {
      out += "<tr class=\"an ";
      out += stateClass(summary.state);
      out += "\"><td><td><td><td>";
      for (size_t i = 0; i < count; ++i) appendAnnotation(out, onLine[i]);
      for (size_t i = firstMark; i < mark; ++i) appendMcdcLink(out, marks[i]);
      out += '\n';
    }
    settleExportBuffer(stream);
  }
  out += "</tbody></table>\n";
}

// The rows of the profile listing in its order, for a file whose source is
// not at hand or no longer matches. Each row shows the state of its line,
// as the source would; the first row of a line is its anchor. These rows
// are most of the report's text: each is put together with a plain pointer
// in room made for it.
constexpr std::string_view kNotCoveredMark = "<b> &#10007; not covered</b>";
// The start of a row up to its description: "<tr class=p id=L", three
// numbers and five cells.
constexpr size_t kRowStartRoom = 64 + 4 * kDecimalRoom;

// One row; `visit` is given for the anchor of its line, `function` (from
// 1) for the back link of a function's row.
void appendListingRow(std::string& out, const ListingRow& row, LineState state, const std::vector<uint32_t>* visit,
                      size_t function) {
  TextRoom room(out, kRowStartRoom + (visit != nullptr ? kLineNavigationRoom : 0) +
                         (function > 0 ? kBackLinkRoom : 0) + kHtmlTextExpansion * row.description.size() +
                         (row.missed ? kNotCoveredMark.size() : 0) + 1);
  room.put("<tr");
  if (state != LineState::NotInstrumented) room.put(" class=").put(stateClass(state));
  if (visit != nullptr) room.put(" id=L").number(row.line);
  room.put("><td>");
  if (row.hits) room.number(*row.hits);
  room.put("<td>");
  if (row.falseCount) room.number(*row.falseCount);
  room.put("<td>").put(stateMarker(state)).put("<td>").number(row.line).put("<td>");
  // Only a line not fully covered is among the stops.
  if (visit != nullptr && (state == LineState::NotCovered || state == LineState::PartlyCovered)) {
    if (const size_t stop = positionOf(*visit, row.line); stop < visit->size()) putLineNavigation(room, *visit, stop);
  }
  if (function > 0) putBackLink(room, function);
  room.put(writeHtmlText, row.description);
  if (row.missed) room.put(kNotCoveredMark);
  room.put('\n');
}

void appendListingRows(ExportStream& stream, const HtmlFilePage& page, const std::vector<SummarisedLine>& summaries,
                       const std::vector<uint32_t>& visit) {
  std::string& out = stream.buffer;
  out += "<table class=\"code rows\"><thead><tr><th scope=col class=\"num\">Hits/True<th scope=col class=\"num\">False"
         "<th scope=col>State<th scope=col class=\"num\">Line<th scope=col>Description</thead>\n<tbody>\n";
  std::vector<bool> anchored(summaries.size(), false);
  size_t function = 0;
  auto found = summaries.begin();
  for (const ListingRow& row : *page.rows) {
    // Rows mostly come in line order: the line of the row before, or the
    // next one, before a search.
    if (found == summaries.end() || found->line != row.line) {
      if (found != summaries.end() && found + 1 != summaries.end() && (found + 1)->line == row.line) {
        ++found;
      } else {
        found = std::lower_bound(summaries.begin(), summaries.end(), row.line,
                                 [](const SummarisedLine& entry, uint32_t line) { return entry.line < line; });
      }
    }
    const size_t index = static_cast<size_t>(found - summaries.begin());
    const LineState state = row.line > 0 && found != summaries.end() ? found->summary.state
                                                                     : summariseLine(&row, 1).state;
    const bool anchor = row.line > 0 && found != summaries.end() && !anchored[index];
    const bool backLink = row.description.starts_with("FUNCTION ") && function < page.file->functions.size();
    appendListingRow(out, row, state, anchor ? &visit : nullptr, backLink ? ++function : 0);
    if (anchor) anchored[index] = true;
    settleExportBuffer(stream);
  }
  out += "</tbody></table>\n";
}

void appendMismatch(std::string& out, const HtmlFilePage& page) {
  const SourceMismatch& mismatch = *page.mismatch;
  out += "<p class=\"warn\" role=\"note\">The source at ";
  appendHtmlText(out, page.sourceName);
  out += " no longer matches this report: it has ";
  appendUnsigned(out, mismatch.lines);
  out += mismatch.lines == 1 ? " line" : " lines";
  if (mismatch.recorded > 0) {
    out += " where the symbol file records ";
    appendUnsigned(out, mismatch.recorded);
  } else {
    out += ", and a record stands on line ";
    appendUnsigned(out, mismatch.recordLine);
  }
  out += ". It has changed since the build, so its lines are not annotated; the rows of the execution profile "
         "listing follow.</p>\n";
}

// Why the page shows no source: the start of a sentence.
void appendSourceMissing(std::string& out, const HtmlFilePage& page) {
  switch (page.sourceStatus) {
    case SourceStatus::OutsideRoot:
      out += "The source ";
      appendHtmlText(out, page.sourceName);
      out += " lies outside the source root ";
      appendHtmlText(out, page.sourceRoot);
      out += " and was not read";
      return;
    case SourceStatus::NotRegular:
      out += "The source at ";
      appendHtmlText(out, page.sourceName);
      out += " is not a regular file and was not read";
      return;
    case SourceStatus::TooLarge:
      out += "The source at ";
      appendHtmlText(out, page.sourceName);
      out += " is larger than the ";
      out += kHtmlSourceLimitText;
      out += " a page shows";
      return;
    case SourceStatus::NotFound:
    case SourceStatus::Read: break;
  }
  out += "The source was not found at ";
  appendHtmlText(out, page.sourceName);
}

}  // namespace

namespace {

// The rows of one line, taken one at a time.
struct LineTally {
  LineSummary summary;
  bool missed = false;
  bool reached = false;

  void add(const ListingRow& row) {
    if (row.hits || row.falseCount) {
      summary.counted = true;
      summary.hits = std::max(summary.hits, rowCount(row));
      if (rowCount(row) > 0) reached = true;
    }
    if (row.missed) missed = true;
  }
  LineSummary result() const {
    LineSummary out = summary;
    if (!summary.counted && !missed) return out;
    if (!reached) {
      out.state = LineState::NotCovered;
    } else {
      out.state = missed ? LineState::PartlyCovered : LineState::Covered;
    }
    return out;
  }
};

}  // namespace

LineSummary summariseLine(const ListingRow* rows, size_t count) {
  LineTally tally;
  for (size_t i = 0; i < count; ++i) tally.add(rows[i]);
  return tally.result();
}

namespace {

// The rows' lines summarised, the rows given in line order.
template <typename Rows>
std::vector<SummarisedLine> summariseSortedLines(const Rows& byLine) {
  std::vector<SummarisedLine> lines;
  for (size_t at = 0; at < byLine.size();) {
    const uint32_t line = byLine[at].line;
    LineTally tally;
    for (; at < byLine.size() && byLine[at].line == line; ++at) tally.add(byLine[at]);
    lines.push_back({line, tally.result()});
  }
  return lines;
}

// The rows of a section in line order, seen through pointers.
struct RowsByLine {
  std::vector<const ListingRow*> rows;
  size_t size() const { return rows.size(); }
  const ListingRow& operator[](size_t at) const { return *rows[at]; }
};

}  // namespace

std::vector<SummarisedLine> summariseLines(const ListingSection& rows) {
  // The listing writes most files' rows in line order already.
  const auto earlier = [](const ListingRow& a, const ListingRow& b) { return a.line < b.line; };
  if (std::is_sorted(rows.begin(), rows.end(), earlier)) {
    return summariseSortedLines(std::span<const ListingRow>(rows.begin(), rows.size));
  }
  RowsByLine byLine;
  byLine.rows.reserve(rows.size);
  for (const ListingRow& row : rows) byLine.rows.push_back(&row);
  std::stable_sort(byLine.rows.begin(), byLine.rows.end(),
                   [](const ListingRow* a, const ListingRow* b) { return a->line < b->line; });
  return summariseSortedLines(byLine);
}

uint32_t countSourceLines(std::string_view source) {
  uint32_t lines = 0;
  size_t start = 0;
  while (start < source.size()) {
    const size_t end = source.find('\n', start);
    ++lines;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

std::optional<SourceMismatch> findSourceMismatch(std::string_view source, uint32_t recordedLines,
                                                 const ListingSection& rows) {
  SourceMismatch mismatch;
  mismatch.lines = countSourceLines(source);
  if (recordedLines > 0 && recordedLines != mismatch.lines) {
    mismatch.recorded = recordedLines;
    return mismatch;
  }
  for (const ListingRow& row : rows) mismatch.recordLine = std::max(mismatch.recordLine, row.line);
  if (mismatch.recordLine > mismatch.lines) return mismatch;
  return std::nullopt;
}

void appendLineCards(std::string& out, const LineCoverage* coverage) {
  const LineCoverage none;
  const LineCoverage& counts = coverage != nullptr ? *coverage : none;
  HtmlFigure functions = countFigure("Functions", counts.functions, "functions");
  functions.note = "one per name and line";
  appendFigureCard(out, functions);
  appendFigureCard(out, countFigure("Lines", counts.lines, "lines"));
  appendFigureCard(out, countFigure("Branches", counts.branches, "branches"));
}

HtmlCardsSpan writeHtmlFilePage(ExportStream& stream, const HtmlFilePage& page) {
  const FileResult& file = *page.file;
  std::string& out = stream.buffer;
  appendHtmlHead(out, file.path + " — coverage");
  out += "<header class=\"top\"><nav><a href=\"index.html\">&larr; All files</a></nav>\n<h1>";
  appendHtmlPath(out, file.path);
  out += "</h1>\n<p class=\"sub\">";
  out += file.isHeader ? "Header file" : "Source file";
  out += " &middot; instrumented for ";
  appendHtmlText(out, instrumentationModeText(file.mode));
  out += " &middot; ";
  appendUnsigned(out, file.functions.size());
  out += file.functions.size() == 1 ? " function record" : " function records";
  if (file.sourceLines > 0) {
    out += " &middot; ";
    appendUnsigned(out, file.sourceLines);
    out += " source lines";
  }
  out += " &middot; ";
  appendHtmlText(out, coverageViewText(page.view));
  out += "</p>\n</header>\n<main>\n";
  const HtmlCardsSpan cards = appendFigures(out, page);
  if (!file.includes.empty()) {
    out += "<p class=\"sub\">Headers taken out of this file: ";
    for (size_t i = 0; i < file.includes.size(); ++i) {
      if (i > 0) out += ", ";
      appendHtmlText(out, file.includes[i]);
    }
    out += "</p>\n";
  }
  // Line directives that send a function elsewhere make the file's line
  // numbers name other files, and a source that changed since the build
  // has other lines than the records: the listing's rows are shown then.
  const bool moved = std::any_of(file.functions.begin(), file.functions.end(),
                                 [](const FunctionResult& f) { return !f.path.empty(); });
  const bool annotated = page.source != nullptr && !moved && !page.mismatch;
  const std::vector<SummarisedLine> summaries = summariseLines(*page.rows);
  const std::vector<uint32_t> visit = linesToVisit(summaries);
  if (page.uncovered != nullptr) appendUncoveredList(out, *page.uncovered, page.view, true);
  appendFunctionTable(stream, page, true);
  if (file.mode.multicondition) {
    static const ConditionNames unnamed;
    appendMcdcSection(out, file, page.conditionNames != nullptr ? *page.conditionNames : unnamed, true);
  }
  out += "<h2 id=\"code\">Code</h2>\n";
  if (page.mismatch && page.source != nullptr) appendMismatch(out, page);
  out += "<p class=\"sub\">";
  if (annotated) {
    out += "Source: ";
    appendHtmlText(out, page.sourceName);
  } else if (page.mismatch && page.source != nullptr) {
    out += "Rows of the execution profile listing.";
  } else if (page.source != nullptr) {
    out += "Line directives place code of this file elsewhere; the rows of the execution profile listing follow.";
  } else {
    appendSourceMissing(out, page);
    out += "; the rows of the execution profile listing follow.";
  }
  out += "</p>\n";
  appendLegend(out);
  if (annotated) {
    appendAnnotatedSource(stream, page, visit);
  } else {
    appendListingRows(stream, page, summaries, visit);
  }
  out += "<p><a href=\"#functions\">&uarr; Functions</a> &middot; <a href=\"index.html\">All files</a></p>\n</main>\n";
  out += "<footer>Written by qarpost-export</footer>\n";
  appendNavigationScript(out, visit);
  appendHtmlTail(out);
  settleExportBuffer(stream);
  return cards;
}

}  // namespace qar
