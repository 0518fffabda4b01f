#pragma once
// The coverage history: one JSON line per run, appended to a file that is
// never rewritten, so that runs in parallel and a run killed half-way leave
// the earlier entries whole.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/walk/export_results.h"

namespace qar {

// The run's totals as one line: time, label (null when not given), and
// found and hit of lines, branches, functions, statements and MC/DC
// conditions, ending in "\n".
std::string historyLine(std::time_t time, const std::string* label, const RunResult& run);

// Appends the line in one write to a file opened for appending (created
// when missing); the error names the cause when it fails.
bool appendHistoryLine(const std::string& fileName, std::string_view line, std::string& error);

// The measures a history line carries, in its order.
enum class HistoryMeasure : int { Lines = 0, Branches, Functions, Statements, Mcdc };
inline constexpr size_t kHistoryMeasureCount = 5;

// The key of a measure in a history line ("lines", ...).
std::string_view historyMeasureName(HistoryMeasure measure);

struct HistoryFigure {
  uint64_t found = 0;
  uint64_t hit = 0;
};

struct HistoryEntry {
  std::string time;  // as written ("2026-12-06T10:00:00Z")
  std::optional<std::string> label;
  HistoryFigure measures[kHistoryMeasureCount];
};

// This run's entry, as historyLine writes it.
HistoryEntry historyEntry(std::time_t time, const std::string* label, const RunResult& run);

struct HistoryRead {
  std::vector<HistoryEntry> entries;  // in the file's order
  std::vector<uint32_t> passedOver;   // numbers of the lines that are not whole entries
  std::optional<std::string> error;   // why the file could not be read
};

// Reads a history's text: one entry per line; a line cut short by a killed
// run (or anything else that is not an entry) is passed over.
HistoryRead parseHistory(std::string_view text);

// Reads a history file; a file that does not exist yet is an empty history.
HistoryRead readHistory(const std::string& fileName);

// The notice for the lines passed over ("history h.jsonl: line 12 is not a
// whole entry, passed over"), empty when there were none.
std::string passedOverNotice(const std::string& fileName, const std::vector<uint32_t>& lines);

}  // namespace qar
