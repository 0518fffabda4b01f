#include "export/output/replacing_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

namespace fs = std::filesystem;

void writeAll(int file, const std::string& text) {
  ASSERT_EQ(::write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// The names in `directory`, sorted.
std::vector<std::string> namesIn(const fs::path& directory) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ReplacingOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetOutputTargets();
    oldMask_ = ::umask(027);
  }
  void TearDown() override {
    ::umask(oldMask_);
    resetOutputTargets();
  }
  test::TempDir dir_;
  mode_t oldMask_ = 0;
};

TEST_F(ReplacingOutputTest, TheTargetTakesTheTextOnlyWhenComplete) {
  const std::string name = dir_.write("coverage.info", "earlier run\n");
  ::chmod(name.c_str(), 0600);
  OutputTarget target;
  const int file = openOutputTarget(target, name);
  ASSERT_GE(file, 0);
  writeAll(file, "this run\n");
  // Meanwhile the earlier file stands, beside a hidden file named for it.
  EXPECT_EQ(test::readFile(name), "earlier run\n");
  ASSERT_EQ(namesIn(dir_.path()).size(), 2u);
  EXPECT_TRUE(namesIn(dir_.path())[0].starts_with(".coverage.info.qarpost-"));
  ASSERT_EQ(::close(file), 0);
  ASSERT_TRUE(completeOutputTarget(target));
  EXPECT_EQ(test::readFile(name), "this run\n");
  EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"coverage.info"});
  // The mode of a new file under the umask, not the replaced file's 0600.
  struct stat status {};
  ASSERT_EQ(::stat(name.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(ReplacingOutputTest, AFailedOutputLeavesWhatStoodBefore) {
  const std::string name = dir_.write("coverage.json", "{\"earlier\": true}\n");
  OutputTarget target;
  const int file = openOutputTarget(target, name);
  ASSERT_GE(file, 0);
  writeAll(file, "{\"half");
  ::close(file);
  discardOutputTarget(target);
  EXPECT_EQ(test::readFile(name), "{\"earlier\": true}\n");
  EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"coverage.json"});

  // A new name that fails leaves nothing.
  const int other = openOutputTarget(target, dir_.file("new.xml"));
  ASSERT_GE(other, 0);
  ::close(other);
  discardOutputTarget(target);
  EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"coverage.json"});
}

TEST_F(ReplacingOutputTest, ALinkIsFollowedAndStays) {
  dir_.write("real/coverage.xml", "earlier\n");
  fs::create_directory_symlink("real", dir_.path() / "linked");
  fs::create_directory(dir_.path() / "out");
  fs::create_symlink("../linked/coverage.xml", dir_.path() / "out" / "coverage.xml");
  OutputTarget target;
  const int file = openOutputTarget(target, dir_.file("out/coverage.xml"));
  ASSERT_GE(file, 0);
  writeAll(file, "this run\n");
  ::close(file);
  ASSERT_TRUE(completeOutputTarget(target));
  EXPECT_TRUE(fs::is_symlink(dir_.path() / "out" / "coverage.xml"));
  EXPECT_EQ(test::readFile(dir_.file("real/coverage.xml")), "this run\n");
  EXPECT_EQ(namesIn(dir_.path() / "real"), std::vector<std::string>{"coverage.xml"});

  // A dangling link: the file it names is created, as writing into it would.
  fs::create_symlink("real/later.xml", dir_.path() / "later.xml");
  const int later = openOutputTarget(target, dir_.file("later.xml"));
  ASSERT_GE(later, 0);
  writeAll(later, "later\n");
  ::close(later);
  ASSERT_TRUE(completeOutputTarget(target));
  EXPECT_TRUE(fs::is_symlink(dir_.path() / "later.xml"));
  EXPECT_EQ(test::readFile(dir_.file("real/later.xml")), "later\n");

  // A loop of links is refused as opening it would be.
  fs::create_symlink("loop-b", dir_.path() / "loop-a");
  fs::create_symlink("loop-a", dir_.path() / "loop-b");
  errno = 0;
  EXPECT_LT(openOutputTarget(target, dir_.file("loop-a")), 0);
  EXPECT_EQ(errno, ELOOP);
}

TEST_F(ReplacingOutputTest, WhatCannotBeReplacedIsWrittenInPlace) {
  OutputTarget target;
  const int file = openOutputTarget(target, "/dev/null");
  ASSERT_GE(file, 0);
  EXPECT_TRUE(target.temporary.empty());
  ::close(file);
  EXPECT_TRUE(completeOutputTarget(target));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  ASSERT_EQ(::mkfifo(dir_.file("fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", dir_.path() / "to-fifo");
  const int reader = ::open(dir_.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const int writer = openOutputTarget(target, dir_.file("to-fifo"));
  ASSERT_GE(writer, 0);
  EXPECT_TRUE(target.temporary.empty());
  ::close(writer);
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(dir_.path() / "fifo"));

  // A directory: refused when opened, as before.
  fs::create_directory(dir_.path() / "a-directory");
  errno = 0;
  EXPECT_LT(openOutputTarget(target, dir_.file("a-directory")), 0);
  EXPECT_EQ(errno, EISDIR);
}

TEST_F(ReplacingOutputTest, AFileTheRunMayNotWriteIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  const std::string name = dir_.write("kept.info", "protected\n");
  ::chmod(name.c_str(), 0444);
  OutputTarget target;
  errno = 0;
  EXPECT_LT(openOutputTarget(target, name), 0);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(test::readFile(name), "protected\n");
}

TEST_F(ReplacingOutputTest, AFatalEndOrASignalRemovesTheTemporaryFiles) {
  const std::string name = dir_.write("a.info", "earlier\n");
  OutputTarget first;
  OutputTarget second;
  const int one = openOutputTarget(first, name);
  const int two = openOutputTarget(second, dir_.file("b.info"));
  ASSERT_GE(one, 0);
  ASSERT_GE(two, 0);
  ::close(one);
  ::close(two);
  discardOpenOutputTargets();
  EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"a.info"});

  // A process ended by SIGTERM while it writes: the earlier file stays,
  // the temporary file goes, and the process ends by the signal.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    discardOutputTargetsOnSignals();
    OutputTarget target;
    const int file = openOutputTarget(target, name);
    if (file < 0 || ::write(file, "half", 4) != 4) ::_exit(3);
    ::raise(SIGTERM);
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(test::readFile(name), "earlier\n");
  EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"a.info"});
}

}  // namespace
}  // namespace qar
