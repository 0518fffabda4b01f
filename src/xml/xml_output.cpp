#include "xml/xml_output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "driver/posterr.h"
#include "util/report_output.h"
#include "util/text.h"

namespace qar {
namespace {

ReportOutput& stream() {
  static ReportOutput output;
  return output;
}

std::FILE* openFile() {
  ReportOutput& output = stream();
  if (output.file == nullptr) failInternal("postxml", 101);
  return output.file;
}

}  // namespace

void openXmlOutput(std::string_view name) { openReportOutput(stream(), name); }

void closeXmlOutput() { closeReportOutput(stream()); }

const std::string& xmlOutputName() { return stream().displayName; }

void writeXml(std::string_view text) {
  openFile();
  writeReportOutput(stream(), text);
}

void printXml(const char* format, ...) {
  std::FILE* file = openFile();
  va_list args;
  va_start(args, format);
  errno = 0;
  int written = std::vfprintf(file, format, args);
  int errorNumber = errno;
  va_end(args);
  if (written < 0) {
    setErrorArguments(stream().displayName, systemErrorText(errorNumber));
    failWith(kCannotWrite);
  }
}

void resetXmlOutput() { abandonReportOutput(stream()); }

}  // namespace qar
