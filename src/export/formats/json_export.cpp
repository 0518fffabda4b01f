#include "export/formats/json_export.h"

#include "export/formats/json_parts.h"

#include <cstdio>
#include <ctime>

#include "base/clock.h"
#include "base/posterr.h"
#include "base/quick_format.h"
#include "export/walk/export_numbers.h"
#include "base/version.h"
#include "coverage/database.h"
#include "export/output/export_text.h"
#include "listings/postlist.h"

namespace qar {
namespace {

void key(std::string& text, std::string_view name) { appendJsonKey(text, name); }

void number(std::string& text, std::string_view name, uint64_t value) { appendJsonCount(text, name, value); }

void string(std::string& text, std::string_view name, std::string_view value) {
  key(text, name);
  appendJsonString(text, value);
}

// The members of a record's figures are written into room made for them
// (see TextRoom): a function record has some thirty keys and numbers, and
// appending each on its own cost more than all the rest of the record.
// Each put* below names the most it writes.

// `{"items": N, "covered": N, "percent": N}`
constexpr size_t kTerRoom = 48 + 3 * kDecimalRoom;
void putTer(TextRoom& room, const TerFigures& figures) {
  room.put("{\"items\": ")
      .number(figures.items)
      .put(", \"covered\": ")
      .number(figures.covered())
      .put(", \"percent\": ")
      .number(terPercent(figures.items, figures.misses))
      .put('}');
}

// `"ter": {"function": {...}, ...}`, the longest view name having 15 letters.
constexpr size_t kViewsRoom = 16 + kCoverageViewCount * (2 + 19 + kTerRoom);
void putViews(TextRoom& room, const ViewTer& figures) {
  room.put("\"ter\": {");
  for (size_t v = 0; v < kCoverageViewCount; ++v) {
    if (v > 0) room.put(", ");
    room.put('"').put(jsonViewName(kCoverageViews[v])).put("\": ");
    putTer(room, figures[v]);
  }
  room.put('}');
}

void views(std::string& text, const ViewTer& figures) {
  TextRoom room(text, kViewsRoom);
  putViews(room, figures);
}

void coverageCount(std::string& text, std::string_view name, const CoverageCount& count) {
  appendJsonCoverageCount(text, name, count);
}

void lineCoverage(std::string& text, const LineCoverage& coverage) {
  key(text, "line_coverage");
  text += "{";
  coverageCount(text, "lines", coverage.lines);
  text += ", ";
  coverageCount(text, "branches", coverage.branches);
  text += ", ";
  coverageCount(text, "functions", coverage.functions);
  text += "}";
}

// `"hits": N, "total": N, "percent": N`
constexpr size_t kStatementsRoom = 40 + 3 * kDecimalRoom;
void putStatements(TextRoom& room, uint32_t hits, uint32_t total) {
  room.put("\"hits\": ")
      .number(hits)
      .put(", \"total\": ")
      .number(total)
      .put(", \"percent\": ")
      .number(statementPercent(hits, total));
}

constexpr size_t kStatementTotalsRoom = 64 + kStatementsRoom + kDecimalRoom;
void putStatementTotals(TextRoom& room, const StatementTotals& totals) {
  room.put("\"statements\": {");
  putStatements(room, totals.hits, totals.total);
  room.put(", \"functions_without_figures\": ").number(totals.functionsWithoutFigures).put('}');
}

void statementTotals(std::string& text, const StatementTotals& totals) {
  TextRoom room(text, kStatementTotalsRoom);
  putStatementTotals(room, totals);
}

constexpr size_t kMcdcRoom = 64 + 3 * kDecimalRoom;
void putMcdcTotals(TextRoom& room, const McdcTotals& totals) {
  room.put("\"mcdc\": {\"conditions\": ")
      .number(totals.conditions)
      .put(", \"covered\": ")
      .number(totals.covered)
      .put(", \"percent\": ")
      .number(terPercent(totals.conditions, totals.conditions - totals.covered))
      .put('}');
}

void mcdcTotals(std::string& text, const McdcTotals& totals) {
  TextRoom room(text, kMcdcRoom);
  putMcdcTotals(room, totals);
}

// A cost with one decimal, as printf's "%.1f" gives it (a double's widest
// such text is some 320 characters).
constexpr size_t kAverageRoom = 330;
void putAverage(TextRoom& room, double value) {
  char digits[kAverageRoom];
  const int length = std::snprintf(digits, sizeof digits, "%.1f", value);
  room.put(std::string_view(digits, static_cast<size_t>(length)));
}

// `"total": N, "average": D, "maximum": N` (signed numbers take one more).
constexpr size_t kTimingRoom = 48 + 2 * (kDecimalRoom + 1) + kAverageRoom;
void putTiming(TextRoom& room, int64_t total, double average, int64_t maximum) {
  room.put("\"total\": ").signedNumber(total).put(", \"average\": ");
  putAverage(room, average);
  room.put(", \"maximum\": ").signedNumber(maximum);
}

void timingTotals(std::string& text, const TimingTotals& totals) {
  TextRoom room(text, 32 + kDecimalRoom + kTimingRoom);
  room.put("\"timing\": {\"calls\": ").number(totals.calls).put(", ");
  putTiming(room, totals.total, totals.average(), totals.maximum);
  room.put('}');
}

void inputFiles(std::string& text, std::string_view name, const std::vector<InputFileEntry>& files) {
  key(text, name);
  text += "[";
  for (size_t i = 0; i < files.size(); ++i) {
    text += i > 0 ? ", {" : "{";
    string(text, "name", files[i].name);
    text += ", ";
    string(text, "stamp", files[i].stamp);
    text += "}";
  }
  text += "]";
}

void strings(std::string& text, std::string_view name, const std::vector<std::string>& values) {
  key(text, name);
  text += "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ", ";
    appendJsonString(text, values[i]);
  }
  text += "]";
}

std::string_view truth(bool value) { return value ? "true" : "false"; }

void multicondition(std::string& text, const MulticonditionResult& m) {
  {
    TextRoom room(text, 40 + kDecimalRoom);
    room.put("{\"line\": ").number(m.line).put(", \"combinations\": [");
  }
  for (size_t i = 0; i < m.combinations.size(); ++i) {
    const McdcCombination& c = m.combinations[i];
    TextRoom room(text, 80 + 2 * kDecimalRoom + jsonStringRoom(c.values.size()));
    room.put(i > 0 ? std::string_view(", {\"number\": ") : std::string_view("{\"number\": "))
        .number(c.number)
        .put(", \"outcome\": ")
        .put(truth(c.outcome))
        .put(", \"values\": ")
        .put(writeJsonString, c.values)
        .put(", \"count\": ")
        .number(c.count)
        .put('}');
  }
  text += "], \"conditions\": [";
  for (size_t i = 0; i < m.conditions.size(); ++i) {
    const McdcConditionResult& c = m.conditions[i];
    const std::span<const McdcPair> pairs = pairsOf(m, c);
    TextRoom room(text, 64 + kDecimalRoom + pairs.size() * (80 + 2 * kDecimalRoom));
    room.put(i > 0 ? std::string_view(", {\"condition\": ") : std::string_view("{\"condition\": "))
        .number(c.number)
        .put(", \"covered\": ")
        .put(truth(c.covered))
        .put(", \"pairs\": [");
    for (size_t p = 0; p < pairs.size(); ++p) {
      room.put(p > 0 ? std::string_view(", {\"true_combination\": ") : std::string_view("{\"true_combination\": "))
          .number(pairs[p].trueCombination)
          .put(", \"false_combination\": ")
          .number(pairs[p].falseCombination)
          .put(", \"covered\": ")
          .put(truth(pairs[p].covered))
          .put('}');
    }
    room.put("]}");
  }
  text += "]}";
}

void function(std::string& text, const FunctionResult& f) {
  {
    TextRoom room(text, 40 + jsonStringRoom(f.name.size()) + 2 * kDecimalRoom);
    room.put("{\"name\": ")
        .put(writeJsonString, f.name)
        .put(", \"line\": ")
        .number(f.line)
        .put(", \"calls\": ")
        .number(f.calls);
    if (!f.path.empty()) room.put(", \"path\": ");
  }
  if (!f.path.empty()) appendJsonString(text, f.path);
  {
    TextRoom room(text, 2 + kViewsRoom + 20 + kStatementsRoom + 16 + kTimingRoom + 2 + kMcdcRoom + 24);
    room.put(", ");
    putViews(room, f.ter);
    room.put(", \"statements\": ");
    if (f.statementsAvailable) {
      room.put('{');
      putStatements(room, f.statements.hits, f.statements.total);
      room.put('}');
    } else {
      room.put("null");
    }
    if (f.timing) {
      room.put(", \"timing\": {");
      putTiming(room, f.timing->total, f.timing->average, f.timing->maximum);
      room.put('}');
    }
    room.put(", ");
    putMcdcTotals(room, f.mcdc);
    room.put(", \"multiconditions\": [");
  }
  for (size_t i = 0; i < f.multiconditions.size(); ++i) {
    if (i > 0) text += ", ";
    multicondition(text, f.multiconditions[i]);
  }
  text += "]}";
}

}  // namespace

