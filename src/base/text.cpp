#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qar {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  std::string_view tail = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (asciiLower(tail[i]) != asciiLower(suffix[i])) return false;
  }
  return true;
}

std::string systemErrorText(int errorNumber) { return std::strerror(errorNumber); }

std::string formatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length));
    std::vsnprintf(result.data(), result.size() + 1, format, args);
  }
  va_end(args);
  return result;
}

}  // namespace qar
