#pragma once
// Texts from the inputs are bytes in whatever encoding the compiler saw;
// every export is UTF-8. Valid UTF-8 passes unchanged, any other byte is
// read as the Latin-1 character of its value. Each format then escapes what
// its syntax reserves.
#include <string>
#include <string_view>

namespace qar {

// Appends `text` as UTF-8.
void appendUtf8(std::string& out, std::string_view text);

// Appends `text` as a JSON string, quotes included: '"' and '\' escaped,
// control characters as \n, \t or \u00XX.
void appendJsonString(std::string& out, std::string_view text);

// Writes `text` as appendJsonString does at `at` and returns the end: for
// text put together with a plain pointer. The room must hold
// jsonStringRoom(text.size()) characters.
char* writeJsonString(char* at, std::string_view text);
inline constexpr size_t jsonStringRoom(size_t size) { return 6 * size + 2; }  // each byte at most a six-character escape

// Appends `text` for XML content or a quoted attribute value: & < > " '
// as entities; control characters and the two non-characters U+FFFE and
// U+FFFF, which XML cannot hold, as "?".
void appendXmlText(std::string& out, std::string_view text);

// Appends `text` for a line of an LCOV tracefile: control characters as
// "?", so that the text stays on its line.
void appendLcovText(std::string& out, std::string_view text);

}  // namespace qar
