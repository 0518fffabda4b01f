// Adding the counters of one block into another of the same instrumentation.
#include <cstdint>
#include <vector>

#include "coverage/loading.h"
#include "base/posterr.h"

namespace qar {
namespace {

// Line number of this module's consistency check.
constexpr unsigned long kCheckMergedSizes = 301;

void requireSameSize(const std::vector<uint32_t>& into, size_t count) {
  if (into.size() != count) failInternal("postdata", kCheckMergedSizes);
}

// The loops run over plain pointers: through a vector's own size, which a
// store might change for all the compiler knows, they would not be
// vectorised. Each returns the word after the last one added.

// Execution counts stop at the largest u32 instead of wrapping.
const uint32_t* addSaturating(std::vector<uint32_t>& into, const uint32_t* __restrict added, size_t count) {
  requireSameSize(into, count);
  uint32_t* __restrict to = into.data();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t sum = to[i] + added[i];
    to[i] = sum < added[i] ? UINT32_MAX : sum;
  }
  return added + count;
}

const uint32_t* addWrapping(std::vector<uint32_t>& into, const uint32_t* __restrict added, size_t count) {
  requireSameSize(into, count);
  uint32_t* __restrict to = into.data();
  for (size_t i = 0; i < count; ++i) to[i] += added[i];
  return added + count;
}

// Time maxima are signed 32-bit values on the counting side.
const uint32_t* keepSignedMaximum(std::vector<uint32_t>& into, const uint32_t* __restrict added, size_t count) {
  requireSameSize(into, count);
  uint32_t* __restrict to = into.data();
  for (size_t i = 0; i < count; ++i) {
    const auto kept = static_cast<int32_t>(to[i]);
    const auto other = static_cast<int32_t>(added[i]);
    to[i] = static_cast<uint32_t>(other > kept ? other : kept);
  }
  return added + count;
}

}  // namespace

void addCounters(CounterArrays& into, const CounterArrays& block) {
  addSaturating(into.functionCounts, block.functionCounts.data(), block.functionCounts.size());
  addSaturating(into.jumpCounts, block.jumpCounts.data(), block.jumpCounts.size());
  addSaturating(into.decisionTrueCounts, block.decisionTrueCounts.data(), block.decisionTrueCounts.size());
  addSaturating(into.decisionFalseCounts, block.decisionFalseCounts.data(), block.decisionFalseCounts.size());
  addSaturating(into.conditionCounts, block.conditionCounts.data(), block.conditionCounts.size());
  addWrapping(into.timeTotals, block.timeTotals.data(), block.timeTotals.size());
  keepSignedMaximum(into.timeMaxima, block.timeMaxima.data(), block.timeMaxima.size());
}

void addCounterWords(CounterArrays& into, const CounterSizes& sizes, const uint32_t* words) {
  words = addSaturating(into.functionCounts, words, sizes.f);
  words = addSaturating(into.jumpCounts, words, sizes.j);
  words = addSaturating(into.decisionTrueCounts, words, sizes.d);
  words = addSaturating(into.decisionFalseCounts, words, sizes.d);
  words = addSaturating(into.conditionCounts, words, sizes.c);
  words = addWrapping(into.timeTotals, words, sizes.t);
  keepSignedMaximum(into.timeMaxima, words, sizes.t);
}

}  // namespace qar
