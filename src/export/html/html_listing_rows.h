#pragma once
// The rows of the execution profile listing, read back file by file.
//
// The HTML report shows, for every file, what the profile listing shows:
// its rows in the listing's order when the source is not found, and the
// rows standing on each source line below that line when it is. Rather than
// a second implementation of the listing's rules (pending function and
// decision lines, line records, combination numbers, MC/DC pairs,
// reachability marks of block ends, the views), the report has the listing
// writer itself write the listing once into a temporary file and reads its
// file sections back as the walk reaches each file. Both walk the database
// through the same record reader, so the sections come in the walk's order.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// One listing line with a line number: HITS/TRUE, FALSE, marker, LINE and
// DESCRIPTION (with its indentation).
struct ListingRow {
  std::optional<uint32_t> hits;  // the HITS/TRUE column
  std::optional<uint32_t> falseCount;
  bool missed = false;  // the "-" marker
  uint32_t line = 0;
  std::string_view description;  // in the text the row was read from
};

// Reads one listing line into `row`, its description a part of `text`;
// false for the other lines (headings, TER and statement lines, separators,
// include texts, empty lines), which leave `row` in an unspecified state.
bool parseListingRow(std::string_view text, ListingRow& row);

// The rows of one file section, their descriptions in the section's own
// copy of its lines (moving or swapping a section keeps them valid). Both
// only grow, so that they keep their storage from one file to the next.
struct ListingSection {
  std::vector<ListingRow> rows;
  size_t size = 0;
  std::vector<char> text;
  std::vector<size_t> lineEnds;  // where each line of `text` ends
  bool rowsRead = false;         // `rows` are those of `text`
  const ListingRow* begin() const { return rows.data(); }
  const ListingRow* end() const { return rows.data() + size; }
};

// The name of a "MONITORED SOURCE FILE : " or "MONITORED HEADER FILE : "
// line; nullopt for any other line.
std::optional<std::string_view> listingSectionName(std::string_view text);

// Reads a listing file section by section, in large blocks.
struct ListingSectionReader {
  std::FILE* file = nullptr;
  std::string_view line;  // the line last read, in `block`
  bool lineHeld = false;  // `line` is a section start not yet used
  // Text read and not yet passed: [at, size) of `block`, which holds
  // `capacity` bytes.
  std::unique_ptr<char[]> block;
  size_t capacity = 0;
  size_t size = 0;
  size_t at = 0;
  bool ended = false;  // the file has no more text than `block`
  ~ListingSectionReader();
};

// Opens `name` for reading; false when it cannot be.
bool openListingSections(ListingSectionReader& reader, const std::string& name);

// The rows of the next file section; false when there is none left.
bool readListingSection(ListingSectionReader& reader, ListingSection& section);

// The same in two steps, so that the rows can be read from the lines on
// another thread: the lines of the next file section (none, and false,
// when there is none left), then their rows (once; again does nothing).
bool readListingSectionLines(ListingSectionReader& reader, ListingSection& section);
void readListingRows(ListingSection& section);

void closeListingSections(ListingSectionReader& reader);

}  // namespace qar
