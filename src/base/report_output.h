#pragma once
// A report destination: standard output (the names "-" and "stdout"; never
// closed) or a file created for writing. Buffered, with every write checked;
// a full disk is retried once the space others hold is reclaimed.
#include <string>
#include <string_view>

namespace qar {

struct ReportOutput {
  int descriptor = -1;  // the file's; standard output goes through its own buffer
  bool open = false;
  bool toStdout = false;
  std::string displayName;  // "stdout" for standard output; used in messages
  std::string buffer;       // text of a file not yet written
  bool mayWriteAside = false;  // a regular file, whose buffers a second thread may write
  bool writesAside = false;    // it does
};

// Chooses the destination; a file that cannot be created is ErrorCode 8.
void openReportOutput(ReportOutput& output, std::string_view name);

// Takes `descriptor`, already open for writing, as the destination named
// `displayName` in messages; closeReportOutput closes it.
void adoptReportOutput(ReportOutput& output, int descriptor, std::string_view displayName);

// Writes `text`; a failing write is ErrorCode 17.
void writeReportOutput(ReportOutput& output, std::string_view text);

// Writes what is buffered (a failure is a write error, ErrorCode 17) and
// closes a file (a failure is ErrorCode 6, with ExitIfFatalCode). Forgets the
// destination.
void closeReportOutput(ReportOutput& output);

// Forgets the destination without reporting anything (tests, resets, the
// ways out after an error); what a file's buffer holds is dropped.
void abandonReportOutput(ReportOutput& output);

}  // namespace qar
