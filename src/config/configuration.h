#pragma once
// The configuration: qar.ini files found by a fixed search, -C overrides,
// validation, and the query the reports use.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/posterr.h"

namespace qar {

// The parameters this program knows, in the table's fixed order.
enum class ConfigParameter : int { Timer = 0, Tick = 1, ExecutionCostType = 2 };
inline constexpr int kConfigParameterCount = 3;

// The parameter's name as written in configuration text ("TICK", ...).
std::string_view configParameterName(ConfigParameter parameter);

// The known parameter of that exact name, if any.
std::optional<ConfigParameter> findConfigParameter(std::string_view name);

// One section: a name (empty for the default section) and one value slot per
// known parameter.
struct ConfigSection {
  std::string name;
  bool isDefault = false;
  std::optional<std::string> values[kConfigParameterCount];
};

struct ConfigTable {
  std::vector<ConfigSection> sections{ConfigSection{"", true, {}}};  // [0] is the default section
  size_t current = 0;
  // Named sections by name, so selecting one stays cheap in long files.
  std::unordered_map<std::string, size_t> namedSections;
};

// The run's table (process-wide); created empty with its default section.
ConfigTable& configTable();

// Empties the table and the search state (tests).
void resetConfiguration();

// Makes the named section current, appending it with empty slots when the
// table has none of that name. Names compare exactly; "" names a section of
// its own, never the default section.
void selectConfigSection(ConfigTable& table, std::string_view name);

// Runs the four-place search and loads every file found; with `listSearch`
// the search is listed on standard error. Ends the run on any error.
void loadConfiguration(const std::optional<std::string>& configFileText, bool listSearch);

// With the search listing on, writes the texts joined (cut at 1,024
// characters) as one line on standard error; otherwise does nothing.
void listSearchLine(std::string_view first, std::string_view second = {},
                    std::string_view third = {});

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

// Like configValue, but nullopt when neither section holds a text.
std::optional<std::string> findConfigValue(const ConfigTable& table, ConfigParameter parameter);

// TICK's text read as a signed 32-bit integer with automatic base; nullopt
// when it is empty, not used up whole, out of range or not greater than 0.
std::optional<int32_t> parseTick(std::string_view text);

}  // namespace qar
