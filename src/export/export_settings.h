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

namespace qar {

enum class ExportFormat : int { Lcov = 0, Cobertura = 1, SonarQube = 2, Json = 3 };
inline constexpr size_t kExportFormatCount = 4;

// The option that names a format's output ("--lcov", ...).
std::string_view exportFormatOption(ExportFormat format);

// What a gate measures: line, branch and function coverage as the
// line-based formats carry them, and this system's statement coverage, TER
// under the chosen coverage view and MC/DC condition coverage.
enum class GateMeasure : int { Line, Branch, Function, Statement, Ter, Mcdc };

// The word of a measure on the command line ("line", ...).
std::string_view gateMeasureName(GateMeasure measure);

// Thresholds are kept exactly: percent times 10^9.
inline constexpr uint64_t kThresholdScale = 1'000'000'000;

struct CoverageGate {
  GateMeasure measure = GateMeasure::Line;
  uint64_t threshold = 0;     // percent × kThresholdScale
  std::string thresholdText;  // as written, without a "%"
};

struct ExportSettings {
  // Output names by ExportFormat; "-" is standard output.
  std::array<std::optional<std::string>, kExportFormatCount> outputs;
  std::optional<std::string> root;
  std::vector<CoverageGate> gates;
  // The directory of the HTML report, and where its pages look for sources.
  std::optional<std::string> htmlDirectory;
  std::string sourceRoot = ".";
};

// The run's export settings (process-wide), read-only after parsing.
const ExportSettings& exportSettings();
void setExportSettings(ExportSettings settings);

// Reads a gate's argument, MEASURE=PERCENT (PERCENT from 0 to 100, at most
// nine decimals, an optional "%" after it); nullopt when it is malformed.
std::optional<CoverageGate> parseCoverageGate(std::string_view text);

// Parses the program's arguments: qarpost's inputs and selection options
// (through postcmdl, options files included) and the export's own. Ends the
// run with the usage text (no arguments, -h, -?, --help), the version text
// (--version) or ErrorCode 9 and the others of the command line.
void parseExportCommandLine(int argc, const char* const* argv);

// The usage text of qarpost-export, on standard output.
void printExportUsage();

}  // namespace qar
