// The search for configuration files over four places, in a fixed order,
// listed on standard error under -V.
#include <cstdlib>
#include <new>

#include "config/config_file_reader.h"
#include "config/config_text.h"
#include "config/configuration.h"

namespace qar {
namespace {

// "qar" + ".ini": the configuration file name every place looks for.
constexpr std::string_view kConfigFileName = "qar.ini";
constexpr std::string_view kHomeVariable = "QARHOME";
constexpr std::string_view kFileListVariable = "QARINIT";
constexpr size_t kListLineLimit = 1024;

// Paths are joined with "/" on this system, for access and in the listing;
// only the heading of step 1 keeps the backslash of its fixed text.
constexpr char kPathSeparator = '/';
constexpr std::string_view kCurrentDirectoryFile = "./qar.ini";

struct SearchState {
  bool listing = false;
  bool headingPrinted = false;
  unsigned filesLoaded = 0;
};

SearchState& searchState() {
  static SearchState state;
  return state;
}

std::string withoutDoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '"') out.push_back(c);
  }
  return out;
}

// Loads one file of the home or current directory: one that cannot be
// opened is only "Not provided".
ErrorCode loadOptionalFile(const std::string& path) {
  ConfigFileResult result = readConfigFile(path, configTable());
  switch (result.outcome) {
    case ConfigFileOutcome::Loaded:
      ++searchState().filesLoaded;
      listSearchLine("   ", path, " ... Loaded");
      return kNoError;
    case ConfigFileOutcome::NotOpened:
      listSearchLine("   ", path, " ... Not provided");
      return kNoError;
    case ConfigFileOutcome::Failed:
      break;
  }
  listSearchLine("   ", path, " ...");
  return result.code;
}

// Loads the ";"-separated names of QARINIT or -c in order: each one must exist.
ErrorCode loadFileList(std::string_view list) {
  while (!list.empty()) {
    size_t separator = list.find(';');
    std::string name(list.substr(0, separator));
    list = separator == std::string_view::npos ? std::string_view() : list.substr(separator + 1);
    if (name.empty()) continue;

    ConfigFileResult result = readConfigFile(name, configTable());
    switch (result.outcome) {
      case ConfigFileOutcome::Loaded:
        ++searchState().filesLoaded;
        listSearchLine("   ", name, " ... Loaded");
        continue;
      case ConfigFileOutcome::NotOpened:
        listSearchLine("   ", name, " ... Not found");
        setErrorArguments(cutForConfigMessage(name), cutForConfigMessage(result.systemError));
        return kCannotOpen;
      case ConfigFileOutcome::Failed:
        listSearchLine("   ", name, " ...");
        return result.code;
    }
  }
  return kNoError;
}

ErrorCode searchHomeDirectory() {
  listSearchLine("1. Halvorin Tarvo home directory (%QARHOME%\\qar.ini)");
  const char* home = std::getenv(std::string(kHomeVariable).c_str());
  if (home == nullptr) {
    listSearchLine("   - Not used : Environment variable ", kHomeVariable, " not set");
    return kNoError;
  }
  std::string path = withoutDoubleQuotes(home);
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  path.append(kConfigFileName);
  return loadOptionalFile(path);
}

ErrorCode searchFileListVariable() {
  const char* list = std::getenv(std::string(kFileListVariable).c_str());
  listSearchLine("2. Environment Variable %QARINIT%", list != nullptr ? "" : " : Not used");
  return list != nullptr ? loadFileList(list) : kNoError;
}

ErrorCode searchCurrentDirectory() {
  listSearchLine("3. Current Directory (", kCurrentDirectoryFile, ")");
  return loadOptionalFile(std::string(kCurrentDirectoryFile));
}

ErrorCode searchCommandLine(const std::optional<std::string>& configFileText) {
  bool used = configFileText && !configFileText->empty();
  listSearchLine("4. By Command Line Option \"-c\"", used ? "" : " : Not used");
  return used ? loadFileList(withoutDoubleQuotes(*configFileText)) : kNoError;
}

ErrorCode runSearch(const std::optional<std::string>& configFileText) {
  ErrorCode code = searchHomeDirectory();
  if (code == kNoError) code = searchFileListVariable();
  if (code == kNoError) code = searchCurrentDirectory();
  if (code == kNoError) code = searchCommandLine(configFileText);
  return code;
}

}  // namespace

void listSearchLine(std::string_view first, std::string_view second, std::string_view third) {
  if (!searchState().listing) return;
  std::string line;
  line.reserve(first.size() + second.size() + third.size() + 1);
  line.append(first).append(second).append(third);
  if (line.size() > kListLineLimit) line.resize(kListLineLimit);
  line.push_back('\n');
  writeDiagnostic(line);
}

void loadConfiguration(const std::optional<std::string>& configFileText, bool listSearch) {
  SearchState& state = searchState();
  state.listing = listSearch;
  if (!state.headingPrinted) {
    listSearchLine("Searching for configuration files:");
    state.headingPrinted = true;
  }
  ErrorCode code = kNoError;
  try {
    code = runSearch(configFileText);
  } catch (const std::bad_alloc&) {
    code = kOutOfMemory;
  }
  listSearchLine("");
  if (code != kNoError) failWith(code);
  if (state.filesLoaded == 0) {
    setErrorArguments(kConfigFileName, "No such file could be found");
    failWith(kCannotOpen);
  }
}

void resetConfiguration() {
  configTable() = ConfigTable{};
  searchState() = SearchState{};
}

}  // namespace qar
