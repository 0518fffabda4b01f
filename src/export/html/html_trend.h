#pragma once
// The trend of the index: each measure's coverage over the last runs of the
// history as an inline SVG chart with labelled axes (no script, nothing
// fetched), with the same figures in a table for readers who do not see it.
#include <string>
#include <vector>

#include "export/change/coverage_history.h"

namespace qar {

// How many of the latest entries the chart shows.
inline constexpr size_t kTrendEntries = 100;

// Appends the index's trend section for the history's entries (this run's
// last); nothing when there are none.
void appendTrendSection(std::string& out, const std::vector<HistoryEntry>& entries);

}  // namespace qar
