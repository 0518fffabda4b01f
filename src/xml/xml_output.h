#pragma once
// The output stream of the XML report: standard output or a file, buffered,
// with every write checked. One document is open at a time.
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

namespace qar {

// "-" and "stdout" select standard output (named "stdout" in messages and
// never closed); any other name is a file created or truncated for writing
// (ErrorCode 8, fatal, when it cannot be).
void openXmlOutput(std::string_view name);

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

// A part of the report made on its own (a walk split between two
// threads): from beginXmlPart on, what the calling thread writes goes into
// memory; endXmlPart gives the text and the length of each write and goes
// back to the document. writeXmlPart writes such a part into the open
// document (see writeReportPart) and frees it.
void beginXmlPart();
void endXmlPart(std::string& text, std::vector<uint32_t>& pieces);
void writeXmlPart(std::string& text, std::vector<uint32_t>& pieces, bool walkedWell);

// Drops the stream without any check or message (tests).
void resetXmlOutput();

}  // namespace qar
