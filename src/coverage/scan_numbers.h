#pragma once
// Reading numbers out of description lines the way the C library's formatted
// input does on a 64-bit system, without its per-call cost: a conversion
// skips leading white space, accepts one sign, needs at least one digit,
// reads into 64 bits (strtoul / strtoll rules: a negative unsigned value
// wraps, an overflow saturates) and the caller cuts the value to the width
// of its field.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qar {

struct ScanText {
  const char* at;
  const char* end;
  explicit ScanText(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}
  std::string_view rest() const { return std::string_view(at, static_cast<size_t>(end - at)); }
};

inline bool isScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// A blank in a format: any run of white space, also none.
inline void skipScanSpace(ScanText& text) {
  while (text.at < text.end && isScanSpace(*text.at)) ++text.at;
}

// The general conversions behind scanUnsigned and scanSigned.
bool scanUnsignedInGeneral(ScanText& text, uint64_t& value);
bool scanSignedInGeneral(ScanText& text, int64_t& value);

// The form nearly every number of a description line has: at most one
// blank, then at most 18 digits that end the number. 18 digits cannot
// overflow either conversion; anything else takes the general way.
inline bool scanPlainDecimal(ScanText& text, uint64_t& value) {
  const char* at = text.at;
  if (at < text.end && *at == ' ') ++at;
  const char* digitsEnd = text.end - at > 18 ? at + 18 : text.end;
  const char* start = at;
  uint64_t magnitude = 0;
  while (at < digitsEnd && isDecimalDigit(*at)) magnitude = magnitude * 10 + static_cast<uint64_t>(*at++ - '0');
  if (at == start || (at < text.end && isDecimalDigit(*at))) return false;
  text.at = at;
  value = magnitude;
  return true;
}

// %u, %lu: decimal, unsigned long semantics.
inline bool scanUnsigned(ScanText& text, uint64_t& value) {
  return scanPlainDecimal(text, value) || scanUnsignedInGeneral(text, value);
}

// %d, %lld: decimal, signed long semantics.
inline bool scanSigned(ScanText& text, int64_t& value) {
  uint64_t magnitude = 0;
  if (scanPlainDecimal(text, magnitude)) {
    value = static_cast<int64_t>(magnitude);
    return true;
  }
  return scanSignedInGeneral(text, value);
}

// %x, %X: hexadecimal with optional "0x" prefix; `width` limits the characters
// read after the white space (sign and prefix included), 0 meaning no limit.
bool scanHex(ScanText& text, uint64_t& value, size_t width);

// Reads a run of decimal digits (no sign, no white space), saturating.
uint64_t readDigits(ScanText& text);

}  // namespace qar
