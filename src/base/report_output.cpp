#include "base/report_output.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

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
    if (descriptor >= 0 || errno == EINTR) {
      if (descriptor >= 0) return descriptor;
      continue;
    }
    const int errorNumber = errno;
    if (!(isNoSpaceError(errorNumber) && reclaimSpace())) {
      errno = errorNumber;
      return -1;
    }
  }
}

// Writes a file's buffer; ErrorCode 17 when that fails.
void flushFileBuffer(ReportOutput& output) {
  if (output.buffer.empty()) return;
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

void adoptReportOutput(ReportOutput& output, int descriptor, std::string_view displayName) {
  abandonReportOutput(output);
  startFile(output, descriptor, std::string(displayName));
}

void writeReportOutput(ReportOutput& output, std::string_view text) {
  if (text.empty()) return;
  if (output.toStdout) {
    if (const int errorNumber = writeStandardOutput(text); errorNumber != 0) {
      failOnOutput(kCannotWrite, output.displayName, errorNumber);
    }
    return;
  }
  if (output.buffer.size() + text.size() > kFileBufferSize) {
    flushFileBuffer(output);
    if (text.size() >= kFileBufferSize) {
      if (const int errorNumber = writeAll(output.descriptor, text); errorNumber != 0) {
        failOnOutput(kCannotWrite, output.displayName, errorNumber);
      }
      return;
    }
  }
  output.buffer.append(text);
}

void closeReportOutput(ReportOutput& output) {
  if (!output.open) return;
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
  if (output.open) {
    if (output.toStdout) {
      flushStandardOutput();
    } else {
      ::close(output.descriptor);
    }
  }
  output = ReportOutput{};
}

}  // namespace qar
