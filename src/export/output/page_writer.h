#pragma once
// The pages of the HTML report, written by the export's second thread
// (export_aside.h): creating thousands of small files costs the system more
// than making their text, so the next pages are made while the last ones
// are written. Pages go over in batches of a few, so that neither side waits
// for the other at every page. Everything observable keeps the order of
// writing each page in its turn:
// - a batch is handed over only once the one before is settled, and the
//   second thread writes a batch's pages in order up to the first that
//   fails, so a page whose writing failed is the last one written;
// - a failure is reported (as writeExportFile reports it) when it is
//   settled: at the next hand-over, at settlePage, at the end of the
//   report, or before any other diagnostic (a barrier in posterr, which
//   first hands over what was gathered), whichever comes first; from then
//   on no page is taken.
#include <cstddef>
#include <functional>
#include <string>

namespace qar {

// Starts a report's pages: forgets an earlier report's failure.
void startPageWriter();

// Pages handed over together at most; a page's storage slot (pageSlot) is
// one of twice as many. Pages differ much in size (a large source's against
// a small header's): with batches of eight the walk's thread waited for the
// second thread, and it for the walk, by turns; sixteen halve the walk's
// waiting, and the slots' storage does not raise the peak.
inline constexpr size_t kPagesPerBatch = 16;
inline constexpr size_t kPageSlots = 2 * kPagesPerBatch;

// Hands over the pages gathered and waits for them. False when a page of
// this report failed (reported here or before); true when none did.
bool settlePage();

// False when a page of this report is known to have failed, without
// waiting for the pages in flight.
bool pagesWritable();

// Takes this page (written here when no second thread could be had).
// False, with the page not taken, when a page of this report is known to
// have failed.
bool writePageAside(std::string name, std::string text);

// The slot, below kPageSlots, of the page taken next: what the caller
// leaves for that page's `make` is free again once the page is settled,
// which it is by the time the same slot comes round again.
size_t pageSlot();

// writePageAside for a page whose text the second thread makes first:
// `make` fills the text there, from data the caller keeps in the page's
// slot, untouched until the page is settled. A `make` that runs out of
// memory ends the run when the page is settled, as making it in turn would
// have.
bool writePageAside(std::string name, std::function<void(std::string& text)> make);

// The same, with a first part of the making that the caller's thread does
// itself when it would otherwise wait for the second thread: when the
// pages are handed over while those in flight are still busy, the gathered
// pages' `prepare`s run there, in order, until the second thread is free.
// `make` must do what `prepare` does when it was not done (`prepare` runs
// once at most, and `make` after it).
bool writePageAside(std::string name, std::function<void(std::string& text)> make, std::function<void()> prepare);

// Takes a text that `keep` keeps (on the second thread) in its turn among
// the pages, rather than a page to write: the room a kept text takes on
// the disk is then taken when it would be in turn. `keep` must not fail
// but by running out of memory. False, with the text not taken, as for
// writePageAside.
bool keepPageAside(std::string text, std::function<void(const std::string& text)> keep);

// Whether the pages in flight are still being made or written.
bool pageBusy();

// Whether taking a page now would wait for the pages in flight: they are
// still being made or written and the batch gathered is full but for one.
bool pageTakingWaits();

// Waits for the pages in flight without settling them and drops those
// gathered: what their `make` reads is going away with a run cut short.
void forgetPageInFlight();

// Settles the last pages and ends the report's pages. False when a page
// failed.
bool stopPageWriter();

}  // namespace qar
