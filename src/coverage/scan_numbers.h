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
void skipScanSpace(ScanText& text);

// %u, %lu: decimal, unsigned long semantics.
bool scanUnsigned(ScanText& text, uint64_t& value);

// %d, %lld: decimal, signed long semantics.
bool scanSigned(ScanText& text, int64_t& value);

// %x, %X: hexadecimal with optional "0x" prefix; `width` limits the characters
// read after the white space (sign and prefix included), 0 meaning no limit.
bool scanHex(ScanText& text, uint64_t& value, size_t width);

// Reads a run of decimal digits (no sign, no white space), saturating.
uint64_t readDigits(ScanText& text);

}  // namespace qar
