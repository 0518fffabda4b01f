#pragma once
// Loading and merging: which files a run reads, building the CoverageDatabase
// from them, and the preparation pass.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/model.h"

namespace qar {

// How data blocks are merged by readDataFile.
enum class LoadingMode { Report, ContentsListing, Adding };

// Checks the header of every input file and fills symbolFilesRead and
// dataFilesRead; derives names and uses MON.sym / MON.dat unless
// `contentsOnly` (-l, -L) is set.
void loadInputFiles(const std::optional<std::vector<std::string>>& symbolFiles,
                    const std::optional<std::vector<std::string>>& dataFiles, bool contentsOnly);

// Reads the symbol files read into MonitoredFiles (in contents-listing mode
// only when there are any), then every data file read, in order.
void buildCoverageDatabase(bool contentsOnly);

// Reads all blocks of one data file and merges them in `mode`: attached to
// the MonitoredFiles (Report) or listed (ContentsListing). Adding keeps its
// own add list and reads its blocks itself (adding.h).
void readDataFile(std::string_view fileName, LoadingMode mode);

// Settles two descriptions of one file when `completed` (the last
// MonitoredFile) has just got its count line while reading `symbolFileName`.
void resolveDuplicateDescription(std::string_view symbolFileName);

// Adds the counters of `block` into `into`: counts saturate, time totals
// wrap, time maxima keep the larger signed value.
void addCounters(CounterArrays& into, const CounterArrays& block);
// The same with the block's arrays as a data file holds them, one after
// another, by `sizes` (see readCounterBlockWords).
void addCounterWords(CounterArrays& into, const CounterSizes& sizes, const uint32_t* words);

// The preparation pass: copies every record's counters into its line.
void prepareCounters();

// Removes every MonitoredFile without counter data (-onlycf).
void dropFilesWithoutCounters();

// Removes every MonitoredFile whose name matches a -nf pattern.
void dropUnchosenFiles();

}  // namespace qar
