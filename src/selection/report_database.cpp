#include "selection/report_database.h"

#include "cmdline/postcmdl.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "selection/header_extraction.h"

namespace qar {
namespace {

struct ReportDatabaseState {
  bool built = false;
  bool prepared = false;
};

ReportDatabaseState& reportDatabaseState() {
  static ReportDatabaseState state;
  return state;
}

}  // namespace

void buildReportDatabase(bool contentsOnly) {
  ReportDatabaseState& state = reportDatabaseState();
  if (state.built) return;
  buildCoverageDatabase(contentsOnly);
  state.built = true;
}

void prepareDatabaseForCoverageReport() {
  const OptionSettings& settings = options();
  ReportDatabaseState& state = reportDatabaseState();
  if (settings.onlyFilesWithCounters) dropFilesWithoutCounters();
  if (state.prepared) {
    keepListFigures();
    return;
  }
  if (settings.noHeaderExtraction) {
    prepareCounters();
  } else {
    prepareCountersAndExtractHeaders();
  }
  if (settings.unchosenFiles) dropUnchosenFiles();
  state.prepared = true;
  // The lines no longer change: every report of the run sees this list.
  keepListFigures();
}

void resetReportDatabaseState() { reportDatabaseState() = ReportDatabaseState{}; }

}  // namespace qar
