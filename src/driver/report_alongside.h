#pragma once
// A report written alongside the others: a forked copy of the process writes
// it into an unnamed temporary file on the second core while this process
// writes the reports before it. At the report's turn its text is taken over
// only when the copy ended cleanly and said nothing on standard error;
// otherwise the caller writes the report itself, so that what reaches the
// outputs, standard error and the exit status is exactly what writing the
// reports one after another gives.
//
// The copy never holds anything another output of the run needs: when a
// write of this process finds the disk full, the copy is stopped, its text
// dropped and the write tried again (the report is then written in its
// turn); and the copy ends with this process, however that ends.
#include <string_view>

#include <sys/types.h>

namespace qar {

struct ReportAlongside {
  pid_t child = -1;
  int text = -1;               // what the copy writes
  int diagnostics = -1;        // what the copy says on standard error
  bool besideTarget = false;   // `text` is an unnamed file in the target's directory
  ReportAlongside() = default;
  ReportAlongside(const ReportAlongside&) = delete;
  ReportAlongside& operator=(const ReportAlongside&) = delete;
  ~ReportAlongside();  // a copy still running is stopped: the run ended before its turn
};

// Writes the whole report into the file open on `descriptor` and closes it;
// fatal errors end it by ProgramExit, as in the sequential run.
using AlongsideWriter = void (*)(int descriptor);

// Starts the copy, which calls `write` and ends, for the report that goes to
// `outputName`. False, with nothing started, when no temporary file or
// process can be had.
bool startReportAlongside(ReportAlongside& report, AlongsideWriter write, std::string_view outputName);

// Waits for the copy. When it ended with status 0 and said nothing, the text
// becomes the report and the result is true: when no file is named
// `outputName` yet, the unnamed file is given that name; otherwise
// `outputName` is created as the report's own writer creates it ("-" and
// "stdout": standard output) and the text copied into it, with the same
// checks and messages. False: the caller writes the report itself (also
// after the copy was stopped to free its room, or when copying the text
// found the disk full).
bool takeReportAlongside(ReportAlongside& report, std::string_view outputName);

// Stops the copy if it still runs and drops its text.
void stopReportAlongside(ReportAlongside& report);

}  // namespace qar
