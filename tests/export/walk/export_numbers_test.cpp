#include "export/walk/export_numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace qar {
namespace {

// Every count of digits, at both of its ends.
TEST(ExportNumbers, DecimalsOfEveryLength) {
  uint64_t power = 1;
  for (int digits = 1; digits <= 19; ++digits) {
    for (uint64_t value : {power, power * 10 - 1}) {
      std::string text;
      appendDecimal(text, value);
      EXPECT_EQ(text, std::to_string(value));
    }
    power *= 10;
  }
  std::string text;
  appendDecimal(text, 0);
  appendDecimal(text, UINT64_MAX);
  EXPECT_EQ(text, "0" + std::to_string(UINT64_MAX));
}

TEST(ExportNumbers, RoomTakesSignedNumbersAndIsTrimmedToWhatWasWritten) {
  std::string text = "[";
  {
    TextRoom room(text, 3 * (kDecimalRoom + 2));
    room.signedNumber(std::numeric_limits<int64_t>::min()).put(',').signedNumber(-7).put(',').signedNumber(42);
  }
  EXPECT_EQ(text, "[-9223372036854775808,-7,42");
}

}  // namespace
}  // namespace qar
