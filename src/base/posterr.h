#pragma once
// posterr: the one reporter of numbered errors, internal errors and notices.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// Numbered errors; the numbers double as the status that operations return,
// kNoError meaning success.
using ErrorCode = int32_t;
inline constexpr ErrorCode kIllegalConfigValue = 0;
inline constexpr ErrorCode kBadConfigFormat = 1;
inline constexpr ErrorCode kBadDataFile = 2;
inline constexpr ErrorCode kBadIdentificationStamp = 3;
inline constexpr ErrorCode kIncompatibleNumberFormat = 4;
inline constexpr ErrorCode kSymbolFileError = 5;
inline constexpr ErrorCode kCannotClose = 6;
inline constexpr ErrorCode kUsageRequest = 7;
inline constexpr ErrorCode kCannotCreate = 8;
inline constexpr ErrorCode kBadCommandLine = 9;
inline constexpr ErrorCode kReservedError = 10;
inline constexpr ErrorCode kInternalError = 11;
inline constexpr ErrorCode kMissingConfigDefinition = 12;
inline constexpr ErrorCode kNoError = 13;
inline constexpr ErrorCode kCannotOpen = 14;
inline constexpr ErrorCode kOutOfMemory = 15;
inline constexpr ErrorCode kCannotRead = 16;
inline constexpr ErrorCode kCannotWrite = 17;

enum class ErrorSeverity { ContinueAfterReport = 0, ExitAfterReport = 1, ExitIfFatalCode = 2 };

// Notice numbers (texts in posterr.cpp).
inline constexpr int kNoticeNewerInstrumentation = 1;
inline constexpr int kNoticeNewerCounterData = 2;
inline constexpr int kNoticeOlderInstrumentation = 3;
inline constexpr int kNoticeOlderCounterData = 4;
inline constexpr int kNoticeUnknownFile = 6;
inline constexpr int kNoticeNewerCounterDataReplaces = 7;
inline constexpr int kNoticeCounterSizesDiffer = 8;
inline constexpr int kNoticeHeaderDiffers = 10;

// Thrown to end the run; main() catches it and returns `status`. Nothing
// else in the program catches it, so reaching it is the same as exiting.
struct ProgramExit {
  int status;
};

// Flushes standard output, writes `text` to standard error and flushes it, so
// report text on standard output and diagnostics keep their order.
void writeDiagnostic(std::string_view text);

// Adds `barrier` (once), called before every diagnostic is written until it
// is removed: work done aside whose outcome must be reported before anything
// said later settles there, so that standard error keeps the order of work
// done one step after another. What a barrier reports itself is written
// without calling the barriers again.
void addDiagnosticBarrier(void (*barrier)());
void removeDiagnosticBarrier(void (*barrier)());
// What ErrorCode 7 writes on standard output: the command line registers the
// usage text of the program being run (nothing is written until it does).
void setUsagePrinter(void (*printer)());

// The line written after ErrorCode 9, naming how to get the usage text of
// the program being run (qarpost's by default).
void setUsageHint(std::string_view hint);

// Stores the arguments of the next error (each cut to 999 characters). The
// one-argument form leaves the second absent, stored as "(null)".
void setErrorArguments(std::string_view first, std::string_view second);
void setErrorArguments(std::string_view first);
void setErrorLineNumber(uint32_t lineNumber);

// Writes the error line for `code` (after ErrorCode 9 also the usage hint)
// and applies the severity: ends the run (throws ProgramExit) or returns.
// Code 7 writes the usage text on standard output and ends with status 0.
void reportError(ErrorCode code, ErrorSeverity severity);

// reportError(code, ExitAfterReport), for callers that never continue.
[[noreturn]] void failWith(ErrorCode code);

// The block written before ErrorCode 11 when a consistency check fails.
void reportInternalError(std::string_view module, unsigned long lineNumber);

// reportInternalError followed by ErrorCode 11, fatal.
[[noreturn]] void failInternal(std::string_view module, unsigned long lineNumber);

void setNoticeArguments(std::string_view fileName, std::string_view sourceName);
void issueNotice(int number);
uint32_t noticeCount();
const std::vector<std::string>& noticeTexts();

// Forgets error arguments, notices and their count (tests only).
void resetDiagnostics();

}  // namespace qar
