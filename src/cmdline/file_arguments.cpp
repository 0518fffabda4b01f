#include "cmdline/file_arguments.h"

#include <dirent.h>

#include <algorithm>

namespace qar {

bool matchSearchPattern(std::string_view pattern, std::string_view name) {
  // Iterative wildcard match with one resumable star: linear in practice and
  // never recursive, whatever the pattern.
  size_t p = 0, n = 0;
  size_t starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> expandFileArgument(const std::string& argument) {
  if (argument.empty()) return {};
  size_t slash = argument.rfind('/');
  std::string directory = slash == std::string::npos ? std::string() : argument.substr(0, slash + 1);
  std::string_view pattern = std::string_view(argument).substr(directory.size());
  if (pattern.find_first_of("*?") == std::string_view::npos) return {argument};

  // The directory part as a path function leaves it: without its final "/"
  // unless it is the root itself.
  std::string directoryPart = directory;
  if (directoryPart.size() > 1) directoryPart.pop_back();

  std::vector<std::string> matches;
  if (DIR* listing = opendir(directory.empty() ? "." : directory.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (matchSearchPattern(pattern, name)) matches.emplace_back(name);
    }
    closedir(listing);
  }
  if (matches.empty()) return {argument};
  std::sort(matches.begin(), matches.end());
  for (std::string& match : matches) {
    if (directoryPart.empty()) continue;
    match = directoryPart + (directoryPart.back() == '/' ? "" : "/") + match;
  }
  return matches;
}

}  // namespace qar
