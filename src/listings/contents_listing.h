#pragma once
// The contents listing (-l, -L): what the input files describe.
#include "cmdline/postcmdl.h"

namespace qar {

// Writes the body of the contents listing (the dispatcher has written the
// banner and header block); `kind` ContentsWithCounters adds counter lines.
void writeContentsListing(ReportKind kind, bool anySymbolFile, bool anyDataFile);

}  // namespace qar
