#include "base/report_output.h"

#include <cerrno>

#include "base/posterr.h"
#include "base/text.h"

namespace qar {
namespace {

constexpr size_t kFileBufferSize = 1 << 16;

[[noreturn]] void failOnOutput(ErrorCode code, const std::string& name, int errorNumber) {
  setErrorArguments(name, systemErrorText(errorNumber));
  failWith(code);
}

}  // namespace

void openReportOutput(ReportOutput& output, std::string_view name) {
  abandonReportOutput(output);
  if (name == "-" || name == "stdout") {
    output.file = stdout;
    output.toStdout = true;
    output.displayName = "stdout";
    return;
  }
  std::string fileName(name);
  errno = 0;
  std::FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) failOnOutput(kCannotCreate, fileName, errno);
  std::setvbuf(file, nullptr, _IOFBF, kFileBufferSize);
  output.file = file;
  output.toStdout = false;
  output.displayName = std::move(fileName);
}

void adoptReportOutput(ReportOutput& output, std::FILE* file, std::string_view displayName) {
  abandonReportOutput(output);
  std::setvbuf(file, nullptr, _IOFBF, kFileBufferSize);
  output.file = file;
  output.toStdout = false;
  output.displayName = std::string(displayName);
}

void writeReportOutput(const ReportOutput& output, std::string_view text) {
  if (text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), output.file) != text.size()) {
    failOnOutput(kCannotWrite, output.displayName, errno);
  }
}

void closeReportOutput(ReportOutput& output) {
  if (output.file == nullptr) return;
  ReportOutput closing = std::move(output);
  output = ReportOutput{};
  // What is still buffered is written here: its failure is a write error.
  errno = 0;
  if (std::fflush(closing.file) != 0) {
    int errorNumber = errno;
    if (!closing.toStdout) std::fclose(closing.file);
    failOnOutput(kCannotWrite, closing.displayName, errorNumber);
  }
  if (closing.toStdout) return;
  errno = 0;
  if (std::fclose(closing.file) != 0) {
    setErrorArguments(closing.displayName, systemErrorText(errno));
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  }
}

void abandonReportOutput(ReportOutput& output) {
  if (output.file != nullptr) {
    if (output.toStdout) {
      std::fflush(stdout);
    } else {
      std::fclose(output.file);
    }
  }
  output = ReportOutput{};
}

}  // namespace qar
