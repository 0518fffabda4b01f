#pragma once
// The index's part on the change since a baseline: each measure before and
// now, the files whose coverage changed (the largest fall first), and the
// items that lost their coverage.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/change/baseline_compare.h"

namespace qar {

// How many lost items the index names before "and N more".
inline constexpr size_t kListedLostItems = 50;

// Appends the section; `pageOf` gives a file's page relative to the index,
// empty when it has none.
void appendBaselineSection(std::string& out, std::string_view baselineFile, const BaselineComparison& comparison,
                           const std::function<std::string(std::string_view path)>& pageOf);

// What a file page marks: the lines whose items lost their coverage, each
// with what it lost ("line, branch true"), by line.
using LostLines = std::vector<std::pair<uint32_t, std::string>>;
LostLines lostLinesOf(const std::vector<LostItem>* lost);

// After a page's line number: a mark when an item on the line lost its
// coverage since the baseline.
void appendLostLineMark(std::string& out, const LostLines& lost, uint32_t line);

// The style sheet's rules for the change and trend sections.
std::string_view changeStyleRules();

}  // namespace qar
