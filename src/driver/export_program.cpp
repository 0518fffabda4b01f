#include "driver/export_program.h"

#include "cmdline/postcmdl.h"
#include "config/configuration.h"
#include "coverage/loading.h"
#include "driver/program.h"
#include "export/export_run.h"
#include "export/export_settings.h"
#include "export/output/replacing_output.h"
#include "selection/report_database.h"

namespace qar {

int runExportProgram(int argc, const char* const* argv) {
  prepareStandardStreams();
  discardOutputTargetsOnSignals();
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

int runExportProgramAndExit(int argc, const char* const* argv) {
  const int status = runAndExit(runExportProgram, argc, argv);
  // A fatal error on the way leaves outputs unfinished: none takes its name.
  discardOpenOutputTargets();
  return status;
}

}  // namespace qar
