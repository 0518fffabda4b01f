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

// Settles the last page and ends the report's pages. False when a page
// failed.
bool stopPageWriter();

}  // namespace qar
