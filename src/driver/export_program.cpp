#include "driver/export_program.h"

#include "cmdline/postcmdl.h"
#include "config/configuration.h"
#include "coverage/loading.h"
#include "driver/program.h"
#include "export/export_run.h"
#include "export/export_settings.h"
#include "selection/report_database.h"

namespace qar {

int runExportProgram(int argc, const char* const* argv) {
  prepareStandardStreams();
  parseExportCommandLine(argc, argv);
  const OptionSettings& settings = options();

  loadConfiguration(settings.configFileText, settings.verbose);
  applyConfigOverrides(settings.configOverrides);
  validateConfiguration();

  // The inputs exactly as a qarpost report run reads them.
  loadInputFiles(settings.symbolFiles, settings.dataFiles, false);
  buildReportDatabase(false);
  prepareDatabaseForCoverageReport();
  return writeExports(exportSettings(), settings.coverageView);
}

int runExportProgramAndExit(int argc, const char* const* argv) { return runAndExit(runExportProgram, argc, argv); }

}  // namespace qar
