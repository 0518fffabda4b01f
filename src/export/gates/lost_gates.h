#pragma once
// The ratchet gates against a baseline: --fail-if-lost MEASURE misses when
// any item of MEASURE that was covered in the baseline is covered no more.
#include <optional>
#include <string_view>
#include <vector>

#include "export/change/baseline_compare.h"

namespace qar {

// The measure of a --fail-if-lost argument: "line", "branch", "function" or "mcdc".
std::optional<ChangeMeasure> parseLostGateMeasure(std::string_view text);

// Writes a line for every gate missed, with the items lost; true when any was.
bool applyLostGates(const std::vector<ChangeMeasure>& gates, const BaselineComparison& comparison);

}  // namespace qar
