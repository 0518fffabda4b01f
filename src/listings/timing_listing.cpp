// The execution time listing: call counts and execution costs per function
// of every file instrumented with timing.
#include "config/configuration.h"
#include "coverage/record_reader.h"
#include "base/posterr.h"
#include "listings/line_records.h"
#include "listings/measures.h"
#include "listings/postlist.h"
#include "listings/postprof.h"

namespace qar {
namespace {

void writeFunctionLine(const Probe& function, int32_t tick) {
  int32_t total = scaledCost(function.timeTotal, tick);
  int32_t maximum = scaledCost(function.timeMax, tick);
  double average = averageCost(total, function.counter1);
  putExecutionCount(function.counter1);
  putTotalCost(total);
  putAverageCost(average);
  putMaximumCost(maximum);
  putTimingLineNumber(function.line);
  putTimingFunction(function.text);
  flushListingLine();
}

[[noreturn]] void failOnBadRecord() { failWith(kSymbolFileError); }

}  // namespace

void writeTimingListing() {
  // Start-up validation already refused a TICK that is not a positive integer.
  int32_t tick = parseTick(configValue(ConfigParameter::Tick)).value_or(0);
  if (tick <= 0) failInternal("postprof", 2310);

  writeListingBanner(ListingTitle::ExecutionTime);
  writeHeaderBlock(HeaderBlockKind::Timing);

  Probe record;
  LineRecordSlots lineRecords;
  RecordCategory category = nextRecord(record);
  if (category == RecordCategory::BadRecord) failOnBadRecord();
  while (category == RecordCategory::FileStart) {
    writeListingEmptyLine();
    // The name as the reader keeps it, like the coverage listings show it.
    writeFileHeader(currentFileName(), currentInstrumentationMode(), currentIsHeaderFile() != 0);
    if (!currentInstrumentationMode().hasTiming()) {
      do {
        category = nextRecord(record);
      } while (category != RecordCategory::FileStart && category != RecordCategory::EndOfRecords &&
               category != RecordCategory::BadRecord);
      if (category == RecordCategory::BadRecord) failOnBadRecord();
      continue;
    }
    lineRecords.clear();
    do {
      category = nextRecordKeepingLineRecords(record, lineRecords);
    } while (category == RecordCategory::IncludeRecord);
    writeListingEmptyLine();
    writeTimingHeading();
    while (category == RecordCategory::FunctionRecord) {
      writePendingLineRecord(lineRecords.beforeFunction);
      writeFunctionLine(record, tick);
      do {
        category = nextRecordKeepingLineRecords(record, lineRecords);
      } while (category == RecordCategory::ProbeRecord);
    }
    if (category == RecordCategory::BadRecord) failOnBadRecord();
    writeListingEmptyLine();
  }
  if (category == RecordCategory::BadRecord) failOnBadRecord();
}

}  // namespace qar
