#include "base/posterr.h"

#include <cstdio>
#include <cstring>

#include "base/deferred_errors.h"
#include "base/standard_output.h"

namespace qar {
namespace {

constexpr size_t kArgumentLimit = 999;

constexpr const char* kErrorFormats[] = {
    "Configuration parameter %.450s has illegal value \"%.450s\"",
    "Bad configuration format \"%.450s\" in file %.450s at line %lu",
    "Bad data file %.900s",
    "Bad identification stamp in file %.900s",
    "Incompatible number format in file %.900s",
    "Error in symbol file %.900s",
    "Cannot close file %.450s: %.450s",
    "(Command-line usage)",
    "Cannot create file %.450s: %.450s",
    "Erroneous command line, %.450s %.450s",
    "",
    "Internal error",
    "Missing definition \"%.900s\" in configuration file",
    "(No error)",
    "Cannot open file %.450s: %.450s",
    "Out of memory",
    "Cannot read file %.450s: %.450s",
    "Cannot write file %.450s: %.450s",
};
constexpr int kErrorCount = static_cast<int>(sizeof kErrorFormats / sizeof kErrorFormats[0]);

constexpr const char* kNoticeFormats[] = {
    "Again counter data for a file \"%s\" coming from datafile \"%s\" (added to previous counters).",
    "Different (+newer) instrumentation for a file \"%s\" in symbol file \"%s\" encountered (overrides the previous).",
    "Different (+newer) counter data for file \"%s\" coming from datafile \"%s\" (discarded).",
    "Different (+older) instrumentation for a file \"%s\" in symbol file \"%s\" encountered (discarded).",
    "Different (+older) counter data for file \"%s\" coming from datafile \"%s\" (discarded).",
    "Another similar file description for file \"%s\" in symbol file \"%s\" encountered (just skipped).",
    "Counter data for an unknown file \"%s\" encountered coming from datafile \"%s\" (discarded).",
    "Different (+newer) counter data for file \"%s\" coming from datafile \"%s\" (old counter data discarded).",
    "Counter data for file \"%s\" encountered coming from datafile \"%s\", file identifications are same but counter array sizes not (discarded).",
    "Another identical file description but different instrumentation time for file \"%s\" in symbol file \"%s\" encountered (counter data of both instrumentations are added).",
    "Header file \"%s\" included at or via source file \"%s\" is different from what it was when it was extracted previously (this header file was not extracted).",
};
constexpr int kNoticeFormatCount = static_cast<int>(sizeof kNoticeFormats / sizeof kNoticeFormats[0]);

struct ErrorState {
  std::string first;
  std::string second;
  uint32_t lineNumber = 0;
  bool argumentsSet = false;
};

struct NoticeState {
  std::string fileName;
  std::string sourceName;
  uint32_t count = 0;
  std::vector<std::string> texts;
};

// Each thread stores its own arguments: a thread that defers its errors
// leaves those of the reporting thread alone.
ErrorState& errorState() {
  static thread_local ErrorState state;
  return state;
}

struct DeferringState {
  bool active = false;
  // A consistency check that failed on the deferring thread, waiting for
  // its error.
  bool internal = false;
  std::string internalModule;
  unsigned long internalLine = 0;
};

DeferringState& deferringState() {
  static thread_local DeferringState state;
  return state;
}

NoticeState& noticeState() {
  static NoticeState state;
  return state;
}

std::string cutArgument(std::string_view text) {
  return std::string(text.substr(0, kArgumentLimit));
}

// Expands a message format the way printf would with "%.Ns" text conversions
// and one "%lu" line-number conversion: text conversions take the argument
// texts in order (up to the first NUL, at most N characters), "%lu" the line
// number, wherever it stands.
std::string expandMessage(const char* format, const std::string& first,
                          const std::string& second, unsigned long lineNumber) {
  std::string out;
  const std::string* texts[] = {&first, &second};
  size_t nextText = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.push_back(*p);
      continue;
    }
    ++p;
    if (*p == '%') {
      out.push_back('%');
      continue;
    }
    size_t precision = std::string::npos;
    if (*p == '.') {
      precision = 0;
      for (++p; *p >= '0' && *p <= '9'; ++p) precision = precision * 10 + static_cast<size_t>(*p - '0');
    }
    if (p[0] == 'l' && p[1] == 'u') {
      ++p;
      out += std::to_string(lineNumber);
    } else if (*p == 's') {
      const std::string& text = nextText < 2 ? *texts[nextText] : std::string();
      ++nextText;
      size_t length = std::strlen(text.c_str());  // a text stops at its first NUL
      if (precision < length) length = precision;
      out.append(text.data(), length);
    }
  }
  return out;
}

void (*usagePrinter)() = nullptr;

constexpr const char* kQarpostUsageHint = "Type 'qarpost -h' for usage information\n";

std::string& usageHint() {
  static std::string hint = kQarpostUsageHint;
  return hint;
}

// Standard output first, so that report text and diagnostics keep their
// order; a failure there is the report's to find, not the diagnostic's.
void flushReportText() {
  flushStandardOutput();
  std::fflush(stdout);
}

void endRun(int status) {
  flushReportText();
  throw ProgramExit{status};
}

// Called before every diagnostic: work handed to another thread whose
// failure would have been reported before this diagnostic is settled
// first. A handful at most (a report's text, the HTML report's pages).
constexpr size_t kMaxBarriers = 4;
void (*diagnosticBarriers[kMaxBarriers])() = {};
bool insideBarrier = false;

