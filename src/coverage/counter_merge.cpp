// Adding the counters of one block into another of the same instrumentation.
#include <cstdint>
#include <vector>

#include "coverage/loading.h"
#include "base/posterr.h"

namespace qar {
namespace {

// Line number of this module's consistency check.
constexpr unsigned long kCheckMergedSizes = 301;

void requireSameSize(const std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  if (into.size() != from.size()) failInternal("postdata", kCheckMergedSizes);
}

// Execution counts stop at the largest u32 instead of wrapping.
void addSaturating(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  for (size_t i = 0; i < into.size(); ++i) {
    uint32_t sum = into[i] + from[i];
    into[i] = sum < into[i] ? UINT32_MAX : sum;
  }
}

void addWrapping(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  for (size_t i = 0; i < into.size(); ++i) into[i] += from[i];
}

// Time maxima are signed 32-bit values on the counting side.
void keepSignedMaximum(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  for (size_t i = 0; i < into.size(); ++i) {
    if (static_cast<int32_t>(from[i]) > static_cast<int32_t>(into[i])) into[i] = from[i];
  }
}

}  // namespace

void addCounters(CounterArrays& into, const CounterArrays& block) {
  addSaturating(into.functionCounts, block.functionCounts);
  addSaturating(into.jumpCounts, block.jumpCounts);
  addSaturating(into.decisionTrueCounts, block.decisionTrueCounts);
  addSaturating(into.decisionFalseCounts, block.decisionFalseCounts);
  addSaturating(into.conditionCounts, block.conditionCounts);
  addWrapping(into.timeTotals, block.timeTotals);
  keepSignedMaximum(into.timeMaxima, block.timeMaxima);
}

}  // namespace qar
