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

void signedNumber(std::string& text, std::string_view name, int64_t value) {
  key(text, name);
  appendSigned(text, value);
}

void string(std::string& text, std::string_view name, std::string_view value) {
  key(text, name);
  appendJsonString(text, value);
}

void decimal(std::string& text, std::string_view name, double value) {
  key(text, name);
  char digits[64];
  int length = std::snprintf(digits, sizeof digits, "%.1f", value);
  text.append(digits, static_cast<size_t>(length));
}

void ter(std::string& text, const TerFigures& figures) {
  TextRoom(text, 48 + 3 * kDecimalRoom)
      .put("{\"items\": ")
      .number(figures.items)
      .put(", \"covered\": ")
      .number(figures.covered())
      .put(", \"percent\": ")
      .number(terPercent(figures.items, figures.misses))
      .put('}');
}

void views(std::string& text, const ViewTer& figures) {
  key(text, "ter");
  text += "{";
  for (size_t v = 0; v < kCoverageViewCount; ++v) {
    if (v > 0) text += ", ";
    key(text, jsonViewName(kCoverageViews[v]));
    ter(text, figures[v]);
  }
  text += "}";
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

void statements(std::string& text, uint32_t hits, uint32_t total) {
  number(text, "hits", hits);
  text += ", ";
  number(text, "total", total);
  text += ", ";
  number(text, "percent", statementPercent(hits, total));
}

void statementTotals(std::string& text, const StatementTotals& totals) {
  key(text, "statements");
  text += "{";
  statements(text, totals.hits, totals.total);
  text += ", ";
  number(text, "functions_without_figures", totals.functionsWithoutFigures);
  text += "}";
}

void mcdcTotals(std::string& text, const McdcTotals& totals) {
  key(text, "mcdc");
  text += "{";
  number(text, "conditions", totals.conditions);
  text += ", ";
  number(text, "covered", totals.covered);
  text += ", ";
  number(text, "percent", terPercent(totals.conditions, totals.conditions - totals.covered));
  text += "}";
}

void timingTotals(std::string& text, const TimingTotals& totals) {
  key(text, "timing");
  text += "{";
  number(text, "calls", totals.calls);
  text += ", ";
  signedNumber(text, "total", totals.total);
  text += ", ";
  decimal(text, "average", totals.average());
  text += ", ";
  signedNumber(text, "maximum", totals.maximum);
  text += "}";
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

void multicondition(std::string& text, const MulticonditionResult& m) {
  text += "{";
  number(text, "line", m.line);
  text += ", ";
  key(text, "combinations");
  text += "[";
  for (size_t i = 0; i < m.combinations.size(); ++i) {
    const McdcCombination& c = m.combinations[i];
    text += i > 0 ? ", {" : "{";
    number(text, "number", c.number);
    text += ", ";
    key(text, "outcome");
    text += c.outcome ? "true" : "false";
    text += ", ";
    string(text, "values", c.values);
    text += ", ";
    number(text, "count", c.count);
    text += "}";
  }
  text += "], ";
  key(text, "conditions");
  text += "[";
  for (size_t i = 0; i < m.conditions.size(); ++i) {
    const McdcConditionResult& c = m.conditions[i];
    text += i > 0 ? ", {" : "{";
    number(text, "condition", c.number);
    text += ", ";
    key(text, "covered");
    text += c.covered ? "true" : "false";
    text += ", ";
    key(text, "pairs");
    text += "[";
    for (size_t p = 0; p < c.pairs.size(); ++p) {
      text += p > 0 ? ", {" : "{";
      number(text, "true_combination", c.pairs[p].trueCombination);
      text += ", ";
      number(text, "false_combination", c.pairs[p].falseCombination);
      text += ", ";
      key(text, "covered");
      text += c.pairs[p].covered ? "true" : "false";
      text += "}";
    }
    text += "]}";
  }
  text += "]}";
}

void function(std::string& text, const FunctionResult& f) {
  text += "{";
  string(text, "name", f.name);
  text += ", ";
  number(text, "line", f.line);
  text += ", ";
  number(text, "calls", f.calls);
  if (!f.path.empty()) {
    text += ", ";
    string(text, "path", f.path);
  }
  text += ", ";
  views(text, f.ter);
  text += ", ";
  key(text, "statements");
  if (f.statementsAvailable) {
    text += "{";
    statements(text, f.statements.hits, f.statements.total);
    text += "}";
  } else {
    text += "null";
  }
  if (f.timing) {
    text += ", ";
    key(text, "timing");
    text += "{";
    signedNumber(text, "total", f.timing->total);
    text += ", ";
    decimal(text, "average", f.timing->average);
    text += ", ";
    signedNumber(text, "maximum", f.timing->maximum);
    text += "}";
  }
  text += ", ";
  mcdcTotals(text, f.mcdc);
  text += ", ";
  key(text, "multiconditions");
  text += "[";
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
  text += ",\n     ";
  key(text, "functions");
  text += "[";
  for (size_t i = 0; i < file.functions.size(); ++i) {
    text += i > 0 ? ",\n      " : "\n      ";
    function(text, file.functions[i]);
    settleExportBuffer(out);
  }
  text += "],\n     ";
  views(text, file.ter);
  text += ", ";
  statementTotals(text, file.statements);
  text += ", ";
  mcdcTotals(text, file.mcdc);
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
    text += i > 0 ? ", {" : "{";
    string(text, "name", names[i]);
    text += ", ";
    number(text, "line", table.functions[i].line);
    text += ", ";
    number(text, "calls", table.functions[i].calls);
    text += "}";
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
