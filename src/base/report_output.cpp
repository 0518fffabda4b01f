#include "base/report_output.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "base/aside_worker.h"
#include "base/checked_write.h"
#include "base/posterr.h"
#include "base/standard_output.h"
#include "base/text.h"

namespace qar {
namespace {

constexpr size_t kFileBufferSize = 1 << 16;

[[noreturn]] void failOnOutput(ErrorCode code, const std::string& name, int errorNumber) {
  setErrorArguments(name, systemErrorText(errorNumber));
  failWith(code);
}

int createForWriting(const std::string& name) {
  for (;;) {
    // Created as the C library's "w" mode creates a file.
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EINTR) return descriptor;
  }
}

// A large report's text goes into its file from a second thread while the
// next buffer is filled: writing into the page cache cost the system a
// tenth to a sixth of the XML report's time. Buffers are handed over where the file
// would have been written, one at a time, and the outcome of one is settled
// before the next is handed over, before anything is written to the file
// directly, when the file is closed, and before any diagnostic (a barrier
// in posterr). A write that failed is then reported as the failed write it
// is: the file holds the same bytes, and standard error says the same in
// the same order, as writing in turn. One file at a
// time writes this way (the others write in turn), from its first full
// buffer on: a small report never starts the thread.
struct TextAside {
  AsideWorker worker;
  bool taken = false;  // an open output writes through it
  int descriptor = -1;
  std::string displayName;
  std::string text;  // the buffer in flight
  // What writing it ended in: 0, or the errno of the write that failed.
  int errorNumber = 0;
};

TextAside& textAside() {
  static TextAside aside;
  return aside;
}

void settleTextAside() {
  TextAside& aside = textAside();
  if (!aside.taken) return;
  aside.worker.wait();
  const int errorNumber = std::exchange(aside.errorNumber, 0);
  if (errorNumber != 0) failOnOutput(kCannotWrite, aside.displayName, errorNumber);
}

void releaseTextAside(ReportOutput& output) {
  if (!output.writesAside) return;
  output.writesAside = false;
  TextAside& aside = textAside();
  aside.worker.stop();
  aside.taken = false;
  aside.errorNumber = 0;
  aside.descriptor = -1;
  removeDiagnosticBarrier(settleTextAside);
}

bool handTextAside(ReportOutput& output) {
  TextAside& aside = textAside();
  if (!output.writesAside) {
    if (!output.mayWriteAside || aside.taken || !aside.worker.start()) return false;
    output.writesAside = true;
    aside.taken = true;
    aside.descriptor = output.descriptor;
    aside.displayName = output.displayName;
    addDiagnosticBarrier(settleTextAside);
  }
  settleTextAside();
  aside.text.swap(output.buffer);
  output.buffer.clear();
  aside.worker.hand([&aside] {
    aside.errorNumber = writeAll(aside.descriptor, aside.text);
  });
  return true;
}

// Writes a file's buffer; ErrorCode 17 when that fails.
void flushFileBuffer(ReportOutput& output) {
  if (output.buffer.empty()) return;
  if (handTextAside(output)) return;
  const int errorNumber = writeAll(output.descriptor, output.buffer);
  output.buffer.clear();
  if (errorNumber != 0) failOnOutput(kCannotWrite, output.displayName, errorNumber);
}

void startFile(ReportOutput& output, int descriptor, std::string displayName) {
  output.descriptor = descriptor;
  output.open = true;
  output.toStdout = false;
  output.displayName = std::move(displayName);
  output.buffer.reserve(kFileBufferSize);
  // Only a regular file: what a pipe or a device does with the text is
  // not the run's to put off.
  struct stat status {};
  output.mayWriteAside = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

void openReportOutput(ReportOutput& output, std::string_view name) {
  abandonReportOutput(output);
  if (name == "-" || name == "stdout") {
    output.open = true;
    output.toStdout = true;
    output.displayName = "stdout";
    return;
  }
  std::string fileName(name);
  const int descriptor = createForWriting(fileName);
  if (descriptor < 0) failOnOutput(kCannotCreate, fileName, errno);
  startFile(output, descriptor, std::move(fileName));
}

void openReportOutputInMemory(ReportOutput& output) {
  abandonReportOutput(output);
  output.open = true;
  output.toMemory = true;
  output.displayName = "memory";
}

void writeReportOutput(ReportOutput& output, std::string_view text) {
  if (text.empty()) return;
  if (output.toMemory) {
    output.buffer.append(text);
    output.pieces.push_back(static_cast<uint32_t>(text.size()));
    return;
  }
  if (output.toStdout) {
    if (const int errorNumber = writeStandardOutput(text); errorNumber != 0) {
      failOnOutput(kCannotWrite, output.displayName, errorNumber);
    }
    return;
  }
  if (output.buffer.size() + text.size() > kFileBufferSize) {
    flushFileBuffer(output);
    if (text.size() >= kFileBufferSize) {
      if (output.writesAside) settleTextAside();
      if (const int errorNumber = writeAll(output.descriptor, text); errorNumber != 0) {
        failOnOutput(kCannotWrite, output.displayName, errorNumber);
      }
      return;
    }
  }
  output.buffer.append(text);
}

void writeReportPieces(ReportOutput& output, std::string_view text, const std::vector<uint32_t>& pieces) {
  size_t at = 0;
  const size_t count = pieces.size();
  for (size_t i = 0; i < count;) {
    // Pieces that fit in a file's buffer one after another are appended
    // there, as each would be: together.
    if (!output.toStdout && !output.toMemory) {
      const size_t room = kFileBufferSize - std::min(output.buffer.size(), kFileBufferSize);
      size_t run = 0;
      size_t next = i;
      while (next < count && run + pieces[next] <= room) run += pieces[next++];
      if (run != 0) {
        output.buffer.append(text.substr(at, run));
        at += run;
        i = next;
        continue;
      }
    }
    writeReportOutput(output, text.substr(at, pieces[i]));
    at += pieces[i];
    ++i;
  }
}

void writeReportText(ReportOutput& output, std::string& text) {
  if (output.toStdout || output.toMemory || text.size() < kFileBufferSize) {
    writeReportOutput(output, text);
    text.clear();
    return;
  }
  flushFileBuffer(output);
  output.buffer.swap(text);
  flushFileBuffer(output);
  text.clear();
}

void writeReportPart(ReportOutput& output, std::string& text, std::vector<uint32_t>& pieces, bool walkedWell) {
  if (walkedWell) {
    writeReportText(output, text);
  } else {
    writeReportPieces(output, text, pieces);
  }
  std::string().swap(text);
  std::vector<uint32_t>().swap(pieces);
}

void closeReportOutput(ReportOutput& output) {
  if (!output.open) return;
  if (output.toMemory) {
    output = ReportOutput{};
    return;
  }
  if (output.writesAside) {
    // What the thread writes comes before the rest of the buffer.
    settleTextAside();
    releaseTextAside(output);
  }
  ReportOutput closing = std::move(output);
  output = ReportOutput{};
  if (closing.toStdout) {
    // Standard output is flushed, never closed.
    if (const int errorNumber = flushStandardOutput(); errorNumber != 0) {
      failOnOutput(kCannotWrite, closing.displayName, errorNumber);
    }
    return;
  }
  // What is still buffered is written here: its failure is a write error.
  const int errorNumber = writeAll(closing.descriptor, closing.buffer);
  if (errorNumber != 0) {
    ::close(closing.descriptor);
    failOnOutput(kCannotWrite, closing.displayName, errorNumber);
  }
  if (::close(closing.descriptor) != 0) {
    setErrorArguments(closing.displayName, systemErrorText(errno));
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  }
}

void abandonReportOutput(ReportOutput& output) {
  // What was handed over is written (as it would have been already); what it
  // ended in is not reported.
  releaseTextAside(output);
  if (output.open && !output.toMemory) {
    if (output.toStdout) {
      flushStandardOutput();
    } else {
      ::close(output.descriptor);
    }
  }
  output = ReportOutput{};
}

}  // namespace qar
