#pragma once
// Helpers shared by the unit tests: running a piece of the program the way
// main() would, and temporary directories.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

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

// Makes a FIFO at `path` and writes `content` into it from a thread, in
// pieces of `piece` bytes, each only once the reader has taken all of the
// one before: the reader gets at least one read per piece.
class FifoFeeder {
 public:
  FifoFeeder(std::string path, std::string content, size_t piece)
      : path_(std::move(path)), content_(std::move(content)), piece_(piece) {
    EXPECT_EQ(::mkfifo(path_.c_str(), 0600), 0) << path_;
    thread_ = std::thread([this] { feed(); });
  }
  ~FifoFeeder() {
    // What the test left unread is taken here, so that the writer ends.
    const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    char discarded[4096];
    while (!done_) {
      if (::read(reader, discarded, sizeof discarded) <= 0) ::usleep(1000);
    }
    ::close(reader);
    thread_.join();
  }
  FifoFeeder(const FifoFeeder&) = delete;
  FifoFeeder& operator=(const FifoFeeder&) = delete;

 private:
  void feed() {
    // A reader gone early makes a write fail rather than end the tests.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    const int writer = ::open(path_.c_str(), O_WRONLY);  // waits for the reader
    for (size_t at = 0; writer >= 0 && at < content_.size(); at += piece_) {
      const size_t count = std::min(piece_, content_.size() - at);
      if (::write(writer, content_.data() + at, count) != static_cast<ssize_t>(count)) break;
      int unread = 0;
      while (::ioctl(writer, FIONREAD, &unread) == 0 && unread > 0) ::usleep(100);
    }
    if (writer >= 0) ::close(writer);
    done_ = true;
  }

  std::string path_;
  std::string content_;
  size_t piece_;
  std::atomic<bool> done_ = false;
  std::thread thread_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qar::test
