#include "cmdline/postcmdl.h"

#include <limits>
#include <string_view>

#include "cmdline/file_arguments.h"
#include "cmdline/options_file.h"
#include "base/posterr.h"
#include "base/text.h"

namespace qar {
namespace {

OptionSettings& settingsSlot() {
  static OptionSettings settings;
  return settings;
}

[[noreturn]] void commandLineError(std::string_view first, std::string_view second) {
  setErrorArguments(first, second);
  failWith(kBadCommandLine);
}

bool hasSuffixBeyondLength(std::string_view name, std::string_view suffix) {
  return name.size() > 4 && endsWithNoCase(name, suffix);
}

void appendTo(OptionalList& list, std::string value) {
  if (!list) list.emplace();
  list->push_back(std::move(value));
}

void appendPatterns(OptionalList& list, std::string_view argument) {
  if (!list) list.emplace();
  size_t start = 0;
  while (start <= argument.size()) {
    size_t end = argument.find(';', start);
    if (end == std::string_view::npos) end = argument.size();
    if (end > start) list->emplace_back(argument.substr(start, end - start));
    start = end + 1;
  }
}

// Step one: the argument list, with options files expanded and the text of
// the command line as given.
std::vector<std::string> buildArgumentList(int argc, const char* const* argv, std::string& commandLine) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (i > 1) commandLine += ' ';
    commandLine += argument;
    if (argument == "@") {
      if (i + 1 >= argc) commandLineError("argument missing for option", "@");
      appendOptionsFileTokens(argv[++i], arguments);
    } else if (argument.size() >= 2 && argument[0] == '@' && argument[1] != '@') {
      appendOptionsFileTokens(std::string(argument.substr(1)), arguments);
    } else if (argument.size() >= 2 && argument[0] == '@' && argument[1] == '@') {
      arguments.emplace_back(argument.substr(1));
    } else {
      arguments.emplace_back(argument);
    }
  }
  return arguments;
}

uint32_t parseListingWidth(const std::string& argument) {
  uint64_t value = 0;
  for (char c : argument) {
    if (c < '0' || c > '9') commandLineError("bad listing width", argument);
    // Widths beyond 32 bits stay at the largest width; the listings cap it anyway.
    value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'),
                               std::numeric_limits<uint32_t>::max());
  }
  return static_cast<uint32_t>(value);
}

void setAddTarget(OptionSettings& settings, const std::string& name) {
  if (hasSuffixBeyondLength(name, ".dat")) {
    settings.addTargetDataFile = name;
  } else if (hasSuffixBeyondLength(name, ".sym")) {
    settings.addTargetSymbolFile = name;
  } else {
    settings.addTargetSymbolFile = name + ".sym";
  }
}

void addFileArgument(OptionSettings& settings, const std::string& argument) {
  std::vector<std::string> names = expandFileArgument(argument);
  if (names.empty()) commandLineError("unknown option", argument);
  for (std::string& name : names) {
    if (endsWithNoCase(name, ".dat")) {
      appendTo(settings.dataFiles, std::move(name));
    } else if (endsWithNoCase(name, ".sym")) {
      appendTo(settings.symbolFiles, std::move(name));
    } else {
      appendTo(settings.symbolFiles, name + ".sym");
    }
  }
}

enum class OptionArgument { None, Plain, ReportFile };

struct OptionEntry {
  std::string_view name;
  OptionArgument argument;
};

// In the order options are tried; names match exactly, so the order only
// documents the table.
constexpr OptionEntry kOptions[] = {
    {"h", OptionArgument::None},       {"?", OptionArgument::None},
    {"c", OptionArgument::Plain},      {"C", OptionArgument::Plain},
    {"a", OptionArgument::Plain},      {"w", OptionArgument::Plain},
    {"f", OptionArgument::Plain},      {"nf", OptionArgument::Plain},
    {"p", OptionArgument::ReportFile}, {"u", OptionArgument::ReportFile},
    {"t", OptionArgument::ReportFile}, {"x", OptionArgument::ReportFile},
    {"v", OptionArgument::None},       {"V", OptionArgument::None},
    {"fc", OptionArgument::None},      {"fd", OptionArgument::None},
    {"ff", OptionArgument::None},      {"fmcdc", OptionArgument::None},
    {"l", OptionArgument::None},       {"L", OptionArgument::None},
    {"nhe", OptionArgument::None},     {"onlycf", OptionArgument::None},
};

