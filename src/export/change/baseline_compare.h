#pragma once
// This run's coverage against a baseline's: per measure (lines, branches,
// functions, MC/DC conditions) and per file, the figures before and now and
// the items in each category; statement figures before and now. Items are
// matched by file as written, line, kind and place on the line, the
// baseline's lines first carried through a change when one is given.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/change/baseline_reader.h"
#include "export/change/unified_diff.h"
#include "export/walk/export_results.h"
#include "export/walk/path_table.h"

namespace qar {

enum class ChangeMeasure : int { Lines = 0, Branches = 1, Functions = 2, Mcdc = 3 };
inline constexpr size_t kChangeMeasureCount = 4;

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

// An item that lost its coverage, described as the baseline had it.
struct LostItem {
  std::string path;
  uint32_t line = 0;  // the line it stands on now
  ChangeMeasure measure = ChangeMeasure::Lines;
  std::string what;  // "line", "branch true", "function main", "condition 2"
};

struct FileChange {
  std::string path;
  ChangeCounts measures[kChangeMeasureCount];
  // Statement figures are estimates per function, not items: they are
  // compared as figures only.
  CoverageCount statementsBefore;
  CoverageCount statementsNow;
  // Without a change to carry lines through, a file whose source line count
  // differs from the baseline's is compared as changed throughout: its
  // items are removed and new, never lost or gained.
  bool changedThroughout = false;
  uint32_t sourceLinesBefore = 0;  // 0 for a header or a file on one side only
  uint32_t sourceLinesNow = 0;
  std::vector<LostItem> lost;  // by line
};

struct BaselineComparison {
  std::vector<FileChange> files;  // this run's files in its order, then those only the baseline has
  ChangeCounts totals[kChangeMeasureCount];
  CoverageCount statementsBefore;
  CoverageCount statementsNow;
  std::vector<LostItem> lost;  // in file order, then by line
};

// Compares this run, one file at a time, with the baseline; files are found
// through a hash index of the baseline's paths (their names after the
// change, when one is given).
class BaselineComparer {
 public:
  // `diff`: the change from the baseline's code to this run's, which
  // carries the baseline's files and lines to where they are now; null when
  // none was given (lines are then taken as unmoved).
  BaselineComparer(const Baseline& baseline, const UnifiedDiff* diff);
  // A database file, before the written files it contributes to.
  void addFile(const FileResult& file);
  // A written file of the line-based formats.
  void addSource(const PathTable& table);
  // The items of a file compared so far that lost their coverage (none
  // when the file has not been compared), for the file's page.
  const std::vector<LostItem>* lostSoFar(const std::string& path) const;
  // The comparison, with the files the run no longer has counted as
  // removed; called once, after the walk. It stays the comparer's, so that
  // pages written after it still find their lost items.
  const BaselineComparison& finish();

 private:
  FileChange& changeFor(const std::string& path);
  const DiffFile* moveOf(const std::string& baselinePath) const;

  const Baseline& baseline_;
  const bool withDiff_;
  std::unordered_map<std::string_view, const DiffFile*> moves_;  // by the baseline's path
  std::unordered_map<std::string, size_t> sourceIndex_;  // path now → baseline source
  std::unordered_map<std::string, size_t> fileIndex_;    // path now → baseline file
  std::vector<bool> sourceSeen_;
  std::vector<bool> fileSeen_;
  std::unordered_map<std::string, size_t> changeIndex_;  // path → result_.files
  BaselineComparison result_;
};

// The points by which a percent changed, in hundredths (truncated percents
// of `hit` of `found`, 100 when nothing is found).
int64_t percentChangeHundredths(const CoverageCount& before, const CoverageCount& now);

// "-1.25" for -125 hundredths, "0.00" for none, "+3.50" for 350.
std::string pointsText(int64_t hundredths);

}  // namespace qar
