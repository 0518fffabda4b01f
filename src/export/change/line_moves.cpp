#include "export/change/line_moves.h"

#include <algorithm>
#include <limits>

namespace qar {

std::optional<uint32_t> movedLine(const FileMove& move, uint32_t oldLine) {
  if (move.deleted) return std::nullopt;
  // The last run starting at or before the line.
  auto after = std::upper_bound(move.runs.begin(), move.runs.end(), oldLine,
                                [](uint32_t line, const LineRun& run) { return line < run.oldFrom; });
  if (after == move.runs.begin()) return std::nullopt;
  const LineRun& run = *(after - 1);
  const uint32_t offset = oldLine - run.oldFrom;
  if (offset >= run.count) return std::nullopt;
  return run.newFrom + offset;
}

void LineRunBuilder::keep(uint32_t count) {
  if (count == 0) return;
  if (!runs_.empty()) {
    LineRun& last = runs_.back();
    if (last.oldFrom + last.count == old_ && last.newFrom + last.count == new_) {
      last.count += count;
      old_ += count;
      new_ += count;
      return;
    }
  }
  runs_.push_back(LineRun{old_, count, new_});
  old_ += count;
  new_ += count;
}

void LineRunBuilder::hunk(uint32_t oldStart, uint32_t oldCount, uint32_t newStart, uint32_t newCount) {
  // A side without lines names the line before the hunk ("-3,0": after line 3).
  const uint32_t oldFirst = oldCount == 0 ? oldStart + 1 : oldStart;
  const uint32_t newFirst = newCount == 0 ? newStart + 1 : newStart;
  // The lines between the previous hunk and this one are unchanged.
  if (oldFirst > old_) keep(oldFirst - old_);
  old_ = std::max(old_, oldFirst);
  new_ = std::max(new_, newFirst);
}

void LineRunBuilder::kept() { keep(1); }

std::vector<LineRun> LineRunBuilder::finish() {
  keep(std::numeric_limits<uint32_t>::max() - std::max(old_, new_));
  return std::move(runs_);
}

}  // namespace qar
