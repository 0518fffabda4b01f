#pragma once
// The page of one file of the HTML report.
#include <optional>
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/output/export_stream.h"
#include "export/html/html_baseline.h"
#include "export/html/html_listing_rows.h"
#include "export/html/html_source.h"
#include "export/walk/path_table.h"

namespace qar {

// How a source line fared, from the listing rows standing on it.
enum class LineState { NotInstrumented, Covered, PartlyCovered, NotCovered };

struct LineSummary {
  LineState state = LineState::NotInstrumented;
  uint64_t hits = 0;  // the largest count of a row on the line
  bool counted = false;
};

// Covered: some row counted and none carries the "-" marker; not covered:
// a marker and no row with a count above 0; partly covered: both; not
// instrumented: no row with a count or a marker (block ends, else, switch).
LineSummary summariseLine(const ListingRow* rows, size_t count);

struct HtmlFilePage {
  const FileResult* file = nullptr;
  const LineCoverage* coverage = nullptr;  // null: the walk passed none for its path
  const ListingSection* rows = nullptr;
  const std::string* source = nullptr;  // the source text; null unless read
  SourceStatus sourceStatus = SourceStatus::NotFound;
  std::string sourceName;  // where it was found or looked for
  std::string sourceRoot;  // --source-root, named when a source lies outside it
  CoverageView view = CoverageView::AsInstrumented;
  const std::vector<uint32_t>* changedLines = nullptr;  // with --diff: the lines it changed, ascending
  LostLines lostLines;  // with --baseline: the lines that lost coverage, by line
};

void writeHtmlFilePage(ExportStream& out, const HtmlFilePage& page);

}  // namespace qar
