#pragma once
// The output of one export format: standard output ("-") or a file created
// for writing, buffered. Every write is checked. A failure is reported as
// the numbered error it is (8, 17, 6) but does not end the run: the output
// stops, the other outputs are completed, and the run ends with status 1.
// A file takes its name only when it is complete (see replacing_output.h):
// an output that fails leaves what stood under its name before.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/posterr.h"
#include "export/output/replacing_output.h"

namespace qar {

struct ExportStream {
  ExportStream() = default;
  ExportStream(ExportStream&&) = default;
  ExportStream& operator=(ExportStream&&) = default;
  // A stream that goes without being closed (a run cut short) first waits
  // for its buffer in flight.
  ~ExportStream();

  std::FILE* file = nullptr;
  std::string name;  // "stdout" for standard output; used in messages
  OutputTarget target;  // where a file output goes when it is complete
  bool toStdout = false;
  bool temporary = false;  // an unnamed file whose text goes into another stream at the end
  bool failed = false;
  std::string buffer;  // text not yet handed to the file
  // Bytes handed to the file so far, for writers that go back to a place.
  long written = 0;
  // The text stays in `buffer` until the caller takes it whole (a page of
  // the HTML report, written with writeExportFile).
  bool held = false;
  // A regular file: its full buffers are written by the export's second
  // thread (export_aside.h), from `inFlight`, while the next one fills.
  bool mayWriteAside = false;
  std::string inFlight;
  bool inFlightFailed = false;
  int inFlightError = 0;
};

// Opens `name` ("-" and "stdout": standard output). False, with ErrorCode 8
// reported, when the file cannot be created.
bool openExportStream(ExportStream& stream, std::string_view name);

// Opens an unnamed temporary file for a part of the output `forName` that is
// written before the part that precedes it.
bool openTemporaryStream(ExportStream& stream, std::string_view forName);

// Writers append to `buffer` and call this at the end of each record; the
// buffer goes to the file once it holds enough.
inline constexpr size_t kExportBufferLimit = 1 << 18;
void flushExportBuffer(ExportStream& stream);
inline void settleExportBuffer(ExportStream& stream) {
  if (!stream.held && stream.buffer.size() >= kExportBufferLimit) flushExportBuffer(stream);
}

// Creates (or truncates) `name` and writes `text` into it with one write
// where the system takes it whole: the pages of the HTML report, which a
// report written again into its directory rewrites in place (replacing
// each of thousands of pages would create and free as many files). False,
// with the error reported as a stream reports it (8, 17, 6), when that
// fails; a regular file left half written is then removed.
bool writeExportFile(const std::string& name, std::string_view text);

// writeExportFile without reporting: what failed (8, 17, 6) and its errno,
// kNoError when the file was written. Touches nothing but the file, so
// another thread may call it.
struct WholeFileFailure {
  ErrorCode code = kNoError;
  int errorNumber = 0;
};
WholeFileFailure writeWholeFile(const std::string& name, std::string_view text);

// Whether the stream is a regular file that can be written over (not
// standard output, a pipe or a device).
bool exportStreamSeekable(const ExportStream& stream);

// Writes `text` at byte `offset` of a file stream (not standard output) and
// returns to its end; the text there must be no longer than what was
// written before. Flushes the buffer first.
void overwriteExportStream(ExportStream& stream, long offset, std::string_view text);

// Hands the whole text of a temporary stream to `into` and closes it.
void appendTemporaryStream(ExportStream& into, ExportStream& temporary);

// Flushes and closes (standard output is only flushed), and gives a
// complete file its name. Failures are reported; a file that failed is
// removed and what stood under its name stays.
void closeExportStream(ExportStream& stream);

// Closes without any check or message (a stream left behind by an error);
// the file does not take its name.
void abandonExportStream(ExportStream& stream);

// The failures of streams written on a second thread on the run's behalf
// (the formats' batches, format_batches.h): kept in the order they were met,
// to be reported by the run when it settles that thread's work, as writing in
// turn would have reported them by then.
struct KeptStreamFailure {
  ExportStream* stream = nullptr;
  int errorNumber = 0;
};

// While one lives, the streams the thread that made it writes write their
// buffers themselves (never handed aside: this thread may be the one they
// would go to) and keep their failures in `kept` instead of reporting them.
class KeepingStreamFailures {
 public:
  explicit KeepingStreamFailures(std::vector<KeptStreamFailure>& kept);
  ~KeepingStreamFailures();
  KeepingStreamFailures(const KeepingStreamFailures&) = delete;
  KeepingStreamFailures& operator=(const KeepingStreamFailures&) = delete;

 private:
  std::vector<KeptStreamFailure>* outer_;
};

// Reports the kept failures in their order and forgets them.
void reportKeptStreamFailures(std::vector<KeptStreamFailure>& kept);

// Reports an output error as the streams report theirs: the run goes on
// and ends with status 1.
void reportExportOutputError(ErrorCode code, const std::string& name, int errorNumber);

// Whether any output error was reported since the last reset.
bool exportOutputErrorReported();
void resetExportOutputErrors();

}  // namespace qar
