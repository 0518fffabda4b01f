// The listing stream: one destination at a time, standard output or a file,
// buffered, with every write checked.
#include "base/posterr.h"
#include "listings/listing_header_state.h"
#include "listings/postlist.h"
#include "base/report_output.h"

namespace qar {
namespace {

ReportOutput& stream() {
  static ReportOutput output;
  return output;
}

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

void resetListingStream() {
  abandonReportOutput(stream());
  resetListingState();
}

}  // namespace qar
