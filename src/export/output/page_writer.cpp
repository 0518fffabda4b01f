#include "export/output/page_writer.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "base/posterr.h"
#include "export/output/export_stream.h"

namespace qar {
namespace {

struct PageWriter {
  std::mutex lock;
  std::condition_variable changed;
  std::thread thread;
  bool stopping = false;
  // The page handed over: `waiting` until the thread takes it, `inFlight`
  // until it is written.
  bool waiting = false;
  bool inFlight = false;
  std::string name;
  std::string text;
  // The outcome of the last page, until settled.
  WholeFileFailure outcome;
  std::string outcomeName;
  // A page of this report failed: reported, and no page is taken since.
  bool failed = false;

  ~PageWriter() { join(); }

  void join() {
    if (!thread.joinable()) return;
    {
      std::lock_guard<std::mutex> guard(lock);
      stopping = true;
    }
    changed.notify_all();
    thread.join();
    stopping = false;
  }

  void run() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
      changed.wait(guard, [this] { return stopping || waiting; });
      if (!waiting) return;
      waiting = false;
      std::string pageName = std::move(name);
      const std::string pageText = std::move(text);
      guard.unlock();
      const WholeFileFailure result = writeWholeFile(pageName, pageText);
      guard.lock();
      outcome = result;
      outcomeName = std::move(pageName);
      inFlight = false;
      changed.notify_all();
    }
  }
};

PageWriter& writer() {
  static PageWriter state;
  return state;
}

void settleBeforeDiagnostic() { settlePage(); }

}  // namespace

void startPageWriter() {
  PageWriter& state = writer();
  state.failed = false;
  state.outcome = WholeFileFailure{};
  setDiagnosticBarrier(settleBeforeDiagnostic);
  if (state.thread.joinable()) return;
  try {
    state.thread = std::thread([&state] { state.run(); });
  } catch (const std::system_error&) {
    // No thread to be had: every page is written in its turn.
  }
}

bool settlePage() {
  PageWriter& state = writer();
  WholeFileFailure failure;
  std::string failedName;
  {
    std::unique_lock<std::mutex> guard(state.lock);
    state.changed.wait(guard, [&state] { return !state.inFlight; });
    if (state.outcome.code == kNoError) return !state.failed;
    failure = std::exchange(state.outcome, WholeFileFailure{});
    failedName = std::move(state.outcomeName);
    state.failed = true;
  }
  // Reported outside the lock: the report passes the diagnostic barrier,
  // which settles again and finds nothing new.
  reportExportOutputError(failure.code, failedName, failure.errorNumber);
  return false;
}

bool writePageAside(std::string name, std::string text) {
  if (!settlePage()) return false;
  PageWriter& state = writer();
  if (!state.thread.joinable()) {
    // No thread: written here, in its turn.
    if (writeExportFile(name, text)) return true;
    state.failed = true;
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(state.lock);
    state.name = std::move(name);
    state.text = std::move(text);
    state.waiting = true;
    state.inFlight = true;
  }
  state.changed.notify_all();
  return true;
}

bool stopPageWriter() {
  const bool written = settlePage();
  PageWriter& state = writer();
  state.join();
  state.failed = false;
  setDiagnosticBarrier(nullptr);
  return written;
}

}  // namespace qar
