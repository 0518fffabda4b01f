#pragma once
// The operations the driver hands a run's work to: the report writers and
// the adding of files. Each report module supplies its entry here.
#include <string>
#include <string_view>
#include <vector>

#include "driver/postcmdl.h"

namespace qar {

// Resets the per-report state of the listings before a report is written.
void beginReport(ReportKind kind);

// Writes the report of `kind` to `outputName` ("-" and "stdout": standard output).
void writeReport(ReportKind kind, std::string_view outputName);

// Adds the data files into the target data file (-a with a .dat target).
void addDataFiles(const std::vector<std::string>& dataFiles, const std::string& target);

// Adds the symbol files into the target symbol file (-a with another target).
void addSymbolFiles(const std::vector<std::string>& symbolFiles, const std::string& target);

}  // namespace qar
