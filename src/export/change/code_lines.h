#pragma once
// Which lines of a C or C++ source hold code: a line that is blank or holds
// only comment changes nothing that a test could cover.
#include <string_view>
#include <vector>

namespace qar {

// One entry per line of `source` (index 0 is line 1): true when some of the
// line is neither white space nor comment. Block comments, comments
// continued with a backslash, string and character literals (a "/*" inside
// one opens nothing) and raw strings are followed across lines.
std::vector<bool> codeLines(std::string_view source);

}  // namespace qar
