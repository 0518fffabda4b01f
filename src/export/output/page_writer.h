#pragma once
// The pages of the HTML report, written by the export's second thread
// (export_aside.h): creating thousands of small files costs the system more
// than making their text, so the next page is made while the last one is
// written. Everything observable keeps the order of writing each page in
// its turn:
// - the next page is handed over only once the last one is settled, so a
//   page whose writing failed is the last one written;
// - a failure is reported (as writeExportFile reports it) when it is
//   settled: at the writer's next page, at the end of the report, or
//   before any other diagnostic, whichever comes first; from then on no
//   page is taken.
#include <functional>
#include <string>

namespace qar {

// Starts a report's pages: forgets an earlier report's failure.
void startPageWriter();

// Waits for the page in flight. False when a page of this report failed
// (reported here or before); true when none did.
bool settlePage();

// Settles the page in flight, then hands this one over (written here when
// no second thread could be had). False, with the page not taken, when a
// page of this report failed.
bool writePageAside(std::string name, std::string text);

// writePageAside for a page whose text the second thread makes first:
// `make` fills the text there, from data the caller leaves untouched until
// the page is settled. A `make` that runs out of memory ends the run when
// the page is settled, as making it in turn would have.
bool writePageAside(std::string name, std::function<void(std::string& text)> make);

// Whether the page in flight is still being made or written.
bool pageBusy();

// Waits for the page in flight without settling it: what its `make` reads
// is going away with a run cut short.
void forgetPageInFlight();

// Settles the last page and ends the report's pages. False when a page
// failed.
bool stopPageWriter();

}  // namespace qar
