#pragma once
// Formatting of the few conversions the reports write for every record,
// byte for byte as the C library's printf writes them, without its general
// machinery (which was a tenth of a report run).
#include <cstdarg>
#include <cstdint>
#include <string>

namespace qar {

// Appends `value` in decimal, right-aligned in `width` characters (wider
// values take the room they need), as "%<width>u" / "%<width>d" do.
void appendUnsigned(std::string& out, uint64_t value, unsigned width = 0);
void appendSigned(std::string& out, int64_t value, unsigned width = 0);

// Appends `format` with its conversions: "%s" (a null pointer as "(null)"),
// "%u", "%d", "%08x", "%.1f" and "%%". Any other conversion is a mistake of
// the caller and gives false, with `out` as far as it got.
bool appendFormattedV(std::string& out, const char* format, va_list args);

}  // namespace qar
