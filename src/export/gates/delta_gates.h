#pragma once
// Gates on the change since a baseline: --fail-under delta.MEASURE=POINTS
// misses when MEASURE's percent changed by less than POINTS points (a
// negative POINTS lets it fall by at most that much; 0 lets it not fall).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/change/baseline_compare.h"
#include "export/gates/gate_settings.h"

namespace qar {

struct DeltaGate {
  GateMeasure measure = GateMeasure::Line;  // line, branch, function, statement or mcdc
  int64_t points = 0;                       // points × kThresholdScale
  std::string pointsText;                   // as written
};

// Reads the argument after "delta.": MEASURE=POINTS, POINTS a number from
// -100 to 100 with an optional sign and at most nine decimals; nullopt
// when it is malformed or names a measure the comparison has not.
std::optional<DeltaGate> parseDeltaGate(std::string_view text);

// Writes a line for every gate missed, with the items lost and gained,
// and a notice for a gate with nothing to count before or now (it passes);
// true when any was missed.
bool applyDeltaGates(const std::vector<DeltaGate>& gates, const BaselineComparison& comparison);

}  // namespace qar
