#pragma once
// Statement coverage estimate of one function, derived from its probe
// counters: the probes are arranged into a tree of nested constructs, the
// tree is walked with the flow of control inferred from the counters, and
// every block end, case label and label learns whether control reached it
// (the "+"/"-" reachability marks of the profile listing).
//
// Use per function (files with decision coverage only): the prepass
// analyseFunctionStatements(), or by hand:
//   beginStatementTree();
//   addStatementProbe(...)   for the function record, then every following
//                            record up to the next function record or the
//                            file's end, as stored (kinds 70 to 74 keep
//                            their own codes; line records may be included);
//   computeStatementFigures();
//   nextReachedFlag()        once per description that can carry a mark.
// The tree's storage is reused from one function to the next.
#include <cstdint>
#include <string_view>
#include <vector>

#include "coverage/model.h"

namespace qar {

struct StatementFigures {
  uint32_t hits = 0;
  uint32_t total = 0;
  friend bool operator==(const StatementFigures&, const StatementFigures&) = default;
};

// Forgets the previous function's tree; the analysis stays disabled until a
// function record (kind 0) is added.
void beginStatementTree();

// Adds one record of the function, in stored order. A function record
// starts a new tree. Kinds that take no part in the analysis, records after
// the function's closing brace and everything after the analysis was
// disabled are skipped.
void addStatementProbe(uint32_t kind, uint32_t statementCount, uint32_t counter1,
                       uint32_t counter2, std::string_view text, uint32_t line = 0);
void addStatementProbe(const Probe& probe);

// Walks the tree: statement hits and total of the function, both 0 when the
// analysis is disabled or the walk had to stop. Places the reached-flag
// cursor at the function node.
StatementFigures computeStatementFigures();

// The statements that each record of the last function walked counted
// (those that counted any), in stored order: the line of the record before
// it (the statements stand after that one, up to this record's line), its
// own line, and the statements reached and counted there.
struct RecordStatements {
  uint32_t kind = 0;
  uint32_t previousLine = 0;
  uint32_t line = 0;
  uint32_t hits = 0;
  uint32_t total = 0;
};
void recordStatements(std::vector<RecordStatements>& out);

// The reached flag of the next block end, lambda end, function end, case,
// default or label in listing order; false when the analysis is disabled or
// no such node follows.
bool nextReachedFlag();

// False once the tree could not be built consistently (or before the first
// function record).
bool statementAnalysisEnabled();

// The statement count of the last record added (the function's final
// statement count, once all its records are in).
uint32_t lastStatementCount();

// The statement prepass of one function, the reader standing just after
// its function record: the function record and every following record up
// to the next function record or the file's end, line records included,
// are read ahead and given to the analysis, and the reader is put back.
struct FunctionStatements {
  StatementFigures figures;
  // Of the function's last record, which may be a line record (the next
  // function's line record stands before that function's record).
  uint32_t finalStatementCount = 0;
  bool badRecordMet = false;  // the look-ahead stopped at a line that does not parse
};
FunctionStatements analyseFunctionStatements(const Probe& function, Probe& lookAhead);

// Releases the tree's storage and forgets everything (tests).
void resetStatementAnalysis();

}  // namespace qar
