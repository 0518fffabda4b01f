#pragma once
// This run's line coverage against a baseline's: per measure (lines,
// branches, functions) and per file, the figures before and now and the
// items in each category. Lines are taken as unmoved: items are matched by
// file as written, line, kind and place on the line.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/change/baseline_reader.h"
#include "export/walk/path_table.h"

namespace qar {

enum class ChangeMeasure : int { Lines = 0, Branches = 1, Functions = 2 };
inline constexpr size_t kChangeMeasureCount = 3;

// The measure's key in the JSON export ("lines", ...).
std::string_view changeMeasureName(ChangeMeasure measure);

struct ChangeCounts {
  CoverageCount before;
  CoverageCount now;
  uint32_t lost = 0;          // covered before, not now
  uint32_t gained = 0;        // not covered before, covered now
  uint32_t newCovered = 0;    // not there before, covered now
  uint32_t newUncovered = 0;  // not there before, not covered now
  uint32_t removed = 0;       // there before, not now
  ChangeCounts& operator+=(const ChangeCounts& other);
};

using MeasureChanges = ChangeCounts[kChangeMeasureCount];

struct FileChange {
  std::string path;
  ChangeCounts measures[kChangeMeasureCount];
};

// An item that lost its coverage, described as the baseline had it.
struct LostItem {
  std::string path;
  uint32_t line = 0;
  ChangeMeasure measure = ChangeMeasure::Lines;
  std::string what;  // "line", "branch true", "function main"
};

struct BaselineComparison {
  std::vector<FileChange> files;  // this run's files in its order, then those only the baseline has
  ChangeCounts totals[kChangeMeasureCount];
  std::vector<LostItem> lost;  // in file order, then by line
};

// Compares the settled tables of this run, one file at a time, with the
// baseline; files are found through a hash index of the baseline's paths.
class BaselineComparer {
 public:
  explicit BaselineComparer(const Baseline& baseline);
  void addSource(const PathTable& table);
  // The comparison, with the files the run no longer has counted as removed.
  BaselineComparison finish();

 private:
  const Baseline& baseline_;
  std::unordered_map<std::string_view, size_t> index_;
  std::vector<bool> seen_;
  BaselineComparison result_;
};

// The points by which a percent changed, in hundredths (truncated percents
// of `hit` of `found`, 100 when nothing is found).
int64_t percentChangeHundredths(const CoverageCount& before, const CoverageCount& now);

}  // namespace qar
