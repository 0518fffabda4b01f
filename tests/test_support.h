#pragma once
// Helpers shared by the unit tests: running a piece of the program the way
// main() would, and temporary directories.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/posterr.h"
#include "base/standard_output.h"

namespace qar::test {

struct Outcome {
  bool ended = false;  // the run was ended through ProgramExit
  int status = 0;
  std::string out;
  std::string err;
};

// Runs `body` with standard output and standard error captured; a ProgramExit
// is caught and recorded, as main() would.
inline Outcome captureRun(const std::function<void()>& body) {
  Outcome outcome;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  try {
    body();
  } catch (const ProgramExit& exit) {
    outcome.ended = true;
    outcome.status = exit.status;
  }
  flushStandardOutput();
  std::fflush(stdout);
  outcome.out = ::testing::internal::GetCapturedStdout();
  outcome.err = ::testing::internal::GetCapturedStderr();
  return outcome;
}

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qarpost-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  // Writes `content` to `name` inside the directory and returns its path.
  std::string write(const std::string& name, const std::string& content) const {
    std::string full = file(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full;
  }

 private:
  std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qar::test
