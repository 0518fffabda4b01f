#pragma once
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

}  // namespace qar
