#pragma once
// Cobertura XML: every written file is a class with its lines, the branch
// lines carrying their condition-coverage, and its functions as methods,
// each method with its own line and its rates over its lines. Each class is
// written as soon as its file is complete, in a package of its own named by
// its directory (so a directory's package may appear more than once; the
// consumers go by the classes' file names). The root element holds the
// totals, which are known only at the end: in a regular file they are
// written over room kept at the start; elsewhere (standard output, a pipe)
// the classes wait in a temporary file.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "export/output/export_stream.h"
#include "export/walk/path_table.h"

namespace qar {

struct CoberturaDocument {
  ExportStream* out = nullptr;  // the output
  ExportStream body;            // the classes, when they cannot follow a finished root tag
  bool bodyApart = false;
  long rootTagOffset = 0;
  std::time_t timestamp = 0;
};

// The root's rate of `hit` of `found`: truncated to four decimals, 1 when
// there is nothing to cover.
std::string coberturaRate(uint32_t hit, uint32_t found);

// `source` is the root given (the files are relative to it), or "." without one.
void beginCoberturaDocument(CoberturaDocument& document, ExportStream& out, const std::optional<std::string>& root);
// `names` are the table's uniqueFunctionNames, `functions` its functionCoverages.
void writeCoberturaClass(CoberturaDocument& document, const PathTable& table, const std::vector<std::string>& names,
                         const std::vector<LineCoverage>& functions, const LineCoverage& coverage);
void endCoberturaDocument(CoberturaDocument& document, const LineCoverage& total);

}  // namespace qar
