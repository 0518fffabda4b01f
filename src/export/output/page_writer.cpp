#include "export/output/page_writer.h"

#include <utility>

#include "base/aside_worker.h"
#include "base/posterr.h"
#include "export/output/export_stream.h"

namespace qar {
namespace {

struct PageWriter {
  AsideWorker worker;
  // The page in flight, and what its writing ended in until settled.
  std::string name;
  std::string text;
  WholeFileFailure outcome;
  // A page of this report failed: reported, and no page is taken since.
  bool failed = false;
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
  // Without a thread every page is written in its turn.
  if (state.worker.start()) addDiagnosticBarrier(settleBeforeDiagnostic);
}

bool settlePage() {
  PageWriter& state = writer();
  state.worker.wait();
  if (state.outcome.code == kNoError) return !state.failed;
  const WholeFileFailure failure = std::exchange(state.outcome, WholeFileFailure{});
  state.failed = true;
  // The report passes the diagnostic barrier, which finds nothing new.
  reportExportOutputError(failure.code, state.name, failure.errorNumber);
  return false;
}

bool writePageAside(std::string name, std::string text) {
  if (!settlePage()) return false;
  PageWriter& state = writer();
  if (!state.worker.running()) {
    if (writeExportFile(name, text)) return true;
    state.failed = true;
    return false;
  }
  state.name = std::move(name);
  state.text = std::move(text);
  state.worker.hand([&state] {
    state.outcome = writeWholeFile(state.name, state.text);
    std::string().swap(state.text);
  });
  return true;
}

bool stopPageWriter() {
  const bool written = settlePage();
  PageWriter& state = writer();
  state.worker.stop();
  state.failed = false;
  removeDiagnosticBarrier(settleBeforeDiagnostic);
  return written;
}

}  // namespace qar