const char* jsonViewName(CoverageView view) {
  switch (view) {
    case CoverageView::Function: return "function";
    case CoverageView::Decision: return "decision";
    case CoverageView::Condition: return "condition";
    case CoverageView::Mcdc: return "mcdc";
    case CoverageView::AsInstrumented: break;
  }
  return "as_instrumented";
}

void beginJsonDocument(JsonDocument& document, ExportStream& out, CoverageView view,
                       const std::optional<std::string>& root) {
  document.out = &out;
  document.view = view;
  openTemporaryStream(document.sources, out.name);
  const CoverageDatabase& db = database();
  const OptionSettings& settings = options();
  std::string& text = out.buffer;
  text += "{\n  ";
  number(text, "format_version", kJsonFormatVersion);
  text += ",\n  ";
  key(text, "generator");
  text += "{";
  string(text, "name", "qarpost-export");
  text += ", ";
  string(text, "version", programVersion());
  text += "},\n  ";
  string(text, "generated_at", isoUtcText(currentTime()));
  text += ",\n  ";
  string(text, "coverage_view", jsonViewName(view));
  text += ",\n  ";
  key(text, "root");
  if (root) {
    appendJsonString(text, *root);
  } else {
    text += "null";
  }
  text += ",\n  ";
  key(text, "inputs");
  text += "{";
  inputFiles(text, "symbol_files", db.symbolFilesRead);
  text += ", ";
  inputFiles(text, "data_files", db.dataFilesRead);
  text += ", ";
  strings(text, "chosen_files", settings.chosenFiles.value_or(std::vector<std::string>{}));
  text += ", ";
  strings(text, "unchosen_files", settings.unchosenFiles.value_or(std::vector<std::string>{}));
  text += "},\n  ";
  strings(text, "notices", noticeTexts());
  text += ",\n  ";
  key(text, "files");
  text += "[";
}

