#pragma once
// What is not covered yet in one database file, item by item, each with the
// lines it spans and the missing part in a reviewer's words: the untested
// code listing's knowledge, put so that a change can be checked against it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cmdline/postcmdl.h"
#include "coverage/model.h"
#include "export/walk/export_results.h"

namespace qar {

enum class UncoveredKind : uint8_t {
  Function,          // never called
  Decision,          // an outcome of an if, loop or ternary never taken
  ConstantDecision,  // never reached
  AndOr,             // an outcome of an and/or expression never taken
  Condition,         // an elementary condition never TRUE or never FALSE
  Combination,       // a combination of a multicondition that never occurred
  McdcCondition,     // a condition without a covered independence pair
  SwitchLabel,       // case, default or the implicit default never taken
  Jump,              // return, break, throw, ... never reached
  Statement,         // statements the statement analysis found unreached
};

struct UncoveredItem {
  uint32_t line = 0;
  uint32_t lastLine = 0;  // the extent, inclusive: the lines a change to it lies on
  UncoveredKind kind = UncoveredKind::Function;
  std::string path;       // where a line directive put it; empty: the file's own
  std::string function;   // the function it belongs to
  std::string missing;    // "FALSE outcome never taken", ...
  uint32_t firstLine = 0;  // where the extent starts, when before `line` (statements before a jump)

  uint32_t extentStart() const { return firstLine != 0 && firstLine < line ? firstLine : line; }
};

// One record of a function as the walk passed it: what the list needs.
struct CollectedRecord {
  uint32_t kind = 0;
  uint32_t line = 0;
  uint32_t counter1 = 0;
  uint32_t counter2 = 0;
  uint32_t place = 0;  // index into the collector's places
  std::string text;
};

// The records of one database file, function by function; filled from the
// export walk's record sink and emptied for each file.
struct UncoveredCollector {
  std::vector<std::vector<CollectedRecord>> functions;
  // The written files the records enter, as the walk names them; [0] is
  // "not named" (the function's own).
  std::vector<std::string> places{std::string()};
  // Emptied vectors kept for their storage: most files of a large run pass
  // through the collector and are dropped.
  std::vector<std::vector<CollectedRecord>> spare;
};

// A function record starts a new function; any other record joins the last.
// `place` is the written file the record's line coverage enters.
void collectRecord(UncoveredCollector& collector, const Probe& record, std::string_view place = {});
void clearCollector(UncoveredCollector& collector);

// Extents, as the items have them: a function's last line is its last end
// record's line (else its last record's); a record reaches up to the line
// before the next record's line, at most to `functionEnd`.
uint32_t functionExtentEnd(const std::vector<CollectedRecord>& records);
uint32_t recordExtentEnd(const std::vector<CollectedRecord>& records, size_t at, uint32_t functionEnd);

// Each MC/DC condition of the function's analysed multiconditions, covered
// or not, with the multicondition's extent (from its decision's line) and
// the place of its first record.
struct McdcConditionExtent {
  uint32_t line = 0;
  uint32_t lastLine = 0;
  uint32_t place = 0;
  const McdcConditionResult* condition = nullptr;
  std::string_view name;  // the condition's text, when the records give it; in `records`
};
std::vector<McdcConditionExtent> mcdcConditionExtents(const std::vector<CollectedRecord>& records,
                                                      const FunctionResult& function);

// The lines the statements that a record counted stand on: after the record
// before it, up to its own line.
inline uint32_t statementsFirstLine(const RecordStatements& s) {
  return s.previousLine < s.line ? s.previousLine + 1 : s.line;
}

// Whether all records of a function stand in one file (no line directive
// took part of it elsewhere), so that line spans between them mean lines.
bool inOnePlace(const std::vector<CollectedRecord>& records);

// The word of a kind in the exports ("function", "decision", ...).
const char* uncoveredKindName(UncoveredKind kind);

// The items of the collected file that `view` counts as missed, plus every
// MC/DC condition without a covered pair (MC/DC is a measure of its own)
// and, where the walk kept the statements of each record, the statements
// never reached that no other item of the function already covers, in line
// order. `file` is the walk's result for the same file. With `select`, only
// the items it accepts are made (by their path as the item has it, empty for
// the file's own, and their extent); the others still decide which statements
// are spanned. The coverage of a change asks for the few its lines lie in.
using ItemSelector = std::function<bool(std::string_view path, uint32_t first, uint32_t last)>;
std::vector<UncoveredItem> uncoveredItems(const UncoveredCollector& collector, const FileResult& file,
                                          CoverageView view, const ItemSelector& select = {});
// The same into `items`, whose items and their texts' room are reused: the
// HTML report makes a list for every file.
void uncoveredItems(const UncoveredCollector& collector, const FileResult& file, CoverageView view,
                    std::vector<UncoveredItem>& items, const ItemSelector& select = {});

}  // namespace qar
