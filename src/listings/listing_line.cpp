// The fixed-column line buffer of the listings. Values are formatted and
// copied in without a terminator, so a value wider than its field runs into
// the cells that follow.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "listings/listing_cells.h"
#include "listings/postlist.h"
#include "base/quick_format.h"

namespace qar {
namespace {

struct ListingLine {
  char cells[kListingLineCells + 1];  // one more for the line end on writing
  size_t used = 0;  // cells past this one are known to be blank
  uint32_t nesting = 0;
  ListingLine() { std::memset(cells, ' ', sizeof cells); }
};

ListingLine& line() {
  static thread_local ListingLine buffer;
  return buffer;
}

template <typename... Values>
void putFormatted(size_t column, const char* format, Values... values) {
  // Wide enough for any "%13.1f" of a double.
  char scratch[400];
  int length = std::snprintf(scratch, sizeof scratch, format, values...);
  if (length < 0) return;
  size_t size = static_cast<size_t>(length) < sizeof scratch ? static_cast<size_t>(length) : sizeof scratch - 1;
  putListingText(column, std::string_view(scratch, size));
}

// "00" to "99": two digits per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The largest value of `width` digits, for the widths of the number cells.
constexpr uint64_t largestOfWidth(unsigned width) {
  uint64_t largest = 9;
  for (unsigned digit = 1; digit < width; ++digit) largest = largest * 10 + 9;
  return largest;
}

// "%<width>u" and "%<width>d" of the number cells, which every line has. A
// value that fits its field is written straight into its cells, blanks
// first; a wider one runs into the cells after the field, as text does.
template <unsigned width>
void putUnsigned(size_t column, uint32_t value) {
  static_assert(width >= 1 && width <= 10);
  if (width < 10 && value > largestOfWidth(width)) {
    char field[kNumberFieldSize];
    putListingText(column, formatUnsignedField(field, value, width));
    return;
  }
  ListingLine& buffer = line();
  char* const start = buffer.cells + column;
  // Blanks over the whole field first (a fixed size: no call), then the
  // digits over their end.
  std::memset(start, ' ', width);
  char* at = start + width;
  while (value >= 100) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * value, 2);
  } else {
    *--at = static_cast<char>('0' + value);
  }
  buffer.used = std::max(buffer.used, column + width);
}

void putSigned(size_t column, int64_t value, unsigned width) {
  static thread_local std::string scratch;
  scratch.clear();
  appendSigned(scratch, value, width);
  putListingText(column, scratch);
}

}  // namespace

void putListingText(size_t column, std::string_view text) {
  if (column >= kListingLineCells) return;
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
  }
  size_t count = std::min(text.size(), kListingLineCells - column);
  ListingLine& buffer = line();
  std::memcpy(buffer.cells + column, text.data(), count);
  buffer.used = std::max(buffer.used, column + count);
}

char* listingCells() { return line().cells; }

void noteListingCellsUsed(size_t end) {
  ListingLine& buffer = line();
  buffer.used = std::max(buffer.used, end);
}

void putHits(uint32_t hits) { putUnsigned<10>(0, hits); }
void putFalseCount(uint32_t count) { putUnsigned<10>(11, count); }
void putMarker(char marker) {
  if (marker == '\0') return;  // as text, a NUL ends it
  ListingLine& buffer = line();
  constexpr size_t kColumn = 22;
  buffer.cells[kColumn] = marker;
  buffer.used = std::max(buffer.used, kColumn + 1);
}
void putLineNumber(uint32_t lineNumber) { putUnsigned<5>(24, lineNumber); }

void putExecutionCount(uint32_t count) { putUnsigned<10>(0, count); }
void putTotalCost(int32_t total) { putSigned(10, total, 11); }
void putAverageCost(double average) { putFormatted(21, "%13.1f", average); }
void putMaximumCost(int32_t maximum) { putSigned(34, maximum, 11); }
void putTimingLineNumber(uint32_t lineNumber) { putUnsigned<5>(46, lineNumber); }
void putTimingFunction(std::string_view name) {
  constexpr size_t kColumn = 52;
  putListingText(kColumn, name);
  if (name.find('\0') == std::string_view::npos) putListingText(kColumn + name.size(), "()");
}

void setNestingLevel(uint32_t level) { line().nesting = level; }
uint32_t nestingLevel() { return line().nesting; }

void flushListingLine() {
  ListingLine& buffer = line();
  size_t end = buffer.used;
  while (end > 0 && buffer.cells[end - 1] == ' ') --end;
  buffer.cells[end] = '\n';
  writeListingText(std::string_view(buffer.cells, end + 1));
  clearListingLine();
}

void clearListingLine() {
  ListingLine& buffer = line();
  // The line-end cell is included: it may hold the last "\n".
  std::memset(buffer.cells, ' ', std::min(buffer.used + 1, sizeof buffer.cells));
  buffer.used = 0;
}

}  // namespace qar
