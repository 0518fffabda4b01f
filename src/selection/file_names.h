#pragma once
#include <string_view>

namespace qar {

// Two file names are the same file when they have the same length and agree
// position by position, ASCII letters compared regardless of case and "/"
// equal to backslash.
bool sameFileName(std::string_view a, std::string_view b);

}  // namespace qar
