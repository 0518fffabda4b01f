#pragma once
// The Markdown summary (--markdown): what a merge-request comment or a CI
// job's summary page shows. A table of the measures, with the whole run's
// figures and, with a diff, the change's; then the uncovered items of the
// change and the files the coverage does not know; without a diff, the
// files with the lowest line coverage. Other parts of the export add their
// own columns to the table and sections after the built-in ones.
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/change/patch_coverage.h"
#include "export/gates/gate_settings.h"
#include "export/output/export_stream.h"
#include "export/walk/export_results.h"
#include "export/walk/path_table.h"

namespace qar {

// The rows of the measures table, in this order.
inline constexpr GateMeasure kMarkdownMeasures[] = {GateMeasure::Line,      GateMeasure::Branch,
                                                    GateMeasure::Function,  GateMeasure::Statement,
                                                    GateMeasure::Ter,       GateMeasure::Mcdc};

// A column added to the measures table: its heading and one cell per row of
// kMarkdownMeasures (plain text; "|" is escaped).
struct MarkdownColumn {
  std::string heading;
  std::vector<std::string> cells;
};

struct FileLineCoverage {
  std::string path;
  LineCoverage coverage;
};

struct MarkdownInput {
  const RunResult& run;
  CoverageView view;
  const PatchResult* patch = nullptr;   // with --diff
  std::vector<FileLineCoverage> files;  // without --diff: every written file
  std::vector<MarkdownColumn> extraColumns;
  std::string extraSections;  // Markdown, written after the built-in sections
};

// At most this many uncovered items of the change are listed, then "and N more".
inline constexpr size_t kMarkdownItemLimit = 50;
// Without a diff, this many files with the lowest line coverage.
inline constexpr size_t kMarkdownLowestFiles = 10;

// "75.00 % (3 of 4)", truncated; "not applicable" with nothing to count.
std::string markdownFigure(uint64_t hit, uint64_t found);

// `text` as a code span, with a fence longer than any backtick run in it.
std::string markdownCode(std::string_view text);

void writeMarkdownSummary(ExportStream& out, const MarkdownInput& input);

}  // namespace qar
