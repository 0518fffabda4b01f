#include "export/export_run.h"

#include "export/formats/cobertura_export.h"

#include <memory>

#include "base/posterr.h"
#include "export/change/baseline_compare.h"
#include "export/change/baseline_reader.h"
#include "export/change/coverage_history.h"
#include "base/clock.h"
#include "export/formats/json_baseline.h"
#include "export/gates/lost_gates.h"
#include "export/gates/patch_gates.h"
#include "export/change/patch_coverage.h"
#include "export/change/unified_diff.h"
#include "export/formats/json_patch.h"
#include "export/formats/markdown_export.h"
#include "export/gates/coverage_gates.h"
#include "export/output/export_stream.h"
#include "export/walk/export_walk.h"
#include "export/html/html_report.h"
#include "export/formats/json_export.h"
#include "export/formats/lcov_export.h"
#include "export/formats/sonar_export.h"

namespace qar {

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
  std::unique_ptr<BaselineComparer> comparer;
  if (baseline) comparer = std::make_unique<BaselineComparer>(*baseline);
  // So is the diff.
  std::unique_ptr<PatchCoverage> patch;
  if (settings.diffFile) {
    DiffReadResult read = readUnifiedDiffFile(*settings.diffFile);
    if (!read.diff) {
      const std::string name = *settings.diffFile == "-" ? "(standard input)" : *settings.diffFile;
      writeDiagnostic("QARPost error: diff " + name + ": " + read.error + "\n");
      return 1;
    }
    const std::optional<std::string> sources =
        settings.sourceRootGiven ? std::optional<std::string>(settings.sourceRoot) : std::nullopt;
    patch = std::make_unique<PatchCoverage>(*read.diff, *settings.diffFile, sources, view);
  }
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
  if (htmlOn) beginHtmlReport(html, *settings.htmlDirectory, settings.sourceRoot, settings.root, view);
  html.patch = patch.get();
  ExportStream markdown;
  const bool markdownOn = settings.markdownFile && openExportStream(markdown, *settings.markdownFile);
  std::vector<FileLineCoverage> writtenFiles;  // for the Markdown's files with the lowest coverage
  // With --changed-files-only the line-based formats carry only the files
  // the diff touches, and Cobertura's totals are theirs.
  const bool onlyChanged = settings.changedFilesOnly && patch;
  LineCoverage carried;

  ExportWalkSinks sinks;
  sinks.file = [&](const FileResult& file) {
    if (jsonOn) writeJsonFile(json, file);
    if (htmlOn) addHtmlFile(html, file);
    if (patch) patch->addFile(file);
  };
  if (patch) sinks.record = [&](const Probe& record, const std::string& place) { patch->addRecord(record, place); };
  if (patch) sinks.recordStatements = [&](const std::string& place) { return patch->touchesPlace(place); };
  if (patch) sinks.recordsWanted = [&](const std::string& key) { return patch->touches(key); };
  sinks.path = [&](const PathTable& table, const LineCoverage& coverage) {
    const std::vector<std::string> names = uniqueFunctionNames(table);
    if (patch) patch->addPath(table);
    if (markdownOn && !patch) writtenFiles.push_back({table.path, coverage});
    const bool carry = !onlyChanged || patch->touches(table.key);
    if (carry) carried += coverage;
    if (lcovOn && carry) writeLcovRecord(lcov, table, names, coverage);
    if (coberturaOn && carry) writeCoberturaClass(cobertura, table, names, coverage);
    if (sonarOn && carry) writeSonarFile(sonar, table);
    if (jsonOn) writeJsonSource(json, table, names, coverage);
    if (htmlOn) addHtmlPath(html, table, coverage);
    if (comparer) comparer->addSource(table);
  };
  const RunResult run = walkDatabaseForExport(settings.root, sinks);

  if (coberturaOn) endCoberturaDocument(cobertura, carried);
  if (sonarOn) endSonarDocument(sonar);
  BaselineComparison comparison;
  std::string baselineMember;
  if (comparer) {
    comparison = comparer->finish();
    appendJsonBaseline(baselineMember, *settings.baselineFile, comparison);
  }
  PatchResult patchResult;
  if (patch) {
    patchResult = patch->finish();
    if (!baselineMember.empty()) baselineMember += ",\n  ";
    appendJsonPatch(baselineMember, patchResult);
  }
  if (jsonOn) endJsonDocument(json, run, baselineMember);
  if (markdownOn) {
    MarkdownInput input{run, view, patch ? &patchResult : nullptr, std::move(writtenFiles), {}, {}};
    writeMarkdownSummary(markdown, input);
  }
  if (patch) html.patchResult = &patchResult;
  if (htmlOn) endHtmlReport(html, run);
  for (ExportStream& stream : streams) closeExportStream(stream);
  if (markdownOn) closeExportStream(markdown);
  if (settings.historyFile) {
    const std::string* label = settings.historyLabel ? &*settings.historyLabel : nullptr;
    std::string error;
    if (!appendHistoryLine(*settings.historyFile, historyLine(currentTime(), label, run), error)) {
      writeDiagnostic("QARPost error: history " + *settings.historyFile + ": " + error + "\n");
      return 1;
    }
  }

  bool gateMissed = applyCoverageGates(settings.gates, run, view);
  if (comparer && applyLostGates(settings.lostGates, comparison)) gateMissed = true;
  if (patch && applyPatchGates(settings.patchGates, patchResult, view)) gateMissed = true;
  if (exportOutputErrorReported()) return 1;
  return gateMissed ? kStatusGateMissed : 0;
}

}  // namespace qar
