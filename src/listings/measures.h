#pragma once
// Coverage measures shared by the text listings and the XML report: the test
// effectiveness ratio (TER) and what each probe adds to it under a coverage
// view, the coverage-type text of the summary, and the statement lines.
#include <cstdint>
#include <string>

#include "coverage/model.h"
#include "cmdline/postcmdl.h"

namespace qar {

// TER items and the items among them that were not covered.
struct TerFigures {
  uint32_t items = 0;
  uint32_t misses = 0;

  TerFigures& operator+=(const TerFigures& other) {
    items += other.items;
    misses += other.misses;
    return *this;
  }
  uint32_t covered() const { return items - misses; }
  friend bool operator==(const TerFigures&, const TerFigures&) = default;
};

// 100 when there are no items, else (items - misses) * 100 / items, truncated.
uint32_t terPercent(uint32_t items, uint32_t misses);

// Statement coverage percentage: the TER rule with total items, of which
// total - hits are missed.
uint32_t statementPercent(uint32_t hits, uint32_t total);

// What one probe record adds to its function's TER under `view`. The function
// record itself (kind 0) counts under every view. Kinds 70 to 74 count like
// the decisions 20 to 24 they are delivered as. A listing line carries the
// "-" marker exactly when the result has misses.
TerFigures probeTerFigures(const Probe& probe, CoverageView view);

// What one condition of a multicondition adds after the MC/DC pairing: one
// item under the MC/DC view only, missed when it has no covered pair.
TerFigures mcdcConditionTerFigures(bool uncovered, CoverageView view);

// The text appended to the summary TER line, from the instrumentation modes
// met (each file counting for its highest mode) and the view: "" or a blank
// followed by one word, or " mixed " followed by the words joined by "/".
std::string coverageTypeText(bool anyFunctionOnly, bool anyDecision, bool anyMulticondition,
                             CoverageView view);

// An execution cost in TICK units: the counter taken as a signed 32-bit
// value, divided by TICK truncating toward zero.
int32_t scaledCost(uint32_t cost, int32_t tick);

// The average cost of one call: the scaled total, divided by the call count
// when there was more than one call.
double averageCost(int32_t scaledTotal, uint32_t calls);

// "%3u % (%3u/%3u)" of a TER or statement line, appended to `out`.
void appendPercentFigures(std::string& out, uint32_t percent, uint32_t covered, uint32_t items);

// The statement line written after a function's TER line ("N.A." when both
// figures are 0), appended to `out` or returned.
void appendFunctionStatementLine(std::string& out, uint32_t hits, uint32_t total);
std::string functionStatementLine(uint32_t hits, uint32_t total);

// The statement line written after a file's TER line; names the functions
// without statement figures when there are any.
void appendFileStatementLine(std::string& out, uint32_t hits, uint32_t total, uint32_t functionsWithoutFigures);
std::string fileStatementLine(uint32_t hits, uint32_t total, uint32_t functionsWithoutFigures);

}  // namespace qar
