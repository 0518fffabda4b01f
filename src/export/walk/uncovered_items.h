#pragma once
// What is not covered yet in one database file, item by item, each with the
// lines it spans and the missing part in a reviewer's words: the untested
// code listing's knowledge, put so that a change can be checked against it.
#include <cstdint>
#include <string>
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
};

struct UncoveredItem {
  uint32_t line = 0;
  uint32_t lastLine = 0;  // the extent, inclusive: the lines a change to it lies on
  UncoveredKind kind = UncoveredKind::Function;
  std::string path;       // where a line directive put its function; empty: the file's own
  std::string function;   // the function it belongs to
  std::string missing;    // "FALSE outcome never taken", ...
};

// One record of a function as the walk passed it: what the list needs.
struct CollectedRecord {
  uint32_t kind = 0;
  uint32_t line = 0;
  uint32_t counter1 = 0;
  uint32_t counter2 = 0;
  std::string text;
};

// The records of one database file, function by function; filled from the
// export walk's record sink and emptied for each file.
struct UncoveredCollector {
  std::vector<std::vector<CollectedRecord>> functions;
};

// A function record starts a new function; any other record joins the last.
void collectRecord(UncoveredCollector& collector, const Probe& record);
void clearCollector(UncoveredCollector& collector);

// The items of the collected file that `view` counts as missed, plus every
// MC/DC condition without a covered pair (MC/DC is a measure of its own),
// in record order. `file` is the walk's result for the same file.
std::vector<UncoveredItem> uncoveredItems(const UncoveredCollector& collector, const FileResult& file,
                                          CoverageView view);

}  // namespace qar
