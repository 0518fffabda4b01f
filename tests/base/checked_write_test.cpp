// Writes to the end, and a full disk retried once another holder of space
// has given it back (/dev/full stands for the full disk).
#include "base/checked_write.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace qar {
namespace {

int fullDevice = -1;
std::FILE* roomyFile = nullptr;
int reclaimerCalls = 0;

// Frees room the way a holder of space does: the same descriptor now
// reaches a file with room.
bool freeRoom() {
  ++reclaimerCalls;
  return dup2(fileno(roomyFile), fullDevice) >= 0;
}

bool freeNothing() {
  ++reclaimerCalls;
  return false;
}

class CheckedWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fullDevice = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fullDevice, 0);
    roomyFile = std::tmpfile();
    ASSERT_NE(roomyFile, nullptr);
    reclaimerCalls = 0;
  }
  void TearDown() override {
    setSpaceReclaimer(nullptr);
    ::close(fullDevice);
    std::fclose(roomyFile);
  }
  static std::string roomyText() {
    std::string text(4096, '\0');
    const ssize_t got = pread(fileno(roomyFile), text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
  }
};

TEST_F(CheckedWriteTest, FullDiskWithoutReclaimerIsTheWritesError) {
  EXPECT_EQ(writeAll(fullDevice, "text"), ENOSPC);
  EXPECT_EQ(reclaimerCalls, 0);
}

TEST_F(CheckedWriteTest, FullDiskIsRetriedOnceTheReclaimerFreedRoom) {
  setSpaceReclaimer(freeRoom);
  EXPECT_EQ(writeAll(fullDevice, "all of the text\n"), 0);
  EXPECT_EQ(reclaimerCalls, 1);
  EXPECT_EQ(roomyText(), "all of the text\n");
  // The reclaimer is used up: the next full disk is an error.
  ASSERT_GE(dup2(::open("/dev/full", O_WRONLY), fullDevice), 0);
  EXPECT_EQ(writeAll(fullDevice, "more"), ENOSPC);
  EXPECT_EQ(reclaimerCalls, 1);
}

TEST_F(CheckedWriteTest, ReclaimerThatFreesNothingLeavesTheError) {
  setSpaceReclaimer(freeNothing);
  EXPECT_EQ(writeAll(fullDevice, "text"), ENOSPC);
  EXPECT_EQ(reclaimerCalls, 1);
  EXPECT_FALSE(reclaimSpace());
}

TEST_F(CheckedWriteTest, OtherErrorsDoNotCallTheReclaimer) {
  setSpaceReclaimer(freeRoom);
  const int readOnly = ::open("/dev/null", O_RDONLY);
  EXPECT_EQ(writeAll(readOnly, "text"), EBADF);
  ::close(readOnly);
  EXPECT_EQ(reclaimerCalls, 0);
}

}  // namespace
}  // namespace qar
