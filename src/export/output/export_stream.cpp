#include "export/output/export_stream.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/posterr.h"
#include "base/standard_output.h"
#include "base/text.h"
#include "export/output/export_aside.h"

namespace qar {
namespace {

bool& outputErrorFlag() {
  static bool reported = false;
  return reported;
}

// Where this thread keeps its streams' failures; none: they are reported.
thread_local std::vector<KeptStreamFailure>* keptFailures = nullptr;

// A write that failed: reported (or kept) once, the stream stops taking text.
void failStream(ExportStream& stream, int errorNumber) {
  if (!stream.failed) {
    if (keptFailures != nullptr) {
      keptFailures->push_back(KeptStreamFailure{&stream, errorNumber});
    } else {
      reportExportOutputError(kCannotWrite, stream.name, errorNumber);
    }
  }
  stream.failed = true;
  stream.buffer.clear();
}

void writeOut(ExportStream& stream, const char* data, size_t size) {
  if (stream.failed || size == 0) return;
  if (stream.toStdout) {
    // Standard output is the program's one buffered channel to descriptor 1.
    if (const int errorNumber = writeStandardOutput(std::string_view(data, size)); errorNumber != 0) {
      failStream(stream, errorNumber);
      return;
    }
    stream.written += static_cast<long>(size);
    return;
  }
  errno = 0;
  if (std::fwrite(data, 1, size, stream.file) != size) {
    failStream(stream, errno);
    return;
  }
  stream.written += static_cast<long>(size);
}

// Hands a file's full buffer to the export's second thread; false when it
// is written here (standard output, a pipe or device, no thread).
bool handBufferAside(ExportStream& stream) {
  if (keptFailures != nullptr) return false;
  if (!stream.mayWriteAside || stream.failed || stream.buffer.empty() || !exportPiecesAside()) return false;
  // The piece before may be this stream's, and may have failed it.
  settleExportPiece();
  if (stream.failed) {
    stream.buffer.clear();
    return true;
  }
  stream.inFlight.swap(stream.buffer);
  stream.buffer.clear();
  stream.written += static_cast<long>(stream.inFlight.size());
  handExportPiece(
      &stream,
      [&stream] {
        errno = 0;
        stream.inFlightFailed =
            std::fwrite(stream.inFlight.data(), 1, stream.inFlight.size(), stream.file) != stream.inFlight.size();
        stream.inFlightError = errno;
      },
      [&stream] {
        if (stream.inFlightFailed) failStream(stream, stream.inFlightError);
        stream.inFlightFailed = false;
      });
  return true;
}

bool isRegularFile(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

ExportStream::~ExportStream() { forgetExportPieceOf(this); }

KeepingStreamFailures::KeepingStreamFailures(std::vector<KeptStreamFailure>& kept) : outer_(keptFailures) {
  keptFailures = &kept;
}

KeepingStreamFailures::~KeepingStreamFailures() { keptFailures = outer_; }

void reportKeptStreamFailures(std::vector<KeptStreamFailure>& kept) {
  for (const KeptStreamFailure& failure : kept) {
    reportExportOutputError(kCannotWrite, failure.stream->name, failure.errorNumber);
  }
  kept.clear();
}

bool openExportStream(ExportStream& stream, std::string_view name) {
  abandonExportStream(stream);
  if (name == "-" || name == "stdout") {
    stream.file = stdout;
    stream.toStdout = true;
    stream.name = "stdout";
    return true;
  }
  stream.name.assign(name);
  errno = 0;
  const int descriptor = openOutputTarget(stream.target, stream.name);
  if (descriptor >= 0) stream.file = ::fdopen(descriptor, "w");
  if (stream.file == nullptr) {
    const int openError = errno;
    if (descriptor >= 0) ::close(descriptor);
    discardOutputTarget(stream.target);
    reportExportOutputError(kCannotCreate, stream.name, openError);
    stream.failed = true;
    return false;
  }
  stream.mayWriteAside = isRegularFile(stream.file);
  return true;
}

bool openTemporaryStream(ExportStream& stream, std::string_view forName) {
  abandonExportStream(stream);
  stream.name = std::string(forName) + " (temporary part)";
  stream.temporary = true;
  errno = 0;
  stream.file = std::tmpfile();
  if (stream.file == nullptr) {
    reportExportOutputError(kCannotCreate, stream.name, errno);
    stream.failed = true;
    return false;
  }
  stream.mayWriteAside = isRegularFile(stream.file);
  return true;
}

void flushExportBuffer(ExportStream& stream) {
  if (handBufferAside(stream)) return;
  writeOut(stream, stream.buffer.data(), stream.buffer.size());
  stream.buffer.clear();
}

WholeFileFailure writeWholeFile(const std::string& name, std::string_view text) {
  // Only a page that is a file of its own is removed when it fails, never
  // what a link leads to or a device.
  struct stat status {};
  const bool removable = ::lstat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode);
  errno = 0;
  const int file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0) return WholeFileFailure{kCannotCreate, errno};
  WholeFileFailure failure;
  while (!text.empty()) {
    errno = 0;
    const ssize_t wrote = ::write(file, text.data(), text.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failure = WholeFileFailure{kCannotWrite, wrote < 0 ? errno : ENOSPC};
      break;
    }
    text.remove_prefix(static_cast<size_t>(wrote));
  }
  errno = 0;
  if (::close(file) != 0 && failure.code == kNoError) failure = WholeFileFailure{kCannotClose, errno};
  if (failure.code != kNoError && removable) ::unlink(name.c_str());
  return failure;
}

bool writeExportFile(const std::string& name, std::string_view text) {
  const WholeFileFailure failure = writeWholeFile(name, text);
  if (failure.code == kNoError) return true;
  reportExportOutputError(failure.code, name, failure.errorNumber);
  return false;
}

bool exportStreamSeekable(const ExportStream& stream) {
  if (stream.file == nullptr || stream.toStdout) return false;
  return isRegularFile(stream.file);
}

void overwriteExportStream(ExportStream& stream, long offset, std::string_view text) {
  flushExportBuffer(stream);
  settleExportPiece();
  if (stream.failed) return;
  errno = 0;
  if (std::fseek(stream.file, offset, SEEK_SET) != 0 ||
      std::fwrite(text.data(), 1, text.size(), stream.file) != text.size() ||
      std::fseek(stream.file, 0, SEEK_END) != 0) {
    failStream(stream, errno);
  }
}

void appendTemporaryStream(ExportStream& into, ExportStream& temporary) {
  flushExportBuffer(into);
  settleExportPiece();
  if (into.failed) {
    // The output is lost and named already; its part says nothing more.
    abandonExportStream(temporary);
    return;
  }
  flushExportBuffer(temporary);
  settleExportPiece();
  if (!temporary.failed) {
    errno = 0;
    if (std::fflush(temporary.file) != 0 || std::fseek(temporary.file, 0, SEEK_SET) != 0) {
      failStream(temporary, errno);
    }
  }
  if (!temporary.failed) {
    static char chunk[1 << 16];
    for (;;) {
      size_t got = std::fread(chunk, 1, sizeof chunk, temporary.file);
      if (got > 0) writeOut(into, chunk, got);
      if (got < sizeof chunk) {
        if (std::ferror(temporary.file)) {
          setErrorArguments(temporary.name, systemErrorText(errno));
          reportError(kCannotRead, ErrorSeverity::ContinueAfterReport);
          outputErrorFlag() = true;
          into.failed = true;
        }
        break;
      }
    }
  } else {
    // The part is lost; so is the output it belonged to.
    into.failed = true;
  }
  abandonExportStream(temporary);
}

void closeExportStream(ExportStream& stream) {
  if (stream.file == nullptr) return;
  flushExportBuffer(stream);
  settleExportPiece();
  errno = 0;
  if (stream.toStdout) {
    if (const int errorNumber = flushStandardOutput(); errorNumber != 0) failStream(stream, errorNumber);
  } else if (std::fflush(stream.file) != 0) {
    failStream(stream, errno);
  }
  if (!stream.toStdout) {
    errno = 0;
    if (std::fclose(stream.file) != 0 && !stream.failed) {
      reportExportOutputError(kCannotClose, stream.name, errno);
      stream.failed = true;
    }
    if (stream.failed) {
      discardOutputTarget(stream.target);
    } else if (!completeOutputTarget(stream.target)) {
      reportExportOutputError(kCannotCreate, stream.name, errno);
      stream.failed = true;
    }
  }
  stream.file = nullptr;
}

void abandonExportStream(ExportStream& stream) {
  // What was handed over has been written, as it would have been by now.
  settleExportPiece();
  if (stream.file != nullptr && !stream.toStdout) std::fclose(stream.file);
  discardOutputTarget(stream.target);
  stream = ExportStream{};
}

void reportExportOutputError(ErrorCode code, const std::string& name, int errorNumber) {
  setErrorArguments(name, systemErrorText(errorNumber));
  reportError(code, ErrorSeverity::ContinueAfterReport);
  outputErrorFlag() = true;
}

bool exportOutputErrorReported() { return outputErrorFlag(); }

void resetExportOutputErrors() { outputErrorFlag() = false; }

}  // namespace qar
