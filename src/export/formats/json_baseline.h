#pragma once
// The `baseline` member of the JSON export: this run against an earlier
// one's export, per measure and file, with the items that lost coverage.
#include <string>
#include <string_view>

#include "export/change/baseline_compare.h"

namespace qar {

// Appends `"baseline": {...}` (no separator before or after).
void appendJsonBaseline(std::string& text, std::string_view baselineFile, const BaselineComparison& comparison);

}  // namespace qar
