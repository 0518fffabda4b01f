#include "xml/xml_output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "driver/posterr.h"
#include "util/text.h"

namespace qar {
namespace {

constexpr size_t kFileBufferSize = 1 << 16;

struct XmlStream {
  std::FILE* file = nullptr;
  bool toStdout = false;
  std::string displayName;
};

XmlStream& stream() {
  static XmlStream state;
  return state;
}

[[noreturn]] void failOnStream(ErrorCode code, const std::string& name, int errorNumber) {
  setErrorArguments(name, systemErrorText(errorNumber));
  failWith(code);
}

std::FILE* openFile() {
  XmlStream& state = stream();
  if (state.file == nullptr) failInternal("postxml", 101);
  return state.file;
}

}  // namespace

void openXmlOutput(std::string_view name) {
  resetXmlOutput();
  XmlStream& state = stream();
  if (name == "-" || name == "stdout") {
    state.file = stdout;
    state.toStdout = true;
    state.displayName = "stdout";
    return;
  }
  std::string fileName(name);
  errno = 0;
  std::FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) failOnStream(kCannotCreate, fileName, errno);
  std::setvbuf(file, nullptr, _IOFBF, kFileBufferSize);
  state.file = file;
  state.displayName = std::move(fileName);
}

void closeXmlOutput() {
  XmlStream& state = stream();
  if (state.file == nullptr) return;
  XmlStream closing = std::move(state);
  state = XmlStream{};
  // What is still buffered is written here; its failure is a write error,
  // not a close error.
  errno = 0;
  if (std::fflush(closing.file) != 0) {
    int errorNumber = errno;
    if (!closing.toStdout) std::fclose(closing.file);
    failOnStream(kCannotWrite, closing.displayName, errorNumber);
  }
  if (closing.toStdout) return;
  errno = 0;
  if (std::fclose(closing.file) != 0) {
    setErrorArguments(closing.displayName, systemErrorText(errno));
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  }
}

const std::string& xmlOutputName() { return stream().displayName; }

void writeXml(std::string_view text) {
  std::FILE* file = openFile();
  if (text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
    failOnStream(kCannotWrite, stream().displayName, errno);
  }
}

void printXml(const char* format, ...) {
  std::FILE* file = openFile();
  va_list args;
  va_start(args, format);
  errno = 0;
  int written = std::vfprintf(file, format, args);
  int errorNumber = errno;
  va_end(args);
  if (written < 0) failOnStream(kCannotWrite, stream().displayName, errorNumber);
}

void resetXmlOutput() {
  XmlStream& state = stream();
  if (state.file != nullptr) {
    if (state.toStdout) {
      std::fflush(stdout);
    } else {
      std::fclose(state.file);
    }
  }
  state = XmlStream{};
}

}  // namespace qar
