#pragma once
// postcmdl: the command line, options files and the usage text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// ReportKind: what dispatchReport writes.
enum class ReportKind : int { Profile = 0, Untested = 1, Timing = 2, Xml = 3, Contents = 4, ContentsWithCounters = 5 };

// CoverageView: the coverage level a report is reduced to.
enum class CoverageView : int { Function = 0, Decision = 1, Condition = 2, Mcdc = 3, AsInstrumented = 4 };

// The display text of a coverage view ("As instrumented", "Reduced to ...").
const char* coverageViewText(CoverageView view);

// A list setting is absent (nullopt) until its option, or the first file of
// its kind, occurs; an absent list and an empty one are told apart.
using OptionalList = std::optional<std::vector<std::string>>;

struct OptionSettings {
  OptionalList symbolFiles;
  OptionalList dataFiles;
  std::optional<std::string> profileFile;
  std::optional<std::string> untestedFile;
  std::optional<std::string> timingFile;
  std::optional<std::string> xmlFile;
  std::optional<std::string> addTargetDataFile;
  std::optional<std::string> addTargetSymbolFile;
  bool listContents = false;
  bool listContentsWithCounters = false;
  std::optional<std::string> configFileText;
  OptionalList configOverrides;
  OptionalList chosenFiles;
  OptionalList unchosenFiles;
  uint32_t listingWidth = 4096;
  bool widthGiven = false;
  CoverageView coverageView = CoverageView::AsInstrumented;
  bool viewGiven = false;
  bool verbose = false;
  bool vFlag = false;
  bool noHeaderExtraction = false;
  bool onlyFilesWithCounters = false;
  std::string commandLineText;
};

// Fills the run's OptionSettings from the program arguments (argv[0] is the
// program name and not an argument), or ends the run: usage request with
// status 0, errors 9, 14, 16, 6 with status 1.
void parseCommandLine(int argc, const char* const* argv);

// The two steps of parseCommandLine, for programs that read qarpost's inputs
// and selection options beside options of their own.

// The argument list with options files expanded (errors 9, 14, 16, 6), and
// the text of the command line as given.
struct ArgumentList {
  std::vector<std::string> arguments;
  std::string commandLineText;
};
ArgumentList expandArguments(int argc, const char* const* argv);

// What such a program makes of qarpost's options.
struct CommandLineRules {
  // Offered every argument before it is looked at as one of qarpost's
  // options; returns how many arguments it took as the program's own (0:
  // none). It ends the run itself on an error in them.
  size_t (*takeOwnOption)(const std::vector<std::string>& arguments, size_t index) = nullptr;
  // qarpost's options (as "-p") that the program refuses: ErrorCode 9 with
  // `refusedText` and the option.
  std::vector<std::string_view> refusedOptions;
  std::string_view refusedText = "unknown option";
  // qarpost's checks of the option combination; a program that asks for
  // its work otherwise makes its own.
  bool qarpostChecks = true;
};

// Fills the run's OptionSettings from an expanded argument list.
void parseArgumentList(const ArgumentList& list, const CommandLineRules& rules);

// The run's settings, read-only after parseCommandLine.
const OptionSettings& options();

// Replaces the run's settings (tests, and tools that drive the library).
void setOptions(OptionSettings settings);

// Writes the usage text on standard output.
void printUsage();

}  // namespace qar
