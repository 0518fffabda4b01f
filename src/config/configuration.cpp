// PLACEHOLDER until the configuration module lands: every entry fails loudly.
#include "config/configuration.h"

namespace qar {
ConfigTable& configTable() { static ConfigTable table; return table; }
void resetConfiguration() {}
void loadConfiguration(const std::optional<std::string>&, bool) { failInternal("postcmdl", 1); }
ErrorCode applyConfigLine(std::string_view, ConfigTable&) { failInternal("postcmdl", 2); }
void applyConfigOverrides(const std::optional<std::vector<std::string>>&) { failInternal("postcmdl", 3); }
void validateConfiguration() { failInternal("postcmdl", 4); }
std::string configValue(ConfigParameter) { failInternal("postcmdl", 5); }
}  // namespace qar
