#include "driver/report_alongside.h"

#include <cerrno>
#include <csignal>
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

}  // namespace

ReportAlongside::~ReportAlongside() { stopReportAlongside(*this); }

bool startReportAlongside(ReportAlongside& report, AlongsideWriter write) {
  stopReportAlongside(report);
  report.text = std::tmpfile();
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