void writeJsonFile(JsonDocument& document, const FileResult& file) {
  ExportStream& out = *document.out;
  std::string& text = out.buffer;
  text += document.anyFile ? ",\n    {" : "\n    {";
  document.anyFile = true;
  string(text, "name", file.name);
  text += ", ";
  string(text, "path", file.path);
  text += ", ";
  string(text, "type", file.isHeader ? "header" : "source");
  text += ", ";
  string(text, "instrumentation_mode", instrumentationModeText(file.mode));
  text += ", ";
  number(text, "source_lines", file.sourceLines);
  text += ", ";
  strings(text, "includes", file.includes);
  text += ",\n     \"functions\": [";
  for (size_t i = 0; i < file.functions.size(); ++i) {
    text += i > 0 ? ",\n      " : "\n      ";
    function(text, file.functions[i]);
    settleExportBuffer(out);
  }
  text += "],\n     ";
  {
    TextRoom room(text, kViewsRoom + 2 + kStatementTotalsRoom + 2 + kMcdcRoom + 1);
    putViews(room, file.ter);
    room.put(", ");
    putStatementTotals(room, file.statements);
    room.put(", ");
    putMcdcTotals(room, file.mcdc);
  }
  if (file.mode.hasTiming()) {
    text += ", ";
    timingTotals(text, file.timing);
  }
  text += "}";
  settleExportBuffer(out);
}

