#include "driver/report_alongside.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/checked_write.h"
#include "base/report_output.h"
#include "base/standard_output.h"

namespace qar {
namespace {

void closeDescriptor(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

// The exit status of the copy, or -1 when it did not exit normally.
int waitForCopy(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool isEmptyFile(int descriptor) {
  struct stat status {};
  return fstat(descriptor, &status) == 0 && status.st_size == 0;
}

[[noreturn]] void runCopy(ReportAlongside& report, AlongsideWriter write, pid_t parent) {
  // The copy ends with its parent, however the parent ends (a signal, a
  // broken pipe on standard output): it must not run on holding its text.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(1);
  // Everything the copy says goes to its own file; it never writes to
  // standard output, whose text belongs to the process that goes on.
  discardStandardOutput();
  dup2(report.diagnostics, STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  int status = 0;
  try {
    write(report.text);
    report.text = -1;  // closed by the writer
  } catch (...) {
    status = 1;
  }
  // No exit handlers: they belong to the process that goes on.
  _exit(status);
}

bool isStandardOutput(std::string_view name) { return name == "-" || name == "stdout"; }

std::string directoryOf(std::string_view name) {
  const size_t slash = name.find_last_of('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(name.substr(0, slash));
}

// The file for the copy's text: an unnamed file in the target's directory,
// which can be given the target's name at the report's turn instead of
// being copied; else an unnamed file in the temporary directory.
int openTextFile(std::string_view outputName, bool& besideTarget) {
  besideTarget = false;
  if (!isStandardOutput(outputName)) {
    const int descriptor = ::open(directoryOf(outputName).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      besideTarget = true;
      return descriptor;
    }
  }
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return -1;
  const int descriptor = fcntl(fileno(file), F_DUPFD_CLOEXEC, 3);
  std::fclose(file);
  return descriptor;
}

// Gives the copy's text the target's name when no file of that name exists:
// the file then is what creating it and writing the text gives (its mode is
// that of a file created for writing). False when the name is taken, or the
// file system cannot do it; the text is then copied.
bool nameTextFile(const ReportAlongside& report, std::string_view outputName) {
  if (!report.besideTarget) return false;
  const std::string descriptorPath = "/proc/self/fd/" + std::to_string(report.text);
  return linkat(AT_FDCWD, descriptorPath.c_str(), AT_FDCWD, std::string(outputName).c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// The copy whose text a full disk may take back: one at a time.
ReportAlongside*& runningCopy() {
  static ReportAlongside* report = nullptr;
  return report;
}

// While the copy runs: a write of this process that finds the disk full
// stops it and drops its text, and the report is written in its turn.
bool dropRunningCopy() {
  ReportAlongside* report = runningCopy();
  if (report == nullptr) return false;
  runningCopy() = nullptr;
  stopReportAlongside(*report);
  return true;
}

// Thrown when copying the text into the target finds the disk full: the
// text is dropped, and the report written in its turn needs only its own room.
struct CopyOutOfRoom {};

bool dropTextWhileCopying() {
  ReportAlongside* report = runningCopy();
  if (report == nullptr) return false;
  runningCopy() = nullptr;
  stopReportAlongside(*report);
  throw CopyOutOfRoom{};
}

// Ends the copy's claim on space when the report's turn is over.
struct ReclaimerScope {
  ~ReclaimerScope() {
    setSpaceReclaimer(nullptr);
    runningCopy() = nullptr;
  }
};

// Copies the text into the target, created as the report's writer creates
// it; false when the disk filled up and the text was dropped.
bool copyText(ReportAlongside& report, std::string_view outputName) {
  if (!isStandardOutput(outputName)) {
    runningCopy() = &report;
    setSpaceReclaimer(dropTextWhileCopying);
  }
  ReclaimerScope scope;
  ReportOutput output;
  try {
    openReportOutput(output, outputName);
    std::vector<char> chunk(1 << 20);
    off_t offset = 0;
    for (;;) {
      const ssize_t got = pread(report.text, chunk.data(), chunk.size(), offset);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        // The copy's text cannot be read back: the report is written again.
        abandonReportOutput(output);
        stopReportAlongside(report);
        return false;
      }
      if (got == 0) break;
      writeReportOutput(output, std::string_view(chunk.data(), static_cast<size_t>(got)));
      offset += got;
    }
    closeReportOutput(output);
  } catch (const CopyOutOfRoom&) {
    abandonReportOutput(output);
    return false;
  } catch (...) {
    // A failed create or write ends the run, as in the report's own writer.
    abandonReportOutput(output);
    throw;
  }
  stopReportAlongside(report);
  return true;
}

}  // namespace

ReportAlongside::~ReportAlongside() { stopReportAlongside(*this); }

bool startReportAlongside(ReportAlongside& report, AlongsideWriter write, std::string_view outputName) {
  stopReportAlongside(report);
  report.text = openTextFile(outputName, report.besideTarget);
  std::FILE* diagnostics = std::tmpfile();
  if (diagnostics != nullptr) {
    report.diagnostics = fcntl(fileno(diagnostics), F_DUPFD_CLOEXEC, 3);
    std::fclose(diagnostics);
  }
  if (report.text < 0 || report.diagnostics < 0) {
    stopReportAlongside(report);
    return false;
  }
  // What standard output still buffers must be written once, by this process.
  flushStandardOutput();
  std::fflush(stdout);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    stopReportAlongside(report);
    return false;
  }
  if (child == 0) runCopy(report, write, parent);
  report.child = child;
  runningCopy() = &report;
  setSpaceReclaimer(dropRunningCopy);
  return true;
}

bool takeReportAlongside(ReportAlongside& report, std::string_view outputName) {
  setSpaceReclaimer(nullptr);
  runningCopy() = nullptr;
  if (report.child < 0) return false;
  const int status = waitForCopy(report.child);
  report.child = -1;
  if (status != 0 || !isEmptyFile(report.diagnostics)) {
    stopReportAlongside(report);
    return false;
  }
  if (nameTextFile(report, outputName)) {
    stopReportAlongside(report);
    return true;
  }
  return copyText(report, outputName);
}

void stopReportAlongside(ReportAlongside& report) {
  if (runningCopy() == &report) {
    runningCopy() = nullptr;
    setSpaceReclaimer(nullptr);
  }
  if (report.child > 0) {
    kill(report.child, SIGKILL);
    waitForCopy(report.child);
  }
  report.child = -1;
  closeDescriptor(report.text);
  closeDescriptor(report.diagnostics);
}

}  // namespace qar
