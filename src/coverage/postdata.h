#pragma once
// postdata: reading and writing data files (binary counter blocks).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/model.h"
#include "base/posterr.h"

namespace qar {

// The stamp kept when a data file's header cannot be read.
inline constexpr const char* kUnavailableStamp = "<not available or bad identification stamp>";

// Opens the file, checks its header, closes it; returns the 24-character stamp.
// Every error is fatal; a read that fails is ErrorCode 16 (a directory). A
// file that is not a regular file (a FIFO, a pipe) is read to its end and
// kept for its next opening.
std::string readDataFileHeader(std::string_view fileName);

// readDataFileHeader of a file that may be missing: nothing, silently, when
// it cannot be opened; otherwise every error is fatal.
std::optional<std::string> readDataFileHeaderIfPresent(std::string_view fileName);

// Opens the file for reading blocks (closing one still open), checks the
// header and returns the block count. Every error is fatal.
uint32_t openDataFile(std::string_view fileName);

// Reads the next block with its arrays; every error is fatal.
void readCounterBlock(CounterArrays& block);

// Reads the next block's words and name and skips its arrays. An error is
// reported without ending the run and returned; the caller then stops
// reading this file. kNoError on success.
ErrorCode readBlockHeader(CounterArrays& blockHeader);

// Closes the open data file; a failing close is fatal.
void closeDataFile();

// The name given to the last open and the stamp read from it.
const std::string& currentDataFileName();
const std::string& currentDataFileStamp();

// Writes a complete data file holding `blocks` in order; errors are fatal.
void writeDataFile(std::string_view targetName, const std::vector<const CounterArrays*>& blocks);

// Forgets the open file and the current name and stamp (tests).
void resetDataFileState();

}  // namespace qar
