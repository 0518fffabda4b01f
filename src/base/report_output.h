#pragma once
// A report destination: standard output (the names "-" and "stdout"; never
// closed) or a file created for writing. Buffered, with every write checked.
#include <cstdio>
#include <string>
#include <string_view>

namespace qar {

struct ReportOutput {
  std::FILE* file = nullptr;
  bool toStdout = false;
  std::string displayName;  // "stdout" for standard output; used in messages
};

// Chooses the destination; a file that cannot be created is ErrorCode 8.
void openReportOutput(ReportOutput& output, std::string_view name);

// Takes `file`, already open for writing, as the destination named
// `displayName` in messages; closeReportOutput closes it.
void adoptReportOutput(ReportOutput& output, std::FILE* file, std::string_view displayName);

// Writes `text`; a failing write is ErrorCode 17.
void writeReportOutput(const ReportOutput& output, std::string_view text);

// Flushes what is buffered (a failure is a write error, ErrorCode 17) and
// closes a file (a failure is ErrorCode 6, with ExitIfFatalCode). Forgets the
// destination.
void closeReportOutput(ReportOutput& output);

// Forgets the destination without reporting anything (tests, resets).
void abandonReportOutput(ReportOutput& output);

}  // namespace qar
