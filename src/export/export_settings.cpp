#include "export/export_settings.h"

#include <cstdio>

#include "base/posterr.h"
#include "base/standard_output.h"
#include "base/text.h"
#include "base/version.h"
#include "cmdline/postcmdl.h"
#include "export/gates/lost_gates.h"

namespace qar {
namespace {

ExportSettings& settingsSlot() {
  static ExportSettings settings;
  return settings;
}

// The settings being parsed; moved into the slot when the command line passes.
ExportSettings& parsingSlot() {
  static ExportSettings settings;
  return settings;
}

constexpr std::string_view kFormatOptions[kExportFormatCount] = {"--lcov", "--cobertura", "--sonarqube", "--json"};

[[noreturn]] void exportCommandLineError(std::string_view first, std::string_view second) {
  setErrorArguments(first, second);
  failWith(kBadCommandLine);
}

bool endsInInputName(std::string_view name) {
  return name.size() > 4 && (endsWithNoCase(name, ".sym") || endsWithNoCase(name, ".dat"));
}

// The argument after an option, which must be there. Output names follow
// the rule of qarpost's report files: "-" or a name that does not start with
// "-" and does not end in ".sym" or ".dat" (so an input cannot be overwritten
// by a slip).
const std::string& optionValue(const std::vector<std::string>& arguments, size_t index, bool outputName) {
  const std::string& option = arguments[index];
  if (index + 1 >= arguments.size()) exportCommandLineError("argument missing for option", option);
  const std::string& value = arguments[index + 1];
  if (outputName) {
    bool refusedDash = !value.empty() && value[0] == '-' && value != "-";
    if (refusedDash || value.empty() || endsInInputName(value)) {
      exportCommandLineError("argument missing for option", option);
    }
  }
  return value;
}

// The options of the change: --diff, its patch gates, --changed-files-only
// and --markdown.
size_t takeChangeOption(ExportSettings& settings, const std::vector<std::string>& arguments, size_t index) {
  const std::string& argument = arguments[index];
  if (argument == "--diff") {
    settings.diffFile = optionValue(arguments, index, false);
    if (settings.diffFile->empty()) exportCommandLineError("argument missing for option", argument);
    return 2;
  }
  if (argument == "--changed-files-only") {
    settings.changedFilesOnly = true;
    return 1;
  }
  if (argument == "--markdown") {
    settings.markdownFile = optionValue(arguments, index, true);
    return 2;
  }
  if (argument == "--fail-under" && index + 1 < arguments.size() && arguments[index + 1].starts_with("patch.")) {
    const std::string& value = arguments[index + 1];
    std::optional<CoverageGate> gate = parseCoverageGate(std::string_view(value).substr(6));
    if (!gate) exportCommandLineError("malformed gate", value);
    settings.patchGates.push_back(std::move(*gate));
    return 2;
  }
  return 0;
}

void checkChangeSettings(const ExportSettings& settings) {
  const bool needsDiff = !settings.patchGates.empty() || settings.changedFilesOnly;
  if (needsDiff && !settings.diffFile) exportCommandLineError("argument missing for option", "--diff");
  if (settings.markdownFile && *settings.markdownFile == "-") {
    for (size_t f = 0; f < kExportFormatCount; ++f) {
      if (settings.outputs[f] && *settings.outputs[f] == "-") {
        exportCommandLineError("standard output named twice, again by", "--markdown");
      }
    }
  }
}

size_t takeExportOption(const std::vector<std::string>& arguments, size_t index) {
  const std::string& argument = arguments[index];
  if (!argument.starts_with("--")) return 0;
  ExportSettings& settings = parsingSlot();
  for (size_t f = 0; f < kExportFormatCount; ++f) {
    if (argument == kFormatOptions[f]) {
      settings.outputs[f] = optionValue(arguments, index, true);
      return 2;
    }
  }
  if (argument == "--html") {
    const std::string& value = optionValue(arguments, index, true);
    if (value == "-") exportCommandLineError("argument missing for option", argument);
    settings.htmlDirectory = value;
    return 2;
  }
  if (argument == "--source-root") {
    settings.sourceRoot = optionValue(arguments, index, false);
    settings.sourceRootGiven = true;
    return 2;
  }
  if (argument == "--root") {
    // An empty root (an unset variable in a script) would be taken as "/"
    // and cut the leading "/" off every absolute name.
    const std::string& value = optionValue(arguments, index, false);
    if (value.empty()) exportCommandLineError("argument missing for option", argument);
    settings.root = value;
    return 2;
  }
  if (size_t taken = takeChangeOption(settings, arguments, index)) return taken;
  if (argument == "--fail-under") {
    const std::string& value = optionValue(arguments, index, false);
    if (value.starts_with("delta.")) {
      std::optional<DeltaGate> delta = parseDeltaGate(std::string_view(value).substr(6));
      if (!delta) exportCommandLineError("malformed gate", value);
      settings.deltaGates.push_back(std::move(*delta));
      return 2;
    }
    std::optional<CoverageGate> gate = parseCoverageGate(value);
    if (!gate) exportCommandLineError("malformed gate", value);
    settings.gates.push_back(std::move(*gate));
    return 2;
  }
  if (argument == "--baseline") {
    settings.baselineFile = optionValue(arguments, index, false);
    return 2;
  }
  if (argument == "--history") {
    settings.historyFile = optionValue(arguments, index, true);
    if (*settings.historyFile == "-") exportCommandLineError("argument missing for option", argument);
    return 2;
  }
  if (argument == "--label") {
    settings.historyLabel = optionValue(arguments, index, false);
    return 2;
  }
  if (argument == "--fail-if-lost") {
    const std::string& value = optionValue(arguments, index, false);
    std::optional<ChangeMeasure> measure = parseLostGateMeasure(value);
    if (!measure) exportCommandLineError("malformed gate", value);
    settings.lostGates.push_back(*measure);
    return 2;
  }
  if (argument == "--help") reportError(kUsageRequest, ErrorSeverity::ExitAfterReport);
  if (argument == "--version") {
    std::string text = programVersion() + "\n";
    writeStandardOutput(text);
    flushStandardOutput();
    throw ProgramExit{0};
  }
  return 0;  // qarpost's parser names it as an unknown option
}

void checkExportSettings(const ExportSettings& settings) {
  bool anyOutput = false;
  for (size_t f = 0; f < kExportFormatCount; ++f) {
    if (!settings.outputs[f]) continue;
    anyOutput = true;
    const std::string& name = *settings.outputs[f];
    for (size_t g = 0; g < f; ++g) {
      if (settings.outputs[g] && *settings.outputs[g] == name) {
        const char* what = name == "-" ? "standard output named twice, again by" : "output file named twice, again by";
        exportCommandLineError(what, kFormatOptions[f]);
      }
    }
  }
  if (settings.htmlDirectory) anyOutput = true;
  checkChangeSettings(settings);
  if (settings.markdownFile || !settings.patchGates.empty()) anyOutput = true;
  const bool baselineGates = !settings.lostGates.empty() || !settings.deltaGates.empty();
  if (baselineGates && !settings.baselineFile) exportCommandLineError("argument missing for option", "--baseline");
  if (baselineGates || settings.historyFile) anyOutput = true;
  if (settings.historyLabel && !settings.historyFile) exportCommandLineError("argument missing for option", "--history");
  if (!anyOutput && settings.gates.empty()) {
    exportCommandLineError("output or gate option missing", "--lcov|--cobertura|--sonarqube|--json|--html|--markdown|--fail-under");
  }
}

}  // namespace

std::string_view exportFormatOption(ExportFormat format) { return kFormatOptions[static_cast<int>(format)]; }

const ExportSettings& exportSettings() { return settingsSlot(); }

void setExportSettings(ExportSettings settings) { settingsSlot() = std::move(settings); }

void parseExportCommandLine(int argc, const char* const* argv) {
  setUsagePrinter(printExportUsage);
  setUsageHint("Type 'qarpost-export --help' for usage information");
  if (argc <= 1) reportError(kUsageRequest, ErrorSeverity::ExitAfterReport);

  parsingSlot() = ExportSettings{};
  CommandLineRules rules;
  rules.takeOwnOption = takeExportOption;
  rules.refusedOptions = {"-p", "-u", "-t", "-x", "-a", "-l", "-L", "-w"};
  rules.refusedText = "option not available in qarpost-export";
  rules.qarpostChecks = false;
  parseArgumentList(expandArguments(argc, argv), rules);
  checkExportSettings(parsingSlot());
  settingsSlot() = std::move(parsingSlot());
}

void printExportUsage() {
  std::string text =
      "\n"
      "This is Tarvo (v" + programVersion() + ") coverage export utility: it reads symbolfiles and\n"
      "datafiles as the Postprocessor does and writes their coverage for other tools.\n"
      "\n"
      "Usage:\n"
      "qarpost-export [general-options] [symbolfile]... [datafile]...\n"
      "               [-ff|-fd|-fc|-fmcdc] [-nhe] [-onlycf]\n"
      "               [--lcov file] [--cobertura file] [--sonarqube file] [--json file]\n"
      "               [--html dir [--source-root dir]]\n"
      "               [--root dir] [--fail-under measure=percent]...\n"
      "               [--baseline old.json [--fail-if-lost measure]...\n"
      "                [--fail-under delta.measure=points]...]\n"
      "               [--history file [--label text]]\n"
      "               [--diff file [--changed-files-only]\n"
      "                [--fail-under patch.measure=percent]...] [--markdown file]\n"
      "\n"
      "[general-options]:\n"
      "   [-h|--help] [--version] [-V] [@optionsfile]...\n"
      "   [-c conf-file[;conf-file]...]... [-C conf-param{=value|+value}]...\n"
      "   [-f source-file[;source-file]...]... [-nf source-file[;source-file]...]...\n"
      "\n"
      "Outputs (file '-' is standard output, for one format at most):\n"
      "   --lcov        LCOV tracefile: functions, lines and branches\n"
      "   --cobertura   Cobertura XML: lines, branches and methods\n"
      "   --sonarqube   SonarQube generic coverage XML: lines and branches\n"
      "   --json        JSON: all of it, with TER, statement and MC/DC figures\n"
      "   --html dir    HTML report in dir: index.html and a page per file\n"
      "   --source-root dir\n"
      "                 where the HTML pages look for the sources (default '.')\n"
      "   --root dir    write file names below dir relative to it, with '/'\n"
      "\n"
      "Gates: --fail-under measure=percent, measure one of line, branch, function,\n"
      "statement, ter (under the chosen view) and mcdc. A gate missed is named on\n"
      "stderr after the outputs are written; the exit status is then 2.\n"
      "\n"
      "Baseline: --baseline old.json compares this run with an earlier JSON export\n"
      "(in the JSON export's 'baseline' member); --fail-if-lost measure, measure one\n"
      "of line, branch, function and mcdc, misses when an item covered then is not\n"
      "now; --fail-under delta.measure=points misses when the measure's percent\n"
      "changed by less than points (-0.5: it may fall by half a point at most).\n"
      "--history file appends this run's totals to file as one JSON line.\n"
      "\n"
      "Change: --diff file reads a unified diff (git diff, diff -u; '-' is standard\n"
      "input) whose paths are relative to --root; the patch figures of every measure\n"
      "cover the items its added lines lie in (with --source-root, blank and comment\n"
      "lines are left out). --fail-under patch.measure=percent gates them; a measure\n"
      "with nothing in the change passes. --changed-files-only cuts the LCOV,\n"
      "Cobertura and SonarQube exports to the files the diff touches.\n"
      "--markdown file   a summary for a merge request or a CI job page\n"
      "\n";
  writeStandardOutput(text);
}

}  // namespace qar
