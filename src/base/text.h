#pragma once
#include <string>
#include <string_view>

namespace qar {

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// True when `text` ends in `suffix`,
// ASCII letters compared regardless of case.
bool endsWithNoCase(std::string_view text, std::string_view suffix);

// The standard error text of an errno value (strerror).
std::string systemErrorText(int errorNumber);

// Formats like snprintf into a std::string of any length.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qar
