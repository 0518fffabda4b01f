#pragma once
// The program entry: start-up, run-mode decision and the report dispatcher.
#include <string_view>

#include "cmdline/postcmdl.h"

namespace qar {

// Runs the program on its arguments and returns the exit status of a run
// that reaches its end (0). Fatal errors end it early by ProgramExit.
int runProgram(int argc, const char* const* argv);

// runProgram with ProgramExit turned into the returned status and standard
// output flushed; what main() calls.
int runProgramAndExit(int argc, const char* const* argv);

// Runs `run` as main() runs a program: a ProgramExit becomes the returned
// status, a failed allocation ErrorCode 15, and standard output is flushed.
int runAndExit(int (*run)(int, const char* const*), int argc, const char* const* argv);

// Standard error unbuffered, standard output with a large buffer (every
// diagnostic flushes it first).
void prepareStandardStreams();

// Writes one report: builds the database before the first one, prepares it
// for coverage reports, then hands over to the report's writer.
void dispatchReport(ReportKind kind, std::string_view outputName);

// The banner box, on standard error.
void printBanner();

// Forgets the once-per-run progress of the dispatcher (tests).
void resetDriverState();

}  // namespace qar
