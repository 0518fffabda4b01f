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

// The loops run over plain pointers, apart: through a vector's own size,
// which a store might change for all the compiler knows, they would not be
// vectorised.

// Execution counts stop at the largest u32 instead of wrapping.
void addSaturating(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  uint32_t* __restrict to = into.data();
  const uint32_t* __restrict added = from.data();
  const size_t count = into.size();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t sum = to[i] + added[i];
    to[i] = sum < added[i] ? UINT32_MAX : sum;
  }
}

void addWrapping(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  uint32_t* __restrict to = into.data();
  const uint32_t* __restrict added = from.data();
  const size_t count = into.size();
  for (size_t i = 0; i < count; ++i) to[i] += added[i];
}

// Time maxima are signed 32-bit values on the counting side.
void keepSignedMaximum(std::vector<uint32_t>& into, const std::vector<uint32_t>& from) {
  requireSameSize(into, from);
  uint32_t* __restrict to = into.data();
  const uint32_t* __restrict added = from.data();
  const size_t count = into.size();
  for (size_t i = 0; i < count; ++i) {
    const auto kept = static_cast<int32_t>(to[i]);
    const auto other = static_cast<int32_t>(added[i]);
    to[i] = static_cast<uint32_t>(other > kept ? other : kept);
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
