#pragma once
// Formatting of the few conversions the reports write for every record,
// byte for byte as the C library's printf writes them, without its general
// machinery (which was a tenth of a report run).
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace qar {

// Appends `value` in decimal, right-aligned in `width` characters (wider
// values take the room they need), as "%<width>u" / "%<width>d" do.
void appendUnsigned(std::string& out, uint64_t value, unsigned width = 0);
void appendSigned(std::string& out, int64_t value, unsigned width = 0);

// Writes `value` in decimal at `at` (at most 20 characters) and returns the
// end: for text put together with a plain pointer.
char* putDecimal(char* at, uint64_t value);

// Room for "%<width>u" of any value with a width up to 27.
inline constexpr size_t kNumberFieldSize = 48;

// "%<width>u" of `value` written at the end of `field`, for the number cells
// of the listings that take it as it is; a wider width gives only as many
// blanks as the field has room for.
std::string_view formatUnsignedField(char (&field)[kNumberFieldSize], uint64_t value, unsigned width);

// Appends `format` with its conversions: "%s" (a null pointer as "(null)"),
// "%u", "%d", "%08x", "%.1f" and "%%". Any other conversion is a mistake of
// the caller and gives false, with `out` as far as it got.
bool appendFormattedV(std::string& out, const char* format, va_list args);

}  // namespace qar
