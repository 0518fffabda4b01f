#pragma once
// Expansion of "*" and "?" in the last path component of file arguments.
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// True when `name` matches the directory-search pattern `pattern`: "*" any
// run of characters, "?" exactly one, everything else itself.
bool matchSearchPattern(std::string_view pattern, std::string_view name);

// The names a file argument stands for: with a wildcard in its last path
// component, every entry of that directory that matches, sorted by name and
// joined to the argument's directory part with "/"; otherwise, or when
// nothing matches, the argument itself. An empty argument stands for nothing.
std::vector<std::string> expandFileArgument(const std::string& argument);

}  // namespace qar
