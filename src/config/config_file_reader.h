#pragma once
// Reading one configuration file: physical lines joined into logical lines,
// environment references, section lines and assignments.
#include <string>
#include <string_view>

#include "config/configuration.h"

namespace qar {

enum class ConfigFileOutcome {
  Loaded,     // read whole, every line applied
  NotOpened,  // could not be opened; `systemError` holds the reason
  Failed,     // read, close or line error; the error arguments are set
};

struct ConfigFileResult {
  ConfigFileOutcome outcome = ConfigFileOutcome::Loaded;
  ErrorCode code = kNoError;  // the ErrorCode to report when Failed
  std::string systemError;    // the system's text when NotOpened
};

// Reads the file at `path` into `table`, starting in the default section and
// stopping at the first error.
ConfigFileResult readConfigFile(const std::string& path, ConfigTable& table);

// Processes one logical line (without its line end): environment references
// are replaced, then each piece between line ends is a section line or an
// assignment. `scratch` is reused between calls to spare allocations.
ErrorCode processConfigLine(std::string_view line, ConfigTable& table, std::string& scratch);

// Replaces every "$(NAME)" by the value of the environment variable NAME
// (nothing when unset) and writes the result into `out`.
void expandEnvironmentReferences(std::string_view line, std::string& out);

}  // namespace qar
