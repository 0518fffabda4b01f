#pragma once
// The LCOV tracefile: one record per written file with its functions (FN,
// FNDA, FNF, FNH), branches (BRDA, BRF, BRH) and lines (DA, LF, LH).
#include <string>
#include <vector>

#include "export/output/export_stream.h"
#include "export/walk/path_table.h"

namespace qar {

// One record. A comma ends a function name for LCOV readers, so it is
// written as ";" there.
// `names` are the table's uniqueFunctionNames.
void writeLcovRecord(ExportStream& out, const PathTable& table, const std::vector<std::string>& names,
                     const LineCoverage& coverage);

}  // namespace qar
