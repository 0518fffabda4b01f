#include "export/export_run.h"

#include "export/formats/cobertura_export.h"
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
  };
  const RunResult run = walkDatabaseForExport(settings.root, sinks);

  if (coberturaOn) endCoberturaDocument(cobertura, run.lineCoverage);
  if (sonarOn) endSonarDocument(sonar);
  if (jsonOn) endJsonDocument(json, run);
  if (htmlOn) endHtmlReport(html, run);
  for (ExportStream& stream : streams) closeExportStream(stream);

  const bool gateMissed = applyCoverageGates(settings.gates, run, view);
  if (exportOutputErrorReported()) return 1;
  return gateMissed ? kStatusGateMissed : 0;
}

}  // namespace qar