void passDiagnosticBarriers() {
  // What a barrier reports itself passes straight through.
  if (insideBarrier) return;
  struct Inside {
    Inside() { insideBarrier = true; }
    ~Inside() { insideBarrier = false; }
  } inside;
  for (void (*barrier)() : diagnosticBarriers) {
    if (barrier != nullptr) barrier();
  }
}

}  // namespace

void addDiagnosticBarrier(void (*barrier)()) {
  for (void (*&slot)() : diagnosticBarriers) {
    if (slot == barrier) return;
  }
  for (void (*&slot)() : diagnosticBarriers) {
    if (slot == nullptr) {
      slot = barrier;
      return;
    }
  }
  failInternal("posterr", 1);
}

void removeDiagnosticBarrier(void (*barrier)()) {
  for (void (*&slot)() : diagnosticBarriers) {
    if (slot == barrier) slot = nullptr;
  }
}

void writeDiagnostic(std::string_view text) {
  passDiagnosticBarriers();
  flushReportText();
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void setUsagePrinter(void (*printer)()) { usagePrinter = printer; }

void setUsageHint(std::string_view hint) {
  usageHint().assign(hint);
  usageHint() += '\n';
}

void setErrorArguments(std::string_view first, std::string_view second) {
  ErrorState& state = errorState();
  state.first = cutArgument(first);
  state.second = cutArgument(second);
  state.argumentsSet = true;
}

void setErrorArguments(std::string_view first) {
  ErrorState& state = errorState();
  state.first = cutArgument(first);
  state.second = "(null)";
  state.argumentsSet = true;
}

void setErrorLineNumber(uint32_t lineNumber) { errorState().lineNumber = lineNumber; }

namespace {

[[noreturn]] void deferError(ErrorCode code, ErrorSeverity severity) {
  ErrorState& state = errorState();
  DeferringState& deferring = deferringState();
  DeferredFailure failure{DeferredError{code, severity, std::move(state.first), std::move(state.second),
                                        state.lineNumber, deferring.internal, std::move(deferring.internalModule),
                                        deferring.internalLine}};
  state = ErrorState{};
  deferring.internal = false;
  deferring.internalModule.clear();
  deferring.internalLine = 0;
  throw failure;
}

}  // namespace

void reportError(ErrorCode code, ErrorSeverity severity) {
  if (deferringState().active) deferError(code, severity);
  if (code == kUsageRequest) {
    if (usagePrinter != nullptr) usagePrinter();
    endRun(0);
  }
  if (code < 0 || code >= kErrorCount) {
    reportInternalError("posterr", 160);
    code = kInternalError;
  }
  ErrorState& state = errorState();
  std::string message = expandMessage(kErrorFormats[code], state.first, state.second, state.lineNumber);
  state.first.clear();
  state.second.clear();
  state.lineNumber = 0;
  state.argumentsSet = false;

  writeDiagnostic("QARPost error " + std::to_string(code) + ": " + message + "\n");
  if (code == kBadCommandLine) writeDiagnostic(usageHint());

  bool fatalCode = code >= 0 && code < kErrorCount && code != kUsageRequest;
  if (severity == ErrorSeverity::ExitAfterReport ||
      (severity == ErrorSeverity::ExitIfFatalCode && fatalCode)) {
    endRun(1);
  }
}

void failWith(ErrorCode code) {
  reportError(code, ErrorSeverity::ExitAfterReport);
  throw ProgramExit{1};  // not reached: ExitAfterReport always ends the run
}

void reportInternalError(std::string_view module, unsigned long lineNumber) {
  if (DeferringState& deferring = deferringState(); deferring.active) {
    deferring.internal = true;
    deferring.internalModule.assign(module);
    deferring.internalLine = lineNumber;
    return;
  }
  writeDiagnostic("** Please notify vendor about error on\n** line " + std::to_string(lineNumber) +
                  ", module " + std::string(module) + "\n\n");
}

void failInternal(std::string_view module, unsigned long lineNumber) {
  reportInternalError(module, lineNumber);
  failWith(kInternalError);
}

void setNoticeArguments(std::string_view fileName, std::string_view sourceName) {
  NoticeState& state = noticeState();
  state.fileName.assign(fileName);
  state.sourceName.assign(sourceName);
}

void issueNotice(int number) {
  if (number < 0 || number >= kNoticeFormatCount) failInternal("posterr", 230);
  NoticeState& state = noticeState();
  std::string text = expandMessage(kNoticeFormats[number], state.fileName, state.sourceName, 0);
  writeDiagnostic("QARPost notice: " + text + "\n");
  state.texts.push_back(std::move(text));
  state.fileName.clear();
  state.sourceName.clear();
  ++state.count;
}

uint32_t noticeCount() { return noticeState().count; }

const std::vector<std::string>& noticeTexts() { return noticeState().texts; }

DeferringErrors::DeferringErrors() {
  deferringState() = DeferringState{};
  deferringState().active = true;
}

DeferringErrors::~DeferringErrors() { deferringState() = DeferringState{}; }

void reportDeferredError(const DeferredError& error) {
  if (error.internal) reportInternalError(error.internalModule, error.internalLine);
  ErrorState& state = errorState();
  state.first = error.first;
  state.second = error.second;
  state.lineNumber = error.lineNumber;
  state.argumentsSet = true;
  reportError(error.code, error.severity);
}

void reportThreadFailure(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const DeferredFailure& deferred) {
    reportDeferredError(deferred.error);
  }
}

void resetDiagnostics() {
  for (void (*&slot)() : diagnosticBarriers) slot = nullptr;
  errorState() = ErrorState{};
  noticeState() = NoticeState{};
  usageHint() = kQarpostUsageHint;
}

}  // namespace qar
