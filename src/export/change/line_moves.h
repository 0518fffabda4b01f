#pragma once
// Where the lines of an earlier version of the code stand now: for each file
// a change touched, its new name (or none, when it was deleted) and the runs
// of lines it left as they were, so that an item of the earlier version is
// compared with the same code now even when lines above it came or went.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qar {

// `count` unchanged lines from old line `oldFrom` now standing from `newFrom`.
struct LineRun {
  uint32_t oldFrom = 0;
  uint32_t count = 0;
  uint32_t newFrom = 0;
};

struct FileMove {
  std::string newPath;  // as the exports write it
  bool deleted = false;
  std::vector<LineRun> runs;  // ascending, the last one open-ended
};

// The files a change touched, by their earlier name. A file not in it kept
// its name and lines.
using LineMoves = std::unordered_map<std::string, FileMove>;

// The line an old line stands on now, or none when the change removed or
// rewrote it.
std::optional<uint32_t> movedLine(const FileMove& move, uint32_t oldLine);

// Builds a file's runs from its hunks in order: each hunk's header figures
// (old start and count, new start and count, as "@@ -3,0 +4,2 @@" gives
// them), then its lines as ' ' (kept), '-' (removed) and '+' (added).
class LineRunBuilder {
 public:
  void hunk(uint32_t oldStart, uint32_t oldCount, uint32_t newStart, uint32_t newCount);
  void kept();
  void removed() { ++old_; }
  void added() { ++new_; }
  // The runs, with the lines after the last hunk as an open-ended run.
  std::vector<LineRun> finish();

 private:
  void keep(uint32_t count);
  std::vector<LineRun> runs_;
  uint32_t old_ = 1;
  uint32_t new_ = 1;
};

}  // namespace qar
