#pragma once
// Decimal numbers as the exports write millions of them: no width, no sign,
// two digits at a time.
#include <cstdint>
#include <string>

namespace qar {

inline void appendDecimal(std::string& out, uint64_t value) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  if (value < 10) {
    out.push_back(static_cast<char>('0' + value));
    return;
  }
  char digits[20];
  char* end = digits + sizeof digits;
  char* at = end;
  while (value >= 100) {
    const uint64_t pair = value % 100;
    value /= 100;
    at -= 2;
    at[0] = kPairs[pair * 2];
    at[1] = kPairs[pair * 2 + 1];
  }
  if (value >= 10) {
    at -= 2;
    at[0] = kPairs[value * 2];
    at[1] = kPairs[value * 2 + 1];
  } else {
    *--at = static_cast<char>('0' + value);
  }
  out.append(at, static_cast<size_t>(end - at));
}

}  // namespace qar
