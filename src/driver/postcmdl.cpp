// PLACEHOLDER until the command-line module lands.
#include "driver/postcmdl.h"

#include "driver/posterr.h"

namespace qar {
namespace { OptionSettings& settingsSlot() { static OptionSettings s; return s; } }
const char* coverageViewText(CoverageView) { return ""; }
void parseCommandLine(int, const char* const*) { failInternal("postcmdl", 1); }
const OptionSettings& options() { return settingsSlot(); }
void setOptions(OptionSettings settings) { settingsSlot() = std::move(settings); }
void printUsage() {}
}  // namespace qar
