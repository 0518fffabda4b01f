#pragma once
// The HTML report: a static, self-contained set of pages in one directory.
// index.html shows the run, the overall figures and every file grouped by
// directory; one page per file shows its figures, its functions and its
// annotated code. The pages are written as the export walk reaches each
// file; the index, which needs every file, at the end from a small record
// per file. The figures are the walk's, as the JSON export writes them.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/output/export_stream.h"
#include "export/output/page_writer.h"
#include "export/html/html_waiting_texts.h"
#include "export/html/html_listing_rows.h"
#include "export/html/html_page.h"
#include "export/html/html_source.h"
#include "export/walk/path_table.h"
#include "export/change/baseline_compare.h"
#include "export/change/patch_coverage.h"
#include "export/walk/uncovered_items.h"

namespace qar {

// What the index keeps of one file.
struct HtmlIndexEntry {
  std::string path;  // as written
  std::string key;   // exportPathKey(path)
  std::string page;  // the file's page, relative to the directory
  bool isHeader = false;
  bool sourceChanged = false;  // its source no longer matches the records
  TerFigures ter;
  StatementTotals statements;
  McdcTotals mcdc;
};

struct HtmlReport {
  std::string directory;
  SourceFinder sources;
  std::optional<std::string> root;
  CoverageView view = CoverageView::AsInstrumented;
  bool active = false;  // false once an output of the report failed

  ExportStream index;  // opened first: it proves that the directory takes files
  ListingSectionReader sections;

  // The file whose page waits for its own path's line coverage, which the
  // walk passes right after the file.
  std::optional<FileResult> pending;
  std::optional<LineCoverage> pendingCoverage;
  std::string pendingKey;
  std::vector<UncoveredItem> pendingItems;
  ConditionNames pendingNames;

  // The records of the file being walked, for its list of uncovered items.
  UncoveredCollector collector;
  std::string timeUnit;  // of the timing columns, escaped

  // Pages written before the walk passed their path's line coverage (a
  // file that several database files contribute to, such as a header
  // whose copies differ): their text waits for the cards until the end.
  struct WaitingPage {
    std::string name;
    std::string key;
    size_t text = 0;  // in waitingTexts
    size_t cardsAt = 0;
    size_t cardsLength = 0;
  };
  std::vector<WaitingPage> waiting;
  WaitingTexts waitingTexts;

  std::vector<HtmlIndexEntry> files;
  // Parts of the index after the overall figures, in order (the change
  // since a baseline, the trend), each complete HTML.
  std::vector<std::string> indexSections;
  std::unordered_map<std::string, LineCoverage> coverageByKey;
  ListingSection rows;  // the section of the page being written
  // Kept from page to page for their storage: the page's text, its source.
  ExportStream page;
  std::string source;
  // The pages the second thread makes and writes while the walk goes on,
  // one in each slot of the page writer (pageSlot): what a page reads is
  // moved here from the walk's state (the walk gets the storage of the page
  // that had the slot before) and stays untouched until it is settled.
  struct PageJob {
    FileResult file;
    LineCoverage coverage;
    ListingSection rows;
    std::string source;
    std::vector<UncoveredItem> items;
    ConditionNames names;
    std::vector<uint32_t> changedLines;
    HtmlFilePage input;  // pointing into this job
    ExportStream out;
    PageJob() = default;
    PageJob(const PageJob&) = delete;
    PageJob& operator=(const PageJob&) = delete;
    // A run cut short first lets the pages in flight finish with what they read.
    ~PageJob() { forgetPageInFlight(); }
  };
  PageJob jobs[kPageSlots];
  // With --diff: the changed lines for the pages, the change for the index.
  const PatchCoverage* patch = nullptr;
  const PatchResult* patchResult = nullptr;
  // With --baseline: what each page's file lost since then.
  const BaselineComparer* baseline = nullptr;
};

// Creates the directory when missing, opens index.html and writes the
// profile listing whose rows the pages show. When the directory or
// index.html cannot be created the error is reported, naming what failed
// (the other outputs go on), and the report stays inactive.
void beginHtmlReport(HtmlReport& report, const std::string& directory, const std::string& sourceRoot,
                     const std::optional<std::string>& root, CoverageView view);

// The walk's three sinks.
void addHtmlRecord(HtmlReport& report, const Probe& record);
// With `mayTake`, the report may take the file's lists instead of copying
// them (the caller reads the file no more).
void addHtmlFile(HtmlReport& report, FileResult& file, bool mayTake);
void addHtmlPath(HtmlReport& report, const PathTable& table, const LineCoverage& coverage);

// Writes the last page, the style sheet and the index, and closes; with the
// index in place, removes the pages of an earlier report that this one did
// not write (see html_earlier_pages.h). A report that failed leaves the
// earlier index.
void endHtmlReport(HtmlReport& report, const RunResult& run);

// The unit of the timing columns, escaped: the configured cost type
// ("cost units" when none is) divided by TICK when it is above 1
// ("clockticks / 1000").
std::string timeUnitText(std::string_view costType, std::string_view tick);

// The page name of the `number`th file (from 1): "f00012-name.c.html", the
// file's own name reduced to letters, digits, ".", "-" and "_".
std::string htmlPageName(size_t number, std::string_view path);

}  // namespace qar
