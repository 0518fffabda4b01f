#pragma once
// The output stream of the XML report: standard output or a file, buffered,
// with every write checked. One document is open at a time.
#include <string>
#include <string_view>

namespace qar {

// "-" and "stdout" select standard output (named "stdout" in messages and
// never closed); any other name is a file created or truncated for writing
// (ErrorCode 8, fatal, when it cannot be).
void openXmlOutput(std::string_view name);

// Writes the document into the file open for writing on `descriptor`
// (closed by closeXmlOutput), naming it `displayName` in messages.
void openXmlOutputOn(int descriptor, std::string_view displayName);

// Flushes what is buffered (ErrorCode 17 when that fails) and closes the
// file (ErrorCode 6, ExitIfFatalCode, when that fails); standard output is
// only flushed. Forgets the destination.
void closeXmlOutput();

// "stdout" or the file name given to openXmlOutput.
const std::string& xmlOutputName();

// Writes text as it stands; a failed write is ErrorCode 17, fatal.
void writeXml(std::string_view text);

// A formatted write, checked like writeXml.
void printXml(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Drops the stream without any check or message (tests).
void resetXmlOutput();

}  // namespace qar
