// Writes to the end: the whole text through short writes, and the error of
// the write that failed (/dev/full stands for the full disk).
#include "base/checked_write.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace qar {
namespace {

TEST(CheckedWriteTest, AFailedWriteGivesItsErrorAndWhatIsLeft) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(writeAll(full, "text"), ENOSPC);
  std::string_view data = "all of the text";
  EXPECT_EQ(writeUntilFailure(full, data), ENOSPC);
  EXPECT_EQ(data, "all of the text");
  ::close(full);
  const int readOnly = ::open("/dev/null", O_RDONLY);
  EXPECT_EQ(writeAll(readOnly, "text"), EBADF);
  ::close(readOnly);
}

// A pipe takes a large text in many short writes.
TEST(CheckedWriteTest, ShortWritesGoOnToTheEnd) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string text;
  for (int i = 0; i < 200000; ++i) text += static_cast<char>('a' + i % 26);
  std::string got;
  std::thread reader([&got, in = ends[0]] {
    char buffer[1000];
    ssize_t n;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
  });
  EXPECT_EQ(writeAll(ends[1], text), 0);
  ::close(ends[1]);
  reader.join();
  ::close(ends[0]);
  EXPECT_EQ(got, text);
}

}  // namespace
}  // namespace qar
