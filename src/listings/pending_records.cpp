// The context that waits to be written: the untested code listing writes a
// file header, a function line or a decision line only when a line below it
// has to be shown, and line records only when the line they introduce is
// written. The profile listing flushes at once and so writes everything.
#include "coverage/record_reader.h"
#include "listings/coverage_walk.h"
#include "listings/postlist.h"

namespace qar {
CoverageWalk& coverageWalk() {
  static thread_local CoverageWalk walk;
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
  writePendingLineRecord(walk.lineRecords.beforeFunction);
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
  writePendingLineRecord(walk.lineRecords.inFunction);
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
  walk.decision.text = probe.text;
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
  return nextRecordKeepingLineRecords(walk.record, walk.lineRecords);
}

}  // namespace qar
