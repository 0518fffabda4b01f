#include "export/html_listing_rows.h"

#include <charconv>
#include <cstdlib>

namespace qar {
namespace {

constexpr std::string_view kSourceSection = "MONITORED SOURCE FILE : ";
constexpr std::string_view kHeaderSection = "MONITORED HEADER FILE : ";
constexpr std::string_view kSummary = "SUMMARY";

// A right-aligned number in columns [from, to): blanks then digits, or
// blanks only. False when anything else stands there.
bool readColumn(std::string_view text, size_t from, size_t to, std::optional<uint32_t>& value) {
  value.reset();
  if (text.size() < to) to = text.size();
  size_t at = from;
  while (at < to && text[at] == ' ') ++at;
  if (at == to) return true;
  uint32_t number = 0;
  auto [end, error] = std::from_chars(text.data() + at, text.data() + to, number);
  if (error != std::errc() || end != text.data() + to) return false;
  value = number;
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
  size_t at = 24;
  while (at < text.size() && text[at] == ' ') ++at;
  size_t digits = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == digits || at < 29) return false;
  auto [end, error] = std::from_chars(text.data() + digits, text.data() + at, row.line);
  if (error != std::errc() || end != text.data() + at) return false;
  row.description.clear();
  if (at < text.size()) {
    if (text[at] != ' ') return false;
    row.description.assign(text.substr(at + 1));
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
  reader.lineHeld = false;
  return reader.file != nullptr;
}

namespace {

bool nextLine(ListingSectionReader& reader) {
  if (reader.file == nullptr) return false;
  ssize_t length = getline(&reader.buffer, &reader.capacity, reader.file);
  if (length < 0) return false;
  size_t size = static_cast<size_t>(length);
  if (size > 0 && reader.buffer[size - 1] == '\n') --size;
  reader.line = std::string_view(reader.buffer, size);
  return true;
}

}  // namespace

bool readListingSection(ListingSectionReader& reader, ListingSection& section) {
  section.size = 0;
  if (!reader.lineHeld) {
    do {
      if (!nextLine(reader)) return false;
    } while (!listingSectionName(reader.line));
  }
  reader.lineHeld = false;
  while (nextLine(reader)) {
    if (listingSectionName(reader.line)) {
      reader.lineHeld = true;
      break;
    }
    if (reader.line == kSummary) break;
    if (section.size == section.rows.size()) section.rows.emplace_back();
    if (parseListingRow(reader.line, section.rows[section.size])) ++section.size;
  }
  return true;
}

void closeListingSections(ListingSectionReader& reader) {
  if (reader.file != nullptr) std::fclose(reader.file);
  reader.file = nullptr;
  std::free(reader.buffer);
  reader.buffer = nullptr;
  reader.capacity = 0;
  reader.lineHeld = false;
}

}  // namespace qar
