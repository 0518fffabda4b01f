#include "base/standard_output.h"

#include <string>

#include <unistd.h>

#include "base/checked_write.h"

namespace qar {
namespace {

// As large as the listings' file buffers: a listing on standard output is
// written in the same chunks as one in a file.
constexpr size_t kBufferSize = 1 << 16;

std::string& pending() {
  static std::string buffer = [] {
    std::string text;
    text.reserve(kBufferSize);
    return text;
  }();
  return buffer;
}

}  // namespace

int flushStandardOutput() {
  std::string& buffer = pending();
  if (buffer.empty()) return 0;
  const int errorNumber = writeAll(STDOUT_FILENO, buffer);
  buffer.clear();
  return errorNumber;
}

int writeStandardOutput(std::string_view text) {
  std::string& buffer = pending();
  if (buffer.size() + text.size() > kBufferSize) {
    if (const int errorNumber = flushStandardOutput(); errorNumber != 0) return errorNumber;
    // A text as large as the buffer goes out directly.
    if (text.size() >= kBufferSize) return writeAll(STDOUT_FILENO, text);
  }
  buffer.append(text);
  return 0;
}

void discardStandardOutput() { pending().clear(); }

}  // namespace qar
