#pragma once
// postsym: reading symbol files into MonitoredFiles and writing them back.
#include <string>
#include <string_view>

#include "coverage/loading.h"

namespace qar {

inline constexpr std::string_view kSymbolFileMagic = "Tarvo sym 9";
inline constexpr std::string_view kSymbolFileTerminator = "END OF SYMBOLFILE";

// Opens `fileName` (closing a symbol file still open), checks its magic line
// and reads its stamp line, leaving the file positioned after the stamp.
// Returns the stamp, which stays the current stamp until the next call.
// Every error is fatal: 14 cannot open, 3 bad magic, 5 no stamp line,
// 16 read error before the stamp (a directory).
const std::string& openSymbolFile(std::string_view fileName);

// Closes the open symbol file; a failing close is ErrorCode 6 and ends the
// run. A symbol file that is not a regular file (a FIFO, a pipe) is first
// read to its end and kept for its next opening; a failing read there is
// ErrorCode 16.
void closeSymbolFile();

// The name given to the last openSymbolFile, and the stamp read from it.
const std::string& currentSymbolFileName();
const std::string& currentSymbolFileStamp();

// Reads every file of database().symbolFilesRead, in order, into
// monitoredFiles. The block being filled carries over from one file to the
// next. -nf deselects blocks only in ContentsListing and Adding mode;
// duplicates are resolved except in ContentsListing mode, which keeps no
// description lines either (the files keep what their name, info and count
// lines say).
void readSymbolFiles(LoadingMode mode);

// Handles one kept line (not blank, trailing blanks removed) of the symbol
// file `symbolFileName`: extends, starts or skips the current block. The
// lines of a block reach its MonitoredFile at its count line, at the next
// name line, or when readSymbolFiles or resetSymbolBlockState ends.
void handleSymbolLine(std::string_view line, std::string_view symbolFileName, LoadingMode mode);

// Forgets the block being filled (the next lines before a name line are
// errors) and its deselection.
void resetSymbolBlockState();

// Writes all MonitoredFiles' lines as a symbol file stamped with the current
// time; errors 8, 17 and 6 are fatal.
void writeSymbolFile(std::string_view targetName);

// Closes a file still open and forgets names and block state (tests).
void resetSymbolFileState();

}  // namespace qar
