// The listing stream: one destination at a time, standard output or a file,
// buffered, with every write checked.
#include "base/posterr.h"
#include "listings/listing_header_state.h"
#include "listings/postlist.h"
#include "base/report_output.h"

namespace qar {
namespace {

ReportOutput& fileStream() {
  static ReportOutput output;
  return output;
}

// A thread making a part of the listing writes it into memory.
ReportOutput& partStream() {
  static thread_local ReportOutput output;
  return output;
}
thread_local bool makingPart = false;

ReportOutput& stream() { return makingPart ? partStream() : fileStream(); }

// A new listing starts with blank line cells and fresh header and
// description state.
void resetListingState() {
  resetHeaderListFlags();
  clearListingLine();
  setNestingLevel(0);
  resetDescriptionState();
}

}  // namespace

void openListing(std::string_view name) {
  if (listingIsOpen()) closeListing();
  openReportOutput(stream(), name);
  resetListingState();
}

void closeListing() { closeReportOutput(stream()); }

bool listingIsOpen() { return stream().open; }

const std::string& listingDisplayName() { return stream().displayName; }

void writeListingText(std::string_view text) {
  if (!stream().open) failInternal("postlist", 101);
  writeReportOutput(stream(), text);
}

void writeListingEmptyLine() { writeListingText("\n"); }

void beginListingPart() {
  openReportOutputInMemory(partStream());
  makingPart = true;
  resetListingState();
}

void endListingPart(std::string& text, std::vector<uint32_t>& pieces) {
  ReportOutput& part = partStream();
  text.swap(part.buffer);
  pieces.swap(part.pieces);
  abandonReportOutput(part);
  makingPart = false;
}

void writeListingPart(std::string& text, std::vector<uint32_t>& pieces, bool walkedWell) {
  if (!fileStream().open) failInternal("postlist", 101);
  writeReportPart(fileStream(), text, pieces, walkedWell);
}

void resetListingStream() {
  abandonReportOutput(stream());
  resetListingState();
}

}  // namespace qar
