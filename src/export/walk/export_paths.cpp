#include "export/walk/export_paths.h"

#include "base/file_names.h"

namespace qar {
namespace {

std::string withSlashes(std::string_view name) {
  std::string text(name);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

}  // namespace

std::string exportPath(std::string_view name, const std::optional<std::string>& root) {
  if (!root) return std::string(name);
  std::string path = withSlashes(name);
  std::string prefix = withSlashes(*root);
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  prefix.push_back('/');
  if (path.size() > prefix.size() && sameFileName(std::string_view(path).substr(0, prefix.size()), prefix)) {
    path.erase(0, prefix.size());
  }
  return path;
}

std::string exportPathKey(std::string_view path) {
  std::string key;
  key.reserve(path.size());
  size_t start = 0;
  bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && path[end] != '/' && path[end] != '\\') ++end;
    std::string_view component = path.substr(start, end - start);
    if (!component.empty() && component != ".") {
      if (!key.empty() || absolute) key.push_back('/');
      for (char c : component) key.push_back(foldFileNameChar(c));
    }
    start = end + 1;
  }
  return key;
}

std::string_view exportDirectory(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

}  // namespace qar
