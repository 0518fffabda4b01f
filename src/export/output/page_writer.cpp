#include "export/output/page_writer.h"

#include <new>
#include <utility>

#include "base/posterr.h"
#include "export/output/export_aside.h"
#include "export/output/export_stream.h"

namespace qar {
namespace {

struct Page {
  std::string name;
  std::string text;
  // What makes the text on the second thread, when the caller left it there.
  std::function<void(std::string& text)> make;
  // What of `make` the walk's thread may do while it waits.
  std::function<void()> prepare;
  // Set for a text that is kept rather than written (keepPageAside).
  std::function<void(const std::string& text)> keep;
  WholeFileFailure outcome;
  bool outOfMemory = false;
};

// The pages handed over together.
struct Batch {
  Page pages[kPagesPerBatch];
  size_t used = 0;
};

struct PageWriter {
  // One batch is gathered while the other is in flight.
  Batch batches[2];
  size_t filling = 0;
  // A page of this report failed: reported, and no page is taken since.
  bool failed = false;
  bool started = false;
};

PageWriter& writer() {
  static PageWriter state;
  return state;
}

void clearBatch(Batch& batch) {
  for (size_t i = 0; i < batch.used; ++i) {
    batch.pages[i].make = nullptr;
    batch.pages[i].prepare = nullptr;
    batch.pages[i].keep = nullptr;
    batch.pages[i].text.clear();
  }
  batch.used = 0;
}

// While the batch in flight is still busy, the walk's thread prepares the
// pages gathered instead of only waiting for it.
void prepareWhileBusy(Batch& batch) {
  for (size_t i = 0; i < batch.used && exportPieceBusy(); ++i) {
    if (Page& page = batch.pages[i]; page.prepare) std::exchange(page.prepare, nullptr)();
  }
}

// Settles the batch in flight, then hands the one gathered over; after a
// failure the pages gathered are dropped, as pages after a failed one are
// never written.
void handOver() {
  PageWriter& state = writer();
  Batch& batch = state.batches[state.filling];
  if (!state.failed) prepareWhileBusy(batch);
  settleExportPiece();
  if (batch.used == 0) return;
  if (state.failed) {
    clearBatch(batch);
    return;
  }
  state.filling = 1 - state.filling;
  handExportPiece(
      &state,
      [&batch] {
        // In order, up to the first page that fails: the pages after it stay unwritten.
        for (size_t i = 0; i < batch.used; ++i) {
          Page& page = batch.pages[i];
          try {
            if (page.make) page.make(page.text);
            if (page.keep) page.keep(page.text);
          } catch (const std::bad_alloc&) {
            page.outOfMemory = true;
            return;
          }
          if (page.keep) continue;
          page.outcome = writeWholeFile(page.name, page.text);
          std::string().swap(page.text);
          if (page.outcome.code != kNoError) return;
        }
      },
      [&state, &batch] {
        for (size_t i = 0; i < batch.used; ++i) {
          Page& page = batch.pages[i];
          if (std::exchange(page.outOfMemory, false)) {
            clearBatch(batch);
            failWith(kOutOfMemory);
          }
          if (page.outcome.code == kNoError) continue;
          const WholeFileFailure failure = std::exchange(page.outcome, WholeFileFailure{});
          // Set first: the report passes the barrier, which must then hand nothing over.
          state.failed = true;
          reportExportOutputError(failure.code, page.name, failure.errorNumber);
          break;
        }
        clearBatch(batch);
      });
}

// Before any diagnostic: the pages gathered so far are written and settled,
// so that a failure among them comes first, as in turn.
void pageBarrier() {
  if (!writer().started) return;
  handOver();
  settleExportPiece();
}

// Takes a page into the batch being gathered, and hands the batch over once
// it is full or the second thread has nothing left to do.
bool takePage(std::string name, std::string text, std::function<void(std::string& text)> make,
              std::function<void(const std::string& text)> keep = nullptr, std::function<void()> prepare = nullptr) {
  PageWriter& state = writer();
  if (state.failed) return false;
  Batch& batch = state.batches[state.filling];
  Page& page = batch.pages[batch.used++];
  page.name = std::move(name);
  page.text = std::move(text);
  page.make = std::move(make);
  page.prepare = std::move(prepare);
  page.keep = std::move(keep);
  if (batch.used == kPagesPerBatch || !exportPieceBusy()) handOver();
  return !state.failed;
}

}  // namespace

void startPageWriter() {
  PageWriter& state = writer();
  state.failed = false;
  state.started = true;
  addDiagnosticBarrier(pageBarrier);
}

bool settlePage() {
  handOver();
  settleExportPiece();
  return !writer().failed;
}

bool pagesWritable() { return !writer().failed; }

size_t pageSlot() {
  const PageWriter& state = writer();
  return state.filling * kPagesPerBatch + state.batches[state.filling].used;
}

bool writePageAside(std::string name, std::string text) { return takePage(std::move(name), std::move(text), nullptr); }

bool writePageAside(std::string name, std::function<void(std::string& text)> make) {
  return writePageAside(std::move(name), std::move(make), nullptr);
}

bool writePageAside(std::string name, std::function<void(std::string& text)> make, std::function<void()> prepare) {
  if (!exportPiecesAside()) {
    // No second thread: made here and now, while what it reads is as it was.
    std::string text;
    make(text);
    return takePage(std::move(name), std::move(text), nullptr);
  }
  return takePage(std::move(name), std::string(), std::move(make), nullptr, std::move(prepare));
}

bool keepPageAside(std::string text, std::function<void(const std::string& text)> keep) {
  return takePage(std::string(), std::move(text), nullptr, std::move(keep));
}

bool pageBusy() { return exportPieceBusy(); }

bool pageTakingWaits() {
  const PageWriter& state = writer();
  return state.batches[state.filling].used + 1 >= kPagesPerBatch && exportPieceBusy();
}

void forgetPageInFlight() {
  PageWriter& state = writer();
  forgetExportPieceOf(&state);
  clearBatch(state.batches[0]);
  clearBatch(state.batches[1]);
}

bool stopPageWriter() {
  const bool written = settlePage();
  PageWriter& state = writer();
  state.failed = false;
  state.started = false;
  removeDiagnosticBarrier(pageBarrier);
  return written;
}

}  // namespace qar
