#pragma once
// qarpost-export's entry: the start-up of a qarpost report run (command
// line, configuration, input files, the prepared database), then the exports.

namespace qar {

// Runs qarpost-export and returns its exit status: 0, 1 after an error, 2
// when a coverage gate was missed.
int runExportProgram(int argc, const char* const* argv);

// runExportProgram as main() calls it: ProgramExit becomes the status.
int runExportProgramAndExit(int argc, const char* const* argv);

}  // namespace qar
