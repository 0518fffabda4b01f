#pragma once
// The program's standard output: one buffer in front of descriptor 1 that
// every writer of standard output goes through (usage text, listings and XML
// report on "-" or "stdout", exports on "-"). Diagnostics flush it first, so
// that both streams keep their order; a full buffer is written at once.
// Writes go through writeAll, so a full disk is retried as for any report.
#include <string_view>

namespace qar {

// Appends `text`. Returns 0, or the errno of a write of the buffer that
// failed; what the buffer held is then dropped.
int writeStandardOutput(std::string_view text);

// Writes what is buffered. Returns 0 or the errno of the failed write.
int flushStandardOutput();

// Drops what is buffered without writing it (tests, a forked copy).
void discardStandardOutput();

}  // namespace qar
