#include "base/quick_format.h"

#include <cstdio>
#include <cstring>

namespace qar {
namespace {

// "00" to "99": two digits per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of `value` backwards from `end`; returns where they start.
char* decimalDigits(uint64_t value, char* end) {
  while (value >= 100) {
    const uint64_t pair = value % 100;
    value /= 100;
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * pair, 2);
  }
  if (value >= 10) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * value, 2);
  } else {
    *--end = static_cast<char>('0' + value);
  }
  return end;
}

// The sign and the blanks go into the buffer before the digits; returns
// where the field starts, or nullptr when the blanks do not fit in front.
char* padField(char* digits, const char* bufferStart, const char* end, bool negative, unsigned width) {
  if (negative) *--digits = '-';
  const size_t size = static_cast<size_t>(end - digits);
  if (width <= size) return digits;
  const size_t pad = width - size;
  if (static_cast<size_t>(digits - bufferStart) < pad) return nullptr;
  digits -= pad;
  std::memset(digits, ' ', pad);
  return digits;
}

// The whole field appended at once; blanks beyond the buffer's room first.
void appendPadded(std::string& out, char* digits, char* bufferStart, char* end, bool negative, unsigned width) {
  if (char* field = padField(digits, bufferStart, end, negative, width)) {
    out.append(field, static_cast<size_t>(end - field));
    return;
  }
  if (negative) *--digits = '-';
  out.append(width - static_cast<size_t>(end - digits), ' ');
  out.append(digits, static_cast<size_t>(end - digits));
}

}  // namespace

void appendUnsigned(std::string& out, uint64_t value, unsigned width) {
  char buffer[kNumberFieldSize];
  char* end = buffer + sizeof buffer;
  appendPadded(out, decimalDigits(value, end), buffer, end, false, width);
}

char* putDecimal(char* at, uint64_t value) {
  if (value < 10) {
    *at = static_cast<char>('0' + value);
    return at + 1;
  }
  // The digits are counted first so that they go straight to their place.
  size_t count = 2;
  for (uint64_t rest = value / 100; rest != 0; rest /= 10) ++count;
  char* const end = at + count;
  decimalDigits(value, end);
  return end;
}

void appendSigned(std::string& out, int64_t value, unsigned width) {
  char buffer[kNumberFieldSize];
  char* end = buffer + sizeof buffer;
  const bool negative = value < 0;
  // The magnitude in unsigned arithmetic, which also holds that of INT64_MIN.
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  appendPadded(out, decimalDigits(magnitude, end), buffer, end, negative, width);
}

std::string_view formatUnsignedField(char (&field)[kNumberFieldSize], uint64_t value, unsigned width) {
  char* end = field + kNumberFieldSize;
  char* digits = decimalDigits(value, end);
  char* start = padField(digits, field, end, false, width);
  if (start == nullptr) start = field;  // as many blanks as there is room for
  std::memset(start, ' ', static_cast<size_t>(digits - start));
  return std::string_view(start, static_cast<size_t>(end - start));
}

bool appendFormattedV(std::string& out, const char* format, va_list args) {
  static const char kHexDigits[] = "0123456789abcdef";
  const char* at = format;
  for (;;) {
    const char* percent = std::strchr(at, '%');
    if (percent == nullptr) {
      out.append(at);
      return true;
    }
    out.append(at, static_cast<size_t>(percent - at));
    const char* conversion = percent + 1;
    if (conversion[0] == 's') {
      const char* text = va_arg(args, const char*);
      out.append(text != nullptr ? text : "(null)");
      at = conversion + 1;
    } else if (conversion[0] == 'u') {
      appendUnsigned(out, va_arg(args, unsigned));
      at = conversion + 1;
    } else if (conversion[0] == 'd') {
      appendSigned(out, va_arg(args, int));
      at = conversion + 1;
    } else if (conversion[0] == '%') {
      out.push_back('%');
      at = conversion + 1;
    } else if (std::strncmp(conversion, "08x", 3) == 0) {
      unsigned value = va_arg(args, unsigned);
      for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHexDigits[(value >> shift) & 0xF]);
      at = conversion + 3;
    } else if (std::strncmp(conversion, ".1f", 3) == 0) {
      char buffer[400];
      int length = std::snprintf(buffer, sizeof buffer, "%.1f", va_arg(args, double));
      if (length > 0) out.append(buffer, static_cast<size_t>(length) < sizeof buffer ? static_cast<size_t>(length)
                                                                                         : sizeof buffer - 1);
      at = conversion + 3;
    } else {
      return false;
    }
  }
}

}  // namespace qar
