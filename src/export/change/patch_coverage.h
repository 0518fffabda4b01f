#pragma once
// The coverage of a change: the items of the run that a diff's changed
// lines lie in, with every measure's figures per file the diff touches and
// in total, the uncovered items among them, and the files the diff touches
// that the coverage does not know.
//
// An item is in the change when a changed line lies in its extent: a line
// of the line-based formats is its own line; a branch, a probe record or an
// MC/DC condition reaches from its record's line to the line before the next
// record's (at most to its function's end); a function from its record's
// line to its end record's. A diff file is a written file when its new path
// names the file as the exports write it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/change/unified_diff.h"
#include "export/walk/export_results.h"
#include "export/walk/path_table.h"
#include "export/walk/uncovered_items.h"

namespace qar {

struct PatchFigures {
  LineCoverage lineCoverage;  // lines, branches, functions as the line-based formats carry them
  StatementFigures statements;  // counted at the records whose statements stand on changed lines
  ViewTer ter{};
  McdcTotals mcdc;
  PatchFigures& operator+=(const PatchFigures& other);
};

struct PatchFile {
  std::string path;     // the diff's new path
  std::string oldPath;  // the diff's old path (empty for a new file)
  DiffStatus status = DiffStatus::Modified;
  std::vector<uint32_t> changedLines;  // the added lines that count, ascending
  uint32_t addedLines = 0;             // every added line of the diff
  bool sourceRead = false;             // blank and comment lines were left out
  PatchFigures figures;
  std::vector<UncoveredItem> uncovered;  // in line order; `path` is the file's
};

struct FileWithoutCoverage {
  std::string path;
  std::vector<std::string> closest;  // written names with the same final component, the closest first
};

struct PatchResult {
  std::string diffName;
  std::vector<PatchFile> files;  // the files of the diff the coverage knows, in the diff's order
  PatchFigures summary;
  size_t uncoveredItems = 0;
  std::vector<FileWithoutCoverage> filesWithoutCoverage;
};

// Fed from the export walk's sinks: records, then each database file, and
// each written file of the line-based formats.
class PatchCoverage {
 public:
  // `sourceRoot`: where the new sides of the diff's files can be read, so
  // that changed lines holding no code are left out; none: every changed
  // line counts.
  PatchCoverage(const UnifiedDiff& diff, std::string diffName, const std::optional<std::string>& sourceRoot,
                CoverageView view);

  // Whether the diff touches a written file (its exportPathKey).
  bool touches(const std::string& key) const { return index_.contains(key); }
  // The changed lines that count of a written file (its exportPathKey); null
  // when the diff does not touch it.
  const std::vector<uint32_t>* changedLinesOf(const std::string& key) const;

  void addRecord(const Probe& record, const std::string& place);
  // Whether a written file as the walk names it is touched (the last answer is kept).
  bool touchesPlace(const std::string& place);
  void addFile(const FileResult& file);
  void addPath(const PathTable& table);
  PatchResult finish();

 private:
  int fileIndex(std::string_view path) const;
  bool inChange(int file, uint32_t line, uint32_t lastLine) const;
  void noteName(const std::string& path);

  struct Tracked {
    PatchFile file;
    bool known = false;
    // The last line of the extents starting on a line, for the line-based
    // branches and functions, which carry only their line.
    std::unordered_map<uint32_t, uint32_t> recordEnds;
    std::unordered_map<uint32_t, uint32_t> functionEnds;
    std::vector<std::string> sameName;
  };

  std::vector<Tracked> files_;
  std::unordered_map<std::string, int> index_;         // exportPathKey of the new path
  std::unordered_map<std::string, std::vector<int>> byFinalName_;  // folded final component
  std::string diffName_;
  CoverageView view_;
  UncoveredCollector collector_;
  bool relevant_ = false;  // a record of the current database file is in a touched file
  std::string lastPlace_;
  bool lastPlaceTouched_ = false;
};

}  // namespace qar
