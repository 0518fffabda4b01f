#pragma once
// An open C stream that is closed when its owner goes. Paths that must
// report a failing close call std::fclose(handle.release()) themselves; the
// automatic close only serves the ways out on an error already reported.
#include <cstdio>
#include <memory>

namespace qar {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace qar
