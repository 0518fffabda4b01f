#pragma once
// The coverage of an earlier run, read back from its JSON export
// (format_version 1 or 2): the `sources` part (lines, branches, functions)
// and of the `files` part what a later run is compared with besides (source
// line counts, statement figures, MC/DC conditions). The reader is strict: anything that is not such an export
// is refused with a reason.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/walk/path_table.h"

namespace qar {

struct BaselineFunction {
  std::string name;
  uint32_t line = 0;
  uint32_t calls = 0;
};

struct BaselineSource {
  std::string path;  // as the export wrote it
  std::vector<LineHits> lines;
  std::vector<BranchCount> branches;
  std::vector<BaselineFunction> functions;
};

// One condition of a multicondition, and whether it had an independence pair.
struct BaselineCondition {
  uint32_t line = 0;    // the multicondition's line
  uint32_t number = 0;  // the condition's number in it
  bool covered = false;
};

// A database file as the baseline's `files` part has it.
struct BaselineFile {
  std::string path;  // as the export wrote it
  uint32_t sourceLines = 0;  // 0 for a header
  uint32_t statementHits = 0;
  uint32_t statementTotal = 0;
  std::vector<BaselineCondition> conditions;  // in the order of the functions and their multiconditions
};

struct Baseline {
  int formatVersion = 0;
  std::vector<BaselineSource> sources;
  std::vector<BaselineFile> files;
};

struct BaselineResult {
  std::optional<Baseline> baseline;
  std::string error;  // why it was refused, when it was
};

// Reads an export's text.
BaselineResult parseBaseline(std::string_view text);

// Reads an export file.
BaselineResult readBaselineFile(const std::string& fileName);

}  // namespace qar
