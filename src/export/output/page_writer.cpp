#include "export/output/page_writer.h"

#include <utility>

#include "export/output/export_aside.h"
#include "export/output/export_stream.h"

namespace qar {
namespace {

struct PageWriter {
  // The page in flight, and what its writing ended in.
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

}  // namespace

void startPageWriter() { writer().failed = false; }

bool settlePage() {
  settleExportPiece();
  return !writer().failed;
}

bool writePageAside(std::string name, std::string text) {
  if (!settlePage()) return false;
  PageWriter& state = writer();
  state.name = std::move(name);
  state.text = std::move(text);
  handExportPiece(
      &state,
      [&state] {
        state.outcome = writeWholeFile(state.name, state.text);
        std::string().swap(state.text);
      },
      [&state] {
        if (state.outcome.code == kNoError) return;
        const WholeFileFailure failure = std::exchange(state.outcome, WholeFileFailure{});
        state.failed = true;
        reportExportOutputError(failure.code, state.name, failure.errorNumber);
      });
  return !state.failed;
}

bool stopPageWriter() {
  const bool written = settlePage();
  writer().failed = false;
  return written;
}

}  // namespace qar
