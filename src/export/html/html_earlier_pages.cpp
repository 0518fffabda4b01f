#include "export/html/html_earlier_pages.h"

#include <charconv>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/html/html_parts.h"

namespace qar {
namespace {

bool pageNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

// Whether the regular file `name` in the directory begins as every page
// does. Opened without following a link and without waiting on a FIFO.
bool beginsAsPage(int directory, const char* name) {
  const int file = ::openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return false;
  struct stat status {};
  bool page = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode) &&
              static_cast<size_t>(status.st_size) >= kHtmlHeadStart.size();
  char start[kHtmlHeadStart.size()];
  size_t got = 0;
  while (page && got < sizeof start) {
    const ssize_t read = ::read(file, start + got, sizeof start - got);
    if (read <= 0) page = false;
    if (read > 0) got += static_cast<size_t>(read);
  }
  ::close(file);
  return page && std::string_view(start, sizeof start) == kHtmlHeadStart;
}

}  // namespace

std::optional<size_t> htmlPageNumber(std::string_view name) {
  if (!name.starts_with('f') || !name.ends_with(".html")) return std::nullopt;
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash < 6) return std::nullopt;
  size_t number = 0;
  const char* digits = name.data() + 1;
  const auto [end, error] = std::from_chars(digits, name.data() + dash, number);
  if (error != std::errc() || end != name.data() + dash) return std::nullopt;
  for (char c : name.substr(dash + 1, name.size() - dash - 1 - 5)) {
    if (!pageNameChar(c)) return std::nullopt;
  }
  return number;
}

void removeEarlierHtmlPages(const std::string& directory, const std::vector<std::string_view>& pagesNow) {
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return;
  const int handle = ::dirfd(listing);
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    const std::optional<size_t> number = htmlPageNumber(name);
    if (!number) continue;
    if (*number >= 1 && *number <= pagesNow.size() && pagesNow[*number - 1] == name) continue;
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    if (beginsAsPage(handle, entry->d_name)) ::unlinkat(handle, entry->d_name, 0);
  }
  ::closedir(listing);
}

}  // namespace qar
