#include "base/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qar {
namespace {

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    unsetenv("SOURCE_DATE_EPOCH");
  }
  void TearDown() override { unsetenv("SOURCE_DATE_EPOCH"); }
};

TEST_F(ClockTest, FormatsTheAsctimeFormWithBlankPaddedDay) {
  EXPECT_EQ(timeText(0), "Thu Jan  1 00:00:00 1970");
  EXPECT_EQ(timeText(1764950400), "Fri Dec  5 16:00:00 2025");
  EXPECT_EQ(timeText(1700000000), "Tue Nov 14 22:13:20 2023");
}

TEST_F(ClockTest, HonoursSourceDateEpochAndTimeZone) {
  setenv("SOURCE_DATE_EPOCH", "86399", 1);
  EXPECT_EQ(currentTimeText(), "Thu Jan  1 23:59:59 1970");
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(currentTimeText(), "Thu Jan  1 18:59:59 1970");
}

TEST_F(ClockTest, IgnoresSourceDateEpochThatIsNoInteger) {
  setenv("SOURCE_DATE_EPOCH", "12abc", 1);
  std::time_t before = std::time(nullptr);
  EXPECT_GE(currentTime(), before);
}

}  // namespace
}  // namespace qar
