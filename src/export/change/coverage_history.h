#pragma once
// The coverage history: one JSON line per run, appended to a file that is
// never rewritten, so that runs in parallel and a run killed half-way leave
// the earlier entries whole.
#include <ctime>
#include <string>
#include <string_view>

#include "export/walk/export_results.h"

namespace qar {

// The run's totals as one line: time, label (null when not given), and
// found and hit of lines, branches, functions, statements and MC/DC
// conditions, ending in "\n".
std::string historyLine(std::time_t time, const std::string* label, const RunResult& run);

// Appends the line in one write to a file opened for appending (created
// when missing); the error names the cause when it fails.
bool appendHistoryLine(const std::string& fileName, std::string_view line, std::string& error);

}  // namespace qar
