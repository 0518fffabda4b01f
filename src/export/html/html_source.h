#pragma once
// Where the HTML report finds the source of a file, and what it reads of
// it. A page shows a source only when it is a regular file found below the
// source root (--source-root): a name as written is looked up below the
// root, and may not climb above it with ".."; an absolute name is taken
// only when it lies below the root. Files larger than kHtmlSourceLimit are
// not read. Devices, FIFOs, directories and anything else are not read
// either (a FIFO is not waited on): the page then shows the listing's rows
// and says why.
#include <cstddef>
#include <optional>
#include <string>

namespace qar {

// Larger than any hand-written source and most generated ones; a page of a
// file this size is already a slow one to open.
inline constexpr size_t kHtmlSourceLimit = size_t{16} << 20;
inline constexpr const char* kHtmlSourceLimitText = "16 MiB";

enum class SourceStatus { Read, NotFound, OutsideRoot, NotRegular, TooLarge };

struct SourceFinder {
  std::string root;          // as given ("." by default)
  std::string absoluteRoot;  // the root as an absolute name without "." or ".."
  // The directory of the last source looked for, when it is missing: the
  // pages of a run without its sources at hand would otherwise each look
  // for a file in a directory that is not there.
  std::optional<std::string> missingDirectory;
};

// Prepares looking for sources below `root`.
void startSourceFinder(SourceFinder& finder, const std::string& root);

// Looks for the source of the file written as `path`: `name` becomes where
// it was looked for, `text` its text when the result is Read.
SourceStatus findSource(SourceFinder& finder, const std::string& path, std::string& name, std::string& text,
                        size_t limit = kHtmlSourceLimit);

}  // namespace qar
