// The parameter store: sections of single-text slots, assignment lines and
// the query the reports use.
#include <array>

#include "config/config_text.h"
#include "config/configuration.h"

namespace qar {
namespace {

constexpr std::array<std::string_view, kConfigParameterCount> kParameterNames = {
    "TIMER", "TICK", "EXECUTION_COST_TYPE"};

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Sets the error arguments of ErrorCode 0 (first text cut like every text of
// a configuration message, second text empty) and returns the code. The cut
// applies to -C texts too, since they go through the same assignment.
ErrorCode illegalValue(std::string_view firstText) {
  setErrorArguments(cutForConfigMessage(firstText), "");
  return kIllegalConfigValue;
}

// The "=" rule: without a double quote the value itself; with one after the
// first character, the text after the first quote up to the next quote (or
// the end); a value whose only quote is its first character is illegal.
std::optional<std::string_view> assignedText(std::string_view value) {
  size_t firstQuote = value.find('"');
  if (firstQuote == std::string_view::npos) return value;
  if (value.find('"', 1) == std::string_view::npos) return std::nullopt;
  std::string_view quoted = value.substr(firstQuote + 1);
  return quoted.substr(0, quoted.find('"'));
}

}  // namespace

std::string_view configParameterName(ConfigParameter parameter) {
  return kParameterNames[static_cast<size_t>(parameter)];
}

std::optional<ConfigParameter> findConfigParameter(std::string_view name) {
  for (size_t i = 0; i < kParameterNames.size(); ++i) {
    if (kParameterNames[i] == name) return static_cast<ConfigParameter>(i);
  }
  return std::nullopt;
}

ConfigTable& configTable() {
  static ConfigTable table;
  return table;
}

void selectConfigSection(ConfigTable& table, std::string_view name) {
  std::string key(name);
  auto found = table.namedSections.find(key);
  if (found != table.namedSections.end()) {
    table.current = found->second;
    return;
  }
  table.sections.push_back(ConfigSection{key, false, {}});
  table.current = table.sections.size() - 1;
  table.namedSections.emplace(std::move(key), table.current);
}

ErrorCode applyConfigLine(std::string_view text, ConfigTable& table) {
  size_t nameLength = 0;
  while (nameLength < text.size() && isNameCharacter(text[nameLength])) ++nameLength;
  if (nameLength == 0) return illegalValue(text);

  // Trailing white space goes first, so a bad operator reports the trimmed text.
  std::string_view line = trimConfigSpaceRight(text);
  std::string_view name = line.substr(0, nameLength);
  std::string_view rest = trimConfigSpaceLeft(line.substr(nameLength));
  if (rest.empty() || (rest[0] != '=' && rest[0] != '+' && rest[0] != '-')) return illegalValue(line);
  char op = rest[0];
  std::string_view value = trimConfigSpace(rest.substr(1));

  std::optional<ConfigParameter> parameter = findConfigParameter(name);
  if (!parameter) return kNoError;  // names no part of the program reads are ignored

  std::optional<std::string>& slot = table.sections[table.current].values[static_cast<int>(*parameter)];
  if (op == '-') return illegalValue(name);
  if (op == '+' && slot) {
    slot->append(value);
    return kNoError;
  }
  std::optional<std::string_view> newText = assignedText(value);
  if (!newText) return illegalValue(name);
  slot.emplace(*newText);
  return kNoError;
}

std::optional<std::string> findConfigValue(const ConfigTable& table, ConfigParameter parameter) {
  int index = static_cast<int>(parameter);
  const std::optional<std::string>& own = table.sections[table.current].values[index];
  if (own) return own;
  return table.sections[0].values[index];
}

std::string configValue(ConfigParameter parameter) {
  return findConfigValue(configTable(), parameter).value_or(std::string());
}

}  // namespace qar
