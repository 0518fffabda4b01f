#include "export/html/html_listing_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qar {
namespace {

constexpr std::string_view kSourceSection = "MONITORED SOURCE FILE : ";
constexpr std::string_view kHeaderSection = "MONITORED HEADER FILE : ";
constexpr std::string_view kSummary = "SUMMARY";

// The first column from `from` on before `to` that is not blank: most of a
// row's number columns are blanks, passed eight at a time.
size_t skipBlanks(std::string_view text, size_t from, size_t to) {
  constexpr uint64_t kBlanks = 0x2020202020202020;
  size_t at = from;
  for (uint64_t eight = 0; at + 8 <= to; at += 8) {
    std::memcpy(&eight, text.data() + at, 8);
    if (eight != kBlanks) break;
  }
  while (at < to && text[at] == ' ') ++at;
  return at;
}

// A right-aligned number in columns [from, to): blanks then digits, or
// blanks only. False when anything else stands there or the number does
// not fit. The columns hold ten characters at most, so the number cannot
// overflow on the way.
bool readColumn(std::string_view text, size_t from, size_t to, std::optional<uint32_t>& value) {
  value.reset();
  if (text.size() < to) to = text.size();
  size_t at = skipBlanks(text, from, to);
  if (at == to) return true;
  uint64_t number = 0;
  for (; at < to; ++at) {
    const unsigned digit = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    if (digit > 9) return false;
    number = number * 10 + digit;
  }
  if (number > UINT32_MAX) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool blankAt(std::string_view text, size_t at) { return at >= text.size() || text[at] == ' '; }

}  // namespace

bool parseListingRow(std::string_view text, ListingRow& row) {
  // Columns: hits 0-9, FALSE 11-20, marker 22, line 24-28 (a longer number
  // runs on), description from 30.
  if (text.size() < 25) return false;
  if (!readColumn(text, 0, 10, row.hits) || !blankAt(text, 10)) return false;
  if (!readColumn(text, 11, 21, row.falseCount) || !blankAt(text, 21)) return false;
  if (text[22] != ' ' && text[22] != '-') return false;
  row.missed = text[22] == '-';
  if (!blankAt(text, 23)) return false;
  size_t at = skipBlanks(text, 24, text.size());
  const size_t digits = at;
  uint64_t line = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    line = line * 10 + static_cast<unsigned>(text[at] - '0');
    if (line > UINT32_MAX) return false;
  }
  if (at == digits || at < 29) return false;
  row.line = static_cast<uint32_t>(line);
  row.description = {};
  if (at < text.size()) {
    if (text[at] != ' ') return false;
    row.description = text.substr(at + 1);
  }
  return true;
}

std::optional<std::string_view> listingSectionName(std::string_view text) {
  if (text.starts_with(kSourceSection)) return text.substr(kSourceSection.size());
  if (text.starts_with(kHeaderSection)) return text.substr(kHeaderSection.size());
  return std::nullopt;
}

ListingSectionReader::~ListingSectionReader() { closeListingSections(*this); }

bool openListingSections(ListingSectionReader& reader, const std::string& name) {
  closeListingSections(reader);
  reader.file = std::fopen(name.c_str(), "rb");
  return reader.file != nullptr;
}

namespace {

constexpr size_t kListingBlock = 1 << 18;

// The next line, without its line end; false at the end of the file.
bool nextLine(ListingSectionReader& reader) {
  if (reader.file == nullptr) return false;
  for (;;) {
    const char* start = reader.block.get() + reader.at;
    const size_t left = reader.size - reader.at;
    if (const void* end = left > 0 ? std::memchr(start, '\n', left) : nullptr) {
      const size_t size = static_cast<size_t>(static_cast<const char*>(end) - start);
      reader.line = std::string_view(start, size);
      reader.at += size + 1;
      return true;
    }
    if (reader.ended) {
      if (left == 0) return false;
      reader.line = std::string_view(start, left);
      reader.at = reader.size;
      return true;
    }
    // The part of a line left at the block's end moves to its front; a
    // line longer than a block makes room for more.
    if (left + kListingBlock > reader.capacity) {
      reader.capacity = std::max(2 * kListingBlock, 2 * left);
      auto larger = std::make_unique_for_overwrite<char[]>(reader.capacity);
      if (left > 0) std::memcpy(larger.get(), start, left);
      reader.block = std::move(larger);
    } else if (left > 0) {
      std::memmove(reader.block.get(), start, left);
    }
    reader.at = 0;
    const size_t got = std::fread(reader.block.get() + left, 1, kListingBlock, reader.file);
    reader.size = left + got;
    if (got < kListingBlock) reader.ended = true;
  }
}

}  // namespace

bool readListingSection(ListingSectionReader& reader, ListingSection& section) {
  const bool read = readListingSectionLines(reader, section);
  readListingRows(section);
  return read;
}

bool readListingSectionLines(ListingSectionReader& reader, ListingSection& section) {
  section.size = 0;
  section.rowsRead = false;
  section.text.clear();
  section.lineEnds.clear();
  if (!reader.lineHeld) {
    do {
      if (!nextLine(reader)) return false;
    } while (!listingSectionName(reader.line));
  }
  reader.lineHeld = false;
  // The section's lines are copied first, each with its line end, and read
  // from the copy once it is complete, where the rows' descriptions stay.
  std::vector<char>& text = section.text;
  std::vector<size_t>& lineEnds = section.lineEnds;
  while (nextLine(reader)) {
    if (listingSectionName(reader.line)) {
      reader.lineHeld = true;
      break;
    }
    if (reader.line == kSummary) break;
    text.insert(text.end(), reader.line.begin(), reader.line.end());
    lineEnds.push_back(text.size());
  }
  return true;
}

void readListingRows(ListingSection& section) {
  if (section.rowsRead) return;
  section.rowsRead = true;
  section.size = 0;
  const std::vector<char>& text = section.text;
  size_t start = 0;
  for (const size_t end : section.lineEnds) {
    if (section.size == section.rows.size()) section.rows.emplace_back();
    if (parseListingRow(std::string_view(text.data() + start, end - start), section.rows[section.size])) {
      ++section.size;
    }
    start = end;
  }
}

void closeListingSections(ListingSectionReader& reader) {
  if (reader.file != nullptr) std::fclose(reader.file);
  reader.file = nullptr;
  reader.line = {};
  reader.lineHeld = false;
  reader.block.reset();
  reader.capacity = 0;
  reader.size = 0;
  reader.at = 0;
  reader.ended = false;
}

}  // namespace qar
