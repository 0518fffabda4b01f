#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qar {

// The character equality of file names and file patterns: ASCII letters
// regardless of case, "/" equal to backslash, all other bytes exactly.
inline char foldFileNameChar(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + ('a' - 'A'));
  return c == '\\' ? '/' : c;
}
inline bool sameFileNameChar(char a, char b) { return foldFileNameChar(a) == foldFileNameChar(b); }

// Two file names are the same file when they have the same length and agree
// position by position, ASCII letters compared regardless of case and "/"
// equal to backslash.
bool sameFileName(std::string_view a, std::string_view b);

// Header names are compared on at most this many leading characters.
inline constexpr size_t kHeaderPathLength = 261;

// Whether two header names written by different sources (or by a source and
// its entry records) name the same header: sameFileName, or else the two
// names, cut to kHeaderPathLength characters, folded like file names and
// with doubled "/" collapsed, agree from their ends up to the start of one of
// them, a "/" boundary of the other, or a "./" in either.
bool sameHeaderPath(std::string_view a, std::string_view b);

// The form sameHeaderPath compares, written into `out`: the name cut to
// kHeaderPathLength characters, ASCII capitals made small, backslashes made
// "/", and every "/" directly followed by another "/" removed.
void normaliseHeaderPath(std::string_view name, std::string& out);

// The final path component of the cut name, in the name's own case. Names
// that sameHeaderPath calls equal have final components that sameFileName
// calls equal, so it serves as an index key.
std::string_view headerPathFinalComponent(std::string_view name);

}  // namespace qar
