#pragma once
// The order in which the HTML report lists directory and file names: runs
// of digits compare by their value, so that "part_2.h" comes before
// "part_10.h"; everything else compares byte by byte.
#include <string_view>

namespace qar {

// Whether `a` comes before `b`. Equal values written differently ("07" and
// "7") are told apart by their length, so that the order stays total.
bool naturalLess(std::string_view a, std::string_view b);

}  // namespace qar
