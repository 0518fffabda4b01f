#pragma once
// Escaping of the texts written into the XML report.
#include <cstddef>
#include <string>
#include <string_view>

namespace qar {

// Appends `text` to `out` with "&", "<", ">", "'" and the double quote
// replaced by their entities and every byte 0x01 to 0x1F replaced by "?";
// bytes 0x80 to 0xFF pass unchanged.
void appendEscapedXml(std::string& out, std::string_view text);

// The same written at `at`, which has room for six bytes per byte of `text`
// (the longest entity), up to the first NUL byte of `text`; returns the end.
char* putEscapedXml(char* at, std::string_view text);
inline constexpr size_t kLongestEscape = 6;

// Escapes `text` into `buffer` (kept by the caller for reuse, so that the
// report does not allocate per element) and returns it as a C text.
const char* escapeInto(std::string& buffer, std::string_view text);

}  // namespace qar
