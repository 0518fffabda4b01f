#pragma once
// The page of one file of the HTML report.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/output/export_stream.h"
#include "export/html/html_baseline.h"
#include "export/html/html_listing_rows.h"
#include "export/html/html_mcdc.h"
#include "export/html/html_source.h"
#include "export/walk/path_table.h"
#include "export/walk/uncovered_items.h"

namespace qar {

// How a source line fared, from the listing rows standing on it.
enum class LineState { NotInstrumented, Covered, PartlyCovered, NotCovered };

struct LineSummary {
  LineState state = LineState::NotInstrumented;
  uint64_t hits = 0;  // the largest count of a row on the line
  bool counted = false;
};

// One rule for both kinds of page. Not instrumented: no row with a count
// or a marker (block ends, else, switch). Not covered: nothing on the line
// ran, as the line-based exports' count of 0 says. Partly covered: it ran,
// and a row carries the "-" marker under the view (an outcome, a
// combination or an MC/DC pair missing). Covered: it ran and nothing is
// marked.
LineSummary summariseLine(const ListingRow* rows, size_t count);

// The lines of a section with their summary, ascending by line.
struct SummarisedLine {
  uint32_t line = 0;
  LineSummary summary;
};
std::vector<SummarisedLine> summariseLines(const ListingSection& rows);

// A source that no longer matches the records: its line count differs from
// the one the symbol file records, or a record stands beyond its end.
struct SourceMismatch {
  uint32_t lines = 0;       // the source's lines
  uint32_t recorded = 0;    // the symbol file's count; 0 when it records none
  uint32_t recordLine = 0;  // a record's line beyond the end; 0 when none is
};

// The source's lines as the page shows them (a last line without a line
// end counts; a line end at the very end does not start another).
uint32_t countSourceLines(std::string_view source);
std::optional<SourceMismatch> findSourceMismatch(std::string_view source, uint32_t recordedLines,
                                                 const ListingSection& rows);

struct HtmlFilePage {
  const FileResult* file = nullptr;
  const LineCoverage* coverage = nullptr;  // null: the walk passed none for its path (yet)
  const ListingSection* rows = nullptr;
  const std::string* source = nullptr;  // the source text; null unless read
  SourceStatus sourceStatus = SourceStatus::NotFound;
  std::string sourceName;  // where it was found or looked for
  std::string sourceRoot;  // --source-root, named when a source lies outside it
  std::optional<SourceMismatch> mismatch;
  const std::vector<UncoveredItem>* uncovered = nullptr;
  // The names of the conditions of each multicondition of the file, in the
  // order of the functions' analyses.
  const ConditionNames* conditionNames = nullptr;
  std::string timeUnit;  // escaped: "clockticks / 1000"
  CoverageView view = CoverageView::AsInstrumented;
  const std::vector<uint32_t>* changedLines = nullptr;  // with --diff: the lines it changed, ascending
  LostLines lostLines;  // with --baseline: the lines that lost coverage, by line
};

// The span of the page text that holds the cards of the line-based figures,
// for a page whose figures come later than the page (see html_report).
struct HtmlCardsSpan {
  size_t at = 0;
  size_t length = 0;
};

HtmlCardsSpan writeHtmlFilePage(ExportStream& out, const HtmlFilePage& page);

// The Functions, Lines and Branches cards; "—" ones without `coverage`.
void appendLineCards(std::string& out, const LineCoverage* coverage);

}  // namespace qar
