#include "export/output/export_aside.h"

#include <utility>

#include "base/aside_worker.h"
#include "base/posterr.h"

namespace qar {
namespace {

struct ExportAside {
  AsideWorker worker;
  bool failedToStart = false;  // no thread to be had: pieces written in turn
  const void* owner = nullptr;  // of the piece in flight; nullptr: none
  std::function<void()> settle;
};

ExportAside& aside() {
  static ExportAside state;
  return state;
}

bool startOnce() {
  ExportAside& state = aside();
  if (state.failedToStart) return false;
  if (!state.worker.start()) {
    state.failedToStart = true;
    return false;
  }
  // The export's walk and this thread are the run's only two: the HTML
  // report's pages, one a file, go over 20 % faster (100 MB case) when
  // neither side sleeps between them.
  state.worker.spinBeforeSleeping(true);
  // Added again each time: a reset of the diagnostics (tests) forgets it.
  addDiagnosticBarrier(settleExportPiece);
  return true;
}

}  // namespace

bool exportPiecesAside() { return startOnce(); }

bool exportPieceBusy() {
  ExportAside& state = aside();
  return state.owner != nullptr && state.worker.busy();
}

void handExportPiece(const void* owner, std::function<void()> write, std::function<void()> settle) {
  settleExportPiece();
  if (!startOnce()) {
    write();
    settle();
    return;
  }
  ExportAside& state = aside();
  state.owner = owner;
  state.settle = std::move(settle);
  state.worker.hand(std::move(write));
}

void settleExportPiece() {
  ExportAside& state = aside();
  if (state.owner == nullptr) return;
  state.worker.wait();
  state.owner = nullptr;
  // Taken first: what settling reports passes the barrier, which must find
  // nothing in flight.
  const std::function<void()> settle = std::move(state.settle);
  state.settle = nullptr;
  if (settle) settle();
}

void forgetExportPieceOf(const void* owner) {
  ExportAside& state = aside();
  if (owner == nullptr || state.owner != owner) return;
  state.worker.wait();
  state.owner = nullptr;
  state.settle = nullptr;
}

}  // namespace qar
