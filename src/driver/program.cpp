#include "driver/program.h"

#include <cstdio>
#include <new>
#include <string>

#include "config/configuration.h"
#include "coverage/adding.h"
#include "listings/contents_listing.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "base/posterr.h"
#include "base/version.h"
#include "listings/postlist.h"
#include "listings/postprof.h"
#include "selection/report_database.h"
#include "xml/postxml.h"
#include "base/text.h"
#include "coverage/record_reader.h"
#include "driver/report_alongside.h"

namespace qar {
namespace {

bool isCoverageReport(ReportKind kind) {
  return kind == ReportKind::Profile || kind == ReportKind::Untested ||
         kind == ReportKind::Timing || kind == ReportKind::Xml;
}

// Reads every record once, so that the reader has rewritten every record line
// it can into its parsed form before the copy that writes the XML report
// starts: after that neither process writes into the line texts, and the two
// keep sharing their pages instead of each holding its own. The preparation
// pass has read every record line already, so this walk says nothing; a bad
// record (which a report meets and reports in its turn) ends it quietly.
void parseRecordTextsOnce() {
  resetRecordCursor();
  Probe record;
  RecordCategory category;
  do {
    category = nextRecord(record);
  } while (category != RecordCategory::EndOfRecords && category != RecordCategory::BadRecord);
  resetRecordCursor();
}

// Builds and prepares the database for the coverage reports (once; files
// without counters are dropped before each report under -onlycf).
void prepareCoverageReports() {
  buildReportDatabase(false);
  prepareDatabaseForCoverageReport();
  // qarpost's reports read nothing but the record reader from here on, so
  // the reader may keep each record line's numbers in their parsed form.
  database().recordTextsCompactable = true;
}

// A second process pays from this many record lines on: below, its start
// and the pages both processes copy on writing cost more than the XML report
// (the bundled example's four reports took 17 ms with it, 10 ms without).
constexpr size_t kAlongsideFromLines = 50000;

bool worthAlongside() {
  size_t lines = 0;
  for (const MonitoredFile& file : database().monitoredFiles) lines += file.descriptionLines.size();
  return lines >= kAlongsideFromLines;
}

// With reports before it, the XML report (the largest) is written meanwhile
// by a copy of the process on the second core. The database is built and
// prepared first, as the first report would do it, so that whatever that
// says comes at the same place.
void startXmlAlongside(ReportAlongside& report, std::string_view outputName) {
  prepareCoverageReports();
  if (!worthAlongside()) return;
  parseRecordTextsOnce();
  startReportAlongside(
      report,
      [](std::FILE* into) {
        prepareCoverageReports();
        writeXmlReportInto(into, "XML report");
      },
      outputName);
}

}  // namespace

// Standard error is unbuffered; standard output keeps a large buffer for the
// speed of listings on stdout, and writeDiagnostic flushes it before every
// diagnostic (and main flushes it at exit), so both streams keep their order.
void prepareStandardStreams() {
  static char outputBuffer[1 << 16];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void printBanner() {
  const std::string stars(77, '*');
  const std::string blank = "*" + std::string(75, ' ') + "*";
  std::string box;
  box += stars + "\n";
  box += formatText("*           Tarvo, Test Coverage Analyzer for C/C++, Version %-14s *\n",
                    programVersion().c_str());
  box += blank + "\n";
  box += "*                             THE POSTPROCESSOR                             *\n";
  box += blank + "\n";
  box += framedBannerLine(kRightsNotice) + "\n";
  box += framedBannerLine(copyrightNotice()) + "\n";
  box += stars + "\n";
  box += "\n";
  writeDiagnostic(box);
}

void dispatchReport(ReportKind kind, std::string_view outputName) {
  bool coverageReport = isCoverageReport(kind);
  buildReportDatabase(!coverageReport);

  if (coverageReport) {
    prepareCoverageReports();
    if (kind == ReportKind::Xml) {
      writeXmlReport(outputName);
      return;
    }
  }

  // Each report resets its own per-report state when it starts.
  openListing(outputName);
  switch (kind) {
    case ReportKind::Profile:
    case ReportKind::Untested:
      writeCoverageListing(kind == ReportKind::Untested);
      break;
    case ReportKind::Timing:
      writeTimingListing();
      break;
    case ReportKind::Contents:
    case ReportKind::ContentsWithCounters: {
      const CoverageDatabase& db = database();
      writeListingBanner(ListingTitle::Contents);
      writeHeaderBlock(HeaderBlockKind::Contents);
      writeContentsListing(kind, !db.symbolFilesRead.empty(), !db.dataFilesRead.empty());
      break;
    }
    case ReportKind::Xml:
      break;
  }
  closeListing();
}

int runProgram(int argc, const char* const* argv) {
  prepareStandardStreams();
  parseCommandLine(argc, argv);
  const OptionSettings& settings = options();

  loadConfiguration(settings.configFileText, settings.verbose);
  applyConfigOverrides(settings.configOverrides);
  validateConfiguration();

  bool anyReport = settings.profileFile || settings.untestedFile || settings.timingFile ||
                   settings.xmlFile || settings.listContents || settings.listContentsWithCounters;
  if (!anyReport) {
    if (settings.addTargetDataFile) {
      addDataFiles(*settings.dataFiles, *settings.addTargetDataFile);
    } else if (settings.addTargetSymbolFile) {
      addSymbolFiles(*settings.symbolFiles, *settings.addTargetSymbolFile);
    } else if (settings.verbose) {
      printBanner();
    }
    return 0;
  }

  bool contentsOnly = settings.listContents || settings.listContentsWithCounters;
  loadInputFiles(settings.symbolFiles, settings.dataFiles, contentsOnly);

  if (settings.listContents) {
    dispatchReport(ReportKind::Contents, "stdout");
    return 0;
  }
  if (settings.listContentsWithCounters) {
    dispatchReport(ReportKind::ContentsWithCounters, "stdout");
    return 0;
  }
  ReportAlongside xmlAlongside;
  const bool reportsBeforeXml = settings.profileFile || settings.untestedFile || settings.timingFile;
  if (settings.xmlFile && reportsBeforeXml) startXmlAlongside(xmlAlongside, *settings.xmlFile);
  if (settings.profileFile) dispatchReport(ReportKind::Profile, *settings.profileFile);
  if (settings.untestedFile) dispatchReport(ReportKind::Untested, *settings.untestedFile);
  if (settings.timingFile) dispatchReport(ReportKind::Timing, *settings.timingFile);
  if (settings.xmlFile && !takeReportAlongside(xmlAlongside, *settings.xmlFile)) {
    dispatchReport(ReportKind::Xml, *settings.xmlFile);
  }
  return 0;
}

int runAndExit(int (*run)(int, const char* const*), int argc, const char* const* argv) {
  int status = 0;
  try {
    try {
      status = run(argc, argv);
    } catch (const std::bad_alloc&) {
      // Allocation never fails towards the caller: it ends the run here.
      failWith(kOutOfMemory);
    }
  } catch (const ProgramExit& exit) {
    status = exit.status;
  }
  std::fflush(stdout);
  return status;
}

int runProgramAndExit(int argc, const char* const* argv) { return runAndExit(runProgram, argc, argv); }

void resetDriverState() { resetReportDatabaseState(); }

}  // namespace qar
