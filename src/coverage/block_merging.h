#pragma once
// Merging a data block into the database in a report run, shared by reading
// the data files in turn and settling what a second thread read (loading.cpp).
#include <cstdint>
#include <string>
#include <string_view>

#include "coverage/model.h"

namespace qar {

// How a block of counter data fits the files described: the one decision
// behind adding it to a file's counters or raising its notice.
enum class BlockFit { UnknownFile, Fits, SizesDiffer, OtherInstrumentation };
BlockFit blockFit(const MonitoredFile* file, uint32_t fingerprint, const CounterSizes& sizes);

// The notice of a block that does not fit `file` (none for an unknown file
// when files are chosen with -f or -nf).
void noticeUnfitBlock(BlockFit fit, const MonitoredFile* file, std::string_view blockName, int64_t blockTime,
                      std::string_view dataFileName);

// Reads the next `blocks` blocks of the open data file `fileName` and
// merges them as readDataFile does in a report run, then closes it.
void mergeRemainingBlocks(uint32_t blocks, const std::string& fileName);

}  // namespace qar
