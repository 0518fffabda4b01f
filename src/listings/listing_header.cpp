// The fixed text blocks of the listings: banner box, header block, file
// header, headings, separator and summary.
#include <string>

#include "config/configuration.h"
#include "coverage/database.h"
#include "base/posterr.h"
#include "base/version.h"
#include "listings/listing_header_state.h"
#include "listings/postlist.h"
#include "base/clock.h"
#include "base/text.h"

namespace qar {
namespace {

constexpr std::string_view kContinuationLabel = "                      : ";

// Each list writes its label on its first line only.
struct HeaderListFlags {
  bool symbolFirst = true;
  bool dataFirst = true;
  bool chosenFirst = true;
  bool unchosenFirst = true;
};

HeaderListFlags& listFlags() {
  static thread_local HeaderListFlags flags;
  return flags;
}

void writeListLine(bool& first, std::string_view label, std::string_view name,
                   std::string_view stamp, bool withStamp) {
  std::string line(first ? label : kContinuationLabel);
  first = false;
  line += name;
  if (withStamp) {
    line += " (";
    line += stamp;
    line += ')';
  }
  line += '\n';
  writeListingText(line);
}

const char* titleLine(ListingTitle title) {
  switch (title) {
    case ListingTitle::ExecutionProfile:
      return "*                         EXECUTION PROFILE LISTING                         *";
    case ListingTitle::UntestedCode:
      return "*                          UNTESTED CODE LISTING                            *";
    case ListingTitle::Contents:
      return "*                    CONTENTS OF SYMBOL/DATA FILE LISTING                   *";
    case ListingTitle::ExecutionTime:
      break;
  }
  return "*                          EXECUTION TIME LISTING                           *";
}

}  // namespace

void resetHeaderListFlags() { listFlags() = HeaderListFlags{}; }

void writeListingBanner(ListingTitle title) {
  const std::string stars(77, '*');
  const std::string blank = "*" + std::string(75, ' ') + "*";
  std::string box;
  box += stars + "\n";
  box += formatText("*         Tarvo, Test Coverage Analyzer for C/C++, Version %-9s        *\n",
                    programVersion().c_str());
  box += blank + "\n";
  box += titleLine(title);
  box += "\n";
  box += blank + "\n";
  box += framedBannerLine(kRightsNotice) + "\n";
  box += framedBannerLine(copyrightNotice()) + "\n";
  box += stars + "\n\n\n";
  writeListingText(box);
}

void writeSymbolFileLine(std::string_view name, std::string_view stamp) {
  writeListLine(listFlags().symbolFirst, "Symbol file(s) used   : ", name, stamp, true);
}

void writeDataFileLine(std::string_view name, std::string_view stamp) {
  writeListLine(listFlags().dataFirst, "Data file(s) used     : ", name, stamp, true);
}

void writeNoDataFileLine() { writeListingText("Data file(s) used     : N.A.\n"); }

void writeChosenFileLine(std::string_view pattern) {
  writeListLine(listFlags().chosenFirst, "Chosen file(s)        : ", pattern, {}, false);
}

void writeUnchosenFileLine(std::string_view pattern) {
  writeListLine(listFlags().unchosenFirst, "Unchosen file(s)      : ", pattern, {}, false);
}

void writeProductionTimeLine() {
  writeListingText("Listing produced at   : " + currentTimeText() + "\n");
}

void writeCoverageViewLine(CoverageView view) {
  writeListingText(std::string("Coverage view         : ") + coverageViewText(view) + "\n");
}

void writeExecutionCostTypeLine() {
  writeListingText("Execution cost type   : " + configValue(ConfigParameter::ExecutionCostType) + "\n");
}

void writeNoticeCountLines() {
  uint32_t count = noticeCount();
  if (count == 0) return;
  writeListingText(formatText("*** %u verbose notice(s) written to stderr\n\n", count));
}

void writeHeaderBlock(HeaderBlockKind kind) {
  const CoverageDatabase& db = database();
  const OptionSettings& settings = options();
  for (const InputFileEntry& entry : db.symbolFilesRead) writeSymbolFileLine(entry.name, entry.stamp);
  if (!db.dataFilesRead.empty()) {
    for (const InputFileEntry& entry : db.dataFilesRead) writeDataFileLine(entry.name, entry.stamp);
  } else if (kind != HeaderBlockKind::Contents) {
    writeNoDataFileLine();
  }
  if (settings.chosenFiles) {
    for (const std::string& pattern : *settings.chosenFiles) writeChosenFileLine(pattern);
  }
  if (settings.unchosenFiles) {
    for (const std::string& pattern : *settings.unchosenFiles) writeUnchosenFileLine(pattern);
  }
  writeProductionTimeLine();
  switch (kind) {
    case HeaderBlockKind::Coverage:
      writeCoverageViewLine(settings.coverageView);
      break;
    case HeaderBlockKind::Timing:
      writeExecutionCostTypeLine();
      break;
    case HeaderBlockKind::Contents:
      writeListingEmptyLine();
      return;
  }
  writeListingEmptyLine();
  writeNoticeCountLines();
}

std::string instrumentationModeText(const InstrumentationMode& mode) {
  std::string text = mode.multicondition ? "multicondition" : mode.decision ? "decision" : "function";
  if (mode.hasTiming()) text += mode.inclusiveTiming ? "+inclusive_timing" : "+exclusive_timing";
  return text;
}

void writeFileHeader(std::string_view fileName, const InstrumentationMode& mode, bool isHeaderFile) {
  std::string block = "\n";
  block += isHeaderFile ? "MONITORED HEADER FILE : " : "MONITORED SOURCE FILE : ";
  block += fileName;
  block += "\nINSTRUMENTATION MODE  : ";
  block += instrumentationModeText(mode);
  block += '\n';
  writeListingText(block);
}

void writeColumnHeading() {
  writeListingText(" HITS/TRUE      FALSE    LINE DESCRIPTION\n" + std::string(77, '=') + "\n\n");
}

void writeTimingHeading() {
  writeListingText(
      " EXECUTION      =======EXECUTION COST========\n"
      "     COUNT      TOTAL      AVERAGE        MAX  LINE FUNCTION\n" +
      std::string(77, '=') + "\n");
}

void writeSeparator() {
  writeListingText("-----------------------------------------------------------------------------\n\n");
}

void writeSummary(uint32_t sourceFiles, uint32_t headersExtracted, uint32_t functions,
                  unsigned long sourceLines, uint32_t terPercentage, uint32_t coveredItems,
                  uint32_t items, std::string_view coverageType) {
  std::string text = formatText(
      "\n\nSUMMARY\n=======\n\nSource files       : %u\nHeaders extracted  : %u\n"
      "Functions          : %u\nSource lines       : %lu\nTER                : %u %% (%u/%u)",
      sourceFiles, headersExtracted, functions, sourceLines, terPercentage, coveredItems, items);
  text += coverageType;
  text += '\n';
  writeListingText(text);
}

void writeStatementSummary(uint32_t percentage, uint32_t hits, uint32_t total,
                           uint32_t functionsWithoutFigures) {
  if (functionsWithoutFigures == 0) {
    writeListingText(formatText("TER                : %u %% (%u/%u) statement\n", percentage, hits, total));
  } else {
    writeListingText(formatText("TER                : %u %% (%u/%u) statement (N.A. for %u functions)\n",
                                percentage, hits, total, functionsWithoutFigures));
  }
}

}  // namespace qar
