#pragma once
// The pieces every JSON member of the exports is written with: a key, a
// count, and a figure of found and hit items with its percent.
#include <cstdint>
#include <string>
#include <string_view>

#include "export/walk/path_table.h"

namespace qar {

// `"name": ` (names are the exports' own, never escaped).
void appendJsonKey(std::string& text, std::string_view name);

// `"name": 12`.
void appendJsonCount(std::string& text, std::string_view name, uint64_t value);

// What a percent of nothing is: 100, the listings' rule for the run's own
// figures, or null where "not applicable" must not read as complete (the
// figures of a change).
enum class EmptyPercent { Hundred, Null };

// `"percent": P`, P = hit × 100 / found truncated.
void appendJsonPercent(std::string& text, uint64_t hit, uint64_t found, EmptyPercent empty);

// `"name": {"found": F, "hit": H, "percent": P}`.
void appendJsonCoverageCount(std::string& text, std::string_view name, const CoverageCount& count,
                             EmptyPercent empty = EmptyPercent::Hundred);

}  // namespace qar
