// The execution time listing: call counts and execution costs per function
// of every file instrumented with timing.
#include <string>
#include <vector>

#include "base/parts_in_order.h"
#include "config/configuration.h"
#include "coverage/walk_parts.h"
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


// The files of the walk (all of them, or those of a part); gives the
// category that ended it.
RecordCategory walkTimingFiles(int32_t tick) {
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
  return category;
}

struct TimingPart {
  WalkPart files;
  std::string text;
  std::vector<uint32_t> pieces;
  bool walkedWell = false;  // no error ended the part's walk
};

// Walks `part` into text of its own; false when the walk ends in it.
bool walkTimingPart(TimingPart& part, int32_t tick) {
  struct Ending {
    TimingPart& part;
    ~Ending() {
      endListingPart(part.text, part.pieces);
      unlimitRecordWalk();
    }
  };
  beginListingPart();
  Ending ending{part};
  limitRecordWalk(part.files.first, part.files.end);
  const RecordCategory category = walkTimingFiles(tick);
  part.walkedWell = true;
  return category == RecordCategory::EndOfRecords;
}

// Both threads walk parts; each part's text is written in turn.
void walkTimingFilesInParts(const std::vector<WalkPart>& files, int32_t tick) {
  std::vector<TimingPart> parts(files.size());
  for (size_t i = 0; i < files.size(); ++i) parts[i].files = files[i];
  PartsWork work;
  work.doPart = [&parts, tick](size_t index) { return walkTimingPart(parts[index], tick); };
  work.takePart = [&parts](size_t index) {
    TimingPart& part = parts[index];
    writeListingPart(part.text, part.pieces, part.walkedWell);
  };
  doPartsInOrder(parts.size(), work);
}

}  // namespace

void writeTimingListing() {
  // Start-up validation already refused a TICK that is not a positive integer.
  int32_t tick = parseTick(configValue(ConfigParameter::Tick)).value_or(0);
  if (tick <= 0) failInternal("postprof", 2310);

  writeListingBanner(ListingTitle::ExecutionTime);
  writeHeaderBlock(HeaderBlockKind::Timing);

  if (const std::vector<WalkPart> parts = walkParts(); !parts.empty()) {
    walkTimingFilesInParts(parts, tick);
  } else {
    walkTimingFiles(tick);
  }
}

}  // namespace qar
