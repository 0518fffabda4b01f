#pragma once
// The outputs of an export run written by a second thread: the formats'
// buffers and the HTML report's pages go to one thread, one piece at a
// time, in the order they are handed over, while the run makes the next.
// What a piece's writing ended in is settled on the run's own thread (a
// failure reported as writing it in turn reports it) before the next piece
// is handed over, before the run touches that output otherwise, and before
// any diagnostic (a barrier in posterr): standard error, the files and the
// exit status are those of writing every piece in its turn.
#include <functional>

namespace qar {

// Hands `write` (run by the second thread; it must not throw) over after
// settling the piece before; `settle` runs here once it is done. Without a
// thread (none could be started) both run here at once. `owner` names what
// the piece belongs to, for forgetExportPieceOf.
void handExportPiece(const void* owner, std::function<void()> write, std::function<void()> settle);

// Waits for the piece in flight, if any, and runs its `settle`.
void settleExportPiece();

// Waits for the piece in flight when it belongs to `owner`, without
// settling it: its owner is going away without being closed.
void forgetExportPieceOf(const void* owner);

// Whether a second thread writes the pieces.
bool exportPiecesAside();

// Whether the piece in flight is still being written: the caller may do
// work of its own before it settles it.
bool exportPieceBusy();

}  // namespace qar
