#include "driver/report_alongside.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/report_output.h"

namespace qar {
namespace {

void closeFile(std::FILE*& file) {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
}

// The exit status of the copy, or -1 when it did not exit normally.
int waitForCopy(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool isEmptyFile(std::FILE* file) {
  return std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == 0;
}

[[noreturn]] void runCopy(ReportAlongside& report, AlongsideWriter write) {
  // Everything the copy says goes to its own file; standard output was
  // flushed before the fork, and the copy never writes to it.
  dup2(fileno(report.diagnostics), STDERR_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  int status = 0;
  try {
    write(report.text);
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
std::FILE* openTextFile(std::string_view outputName, bool& besideTarget) {
  besideTarget = false;
  if (!isStandardOutput(outputName)) {
    const int descriptor = open(directoryOf(outputName).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      if (std::FILE* file = fdopen(descriptor, "w+")) {
        besideTarget = true;
        return file;
      }
      close(descriptor);
    }
  }
  return std::tmpfile();
}

// Gives the copy's text the target's name when no file of that name exists:
// the file then is what creating it and writing the text gives (its mode is
// that of a file created for writing). False when the name is taken, or the
// file system cannot do it; the text is then copied.
bool nameTextFile(const ReportAlongside& report, std::string_view outputName) {
  if (!report.besideTarget) return false;
  const std::string descriptorPath = "/proc/self/fd/" + std::to_string(fileno(report.text));
  return linkat(AT_FDCWD, descriptorPath.c_str(), AT_FDCWD, std::string(outputName).c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

ReportAlongside::~ReportAlongside() { stopReportAlongside(*this); }

bool startReportAlongside(ReportAlongside& report, AlongsideWriter write, std::string_view outputName) {
  stopReportAlongside(report);
  report.text = openTextFile(outputName, report.besideTarget);
  report.diagnostics = std::tmpfile();
  if (report.text == nullptr || report.diagnostics == nullptr) {
    stopReportAlongside(report);
    return false;
  }
  // What standard output still buffers must be written once, by this process.
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    stopReportAlongside(report);
    return false;
  }
  if (child == 0) runCopy(report, write);
  report.child = child;
  return true;
}

bool takeReportAlongside(ReportAlongside& report, std::string_view outputName) {
  if (report.child < 0) return false;
  const int status = waitForCopy(report.child);
  report.child = -1;
  if (status != 0 || !isEmptyFile(report.diagnostics) || std::fseek(report.text, 0, SEEK_SET) != 0) {
    stopReportAlongside(report);
    return false;
  }
  if (nameTextFile(report, outputName)) {
    stopReportAlongside(report);
    return true;
  }
  ReportOutput output;
  openReportOutput(output, outputName);
  std::vector<char> chunk(1 << 20);
  try {
    for (;;) {
      const size_t got = std::fread(chunk.data(), 1, chunk.size(), report.text);
      if (got > 0) writeReportOutput(output, std::string_view(chunk.data(), got));
      if (got < chunk.size()) break;
    }
  } catch (...) {
    // A failed write ends the run, as it does in the report's own writer.
    abandonReportOutput(output);
    throw;
  }
  if (std::ferror(report.text) != 0) {
    // The copy's text cannot be read back: the report is written again.
    abandonReportOutput(output);
    stopReportAlongside(report);
    return false;
  }
  closeReportOutput(output);
  stopReportAlongside(report);
  return true;
}

void stopReportAlongside(ReportAlongside& report) {
  if (report.child > 0) {
    kill(report.child, SIGKILL);
    waitForCopy(report.child);
  }
  report.child = -1;
  closeFile(report.text);
  closeFile(report.diagnostics);
}

}  // namespace qar
