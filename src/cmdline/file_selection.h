#pragma once
// Choosing files by -f / -nf wildcard patterns.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// True when `name` matches `pattern` ("*" the only wildcard, ASCII case
// folded, "/" equal to backslash, suffix form, no backtracking).
bool matchFilePattern(std::string_view pattern, std::string_view name);

// True when some pattern of the list matches; an absent list matches nothing.
bool matchesAnyPattern(const std::optional<std::vector<std::string>>& patterns, std::string_view name);

// True when -f is given and nothing of it matches, or -nf is given and
// something of it matches (read from the run's OptionSettings).
bool isFileExcluded(std::string_view name);

}  // namespace qar
