#pragma once
// postlist: the listing writer shared by every text report. It owns the one
// open listing stream, writes the banner box and the header block, assembles
// each report line in a fixed-column line buffer, and turns probes into their
// one-line description texts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/model.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"

namespace qar {

// ---- Listing stream -------------------------------------------------------

// Opens the listing: "-" and "stdout" select standard output (shown as
// "stdout" in messages, never closed), any other name a file created for
// writing (ErrorCode 8, fatal, when it cannot be). Resets the header-list
// first-line flags, blanks the line buffer, sets the nesting level to 0 and
// resets the description state.
// An open listing is closed first.
void openListing(std::string_view name);

// Closes the file (ErrorCode 6, ExitIfFatalCode, when that fails) or, for
// standard output, flushes it; then forgets the destination.
void closeListing();

bool listingIsOpen();

// "stdout" or the file name given to openListing.
const std::string& listingDisplayName();

// Writes text as it is; a failed write is ErrorCode 17, fatal.
void writeListingText(std::string_view text);

// Writes "\n".
void writeListingEmptyLine();

// Drops the stream without any check or message (tests).
void resetListingStream();

// A part of the listing made on its own (a walk split between two
// threads): from beginListingPart on, what the calling thread writes goes
// into memory, with the line buffer, nesting and description state fresh;
// endListingPart gives the text and the length of each write and goes back
// to the listing. writeListingPart writes such a part into the open
// listing (see writeReportPart) and frees it.
void beginListingPart();
void endListingPart(std::string& text, std::vector<uint32_t>& pieces);
void writeListingPart(std::string& text, std::vector<uint32_t>& pieces, bool walkedWell);

// ---- Banner and header block ----------------------------------------------

enum class ListingTitle { ExecutionProfile, UntestedCode, Contents, ExecutionTime };

// The eight-line banner box with `title`, then two empty lines.
void writeListingBanner(ListingTitle title);

// One header line each. The four lists write their label on their first line
// after openListing and the continuation form after that.
void writeSymbolFileLine(std::string_view name, std::string_view stamp);
void writeDataFileLine(std::string_view name, std::string_view stamp);
void writeNoDataFileLine();  // "Data file(s) used     : N.A."
void writeChosenFileLine(std::string_view pattern);
void writeUnchosenFileLine(std::string_view pattern);
void writeProductionTimeLine();  // the time from currentTimeText()
void writeCoverageViewLine(CoverageView view);
void writeExecutionCostTypeLine();  // EXECUTION_COST_TYPE
void writeNoticeCountLines();       // nothing when no notice was issued

// The whole header block, from the database's input-file lists, the options
// and the diagnostics state:
// - coverage listings (-p, -u): files, time, coverage view, empty line, notices;
// - execution time listing: files, time, execution cost type, empty line, notices;
// - contents listing: files (data files only when some were read, no "N.A."
//   line), time, empty line.
enum class HeaderBlockKind { Coverage, Timing, Contents };
void writeHeaderBlock(HeaderBlockKind kind);

// "multicondition", "decision" or "function", with "+inclusive_timing" or
// "+exclusive_timing" appended for timed files.
std::string instrumentationModeText(const InstrumentationMode& mode);

// "\n", the "MONITORED SOURCE/HEADER FILE" line and the
// "INSTRUMENTATION MODE" line.
void writeFileHeader(std::string_view fileName, const InstrumentationMode& mode, bool isHeaderFile);

// The column heading of the coverage listings (with its empty line), the
// heading of the execution time listing (without one), and the separator
// line of 77 "-" followed by an empty line.
void writeColumnHeading();
void writeTimingHeading();
void writeSeparator();

// The summary block; `coverageType` is appended to the TER line as it is
// (it carries its own leading blank when not empty).
void writeSummary(uint32_t sourceFiles, uint32_t headersExtracted, uint32_t functions,
                  unsigned long sourceLines, uint32_t terPercentage, uint32_t coveredItems,
                  uint32_t items, std::string_view coverageType);

// The statement TER line of the summary; the "(N.A. for %u functions)" form
// when `functionsWithoutFigures` is not 0.
void writeStatementSummary(uint32_t percentage, uint32_t hits, uint32_t total,
                           uint32_t functionsWithoutFigures);

// ---- Line buffer ------------------------------------------------------------

inline constexpr size_t kListingLineCells = 4096;

// Copies `text` into the line buffer from 0-based `column` on, stopping at
// the last cell (4095) or at a NUL character.
void putListingText(size_t column, std::string_view text);

// Fields of the coverage listings: hits or TRUE count "%10u" at 0, FALSE
// count "%10u" at 11, marker at 22, source line "%5lu" at 24.
void putHits(uint32_t hits);
void putFalseCount(uint32_t count);
void putMarker(char marker);
void putLineNumber(uint32_t line);

// Fields of the execution time listing: count "%10u" at 0, total "%11d" at
// 10, average "%13.1f" at 21, maximum "%11d" at 34, line "%5lu" at 46,
// "%s()" from 52.
void putExecutionCount(uint32_t count);
void putTotalCost(int32_t total);
void putAverageCost(double average);
void putMaximumCost(int32_t maximum);
void putTimingLineNumber(uint32_t line);
void putTimingFunction(std::string_view name);

// The nesting level used to place the next description.
void setNestingLevel(uint32_t level);
uint32_t nestingLevel();

// Writes the buffer without its trailing blanks, then "\n", and blanks it.
void flushListingLine();

// Blanks the buffer without writing it.
void clearListingLine();

// ---- Descriptions -----------------------------------------------------------

// Places the description of a probe of `kind` with its text (and, for
// combinations 75 and 76, their number) at its column, cut to the listing
// width; adds the reachability marks where they are due.
void describeProbe(uint32_t kind, std::string_view text, uint32_t combinationNumber = 0);

// Places "MC/DC (cond %u): %s" by the same width rule at the current nesting.
void describeMcdc(uint32_t conditionNumber, std::string_view pairList);

// The description without marks, position or truncation (XML report), and
// without trailing blanks; valid until the next call and while `text` is.
std::string_view describeProbePlain(uint32_t kind, std::string_view text);

// Where the reached flags of the reachability marks come from: by default
// the statement analysis's nextReachedFlag, flags in listing order. Tests
// put their own sequence here; asking while a null source is set is an
// internal error.
using ReachedFlagSource = bool (*)();
void setReachedFlagSource(ReachedFlagSource source);

// Description state. Reachability marks are written only while enabled (the
// execution profile listing enables them after openListing) and while the
// current function's statement figures are available.
void enableReachabilityMarks(bool enabled);
void setStatementFiguresAvailable(bool available);
bool statementFiguresAvailable();
void setFinalStatementPassed();
bool finalStatementPassed();
bool functionTryBlockSeen();

// Back to the state after openListing: no marks, figures available, no try
// block seen, final statement not passed.
void resetDescriptionState();

}  // namespace qar
