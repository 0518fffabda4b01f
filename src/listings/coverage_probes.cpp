// One probe record of the coverage listings: what it adds to its function's
// TER under the coverage view, and the line it gets. The profile listing
// writes every handled probe; the untested code listing only those with a
// "-" marker, with the context lines that locate them.
#include "coverage/record_reader.h"
#include "listings/coverage_walk.h"
#include "listings/mcdc.h"
#include "listings/postlist.h"

namespace qar {
namespace {

enum class ProbeRow {
  Structure,      // else, do, switch, function try block, label: description only
  Counted,        // single-counter probes: hits and marker
  FunctionEnd,    // closing brace without a counter, decision files only
  Uncounted,      // block end, lambda end without a counter, user annotation
  Decision,       // decisions and constant decisions
  AndOr,          // and/or expression
  Condition,      // one condition of a multicondition
  Combination,    // one combination of a multicondition
  Ignored,
};

ProbeRow rowOf(uint32_t kind) {
  switch (kind) {
    case 40: case 41: case 42: case 43: case 45:
      return ProbeRow::Structure;
    case 1: case 4: case 5:
    case 10: case 11: case 12: case 13: case 14: case 15: case 16:
    case 55:
    case 60: case 61: case 62: case 63: case 64: case 65: case 66:
    case 100: case 101: case 102: case 103: case 104:
      return ProbeRow::Counted;
    case 2:
      return ProbeRow::FunctionEnd;
    case 3: case 6: case 56:
      return ProbeRow::Uncounted;
    case 20: case 21: case 22: case 23: case 24: case 25:
    case 30: case 31: case 32: case 33: case 34: case 35:
      return ProbeRow::Decision;
    case 85:
      return ProbeRow::AndOr;
    case 77:
      return ProbeRow::Condition;
    case 75: case 76:
      return ProbeRow::Combination;
    default:
      return ProbeRow::Ignored;
  }
}

bool conditionLevelView(CoverageView view) {
  return view == CoverageView::Condition || view == CoverageView::Mcdc ||
         view == CoverageView::AsInstrumented;
}

void placeDescription(const Probe& probe, uint32_t nesting, uint32_t combinationNumber = 0) {
  putLineNumber(probe.line);
  setNestingLevel(nesting);
  describeProbe(probe.kind, probe.text, combinationNumber);
}

// A line with the description only (profile listing).
void writeDescriptionLine(const Probe& probe) {
  flushPendingHeaders();
  placeDescription(probe, probe.nesting);
  flushListingLine();
}

void handleCounted(CoverageWalk& walk, const Probe& probe) {
  const bool missed = probe.counter1 == 0;
  if (missed) noteUntestedLine(walk);
  if (walk.untested && !missed) return;
  flushPendingHeaders();
  placeDescription(probe, probe.nesting);
  putHits(probe.counter1);
  putMarker(missed ? '-' : ' ');
  flushListingLine();
}

void handleDecision(CoverageWalk& walk, const Probe& probe) {
  setPendingDecision(probe);
  const bool missed = decisionMissed(probe);
  if (missed) noteUntestedLine(walk);
  if (!walk.untested || missed) flushPendingDecision();
}

void handleCondition(CoverageWalk& walk, const Probe& probe) {
  const bool missed = probe.counter1 == 0 || probe.counter2 == 0;
  if (missed) noteUntestedLine(walk);
  if (walk.untested && !missed) return;
  flushPendingDecision();
  placeDescription(probe, probe.nesting + 1);
  putHits(probe.counter1);
  putFalseCount(probe.counter2);
  putMarker(missed ? '-' : ' ');
  flushListingLine();
}

void handleCombination(CoverageWalk& walk, const Probe& probe) {
  ++walk.combinationNumber;
  const bool makesTrue = probe.kind == 75;
  const uint32_t count = makesTrue ? probe.counter1 : probe.counter2;
  const bool uncovered = count == 0;
  if (uncovered) noteUntestedLine(walk);
  // Only multicondition coverage counts combinations and marks them.
  const bool asInstrumented = walk.view == CoverageView::AsInstrumented;
  const bool writeLine = walk.untested ? uncovered && asInstrumented : true;
  if (!walk.untested || uncovered) flushPendingDecision();
  if (writeLine) {
    placeDescription(probe, probe.nesting + 1, walk.combinationNumber);
    if (makesTrue) {
      putHits(count);
    } else {
      putFalseCount(count);
    }
    if (asInstrumented) putMarker(uncovered ? '-' : ' ');
    flushListingLine();
  }
  if (walk.view == CoverageView::Mcdc) {
    registerCombination(makesTrue, count, probe.text, probe.line, probe.nesting);
  }
}

}  // namespace

void handleCoverageProbe(CoverageWalk& walk, const Probe& probe) {
  // The first record after a multicondition's combinations closes it.
  if (mcdcPending() && (probe.kind < 75 || probe.kind > 81)) {
    // The untested listing writes the line of every uncovered condition.
    const uint32_t missesBefore = walk.functionTer.misses;
    writeMcdcOutput(!walk.untested, walk.functionTer.items, walk.functionTer.misses);
    if (walk.functionTer.misses != missesBefore) noteUntestedLine(walk);
  }
  if (probe.kind != 75 && probe.kind != 76) walk.combinationNumber = 0;
  if (probe.statementCount != 0 && probe.statementCount == walk.lastStatementCount) {
    setFinalStatementPassed();
  }
  walk.functionTer += probeTerFigures(probe, walk.view);

  const CoverageView view = walk.view;
  const bool aboveFunction = view != CoverageView::Function;
  switch (rowOf(probe.kind)) {
    case ProbeRow::Structure:
    case ProbeRow::Uncounted:
      if (aboveFunction && !walk.untested) writeDescriptionLine(probe);
      break;
    case ProbeRow::FunctionEnd:
      if (aboveFunction && walk.mode.decision && !walk.untested) writeDescriptionLine(probe);
      break;
    case ProbeRow::Counted:
      if (aboveFunction) handleCounted(walk, probe);
      break;
    case ProbeRow::Decision:
      if (aboveFunction) handleDecision(walk, probe);
      break;
    case ProbeRow::AndOr:
      if (conditionLevelView(view)) handleDecision(walk, probe);
      break;
    case ProbeRow::Condition:
      if (view == CoverageView::Condition) handleCondition(walk, probe);
      break;
    case ProbeRow::Combination:
      if (view == CoverageView::Mcdc || view == CoverageView::AsInstrumented) {
        handleCombination(walk, probe);
      }
      break;
    case ProbeRow::Ignored:
      break;
  }
}

}  // namespace qar
