#pragma once
// The configuration: qar.ini files found by a fixed search, -C overrides,
// validation, and the query the reports use.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/posterr.h"

namespace qar {

// The parameters this program knows, in the table's fixed order.
enum class ConfigParameter : int { Timer = 0, Tick = 1, ExecutionCostType = 2 };
inline constexpr int kConfigParameterCount = 3;

// One section: a name (empty for the default section) and one value slot per
// known parameter.
struct ConfigSection {
  std::string name;
  bool isDefault = false;
  std::optional<std::string> values[kConfigParameterCount];
};

struct ConfigTable {
  std::vector<ConfigSection> sections;  // [0] is the default section
  size_t current = 0;
};

// The run's table (process-wide); created empty with its default section.
ConfigTable& configTable();

// Empties the table and the search state (tests).
void resetConfiguration();

// Runs the four-place search and loads every file found; with `listSearch`
// the search is listed on standard error. Ends the run on any error.
void loadConfiguration(const std::optional<std::string>& configFileText, bool listSearch);

// Applies one assignment line (NAME op value) to the current section.
// Returns kNoError, or the ErrorCode with the error arguments already set.
ErrorCode applyConfigLine(std::string_view text, ConfigTable& table);

// Applies each -C text in order; ends the run on an error.
void applyConfigOverrides(const std::optional<std::vector<std::string>>& overrides);

// Checks that TICK is defined and a positive integer; ends the run otherwise.
void validateConfiguration();

// The parameter's text in the current section, else in the default section,
// else the empty text.
std::string configValue(ConfigParameter parameter);

}  // namespace qar
