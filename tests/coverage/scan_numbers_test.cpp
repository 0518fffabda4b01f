#include "coverage/scan_numbers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace qar {
namespace {

// The number conversions must read exactly what the C library's formatted
// input reads on this system: the same value and the same end, on the quick
// path (one blank, at most 18 digits) and off it.
const std::vector<std::string>& samples() {
  static const std::vector<std::string> texts = {
      "0", "7 x", " 42", "  42", "\t\n 9", "+5", "-5", " -0", "+", "-", " ", "", "x1", "12ab",
      "123456789012345678", " 123456789012345678 1", "1234567890123456789", "9223372036854775807",
      "9223372036854775808", "-9223372036854775808", "-9223372036854775809", "18446744073709551615",
      "18446744073709551616", "99999999999999999999999", "-18446744073709551615", "000000000000000000000012",
      "4294967296", " +4294967295,"};
  return texts;
}

// `format` is the C library's conversion ("%lu", "%lld") followed by "%n".
template <typename CValue, typename Value>
void expectReadsAsTheCLibrary(const char* format, bool (*scan)(ScanText&, Value&)) {
  for (const std::string& text : samples()) {
    CValue expected = 0;
    int consumed = -1;
    int matched = std::sscanf(text.c_str(), format, &expected, &consumed);
    ScanText scanned(text);
    Value value = 0;
    bool read = scan(scanned, value);
    ASSERT_EQ(read, matched == 1) << '"' << text << '"';
    if (!read) continue;
    EXPECT_EQ(value, static_cast<Value>(expected)) << '"' << text << '"';
    EXPECT_EQ(scanned.at - text.data(), consumed) << '"' << text << '"';
  }
}

TEST(ScanNumbersTest, UnsignedReadsWhatTheCLibraryReads) {
  expectReadsAsTheCLibrary<unsigned long>("%lu%n", scanUnsigned);
}

TEST(ScanNumbersTest, SignedReadsWhatTheCLibraryReads) {
  expectReadsAsTheCLibrary<long long>("%lld%n", scanSigned);
}

}  // namespace
}  // namespace qar
