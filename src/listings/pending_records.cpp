// The context that waits to be written: the untested code listing writes a
// file header, a function line or a decision line only when a line below it
// has to be shown, and line records only when the line they introduce is
// written. The profile listing flushes at once and so writes everything.
#include "coverage/record_reader.h"
#include "listings/coverage_walk.h"
#include "listings/postlist.h"

namespace qar {
namespace {

void keepLineRecord(PendingLineRecord& slot, const Probe& record, uint32_t kind) {
  slot.pending = true;
  slot.kind = kind;
  slot.line = record.line;
  slot.nesting = record.nesting;
  slot.text.assign(record.text);
}

void moveLineRecord(PendingLineRecord& to, PendingLineRecord& from, uint32_t kind) {
  to.pending = true;
  to.kind = kind;
  to.line = from.line;
  to.nesting = from.nesting;
  to.text.swap(from.text);
  from.pending = false;
}

void writeLineRecord(PendingLineRecord& slot) {
  if (!slot.pending) return;
  putLineNumber(slot.line);
  setNestingLevel(slot.nesting);
  describeProbe(slot.kind, slot.text);
  flushListingLine();
  slot.pending = false;
}

}  // namespace

CoverageWalk& coverageWalk() {
  static CoverageWalk walk;
  return walk;
}

void writeCoverageFileHeader(const CoverageWalk& walk) {
  writeListingEmptyLine();
  writeFileHeader(walk.fileName, walk.mode, walk.isHeaderFile);
  writeListingEmptyLine();
  writeColumnHeading();
}

void flushPendingHeaders() {
  CoverageWalk& walk = coverageWalk();
  if (!walk.fileHeaderWritten) {
    writeCoverageFileHeader(walk);
    walk.fileHeaderWritten = true;
  }
  writeLineRecord(walk.beforeFunction);
  if (walk.functionPending && !walk.functionLineWritten) {
    const Probe& function = walk.function;
    putLineNumber(function.line);
    setNestingLevel(function.nesting);
    describeProbe(kKindFunction, function.text);
    putHits(function.counter1);
    putMarker(function.counter1 == 0 ? '-' : ' ');
    flushListingLine();
    walk.functionLineWritten = true;
  }
  writeLineRecord(walk.inFunction);
}

bool decisionMissed(const Probe& probe) {
  if (probe.kind >= 30 && probe.kind <= 35) return probe.counter1 == 0 && probe.counter2 == 0;
  return probe.counter1 == 0 || probe.counter2 == 0;
}

void setPendingDecision(const Probe& probe) {
  CoverageWalk& walk = coverageWalk();
  walk.decision.kind = probe.kind;
  walk.decision.line = probe.line;
  walk.decision.nesting = probe.nesting;
  walk.decision.text.assign(probe.text);
  walk.decision.counter1 = probe.counter1;
  walk.decision.counter2 = probe.counter2;
  walk.decisionPending = true;
  walk.decisionLineWritten = false;
}

void flushPendingDecision() {
  CoverageWalk& walk = coverageWalk();
  if (!walk.decisionPending || walk.decisionLineWritten) return;
  flushPendingHeaders();
  const Probe& decision = walk.decision;
  putLineNumber(decision.line);
  setNestingLevel(decision.nesting);
  describeProbe(decision.kind, decision.text);
  if (decision.kind >= 30 && decision.kind <= 35) {
    // A constant decision shows the one outcome it can have.
    if (decision.counter2 == 0) {
      putHits(decision.counter1);
    } else {
      putFalseCount(decision.counter2);
    }
  } else {
    putHits(decision.counter1);
    putFalseCount(decision.counter2);
  }
  putMarker(decisionMissed(decision) ? '-' : ' ');
  flushListingLine();
  walk.decisionLineWritten = true;
}

RecordCategory readWalkRecord(CoverageWalk& walk) {
  bool lineRecordBefore = false;
  RecordCategory category;
  while ((category = nextRecord(walk.record)) == RecordCategory::LineRecord) {
    // Only the last line record of a run survives.
    Probe& last = walk.lastLineRecord;
    last.kind = walk.record.kind;
    last.line = walk.record.line;
    last.nesting = walk.record.nesting;
    last.text.assign(walk.record.text);
    lineRecordBefore = true;
  }
  switch (category) {
    case RecordCategory::ProbeRecord:
      if (lineRecordBefore) {
        keepLineRecord(walk.inFunction, walk.lastLineRecord, walk.lastLineRecord.kind);
      } else {
        walk.inFunction.pending = false;
      }
      break;
    case RecordCategory::FunctionRecord:
      // Source text before a function is shown as a line entry before the
      // function line; one left unwritten at the end of the previous
      // function moves there too.
      if (lineRecordBefore) {
        keepLineRecord(walk.beforeFunction, walk.lastLineRecord, kKindLineEntry);
        walk.inFunction.pending = false;
      } else if (walk.inFunction.pending) {
        moveLineRecord(walk.beforeFunction, walk.inFunction, kKindLineEntry);
      } else {
        walk.beforeFunction.pending = false;
      }
      break;
    default:
      walk.beforeFunction.pending = false;
      walk.inFunction.pending = false;
      break;
  }
  return category;
}

}  // namespace qar