const OptionEntry* findOption(std::string_view argument) {
  if (argument.empty() || argument[0] != '-') return nullptr;
  std::string_view name = argument.substr(1);
  for (const OptionEntry& entry : kOptions) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

void applyOption(OptionSettings& settings, std::string_view name, const std::string* value) {
  if (name == "h" || name == "?") {
    reportError(kUsageRequest, ErrorSeverity::ExitAfterReport);
  } else if (name == "c") {
    if (settings.configFileText) {
      *settings.configFileText += ';';
      *settings.configFileText += *value;
    } else {
      settings.configFileText = *value;
    }
  } else if (name == "C") {
    appendTo(settings.configOverrides, *value);
  } else if (name == "a") {
    setAddTarget(settings, *value);
  } else if (name == "w") {
    settings.listingWidth = parseListingWidth(*value);
    settings.widthGiven = true;
  } else if (name == "f") {
    appendPatterns(settings.chosenFiles, *value);
  } else if (name == "nf") {
    appendPatterns(settings.unchosenFiles, *value);
  } else if (name == "p") {
    settings.profileFile = *value;
  } else if (name == "u") {
    settings.untestedFile = *value;
  } else if (name == "t") {
    settings.timingFile = *value;
  } else if (name == "x") {
    settings.xmlFile = *value;
  } else if (name == "v") {
    settings.vFlag = true;
  } else if (name == "V") {
    settings.verbose = true;
  } else if (name == "l") {
    settings.listContents = true;
  } else if (name == "L") {
    settings.listContentsWithCounters = true;
  } else if (name == "nhe") {
    settings.noHeaderExtraction = true;
  } else if (name == "onlycf") {
    settings.onlyFilesWithCounters = true;
  } else {
    settings.coverageView = name == "fc"   ? CoverageView::Condition
                            : name == "fd" ? CoverageView::Decision
                            : name == "ff" ? CoverageView::Function
                                           : CoverageView::Mcdc;
    settings.viewGiven = true;
  }
}

void checkOptionArgument(const OptionEntry& option, std::string_view optionText,
                         const std::string* next) {
  if (next == nullptr) commandLineError("argument missing for option", optionText);
  if (option.argument == OptionArgument::Plain) {
    if (!next->empty() && (*next)[0] == '-') commandLineError("argument missing for option", optionText);
    return;
  }
  bool refusedDash = !next->empty() && (*next)[0] == '-' && *next != "-";
  bool refusedName = hasSuffixBeyondLength(*next, ".sym") || hasSuffixBeyondLength(*next, ".dat");
  if (refusedDash || refusedName) commandLineError("argument missing for option", optionText);
}

void checkConsistency(const OptionSettings& s) {
  bool anyReportFile = s.profileFile || s.untestedFile || s.timingFile || s.xmlFile;
  bool listingOption = anyReportFile || s.widthGiven || s.viewGiven;
  bool contents = s.listContents || s.listContentsWithCounters;
  bool anyTarget = s.addTargetDataFile || s.addTargetSymbolFile;
  bool anyFiles = s.symbolFiles || s.dataFiles;

  if (anyTarget && contents) commandLineError("options -l and -a cannot be used simultaneously", "");
  if (s.symbolFiles && s.addTargetDataFile) commandLineError("no symfiles are needed while adding datafiles", "");
  if (s.dataFiles && s.addTargetSymbolFile) commandLineError("no datafiles are needed while adding symbolfiles", "");
  if (s.addTargetDataFile && !s.dataFiles) commandLineError("adding datafiles requires dat-file argument(s)", "");
  if (s.addTargetSymbolFile && !s.symbolFiles) commandLineError("adding symbolfiles requires sym-file argument(s)", "");
  if (s.addTargetDataFile && listingOption) commandLineError("cannot write listings while adding datafiles", "");
  if (s.addTargetSymbolFile && listingOption) commandLineError("cannot write listings while adding symbolfiles", "");
  if (!anyFiles) {
    if (contents) commandLineError("-l option requires sym- or dat-file argument(s)", "");
  } else if (contents && listingOption) {
    commandLineError("cannot write listings with -l option", "");
  }
  if (s.noHeaderExtraction) {
    if (!anyReportFile) commandLineError("-nhe option requires also -p|-u|-t|-x|-j", "");
    return;
  }
  bool asksForWork = anyReportFile || anyTarget || contents;
  bool holdsNothingToWorkOn = !anyFiles && !s.chosenFiles && !s.unchosenFiles && !s.widthGiven &&
                              !s.viewGiven && !s.vFlag && !s.configOverrides &&
                              (!s.configFileText || s.verbose);
  if (!asksForWork && !holdsNothingToWorkOn) commandLineError("listing or adding option missing", "");
}

}  // namespace

ArgumentList expandArguments(int argc, const char* const* argv) {
  ArgumentList list;
  list.arguments = buildArgumentList(argc, argv, list.commandLineText);
  return list;
}

void parseArgumentList(const ArgumentList& list, const CommandLineRules& rules) {
  OptionSettings settings;
  settings.commandLineText = list.commandLineText;
  const std::vector<std::string>& arguments = list.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (rules.takeOwnOption != nullptr) {
      if (size_t taken = rules.takeOwnOption(arguments, i); taken > 0) {
        i += taken - 1;
        continue;
      }
    }
    const std::string& argument = arguments[i];
    if (const OptionEntry* option = findOption(argument)) {
      for (std::string_view refused : rules.refusedOptions) {
        if (refused == argument) commandLineError(rules.refusedText, argument);
      }
      const std::string* value = nullptr;
      if (option->argument != OptionArgument::None) {
        value = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
        checkOptionArgument(*option, argument, value);
        ++i;
      }
      applyOption(settings, option->name, value);
    } else if (!argument.empty() && argument[0] == '-') {
      commandLineError("unknown option", argument);
    } else {
      addFileArgument(settings, argument);
    }
  }
  if (rules.qarpostChecks) checkConsistency(settings);
  settingsSlot() = std::move(settings);
}

void parseCommandLine(int argc, const char* const* argv) {
  setUsagePrinter(printUsage);
  if (argc <= 1) reportError(kUsageRequest, ErrorSeverity::ExitAfterReport);
  parseArgumentList(expandArguments(argc, argv), CommandLineRules{});
}

const OptionSettings& options() { return settingsSlot(); }

void setOptions(OptionSettings settings) { settingsSlot() = std::move(settings); }

const char* coverageViewText(CoverageView view) {
  switch (view) {
    case CoverageView::Function: return "Reduced to function coverage";
    case CoverageView::Decision: return "Reduced to decision coverage";
    case CoverageView::Condition: return "Reduced to condition coverage";
    case CoverageView::Mcdc: return "Reduced to MC/DC coverage";
    case CoverageView::AsInstrumented: break;
  }
  return "As instrumented";
}

}  // namespace qar
