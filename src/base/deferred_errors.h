#pragma once
// Errors met on a thread that must not report them (a thread reading beside
// the run): kept, and reported later by the run at their place.
#include <cstdint>
#include <exception>
#include <string>

#include "base/posterr.h"

namespace qar {

// An error met on a thread that defers its errors: what the reporting
// functions were given, kept to be reported later, at its place in the run,
// by the thread that reports.
struct DeferredError {
  ErrorCode code = kNoError;
  ErrorSeverity severity = ErrorSeverity::ExitAfterReport;
  std::string first;   // the arguments as stored (cut, "(null)" for none)
  std::string second;
  uint32_t lineNumber = 0;
  bool internal = false;  // a consistency check failed: its block comes first
  std::string internalModule;
  unsigned long internalLine = 0;
};

// Thrown on a deferring thread where reporting would have begun.
struct DeferredFailure {
  DeferredError error;
};

// While one lives, the errors of the thread that made it are deferred: the
// error arguments are the thread's own, and reportError, failWith and
// failInternal write nothing and throw DeferredFailure instead. Notices are
// not deferred: a deferring thread issues none.
class DeferringErrors {
 public:
  DeferringErrors();
  ~DeferringErrors();
  DeferringErrors(const DeferringErrors&) = delete;
  DeferringErrors& operator=(const DeferringErrors&) = delete;
};

// Reports `error` through the functions that met it, so that its text is
// the one it would have had: ends the run unless its severity continues.
void reportDeferredError(const DeferredError& error);

// Reports what ended the work of a thread that deferred its errors, where
// the run meets it: a DeferredFailure through reportDeferredError, any other
// exception (std::bad_alloc) thrown again here. Returns only when the
// error's severity continues.
void reportThreadFailure(const std::exception_ptr& failure);

}  // namespace qar
