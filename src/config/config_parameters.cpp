// The -C overrides, the validation of TICK and its reading as an integer.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "config/configuration.h"

namespace qar {

void applyConfigOverrides(const std::optional<std::vector<std::string>>& overrides) {
  if (!overrides) return;
  for (const std::string& text : *overrides) {
    ErrorCode code = kNoError;
    try {
      // Used unchanged: no environment references, sections or comments.
      code = applyConfigLine(text, configTable());
    } catch (const std::bad_alloc&) {
      code = kOutOfMemory;
    }
    if (code != kNoError) failWith(code);
  }
}

std::optional<int32_t> parseTick(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // strtoll reads the usual notation with automatic base (white space, sign,
  // 0x, leading 0); the value must then fit a signed 32-bit integer, so text
  // beyond that range is illegal rather than clamped or wrapped.
  std::string copy(text);
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(copy.c_str(), &end, 0);
  if (end != copy.c_str() + copy.size() || errno == ERANGE) return std::nullopt;
  if (value <= 0 || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

void validateConfiguration() {
  std::optional<std::string> tick = findConfigValue(configTable(), ConfigParameter::Tick);
  if (!tick) {
    setErrorArguments(configParameterName(ConfigParameter::Tick));
    failWith(kMissingConfigDefinition);
  }
  if (!parseTick(*tick)) {
    setErrorArguments(configParameterName(ConfigParameter::Tick), *tick);
    failWith(kIllegalConfigValue);
  }
}

}  // namespace qar
