#include "export/html/html_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qar {
namespace {

// The components of `name` with empty and "." ones dropped and each ".."
// taking away the one before it. A ".." with none before it stays at "/"
// in an absolute name, as the system resolves it, and climbs out of a
// relative one: nullopt then.
std::optional<std::vector<std::string_view>> normalComponents(std::string_view name) {
  const bool absolute = name.starts_with('/');
  std::vector<std::string_view> components;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view component = name.substr(start, end - start);
    if (component == "..") {
      if (!components.empty()) {
        components.pop_back();
      } else if (!absolute) {
        return std::nullopt;
      }
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    start = end + 1;
  }
  return components;
}

std::string joined(const std::vector<std::string_view>& components, bool absolute) {
  std::string name;
  for (std::string_view component : components) {
    if (absolute || !name.empty()) name.push_back('/');
    name += component;
  }
  if (name.empty()) name = absolute ? "/" : ".";
  return name;
}

// Whether the normal absolute name `name` lies below the directory `root`
// (compared with "ROOT/", so that "/src-old/a.c" is not below "/src").
bool liesBelow(std::string_view name, std::string_view root) {
  if (root == "/") return name.size() > 1;
  return name.size() > root.size() + 1 && name.starts_with(root) && name[root.size()] == '/';
}

bool hasParentComponent(std::string_view name) {
  for (size_t at = name.find(".."); at != std::string_view::npos; at = name.find("..", at + 1)) {
    const bool startsComponent = at == 0 || name[at - 1] == '/';
    const bool endsComponent = at + 2 == name.size() || name[at + 2] == '/';
    if (startsComponent && endsComponent) return true;
  }
  return false;
}

// The working directory as the user named it ($PWD when it is this
// directory), so that absolute names written under a linked path match.
std::string workingDirectory() {
  char* name = ::get_current_dir_name();
  if (name == nullptr) return "/";
  std::string directory = name;
  std::free(name);
  return directory;
}

bool directoryMayHold(SourceFinder& finder, const std::string& name) {
  const size_t slash = name.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string_view directory = std::string_view(name).substr(0, slash);
  if (finder.missingDirectory && directory == *finder.missingDirectory) return false;
  struct stat status {};
  if (::stat(std::string(directory).c_str(), &status) == 0) return true;
  finder.missingDirectory.emplace(directory);
  return false;
}

// Reads a regular file of at most `limit` bytes. A FIFO is opened without
// waiting for a writer, and then refused as not a regular file.
SourceStatus readRegularFile(const std::string& name, std::string& text, size_t limit) {
  const int file = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return SourceStatus::NotFound;
  struct stat status {};
  SourceStatus result = SourceStatus::Read;
  if (::fstat(file, &status) != 0) {
    result = SourceStatus::NotFound;
  } else if (!S_ISREG(status.st_mode)) {
    result = SourceStatus::NotRegular;
  } else if (static_cast<unsigned long long>(status.st_size) > limit) {
    result = SourceStatus::TooLarge;
  } else {
    // The size read up to one byte beyond the limit: a file that grew
    // since it was measured is refused as well.
    text.resize(static_cast<size_t>(status.st_size) + 1);
    size_t got = 0;
    for (;;) {
      if (got == text.size()) {
        if (got > limit) break;
        text.resize(std::min(text.size() * 2, limit + 1));
      }
      const ssize_t read = ::read(file, text.data() + got, text.size() - got);
      if (read < 0 && errno == EINTR) continue;
      if (read < 0) result = SourceStatus::NotFound;
      if (read <= 0) break;
      got += static_cast<size_t>(read);
    }
    if (result == SourceStatus::Read && got > limit) result = SourceStatus::TooLarge;
    text.resize(result == SourceStatus::Read ? got : 0);
  }
  ::close(file);
  return result;
}

}  // namespace

void startSourceFinder(SourceFinder& finder, const std::string& root) {
  finder = SourceFinder{};
  finder.root = root;
  std::string absolute = root;
  if (absolute.empty() || absolute[0] != '/') absolute = workingDirectory() + "/" + absolute;
  finder.absoluteRoot = joined(*normalComponents(absolute), true);
}

SourceStatus findSource(SourceFinder& finder, const std::string& path, std::string& name, std::string& text,
                        size_t limit) {
  text.clear();
  const bool absolute = !path.empty() && path[0] == '/';
  // A relative name without ".." (the usual one) cannot leave the root.
  const bool climbs = hasParentComponent(path);
  std::optional<std::vector<std::string_view>> components;
  if (absolute || climbs) {
    components = normalComponents(path);
  } else {
    components.emplace();
  }
  // A name with ".." is looked for in its normal form, so that a linked
  // directory on the way cannot lead out of the root.
  const std::string written = climbs && components ? joined(*components, absolute) : path;
  if (absolute || finder.root.empty() || finder.root == ".") {
    name = written;
  } else {
    name = finder.root;
    if (name.back() != '/') name.push_back('/');
    name += written;
  }
  if (!components) return SourceStatus::OutsideRoot;
  if (absolute && !liesBelow(joined(*components, true), finder.absoluteRoot)) return SourceStatus::OutsideRoot;
  if (!directoryMayHold(finder, name)) return SourceStatus::NotFound;
  return readRegularFile(name, text, limit);
}

}  // namespace qar
