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

  ExportWalkSinks sinks;
  if (htmlOn) sinks.record = [&](const Probe& record) { addHtmlRecord(html, record); };
  sinks.file = [&](const FileResult& file) {
    if (jsonOn) writeJsonFile(json, file);
    if (htmlOn) addHtmlFile(html, file);
  };
  sinks.path = [&](const PathTable& table, const LineCoverage& coverage) {
    const std::vector<std::string> names = uniqueFunctionNames(table);
    if (lcovOn) writeLcovRecord(lcov, table, names, coverage);
    if (coberturaOn) writeCoberturaClass(cobertura, table, names, coverage);
    if (sonarOn) writeSonarFile(sonar, table);
    if (jsonOn) writeJsonSource(json, table, names, coverage);
    if (htmlOn) addHtmlPath(html, table, coverage);
    if (comparer) comparer->addSource(table);
  };
  const RunResult run = walkDatabaseForExport(settings.root, sinks);

  if (coberturaOn) endCoberturaDocument(cobertura, run.lineCoverage);
  if (sonarOn) endSonarDocument(sonar);
  BaselineComparison comparison;
  std::string baselineMember;
  if (comparer) {
    comparison = comparer->finish();
    appendJsonBaseline(baselineMember, *settings.baselineFile, comparison);
  }
  if (jsonOn) endJsonDocument(json, run, baselineMember);
  if (htmlOn) endHtmlReport(html, run);
  for (ExportStream& stream : streams) closeExportStream(stream);
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
  if (exportOutputErrorReported()) return 1;
  return gateMissed ? kStatusGateMissed : 0;
}

}  // namespace qar
