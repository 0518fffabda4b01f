#include "base/quick_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace qar {
namespace {

std::string viaPrintf(const char* format, auto... values) {
  char buffer[512];
  int length = std::snprintf(buffer, sizeof buffer, format, values...);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string viaQuick(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  bool known = appendFormattedV(out, format, args);
  va_end(args);
  return known ? out : "<unknown conversion>";
}

TEST(QuickFormatTest, NumbersMatchPrintfInEveryWidth) {
  const std::vector<uint64_t> unsignedValues = {0, 7, 42, 99999, 100000, 4294967295u, UINT64_MAX};
  for (uint64_t value : unsignedValues) {
    for (unsigned width : {0u, 1u, 5u, 10u, 25u}) {
      std::string out = "x";
      appendUnsigned(out, value, width);
      EXPECT_EQ(out, "x" + viaPrintf("%*llu", static_cast<int>(width), static_cast<unsigned long long>(value)));
    }
  }
  const std::vector<int64_t> signedValues = {0, -1, 5, -2147483648LL, 2147483647, INT64_MIN, INT64_MAX};
  for (int64_t value : signedValues) {
    for (unsigned width : {0u, 2u, 11u, 21u}) {
      std::string out;
      appendSigned(out, value, width);
      EXPECT_EQ(out, viaPrintf("%*lld", static_cast<int>(width), static_cast<long long>(value)));
    }
  }
}

TEST(QuickFormatTest, ConversionsOfTheReportsMatchPrintf) {
  const char* name = "a<b>";
  const char* none = nullptr;
  EXPECT_EQ(viaQuick("<p t=\"%s\" c=\"%u\"%s/>\n", name, 4294967295u, ""),
            viaPrintf("<p t=\"%s\" c=\"%u\"%s/>\n", name, 4294967295u, ""));
  EXPECT_EQ(viaQuick("%d|%d|%d", 0, -2147483647 - 1, 2147483647), viaPrintf("%d|%d|%d", 0, INT_MIN, INT_MAX));
  EXPECT_EQ(viaQuick("0x%08x 0x%08x", 0u, 0xABCDEF12u), "0x00000000 0xabcdef12");
  EXPECT_EQ(viaQuick("%.1f %.1f %.1f", 0.05, -3.25, 1e300), viaPrintf("%.1f %.1f %.1f", 0.05, -3.25, 1e300));
  EXPECT_EQ(viaQuick("100%% %s", none), "100% (null)");
  EXPECT_EQ(viaQuick("no conversion"), "no conversion");
  EXPECT_EQ(viaQuick("%5.2f", 1.0), "<unknown conversion>");
}

}  // namespace
}  // namespace qar
