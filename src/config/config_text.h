#pragma once
// Small text helpers shared by the configuration files' reader and the
// parameter store.
#include <string_view>

namespace qar {

// White space of configuration text; the line feed is a line end, not white space.
inline bool isConfigSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string_view trimConfigSpaceLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && isConfigSpace(text[start])) ++start;
  return text.substr(start);
}

inline std::string_view trimConfigSpaceRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && isConfigSpace(text[end - 1])) --end;
  return text.substr(0, end);
}

inline std::string_view trimConfigSpace(std::string_view text) {
  return trimConfigSpaceRight(trimConfigSpaceLeft(text));
}

// File names, bad lines and system error texts in configuration messages are
// cut at this many characters.
inline constexpr size_t kConfigMessageTextLimit = 128;

inline std::string_view cutForConfigMessage(std::string_view text) {
  return text.substr(0, kConfigMessageTextLimit);
}

}  // namespace qar
