#include "xml/xml_output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/posterr.h"
#include "base/quick_format.h"
#include "base/report_output.h"

namespace qar {
namespace {

// At namespace scope rather than a function's static: the report writes
// through it millions of times, and a function's static is checked for its
// construction at every call.
ReportOutput xmlOutput;

// A thread making a part of the report writes it into memory.
ReportOutput& partStorage() {
  static thread_local ReportOutput output;
  return output;
}
thread_local ReportOutput* partOutput = nullptr;

ReportOutput& stream() { return partOutput != nullptr ? *partOutput : xmlOutput; }

void checkOpen() {
  if (!stream().open) failInternal("postxml", 101);
}

}  // namespace

void openXmlOutput(std::string_view name) { openReportOutput(stream(), name); }

void closeXmlOutput() { closeReportOutput(stream()); }

const std::string& xmlOutputName() { return stream().displayName; }

void writeXml(std::string_view text) {
  checkOpen();
  writeReportOutput(stream(), text);
}

void printXml(const char* format, ...) {
  checkOpen();
  // One buffer for every element: the report writes millions of them.
  static thread_local std::string text;
  text.clear();
  va_list args;
  va_start(args, format);
  bool known = appendFormattedV(text, format, args);
  va_end(args);
  if (!known) failInternal("postxml", 102);
  writeReportOutput(stream(), text);
}

void beginXmlPart() {
  openReportOutputInMemory(partStorage());
  partOutput = &partStorage();
}

void endXmlPart(std::string& text, std::vector<uint32_t>& pieces) {
  ReportOutput& part = partStorage();
  text.swap(part.buffer);
  pieces.swap(part.pieces);
  abandonReportOutput(part);
  partOutput = nullptr;
}

void writeXmlPart(std::string& text, std::vector<uint32_t>& pieces, bool walkedWell) {
  if (!xmlOutput.open) failInternal("postxml", 101);
  writeReportPart(xmlOutput, text, pieces, walkedWell);
}

void resetXmlOutput() { abandonReportOutput(stream()); }

}  // namespace qar
