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

// `"name": {"found": F, "hit": H, "percent": P}`, P truncated and 100 when
// nothing is found (the listings' rule).
void appendJsonCoverageCount(std::string& text, std::string_view name, const CoverageCount& count);

}  // namespace qar
