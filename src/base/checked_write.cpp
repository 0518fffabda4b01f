#include "base/checked_write.h"

#include <cerrno>

#include <unistd.h>

namespace qar {

int writeUntilFailure(int descriptor, std::string_view& data) {
  while (!data.empty()) {
    const ssize_t wrote = ::write(descriptor, data.data(), data.size());
    if (wrote > 0) {
      data.remove_prefix(static_cast<size_t>(wrote));
      continue;
    }
    // A write that takes nothing without an error means no room either.
    const int errorNumber = wrote < 0 ? errno : ENOSPC;
    if (errorNumber == EINTR) continue;
    return errorNumber;
  }
  return 0;
}

int writeAll(int descriptor, std::string_view data) { return writeUntilFailure(descriptor, data); }

}  // namespace qar
