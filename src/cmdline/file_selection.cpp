// Choosing files by the -f / -nf wildcard patterns.
#include "cmdline/file_selection.h"

#include "cmdline/postcmdl.h"
#include "base/file_names.h"

namespace qar {
namespace {

constexpr char kStar = '*';

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!sameFileNameChar(a[i], b[i])) return false;
  }
  return true;
}

// The first position at or after `from` where `segment` occurs in `name`.
size_t findSegment(std::string_view name, size_t from, std::string_view segment) {
  if (segment.size() > name.size()) return std::string_view::npos;
  for (size_t at = from; at + segment.size() <= name.size(); ++at) {
    if (sameText(name.substr(at, segment.size()), segment)) return at;
  }
  return std::string_view::npos;
}

}  // namespace

bool matchFilePattern(std::string_view pattern, std::string_view name) {
  // "*suffix" against a longer name only looks at the end of the name.
  if (!pattern.empty() && pattern[0] == kStar && pattern.find(kStar, 1) == std::string_view::npos &&
      pattern.size() < name.size()) {
    std::string_view suffix = pattern.substr(1);
    return sameText(name.substr(name.size() - suffix.size()), suffix);
  }
  // The general walk ties each segment after a star to its first occurrence
  // in the name and never comes back to try a later one.
  size_t p = 0;
  size_t n = 0;
  for (;;) {
    if (p == pattern.size()) return n == name.size();
    if (pattern[p] == kStar && p + 1 == pattern.size()) return true;
    if (n == name.size()) return false;
    if (pattern[p] != kStar) {
      if (!sameFileNameChar(pattern[p], name[n])) return false;
      ++p;
      ++n;
      continue;
    }
    ++p;
    size_t segmentEnd = pattern.find(kStar, p);
    if (segmentEnd == std::string_view::npos) segmentEnd = pattern.size();
    size_t at = findSegment(name, n, pattern.substr(p, segmentEnd - p));
    if (at == std::string_view::npos) return false;
    n = at;
  }
}

bool matchesAnyPattern(const std::optional<std::vector<std::string>>& patterns, std::string_view name) {
  if (!patterns) return false;
  for (const std::string& pattern : *patterns) {
    if (matchFilePattern(pattern, name)) return true;
  }
  return false;
}

bool isFileExcluded(std::string_view name) {
  const OptionSettings& settings = options();
  if (settings.chosenFiles && !matchesAnyPattern(settings.chosenFiles, name)) return true;
  return matchesAnyPattern(settings.unchosenFiles, name);
}

}  // namespace qar
