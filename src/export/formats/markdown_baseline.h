#pragma once
// The Markdown summary's parts on the baseline and the history: a "change
// since the baseline" column in the measures table, the list of what lost
// its coverage, and the last runs of the history.
#include <string>
#include <string_view>
#include <vector>

#include "export/change/baseline_compare.h"
#include "export/change/coverage_history.h"
#include "export/formats/markdown_export.h"

namespace qar {

// At most this many lost items are listed, then "and N more".
inline constexpr size_t kMarkdownLostLimit = 50;
// The history's latest entries shown.
inline constexpr size_t kMarkdownHistoryEntries = 5;

// The column for the rows of kMarkdownMeasures: the change in points with
// the items lost and gained; "not compared" for TER.
MarkdownColumn baselineColumn(const BaselineComparison& comparison);

// "### Coverage lost since the baseline": each lost item with its file,
// line and what it was.
std::string lostSection(std::string_view baselineFile, const BaselineComparison& comparison);

// "### Recent runs": the latest entries of the history, newest first.
std::string historySection(const std::vector<HistoryEntry>& entries);

}  // namespace qar
