#include "export/output/page_writer.h"

#include <new>
#include <utility>

#include "base/posterr.h"
#include "export/output/export_aside.h"
#include "export/output/export_stream.h"

namespace qar {
namespace {

struct PageWriter {
  // The page in flight, and what its writing ended in.
  std::string name;
  std::string text;
  WholeFileFailure outcome;
  // What makes the text on the second thread, when the caller left it there.
  std::function<void(std::string& text)> make;
  bool outOfMemory = false;
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

namespace {

// Hands the page in `state` over: its text made first when `make` is set.
void handPage(PageWriter& state) {
  handExportPiece(
      &state,
      [&state] {
        try {
          if (state.make) state.make(state.text);
        } catch (const std::bad_alloc&) {
          state.outOfMemory = true;
          return;
        }
        state.outcome = writeWholeFile(state.name, state.text);
        std::string().swap(state.text);
      },
      [&state] {
        state.make = nullptr;
        if (std::exchange(state.outOfMemory, false)) failWith(kOutOfMemory);
        if (state.outcome.code == kNoError) return;
        const WholeFileFailure failure = std::exchange(state.outcome, WholeFileFailure{});
        state.failed = true;
        reportExportOutputError(failure.code, state.name, failure.errorNumber);
      });
}

}  // namespace

bool writePageAside(std::string name, std::string text) {
  if (!settlePage()) return false;
  PageWriter& state = writer();
  state.name = std::move(name);
  state.text = std::move(text);
  state.make = nullptr;
  handPage(state);
  return !state.failed;
}

bool writePageAside(std::string name, std::function<void(std::string& text)> make) {
  if (!settlePage()) return false;
  PageWriter& state = writer();
  state.name = std::move(name);
  state.make = std::move(make);
  if (!exportPiecesAside()) {
    // No second thread: made here and now, while what it reads is as it was.
    state.make(state.text);
    state.make = nullptr;
  }
  handPage(state);
  return !state.failed;
}

bool pageBusy() { return exportPieceBusy(); }

void forgetPageInFlight() {
  forgetExportPieceOf(&writer());
  writer().make = nullptr;
}

bool stopPageWriter() {
  const bool written = settlePage();
  writer().failed = false;
  return written;
}

}  // namespace qar
