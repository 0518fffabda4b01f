// The execution time listing: call counts and execution costs per function
// of every file instrumented with timing.
#include <optional>

#include "config/configuration.h"
#include "coverage/record_reader.h"
#include "driver/posterr.h"
#include "listings/postlist.h"
#include "listings/postprof.h"

namespace qar {
namespace {

// The line records the reader has absorbed: only the last of a run survives,
// and only one standing directly before a function is shown here.
struct PendingLineRecords {
  std::optional<Probe> beforeFunction;
  std::optional<Probe> inFunction;
  void clear() {
    beforeFunction.reset();
    inFunction.reset();
  }
};

// Reads the next record that is not a line record, keeping the last line
// record of a run in the slot the following record decides.
RecordCategory nextRecordAbsorbingLines(Probe& record, Probe& lineRecord, PendingLineRecords& pending) {
  bool sawLine = false;
  RecordCategory category;
  while ((category = nextRecord(record)) == RecordCategory::LineRecord) {
    lineRecord = record;
    sawLine = true;
  }
  if (category == RecordCategory::ProbeRecord) {
    if (sawLine) {
      pending.inFunction = lineRecord;
    } else {
      pending.inFunction.reset();
    }
  } else if (category == RecordCategory::FunctionRecord) {
    if (sawLine) {
      pending.beforeFunction = lineRecord;
    } else if (pending.inFunction) {
      pending.beforeFunction = std::move(pending.inFunction);
    }
    pending.inFunction.reset();
  } else {
    pending.clear();
  }
  return category;
}

void writeLineRecord(const Probe& lineRecord) {
  setNestingLevel(lineRecord.nesting);
  putLineNumber(lineRecord.line);
  describeProbe(kKindLineEntry, lineRecord.text);
  flushListingLine();
}

// Costs are signed 32-bit values divided by TICK, truncating toward zero.
int32_t scaledCost(uint32_t cost, int32_t tick) {
  int32_t value = static_cast<int32_t>(cost);
  if (tick == 1) return value;
  return value / tick;
}

void writeFunctionLine(const Probe& function, int32_t tick) {
  int32_t total = scaledCost(function.timeTotal, tick);
  int32_t maximum = scaledCost(function.timeMax, tick);
  double average = total;
  if (function.counter1 > 1) average /= function.counter1;
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
  Probe lineRecord;
  PendingLineRecords pending;
  RecordCategory category = nextRecord(record);
  if (category == RecordCategory::BadRecord) failOnBadRecord();
  while (category == RecordCategory::FileStart) {
    writeListingEmptyLine();
    const MonitoredFile* file = currentMonitoredFile();
    writeFileHeader(*file);
    if (!currentInstrumentationMode().hasTiming()) {
      do {
        category = nextRecord(record);
      } while (category != RecordCategory::FileStart && category != RecordCategory::EndOfRecords &&
               category != RecordCategory::BadRecord);
      if (category == RecordCategory::BadRecord) failOnBadRecord();
      continue;
    }
    pending.clear();
    do {
      category = nextRecordAbsorbingLines(record, lineRecord, pending);
    } while (category == RecordCategory::IncludeRecord);
    writeListingEmptyLine();
    writeTimingHeading();
    while (category == RecordCategory::FunctionRecord) {
      if (pending.beforeFunction) {
        writeLineRecord(*pending.beforeFunction);
        pending.beforeFunction.reset();
      }
      writeFunctionLine(record, tick);
      do {
        category = nextRecordAbsorbingLines(record, lineRecord, pending);
      } while (category == RecordCategory::ProbeRecord);
    }
    if (category == RecordCategory::BadRecord) failOnBadRecord();
    writeListingEmptyLine();
  }
  if (category == RecordCategory::BadRecord) failOnBadRecord();
}

}  // namespace qar
