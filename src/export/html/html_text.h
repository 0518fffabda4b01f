#pragma once
// Text for the HTML report: every text from an input is read as UTF-8 (other
// bytes as Latin-1, as in every export) and escaped, so that nothing in a
// file name, function name, description or notice can become markup.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qar {

// Appends `text` for HTML content or a quoted attribute value: & < > " '
// as entities; control characters other than tab as "?".
void appendHtmlText(std::string& out, std::string_view text);

// Writes `text` at `at` as appendHtmlText appends it and returns the end:
// for rows written with a plain pointer (see TextRoom), which must have
// room for kHtmlTextExpansion bytes per byte of `text` ("&quot;" is the
// longest a byte becomes).
inline constexpr size_t kHtmlTextExpansion = 6;
char* writeHtmlText(char* at, std::string_view text);

// A path as appendHtmlText writes it, with a break opportunity (<wbr>)
// after each "/", so that a narrow window breaks a long path between its
// names rather than inside one.
void appendHtmlPath(std::string& out, std::string_view path);

// "87 %" style percentage cell text is written by the callers; this is the
// sort key of a figure: covered / items in millionths, items = 0 counting
// as complete (the figure's percentage is 100 then).
uint64_t htmlSortKey(uint64_t covered, uint64_t items);

}  // namespace qar
