#pragma once
// The way to what is left to test on a file page: the list of what is not
// covered yet, each item linked to its line, and links (and the keys j and
// k) from each not fully covered line to the next and the previous one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_numbers.h"
#include "export/walk/uncovered_items.h"

namespace qar {

// The "Not covered yet" section. `linked` says whether the page has line
// anchors for the items of the file's own lines.
void appendUncoveredList(std::string& out, const std::vector<UncoveredItem>& items, CoverageView view, bool linked);

// The links of a not fully covered line to its neighbours in `lines`
// (ascending): floated to the right of the line's last cell.
void appendLineNavigation(std::string& out, const std::vector<uint32_t>& lines, size_t at);
// The same in a row written with a plain pointer, which keeps
// kLineNavigationRoom for it.
inline constexpr size_t kLineNavigationRoom = 2 * (30 + kDecimalRoom);
void putLineNavigation(TextRoom& room, const std::vector<uint32_t>& lines, size_t at);

// The script of the keys j (next) and k (previous), written once into the
// report's directory, and a page's reference to it (none without `lines`).
inline constexpr std::string_view kHtmlLineScript = "lines.js";
std::string_view htmlLineScript();
void appendNavigationScript(std::string& out, const std::vector<uint32_t>& lines);

}  // namespace qar
