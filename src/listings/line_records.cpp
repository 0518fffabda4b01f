#include "listings/line_records.h"

#include "coverage/record_reader.h"
#include "listings/postlist.h"

namespace qar {
namespace {

void keepLineRecord(PendingLineRecord& slot, const Probe& record, uint32_t kind) {
  slot.pending = true;
  slot.kind = kind;
  slot.line = record.line;
  slot.statementCount = record.statementCount;
  slot.nesting = record.nesting;
  slot.text = record.text;
}

void moveLineRecord(PendingLineRecord& to, PendingLineRecord& from, uint32_t kind) {
  to.pending = true;
  to.kind = kind;
  to.line = from.line;
  to.statementCount = from.statementCount;
  to.nesting = from.nesting;
  std::swap(to.text, from.text);
  from.pending = false;
}

}  // namespace

RecordCategory nextRecordKeepingLineRecords(Probe& record, LineRecordSlots& slots) {
  bool lineRecordBefore = false;
  RecordCategory category;
  while ((category = nextRecord(record)) == RecordCategory::LineRecord) {
    Probe& last = slots.lastLineRecord;
    last.kind = record.kind;
    last.line = record.line;
    last.statementCount = record.statementCount;
    last.nesting = record.nesting;
    last.text = record.text;
    lineRecordBefore = true;
  }
  switch (category) {
    case RecordCategory::ProbeRecord:
      if (lineRecordBefore) {
        keepLineRecord(slots.inFunction, slots.lastLineRecord, slots.lastLineRecord.kind);
      } else {
        slots.inFunction.pending = false;
      }
      break;
    case RecordCategory::FunctionRecord:
      if (lineRecordBefore) {
        keepLineRecord(slots.beforeFunction, slots.lastLineRecord, kKindLineEntry);
        slots.inFunction.pending = false;
      } else if (slots.inFunction.pending) {
        moveLineRecord(slots.beforeFunction, slots.inFunction, kKindLineEntry);
      }
      break;
    default:
      slots.clear();
      break;
  }
  return category;
}

void writePendingLineRecord(PendingLineRecord& slot) {
  if (!slot.pending) return;
  putLineNumber(slot.line);
  setNestingLevel(slot.nesting);
  describeProbe(slot.kind, slot.text);
  flushListingLine();
  slot.pending = false;
}

}  // namespace qar