void writeJsonSource(JsonDocument& document, const PathTable& table, const std::vector<std::string>& names,
                     const LineCoverage& coverage) {
  ExportStream& out = document.sources;
  std::string& text = out.buffer;
  text += document.anySource ? ",\n    {" : "\n    {";
  document.anySource = true;
  string(text, "path", table.path);
  text += ",\n     ";
  key(text, "functions");
  text += "[";
  for (size_t i = 0; i < table.functions.size(); ++i) {
    TextRoom(text, 40 + jsonStringRoom(names[i].size()) + 2 * kDecimalRoom)
        .put(i > 0 ? std::string_view(", {\"name\": ") : std::string_view("{\"name\": "))
        .put(writeJsonString, names[i])
        .put(", \"line\": ")
        .number(table.functions[i].line)
        .put(", \"calls\": ")
        .number(table.functions[i].calls)
        .put('}');
  }
  text += "],\n     ";
  key(text, "lines");
  text += "[";
  for (size_t i = 0; i < table.lines.size(); ++i) {
    TextRoom(text, 3 + 2 * kDecimalRoom + 3)
        .put(i > 0 ? std::string_view(", [") : std::string_view("["))
        .number(table.lines[i].line)
        .put(", ")
        .number(table.lines[i].hits)
        .put(']');
    settleExportBuffer(out);
  }
  text += "],\n     ";
  key(text, "branches");
  text += "[";
  for (size_t i = 0; i < table.branches.size(); ++i) {
    const BranchCount& b = table.branches[i];
    const std::string_view kind = branchKindName(b.kind);
    TextRoom(text, 3 + 4 * (kDecimalRoom + 2) + 1 + kind.size() + 2)
        .put(i > 0 ? std::string_view(", [") : std::string_view("["))
        .number(b.line)
        .put(", ")
        .number(b.block)
        .put(", ")
        .number(b.branch)
        .put(", ")
        .number(b.taken)
        .put(", \"")
        .put(kind)
        .put("\"]");
    settleExportBuffer(out);
  }
  text += "],\n     ";
  lineCoverage(text, coverage);
  text += "}";
  settleExportBuffer(out);
}

void endJsonDocument(JsonDocument& document, const RunResult& run, std::string_view lastMember) {
  ExportStream& out = *document.out;
  out.buffer += document.anyFile ? "\n  ],\n  " : "],\n  ";
  key(out.buffer, "sources");
  out.buffer += "[";
  document.sources.buffer += document.anySource ? "\n  ],\n  " : "],\n  ";
  appendTemporaryStream(out, document.sources);

  std::string& text = out.buffer;
  key(text, "summary");
  text += "{\n    ";
  number(text, "source_files", run.sourceFiles);
  text += ", ";
  number(text, "header_files", run.headerFiles);
  text += ", ";
  number(text, "functions", run.functions);
  text += ", ";
  number(text, "source_lines", run.sourceLines);
  text += ",\n    ";
  views(text, run.ter);
  text += ",\n    ";
  key(text, "coverage_type");
  text += "{";
  for (size_t v = 0; v < kCoverageViewCount; ++v) {
    if (v > 0) text += ", ";
    const std::string words =
        coverageTypeText(run.anyFunctionOnly, run.anyDecision, run.anyMulticondition, kCoverageViews[v]);
    string(text, jsonViewName(kCoverageViews[v]), words.empty() ? words : words.substr(1));
  }
  text += "},\n    ";
  statementTotals(text, run.statements);
  text += ",\n    ";
  mcdcTotals(text, run.mcdc);
  text += ",\n    ";
  if (run.timing.any) {
    timingTotals(text, run.timing);
  } else {
    key(text, "timing");
    text += "null";
  }
  text += ",\n    ";
  lineCoverage(text, run.lineCoverage);
  text += "\n  }";
  if (!lastMember.empty()) {
    text += ",\n  ";
    text += lastMember;
  }
  text += "\n}\n";
}

}  // namespace qar
