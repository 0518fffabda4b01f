#include "driver/report_writers.h"

#include "driver/posterr.h"

namespace qar {
namespace {

// A report or run mode this build cannot produce must never look like a
// successful run: it ends with the internal-error block naming the module
// that would write it, and ErrorCode 11.
[[noreturn]] void unavailable(const char* module, unsigned long line) { failInternal(module, line); }

}  // namespace

void beginReport(ReportKind) {}

void writeReport(ReportKind kind, std::string_view) {
  switch (kind) {
    case ReportKind::Profile:
    case ReportKind::Untested:
    case ReportKind::Timing:
      unavailable("postprof", 100 + static_cast<unsigned long>(kind));
    case ReportKind::Xml:
      unavailable("postxml", 100);
    case ReportKind::Contents:
    case ReportKind::ContentsWithCounters:
      unavailable("postlist", 100 + static_cast<unsigned long>(kind));
  }
  unavailable("postprof", 99);
}

void addDataFiles(const std::vector<std::string>&, const std::string&) { unavailable("postdata", 100); }

void addSymbolFiles(const std::vector<std::string>&, const std::string&) { unavailable("postsym", 100); }

}  // namespace qar
