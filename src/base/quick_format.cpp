#include "base/quick_format.h"

#include <cstdio>
#include <cstring>

namespace qar {
namespace {

// Writes the digits of `value` backwards from `end`; returns where they start.
char* decimalDigits(uint64_t value, char* end) {
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return end;
}

void appendPadded(std::string& out, const char* digits, size_t length, bool negative, unsigned width) {
  size_t size = length + (negative ? 1 : 0);
  if (width > size) out.append(width - size, ' ');
  if (negative) out.push_back('-');
  out.append(digits, length);
}

}  // namespace

void appendUnsigned(std::string& out, uint64_t value, unsigned width) {
  char buffer[20];
  char* end = buffer + sizeof buffer;
  char* start = decimalDigits(value, end);
  appendPadded(out, start, static_cast<size_t>(end - start), false, width);
}

void appendSigned(std::string& out, int64_t value, unsigned width) {
  char buffer[20];
  char* end = buffer + sizeof buffer;
  const bool negative = value < 0;
  // The magnitude in unsigned arithmetic, which also holds that of INT64_MIN.
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* start = decimalDigits(magnitude, end);
  appendPadded(out, start, static_cast<size_t>(end - start), negative, width);
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
