#pragma once
// The JSON export: everything the walk finds. "files" follows the database
// (each file with its functions and this system's measures: TER under the
// five coverage views, statement figures, MC/DC conditions with their pairs,
// timing); "sources" holds what the line-based formats carry, file by written
// file; "summary" the figures of the whole run. The sources are written while
// the files are, so they wait in a temporary file until the files are done.
// docs/export-json.md describes the format; docs/export-json.schema.json is
// its schema.
#include <optional>
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/output/export_stream.h"
#include "export/walk/path_table.h"

namespace qar {

inline constexpr int kJsonFormatVersion = 2;

struct JsonDocument {
  ExportStream* out = nullptr;
  ExportStream sources;
  bool anyFile = false;
  bool anySource = false;
  CoverageView view = CoverageView::AsInstrumented;
};

// The head: format version, generator, time, coverage view, root, input
// files, selection patterns and notices of the run.
void beginJsonDocument(JsonDocument& document, ExportStream& out, CoverageView view,
                       const std::optional<std::string>& root);
void writeJsonFile(JsonDocument& document, const FileResult& file);
// `names` are the table's uniqueFunctionNames.
void writeJsonSource(JsonDocument& document, const PathTable& table, const std::vector<std::string>& names,
                     const LineCoverage& coverage);
// `lastMember`, when given, is a member written after the summary.
void endJsonDocument(JsonDocument& document, const RunResult& run, std::string_view lastMember = {});

// The key of a coverage view in the JSON ("function", ..., "as_instrumented").
const char* jsonViewName(CoverageView view);

}  // namespace qar
