#pragma once
// The walk shared by the execution profile and untested code listings: the
// figures kept per function, per file and overall, and the records that wait
// to be written until a line needs them as context.
#include <cstdint>
#include <string>

#include "coverage/model.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"
#include "listings/kept_statements.h"
#include "listings/line_records.h"
#include "listings/measures.h"

namespace qar {

struct StatementTotals {
  uint32_t total = 0;
  uint32_t hits = 0;
  uint32_t functionsWithoutFigures = 0;

  StatementTotals& operator+=(const StatementTotals& other) {
    total += other.total;
    hits += other.hits;
    functionsWithoutFigures += other.functionsWithoutFigures;
    return *this;
  }
};

struct CoverageWalk {
  bool untested = false;
  CoverageView view = CoverageView::AsInstrumented;

  Probe record;      // nextRecord's buffer, the same for the whole walk
  Probe lookAhead;   // peekRecord's buffer for the statement prepass

  // Current file.
  std::string fileName;
  InstrumentationMode mode;
  bool isHeaderFile = false;
  bool fileHeaderWritten = false;
  TerFigures fileTer;
  StatementTotals fileStatements;

  // Whole listing.
  TerFigures overallTer;
  StatementTotals overallStatements;
  uint32_t functionsListed = 0;
  bool anyFunctionOnly = false;
  bool anyDecision = false;
  bool anyMulticondition = false;

  // Current function.
  Probe function;
  bool functionPending = false;
  bool functionLineWritten = false;
  TerFigures functionTer;
  uint32_t functionStatementHits = 0;
  uint32_t functionStatementTotal = 0;
  uint32_t lastStatementCount = 0;  // of the function's last record, a line record too; 0 without prepass

  // The profile listing, when it keeps its functions for the untested
  // listing: the function record's line, whether the untested listing will
  // write anything for the function's records, and where the function's
  // last probe record starts (with the line records directly before it).
  const DescriptionLine* functionLine = nullptr;
  bool untestedShows = false;
  const DescriptionLine* lastProbeFrom = nullptr;
  // The untested listing: what the profile listing kept of the function.
  const KeptFunction* kept = nullptr;

  Probe decision;
  bool decisionPending = false;
  bool decisionLineWritten = false;

  LineRecordSlots lineRecords;  // before-function records shown as kind 50

  uint32_t combinationNumber = 0;
};

// The walk of the listing being written (process-wide).
CoverageWalk& coverageWalk();

// Writes, each only once and only if pending: the file header (untested
// listing), the line record before the function, the function line, the
// line record inside the function.
void flushPendingHeaders();

// Writes the pending decision's line (after flushPendingHeaders) unless it
// is already written.
void flushPendingDecision();

// Makes `probe` the pending decision, its line not yet written.
void setPendingDecision(const Probe& probe);

// True when the decision line carries "-": an ordinary decision or and/or
// expression with a zero count, a constant decision with both counts zero.
bool decisionMissed(const Probe& probe);

// The file header with its heading: empty line, writeFileHeader, empty
// line, column heading.
void writeCoverageFileHeader(const CoverageWalk& walk);

// Resets the walk for a new listing of the given kind.
void beginCoverageWalk(bool untested, CoverageView view);

// The body of the listing: every file with its functions and probes; adds
// up the file figures into the overall ones.
void walkCoverageFiles();

// Notes, in the profile listing, that the untested listing of the same run
// writes a line for the current function (or may: it is asked wherever the
// untested listing could write one).
inline void noteUntestedLine(CoverageWalk& walk) { walk.untestedShows = true; }

// One probe record of the current function: counting and its line.
void handleCoverageProbe(CoverageWalk& walk, const Probe& probe);

// The record reader as the listings see it: runs of line records are
// absorbed into the pending line-record slots.
RecordCategory readWalkRecord(CoverageWalk& walk);

}  // namespace qar
