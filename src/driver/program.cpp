#include "driver/program.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "config/configuration.h"
#include "coverage/adding.h"
#include "listings/contents_listing.h"
#include "listings/kept_statements.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "base/posterr.h"
#include "base/standard_output.h"
#include "base/version.h"
#include "listings/postlist.h"
#include "listings/postprof.h"
#include "selection/report_database.h"
#include "xml/postxml.h"
#include "base/text.h"

namespace qar {
namespace {

bool isCoverageReport(ReportKind kind) {
  return kind == ReportKind::Profile || kind == ReportKind::Untested ||
         kind == ReportKind::Timing || kind == ReportKind::Xml;
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

}  // namespace

// Standard error is unbuffered; standard output keeps a large buffer for the
// speed of listings on stdout, and writeDiagnostic flushes it before every
// diagnostic (and main flushes it at exit), so both streams keep their order.
// A standard descriptor that is closed is held by a placeholder that fails
// every transfer as a closed one does ("Bad file descriptor"), so that no file
// the run opens takes its number and receives what was meant for the stream.
void prepareStandardStreams() {
  for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF) continue;
    // Opened for the other direction only: reads of standard input and
    // writes of standard output and error fail.
    const int placeholder = ::open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (placeholder >= 0 && placeholder != descriptor) {
      dup2(placeholder, descriptor);
      ::close(placeholder);
    }
  }
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
  if (settings.profileFile) {
    // The untested code listing takes the profile listing's statement figures.
    keepStatementFigures(settings.untestedFile.has_value());
    dispatchReport(ReportKind::Profile, *settings.profileFile);
  }
  if (settings.untestedFile) dispatchReport(ReportKind::Untested, *settings.untestedFile);
  if (settings.timingFile) dispatchReport(ReportKind::Timing, *settings.timingFile);
  if (settings.xmlFile) dispatchReport(ReportKind::Xml, *settings.xmlFile);
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
  flushStandardOutput();
  std::fflush(stdout);
  return status;
}

int runProgramAndExit(int argc, const char* const* argv) { return runAndExit(runProgram, argc, argv); }

void resetDriverState() {
  resetReportDatabaseState();
  forgetStatementFigures();
}

}  // namespace qar
