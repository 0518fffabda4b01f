#pragma once
// The settings of qarpost-export beside qarpost's inputs and selection: the
// outputs of the four formats, the root that file names are written
// relative to, and the coverage gates.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/change/baseline_compare.h"
#include "export/gates/delta_gates.h"
#include "export/gates/gate_settings.h"

namespace qar {

enum class ExportFormat : int { Lcov = 0, Cobertura = 1, SonarQube = 2, Json = 3 };
inline constexpr size_t kExportFormatCount = 4;

// The option that names a format's output ("--lcov", ...).
std::string_view exportFormatOption(ExportFormat format);

struct ExportSettings {
  // Output names by ExportFormat; "-" is standard output.
  std::array<std::optional<std::string>, kExportFormatCount> outputs;
  std::optional<std::string> root;
  std::vector<CoverageGate> gates;
  // The directory of the HTML report, and where its pages look for sources.
  std::optional<std::string> htmlDirectory;
  std::string sourceRoot = ".";
  bool sourceRootGiven = false;
  // The comparison with an earlier run's JSON export, and its ratchet gates.
  std::optional<std::string> baselineFile;
  std::vector<ChangeMeasure> lostGates;
  std::vector<DeltaGate> deltaGates;
  // The history file a line of this run's totals is appended to.
  std::optional<std::string> historyFile;
  std::optional<std::string> historyLabel;
  // The change: a unified diff ("-": standard input) whose changed lines the
  // patch figures cover, their gates, the LCOV, Cobertura and SonarQube
  // exports cut to the files it touches, and the Markdown summary.
  std::optional<std::string> diffFile;
  std::vector<CoverageGate> patchGates;
  bool changedFilesOnly = false;
  std::optional<std::string> markdownFile;
};

// The run's export settings (process-wide), read-only after parsing.
const ExportSettings& exportSettings();
void setExportSettings(ExportSettings settings);

// Parses the program's arguments: qarpost's inputs and selection options
// (through postcmdl, options files included) and the export's own. Ends the
// run with the usage text (no arguments, -h, -?, --help), the version text
// (--version) or ErrorCode 9 and the others of the command line.
void parseExportCommandLine(int argc, const char* const* argv);

// The usage text of qarpost-export, on standard output.
void printExportUsage();

}  // namespace qar
