#pragma once
// The cells of the listing line buffer, for text put together in place
// (descriptions) instead of in a string that is then copied.
#include <cstddef>

namespace qar {

// The first of the line buffer's kListingLineCells cells.
char* listingCells();

// The cells up to `end` (exclusive) may now hold text: they are trimmed and
// blanked with the line.
void noteListingCellsUsed(size_t end);

}  // namespace qar
