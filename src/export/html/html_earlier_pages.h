#pragma once
// The pages that an earlier HTML report left in the directory and this one
// did not write again. A report knows its own pages by two marks: the name
// that htmlPageName gives ("f", a number of five digits or more, "-", the
// file's reduced name, ".html") and the beginning that every page has
// (kHtmlHeadStart, with the generator's name). A file without both, and
// anything that is not a regular file, is never touched.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// The number of a name of the page form; nullopt for any other name.
std::optional<size_t> htmlPageNumber(std::string_view name);

// Removes from `directory` the pages of an earlier report that are not in
// `pagesNow` (this report's page names, the page numbered n at n - 1).
// Files that cannot be read or removed stay, without a message: the report
// itself is complete.
void removeEarlierHtmlPages(const std::string& directory, const std::vector<std::string_view>& pagesNow);

}  // namespace qar
