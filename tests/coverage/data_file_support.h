#pragma once
// Data files for the tests: raw bytes for damaged files, blocks for round trips.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "coverage/model.h"

namespace qar::test {

struct DataBytes {
  std::string bytes;
  DataBytes& text(std::string_view t) { return bytes.append(t), *this; }
  DataBytes& word(uint32_t w) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(w >> shift));
    return *this;
  }
  DataBytes& header(uint32_t blockCount) {
    return text("Tarvo dat 9|Thu Jan  1 00:00:00 1970").word(0x12345678).word(0x9ABCDEF0).word(blockCount);
  }
  DataBytes& blockWords(uint32_t nameLength, int32_t time, uint32_t f, uint32_t j = 0, uint32_t t = 0) {
    return word(0x12345678).word(nameLength).word(static_cast<uint32_t>(time)).word(0xFEEDF00D).word(1).word(2)
        .word(f).word(j).word(0).word(0).word(t);
  }
};

// A block whose every counter is different.
inline CounterArrays makeBlock(std::string name, CounterSizes sizes, uint32_t seed) {
  CounterArrays b;
  b.name = std::move(name);
  b.instrumentationTime = static_cast<int32_t>(1700000000 + seed);
  b.fingerprint = 0xA5A50000u + seed;
  b.rwrCount = seed;
  b.updCount = seed * 2;
  b.sizes = sizes;
  uint32_t next = seed * 1000;
  for (auto [array, size] : {std::pair{&b.functionCounts, sizes.f}, {&b.jumpCounts, sizes.j},
                             {&b.decisionTrueCounts, sizes.d}, {&b.decisionFalseCounts, sizes.d},
                             {&b.conditionCounts, sizes.c}, {&b.timeTotals, sizes.t}, {&b.timeMaxima, sizes.t}}) {
    for (uint32_t i = 0; i < size; ++i) array->push_back(next++ * 2654435761u);
  }
  return b;
}

inline void expectSameBlock(const CounterArrays& a, const CounterArrays& b) {
  EXPECT_EQ(std::tie(a.name, a.instrumentationTime, a.fingerprint, a.rwrCount, a.updCount, a.sizes),
            std::tie(b.name, b.instrumentationTime, b.fingerprint, b.rwrCount, b.updCount, b.sizes));
  EXPECT_EQ(std::tie(a.functionCounts, a.jumpCounts, a.decisionTrueCounts, a.decisionFalseCounts, a.conditionCounts,
                     a.timeTotals, a.timeMaxima),
            std::tie(b.functionCounts, b.jumpCounts, b.decisionTrueCounts, b.decisionFalseCounts, b.conditionCounts,
                     b.timeTotals, b.timeMaxima));
}

}  // namespace qar::test
