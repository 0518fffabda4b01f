#include "coverage/scan_numbers.h"

#include <limits>

namespace qar {
namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads digits of `base` into a magnitude; false when there is none. An
// overflow leaves `overflow` set.
bool readMagnitude(ScanText& text, unsigned base, size_t limit, uint64_t& magnitude, bool& overflow) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  magnitude = 0;
  overflow = false;
  size_t count = 0;
  while (text.at < text.end && count < limit) {
    int digit = base == 16 ? hexDigitValue(*text.at) : (isDecimalDigit(*text.at) ? *text.at - '0' : -1);
    if (digit < 0) break;
    if (magnitude > (kMax - static_cast<uint64_t>(digit)) / base) overflow = true;
    magnitude = magnitude * base + static_cast<uint64_t>(digit);
    ++text.at;
    ++count;
  }
  return count > 0;
}

// White space, then an optional sign; false at the end of the text.
bool readSign(ScanText& text, bool& negative, size_t& limit) {
  skipScanSpace(text);
  negative = false;
  if (text.at == text.end) return false;
  if ((*text.at == '+' || *text.at == '-') && limit > 0) {
    negative = *text.at == '-';
    ++text.at;
    --limit;
  }
  return true;
}

uint64_t unsignedResult(uint64_t magnitude, bool negative, bool overflow) {
  if (overflow) return std::numeric_limits<uint64_t>::max();
  return negative ? uint64_t{0} - magnitude : magnitude;
}

}  // namespace

bool scanUnsignedInGeneral(ScanText& text, uint64_t& value) {
  bool negative = false;
  bool overflow = false;
  size_t limit = std::numeric_limits<size_t>::max();
  uint64_t magnitude = 0;
  if (!readSign(text, negative, limit) || !readMagnitude(text, 10, limit, magnitude, overflow)) return false;
  value = unsignedResult(magnitude, negative, overflow);
  return true;
}

bool scanSignedInGeneral(ScanText& text, int64_t& value) {
  bool negative = false;
  bool overflow = false;
  size_t limit = std::numeric_limits<size_t>::max();
  uint64_t magnitude = 0;
  if (!readSign(text, negative, limit) || !readMagnitude(text, 10, limit, magnitude, overflow)) return false;
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    value = (overflow || magnitude > kMaxPositive + 1) ? std::numeric_limits<int64_t>::min()
                                                      : static_cast<int64_t>(uint64_t{0} - magnitude);
  } else {
    value = (overflow || magnitude > kMaxPositive) ? std::numeric_limits<int64_t>::max()
                                                  : static_cast<int64_t>(magnitude);
  }
  return true;
}

bool scanHex(ScanText& text, uint64_t& value, size_t width) {
  bool negative = false;
  bool overflow = false;
  size_t limit = width == 0 ? std::numeric_limits<size_t>::max() : width;
  uint64_t magnitude = 0;
  if (!readSign(text, negative, limit)) return false;
  // The prefix is taken only when a hex digit follows it inside the width.
  if (limit > 2 && text.end - text.at > 2 && text.at[0] == '0' && (text.at[1] == 'x' || text.at[1] == 'X') &&
      hexDigitValue(text.at[2]) >= 0) {
    text.at += 2;
    limit -= 2;
  }
  if (!readMagnitude(text, 16, limit, magnitude, overflow)) return false;
  value = unsignedResult(magnitude, negative, overflow);
  return true;
}

uint64_t readDigits(ScanText& text) {
  uint64_t magnitude = 0;
  bool overflow = false;
  readMagnitude(text, 10, std::numeric_limits<size_t>::max(), magnitude, overflow);
  return overflow ? std::numeric_limits<uint64_t>::max() : magnitude;
}

}  // namespace qar
