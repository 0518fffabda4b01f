#pragma once
// Header extraction: the code that sources took from header files moves into
// header MonitoredFiles of its own, one per header, with the counters of all
// sources that included the same header code merged.

#include "selection/header_lines.h"

namespace qar {

// Runs once per run on the prepared CoverageDatabase (every description line
// holds its counter values). For each source, in list order, moves every
// stretch opened by an entry record naming another file into the header
// MonitoredFile of that name (created before the source on first sight),
// adds one "#include" line per header taken out, raises Notice 10 where a
// source's header code differs from what was extracted before, and finally
// thins out the line records left in every source.
void extractHeaders();

// The preparation pass and extractHeaders together, with every output,
// notice and error as when one follows the other. On a database large
// enough for the pass to be shared with a second thread, the run's thread
// extracts each source as soon as it is prepared and prepares files itself
// when it would otherwise wait; the notices of extraction (and any error it
// meets) are held back until every file is prepared without error.
void prepareCountersAndExtractHeaders();

}  // namespace qar
