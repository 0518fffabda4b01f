#pragma once
// The line coverage of an earlier run, read back from its JSON export
// (format_version 1 or 2): the `sources` part, which is what a later run is
// compared with. The reader is strict: anything that is not such an export
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

struct Baseline {
  int formatVersion = 0;
  std::vector<BaselineSource> sources;
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
