#pragma once
// Writing through a file descriptor to the end.
#include <string_view>

namespace qar {

// Writes all of `data` to `descriptor`, going on after short writes and
// interrupted calls. Returns 0, or the errno of the write that failed.
int writeAll(int descriptor, std::string_view data);

// writeAll that leaves in `data` what it did not write when a write fails
// (a thread writing beside the run hands the rest back). 0, or the errno of
// that write.
int writeUntilFailure(int descriptor, std::string_view& data);

}  // namespace qar
