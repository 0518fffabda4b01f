#pragma once
// This system's measures of one database file and of the whole run, as the
// export walk finds them: TER under each of the five coverage views,
// statement figures, MC/DC conditions with their pairs, and timing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "coverage/record_reader.h"
#include "listings/coverage_walk.h"
#include "listings/mcdc.h"
#include "listings/measures.h"
#include "listings/statement_analysis.h"
#include "export/walk/path_table.h"

namespace qar {

inline constexpr size_t kCoverageViewCount = 5;

// The views in the order of their values, for walking all of them.
inline constexpr CoverageView kCoverageViews[kCoverageViewCount] = {
    CoverageView::Function, CoverageView::Decision, CoverageView::Condition, CoverageView::Mcdc,
    CoverageView::AsInstrumented};

// TER figures indexed by CoverageView.
using ViewTer = std::array<TerFigures, kCoverageViewCount>;

inline void addViewTer(ViewTer& into, const ViewTer& from) {
  for (size_t v = 0; v < kCoverageViewCount; ++v) into[v] += from[v];
}

struct McdcCombination {
  uint32_t number = 0;   // as the MC/DC analysis numbers it, from 1
  bool outcome = false;  // true for a combination that makes the decision true
  uint32_t count = 0;
  std::string values;  // the record's text ("TF_")
};

// A condition's pairs lie in its multicondition's list, the chosen pair
// first (pairsOf): one list a multicondition instead of one a condition,
// which a run with many conditions allocated and freed by the million.
struct McdcConditionResult {
  uint32_t number = 0;
  bool covered = false;
  uint32_t firstPair = 0;
  uint32_t pairCount = 0;
};

// One multicondition analysed: its combinations and its conditions.
struct MulticonditionResult {
  uint32_t line = 0;
  std::vector<McdcCombination> combinations;
  std::vector<McdcConditionResult> conditions;
  std::vector<McdcPair> pairs;  // the conditions' pairs, condition by condition
};

inline std::span<const McdcPair> pairsOf(const MulticonditionResult& m, const McdcConditionResult& c) {
  return std::span<const McdcPair>(m.pairs).subspan(c.firstPair, c.pairCount);
}

struct McdcTotals {
  uint32_t conditions = 0;
  uint32_t covered = 0;
  McdcTotals& operator+=(const McdcTotals& other) {
    conditions += other.conditions;
    covered += other.covered;
    return *this;
  }
};

// Execution costs in TICK units.
struct FunctionTiming {
  int32_t total = 0;
  double average = 0;
  int32_t maximum = 0;
};

struct TimingTotals {
  bool any = false;
  uint64_t calls = 0;
  int64_t total = 0;
  int32_t maximum = 0;
  void add(uint32_t functionCalls, const FunctionTiming& timing) {
    maximum = any ? std::max(maximum, timing.maximum) : timing.maximum;
    any = true;
    calls += functionCalls;
    total += timing.total;
  }
  void add(const TimingTotals& other) {
    if (!other.any) return;
    maximum = any ? std::max(maximum, other.maximum) : other.maximum;
    any = true;
    calls += other.calls;
    total += other.total;
  }
  double average() const {
    return calls > 1 ? static_cast<double>(total) / static_cast<double>(calls) : static_cast<double>(total);
  }
};

struct FunctionResult {
  std::string name;
  uint32_t line = 0;
  uint32_t calls = 0;
  std::string path;  // where a line directive put it; empty: the file's own path
  ViewTer ter{};
  bool statementsAvailable = false;
  StatementFigures statements;
  std::vector<RecordStatements> recordStatements;  // when the walk's sinks ask for them
  std::optional<FunctionTiming> timing;
  std::vector<MulticonditionResult> multiconditions;
  McdcTotals mcdc;
};

// The walk keeps one and clears it field by field for each file (its lists
// keep their room): a field added here is cleared in beginFile too.
struct FileResult {
  std::string name;  // as in the database
  std::string path;  // as written
  bool isHeader = false;
  InstrumentationMode mode;
  uint32_t sourceLines = 0;
  std::vector<std::string> includes;  // the headers taken out of it
  std::vector<FunctionResult> functions;
  ViewTer ter{};
  StatementTotals statements;
  McdcTotals mcdc;
  TimingTotals timing;
};

struct RunResult {
  uint32_t sourceFiles = 0;
  uint32_t headerFiles = 0;
  uint32_t functions = 0;
  uint32_t sourceLines = 0;
  ViewTer ter{};
  StatementTotals statements;
  McdcTotals mcdc;
  TimingTotals timing;
  // The instrumentation modes met, each file counting for its highest.
  bool anyFunctionOnly = false;
  bool anyDecision = false;
  bool anyMulticondition = false;
  // Summed over the files the line-based formats carry.
  LineCoverage lineCoverage;
};

// The statement figures of the whole run as the listings' summary gives them.
inline StatementFigures overallStatements(const RunResult& run) {
  return StatementFigures{run.statements.hits, run.statements.total};
}

}  // namespace qar
