// Inputs read once: a FIFO's bytes kept at its first opening serve every
// later one; regular files are read straight; directories are refused.
#include "base/input_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace qar {
namespace {

class InputSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { forgetKeptInputs(); }
  void TearDown() override { forgetKeptInputs(); }

  // Everything `source` still gives, in reads of `count` bytes (a reading
  // that does not end stops past a megabyte).
  static std::string readRest(InputSource& source, size_t count) {
    std::string bytes;
    std::string chunk(count, '\0');
    for (ssize_t got; bytes.size() < (size_t{1} << 20) && (got = source.read(chunk.data(), count)) > 0;) {
      bytes.append(chunk, 0, static_cast<size_t>(got));
    }
    return bytes;
  }

  test::TempDir dir;
};

// More than a pipe holds and than one read of the keeping takes, in pieces
// that do not divide it.
std::string patternBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
  return bytes;
}

TEST_F(InputSourceTest, AFifoIsReadOnceAndItsKeptBytesServeEveryLaterOpening) {
  const std::string content = patternBytes(200000);
  const std::string fifo = dir.file("run.dat");
  test::FifoFeeder feeder(fifo, content, 4093);

  InputSource first;
  ASSERT_TRUE(first.open(fifo));
  EXPECT_TRUE(first.isFirstReading());
  EXPECT_FALSE(first.readsDirectly());
  char head[10];
  ASSERT_EQ(first.read(head, sizeof head), 10);
  ASSERT_TRUE(first.keepRest());
  EXPECT_EQ(first.read(head, sizeof head), 0);  // the rest is kept, not left to read
  EXPECT_EQ(first.close(), 0);
  EXPECT_EQ(inputSize(fifo), content.size());

  // Every later opening, also by another name, reads all of it from memory.
  std::filesystem::create_symlink(fifo, dir.file("link.dat"));
  for (const std::string& name : {fifo, dir.file("link.dat")}) {
    InputSource later;
    ASSERT_TRUE(later.open(name)) << name;
    EXPECT_FALSE(later.isFirstReading());
    EXPECT_EQ(later.size(), content.size());
    EXPECT_EQ(readRest(later, 1000), content) << name;
    EXPECT_EQ(later.seek(5, SEEK_SET), 5);
    EXPECT_EQ(readRest(later, 3).substr(0, 3), content.substr(5, 3));
    EXPECT_EQ(later.seek(-2, SEEK_END), static_cast<off_t>(content.size() - 2));
    EXPECT_EQ(readRest(later, 100), content.substr(content.size() - 2));
    EXPECT_EQ(later.seek(-1, SEEK_SET), -1);
  }
  forgetKeptInputs();
  EXPECT_EQ(inputSize(fifo), 0u);
}

TEST_F(InputSourceTest, RegularFilesAndDirectoriesAreReadStraight) {
  const std::string content = patternBytes(5000);
  const std::string path = dir.write("a.sym", content);
  InputSource source;
  ASSERT_TRUE(source.open(path));
  EXPECT_TRUE(source.readsDirectly());
  EXPECT_FALSE(source.isFirstReading());
  EXPECT_EQ(source.size(), content.size());
  EXPECT_EQ(readRest(source, 999), content);
  EXPECT_TRUE(source.keepRest());  // nothing to keep
  EXPECT_EQ(source.seek(0, SEEK_SET), -1);
  EXPECT_EQ(source.close(), 0);
  EXPECT_EQ(inputSize(path), content.size());

  // A directory opens, and its reading fails.
  std::filesystem::create_directory(dir.file("d.dat"));
  ASSERT_TRUE(source.open(dir.file("d.dat")));
  EXPECT_TRUE(source.readsDirectly());
  char byte;
  EXPECT_EQ(source.read(&byte, 1), -1);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(source.keepRest());
  EXPECT_EQ(inputSize(dir.file("d.dat")), 0u);
  EXPECT_FALSE(source.open(dir.file("missing.dat")));
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace qar
