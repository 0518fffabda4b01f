#include "export/export_run.h"

#include "export/formats/cobertura_export.h"

#include <functional>
#include <memory>
#include <unordered_map>

#include "base/posterr.h"
#include "export/change/baseline_compare.h"
#include "export/change/baseline_reader.h"
#include "export/format_batches.h"
#include "export/change/coverage_history.h"
#include "base/clock.h"
#include "export/formats/json_baseline.h"
#include "export/gates/delta_gates.h"
#include "export/gates/lost_gates.h"
#include "export/gates/patch_gates.h"
#include "export/change/patch_coverage.h"
#include "export/change/unified_diff.h"
#include "export/formats/json_patch.h"
#include "export/formats/markdown_baseline.h"
#include "export/formats/markdown_export.h"
#include "export/gates/coverage_gates.h"
#include "export/output/export_stream.h"
#include "export/walk/export_walk.h"
#include "export/html/html_baseline.h"
#include "export/html/html_report.h"
#include "export/html/html_trend.h"
#include "export/formats/json_export.h"
#include "export/formats/lcov_export.h"
#include "export/formats/sonar_export.h"

namespace qar {
namespace {

// A file compared as changed throughout is named once: its lost items may
// hide among its removed ones.
void noteFilesChangedThroughout(const BaselineComparison& comparison) {
  for (const FileChange& file : comparison.files) {
    if (!file.changedThroughout) continue;
    writeDiagnostic("QARPost notice: baseline: " + file.path + " has " + std::to_string(file.sourceLinesNow) +
                    " source lines, " + std::to_string(file.sourceLinesBefore) +
                    " in the baseline: compared as changed throughout\n");
  }
}

// The change section of the index, its files linked to their pages.
std::string htmlBaselineSection(const HtmlReport& html, const std::string& baselineFile,
                                const BaselineComparison& comparison) {
  std::unordered_map<std::string_view, std::string_view> pages;
  for (const HtmlIndexEntry& entry : html.files) pages.emplace(entry.path, entry.page);
  std::string section;
  appendBaselineSection(section, baselineFile, comparison, [&](std::string_view path) {
    auto found = pages.find(path);
    return found == pages.end() ? std::string() : std::string(found->second);
  });
  return section;
}

}  // namespace

int writeExports(const ExportSettings& settings, CoverageView view) {
  resetExportOutputErrors();
  // The baseline is read first: a run compared with a file it cannot read
  // writes nothing.
  std::optional<Baseline> baseline;
  if (settings.baselineFile) {
    BaselineResult read = readBaselineFile(*settings.baselineFile);
    if (!read.baseline) {
      writeDiagnostic("QARPost error: baseline " + *settings.baselineFile + ": " + read.error + "\n");
      return 1;
    }
    baseline = std::move(read.baseline);
  }
  // The history is read before anything is written, for the trend; its
  // lines cut short by a killed run are passed over with a notice.
  HistoryRead history;
  if (settings.historyFile) {
    history = readHistory(*settings.historyFile);
    if (history.error) {
      writeDiagnostic("QARPost error: history " + *settings.historyFile + ": " + *history.error + "\n");
      return 1;
    }
    const std::string notice = passedOverNotice(*settings.historyFile, history.passedOver);
    if (!notice.empty()) writeDiagnostic("QARPost notice: " + notice + "\n");
  }
  std::unique_ptr<BaselineComparer> comparer;
  // So is the diff; the baseline's lines are carried through it.
  std::optional<UnifiedDiff> diff;
  std::unique_ptr<PatchCoverage> patch;
  if (settings.diffFile) {
    DiffReadResult read = readUnifiedDiffFile(*settings.diffFile);
    if (!read.diff) {
      const std::string name = *settings.diffFile == "-" ? "(standard input)" : *settings.diffFile;
      writeDiagnostic("QARPost error: diff " + name + ": " + read.error + "\n");
      return 1;
    }
    diff = std::move(read.diff);
    const std::optional<std::string> sources =
        settings.sourceRootGiven ? std::optional<std::string>(settings.sourceRoot) : std::nullopt;
    patch = std::make_unique<PatchCoverage>(*diff, *settings.diffFile, sources, view);
  }
  if (baseline) comparer = std::make_unique<BaselineComparer>(*baseline, diff ? &*diff : nullptr);
  ExportStream streams[kExportFormatCount];
  bool open[kExportFormatCount] = {};
  for (size_t f = 0; f < kExportFormatCount; ++f) {
    if (settings.outputs[f]) open[f] = openExportStream(streams[f], *settings.outputs[f]);
  }
  ExportStream& lcov = streams[static_cast<int>(ExportFormat::Lcov)];
  ExportStream& sonar = streams[static_cast<int>(ExportFormat::SonarQube)];
  const bool lcovOn = open[static_cast<int>(ExportFormat::Lcov)];
  const bool coberturaOn = open[static_cast<int>(ExportFormat::Cobertura)];
  const bool sonarOn = open[static_cast<int>(ExportFormat::SonarQube)];
  const bool jsonOn = open[static_cast<int>(ExportFormat::Json)];

  CoberturaDocument cobertura;
  JsonDocument json;
  if (coberturaOn) beginCoberturaDocument(cobertura, streams[static_cast<int>(ExportFormat::Cobertura)], settings.root);
  if (sonarOn) beginSonarDocument(sonar);
  if (jsonOn) beginJsonDocument(json, streams[static_cast<int>(ExportFormat::Json)], view, settings.root);
  HtmlReport html;
  const bool htmlOn = settings.htmlDirectory.has_value();
  // Without the HTML report's lists, only the files the change touches need their records.
  std::function<bool(const std::string&)> recordsWanted;
  if (patch && !htmlOn) recordsWanted = [&](const std::string& key) { return patch->touches(key); };
  // Planned before the HTML report's listing walk: the plan reads the line
  // directives as written, and both walks after it keep the record lines in
  // their parsed form.
  ExportWalkPlan plan = planExportWalk(settings.root, recordsWanted);
  if (htmlOn) beginHtmlReport(html, *settings.htmlDirectory, settings.sourceRoot, settings.root, view);
  html.patch = patch.get();
  html.baseline = comparer.get();
  ExportStream markdown;
  const bool markdownOn = settings.markdownFile && openExportStream(markdown, *settings.markdownFile);
  std::vector<FileLineCoverage> writtenFiles;  // for the Markdown's files with the lowest coverage
  // With --changed-files-only the line-based formats carry only the files
  // the diff touches, and Cobertura's totals are theirs.
  const bool onlyChanged = settings.changedFilesOnly && patch;
  LineCoverage carried;

  // The formats are written by the second thread while the walk goes on,
  // unless the HTML report's pages need that thread or an output is not a
  // regular file (standard output, a pipe: written in turn, as ever).
  bool formatsAside = !htmlOn;
  for (size_t f = 0; f < kExportFormatCount; ++f) {
    if (open[f] && !streams[f].mayWriteAside) formatsAside = false;
  }
  FormatOutputs formatOutputs;
  if (lcovOn) formatOutputs.lcov = &lcov;
  if (coberturaOn) formatOutputs.cobertura = &cobertura;
  if (sonarOn) formatOutputs.sonar = &sonar;
  if (jsonOn) formatOutputs.json = &json;
  FormatBatches formats(formatOutputs, formatsAside);

  ExportWalkSinks sinks;
  // The last to read each file's result takes it instead of copying it.
  const bool formatsTakeFiles = !htmlOn && !comparer && !patch;
  const bool htmlTakesFiles = !comparer && !patch;
  sinks.file = [&](FileResult& file) {
    formats.addFile(file, formatsTakeFiles);
    if (htmlOn) addHtmlFile(html, file, htmlTakesFiles);
    if (comparer) comparer->addFile(file);
    if (patch) patch->addFile(file);
  };
  // The records feed the pages' lists of what is not covered yet and the
  // change's items.
  if (htmlOn || patch) {
    sinks.record = [&](const Probe& record, const std::string& place) {
      if (htmlOn) addHtmlRecord(html, record);
      if (patch) patch->addRecord(record, place);
    };
  }
  if (patch) sinks.recordStatements = [&](const std::string& place) { return patch->touchesPlace(place); };
  sinks.recordsWanted = recordsWanted;
  sinks.path = [&](const PathTable& table, const LineCoverage& coverage) {
    if (patch) patch->addPath(table);
    if (markdownOn && !patch) writtenFiles.push_back({table.path, coverage});
    const bool carry = !onlyChanged || patch->touches(table.key);
    if (carry) carried += coverage;
    formats.addPath(table, coverage, carry);
    // Compared before the HTML report takes it, so that its page marks what it lost.
    if (comparer) comparer->addSource(table);
    if (htmlOn) addHtmlPath(html, table, coverage);
  };
  const RunResult run = walkDatabaseForExport(settings.root, sinks, std::move(plan));
  formats.finish();

  if (coberturaOn) endCoberturaDocument(cobertura, carried);
  if (sonarOn) endSonarDocument(sonar);
  static const BaselineComparison kNoComparison;
  const BaselineComparison& comparison = comparer ? comparer->finish() : kNoComparison;
  std::string baselineMember;
  if (comparer) {
    noteFilesChangedThroughout(comparison);
    appendJsonBaseline(baselineMember, *settings.baselineFile, comparison);
  }
  PatchResult patchResult;
  if (patch) {
    patchResult = patch->finish();
    if (!baselineMember.empty()) baselineMember += ",\n  ";
    appendJsonPatch(baselineMember, patchResult);
  }
  if (jsonOn) endJsonDocument(json, run, baselineMember);
  const std::time_t now = currentTime();
  const std::string* label = settings.historyLabel ? &*settings.historyLabel : nullptr;
  if (settings.historyFile) history.entries.push_back(historyEntry(now, label, run));
  if (markdownOn) {
    MarkdownInput input{run, view, patch ? &patchResult : nullptr, std::move(writtenFiles), {}, {}};
    if (comparer) {
      input.extraColumns.push_back(baselineColumn(comparison));
      input.extraSections += lostSection(*settings.baselineFile, comparison);
    }
    if (settings.historyFile) input.extraSections += historySection(history.entries);
    writeMarkdownSummary(markdown, input);
  }
  if (patch) html.patchResult = &patchResult;
  if (htmlOn) {
    if (settings.historyFile) {
      std::string section;
      appendTrendSection(section, history.entries);
      html.indexSections.push_back(std::move(section));
    }
    if (comparer) html.indexSections.push_back(htmlBaselineSection(html, *settings.baselineFile, comparison));
    endHtmlReport(html, run);
  }
  for (ExportStream& stream : streams) closeExportStream(stream);
  if (markdownOn) closeExportStream(markdown);
  if (settings.historyFile) {
    std::string error;
    if (!appendHistoryLine(*settings.historyFile, historyLine(now, label, run), error)) {
      writeDiagnostic("QARPost error: history " + *settings.historyFile + ": " + error + "\n");
      return 1;
    }
  }

  bool gateMissed = applyCoverageGates(settings.gates, run, view);
  if (comparer && applyLostGates(settings.lostGates, comparison)) gateMissed = true;
  if (comparer && applyDeltaGates(settings.deltaGates, comparison)) gateMissed = true;
  if (patch && applyPatchGates(settings.patchGates, patchResult, view)) gateMissed = true;
  if (exportOutputErrorReported()) return 1;
  return gateMissed ? kStatusGateMissed : 0;
}

}  // namespace qar
