#pragma once
// The coverage gates as the command line gives them: a measure and the
// percent below which the run fails.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qar {

// What a gate measures: line, branch and function coverage as the
// line-based formats carry them, and this system's statement coverage, TER
// under the chosen coverage view and MC/DC condition coverage.
enum class GateMeasure : int { Line, Branch, Function, Statement, Ter, Mcdc };

// The word of a measure on the command line ("line", ...).
std::string_view gateMeasureName(GateMeasure measure);

// Thresholds are kept exactly: percent times 10^9.
inline constexpr uint64_t kThresholdScale = 1'000'000'000;

struct CoverageGate {
  GateMeasure measure = GateMeasure::Line;
  uint64_t threshold = 0;     // percent × kThresholdScale
  std::string thresholdText;  // as written, without a "%"
};

// Reads a gate's argument, MEASURE=PERCENT (PERCENT from 0 to 100, at most
// nine decimals, an optional "%" after it); nullopt when it is malformed.
std::optional<CoverageGate> parseCoverageGate(std::string_view text);

}  // namespace qar
