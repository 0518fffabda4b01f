#include "export/html/html_report.h"

#include "export/html/html_baseline.h"
#include "export/html/html_change.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unordered_set>

#include "base/clock.h"
#include "base/posterr.h"
#include "base/quick_format.h"
#include "base/text.h"
#include "base/version.h"
#include "config/configuration.h"
#include "coverage/database.h"
#include "export/walk/export_paths.h"
#include "export/html/html_earlier_pages.h"
#include "export/html/html_mcdc.h"
#include "export/html/html_natural_order.h"
#include "export/html/html_page.h"
#include "export/html/html_parts.h"
#include "export/html/html_text.h"
#include "export/html/html_uncovered.h"
#include "export/output/page_writer.h"
#include "listings/kept_statements.h"
#include "listings/measures.h"
#include "listings/postlist.h"
#include "listings/postprof.h"

namespace qar {
namespace {

// The listing whose rows the pages show; its name is removed as soon as it
// is open for reading, so that nothing of it stays in the directory.
constexpr std::string_view kListingName = ".qarpost-profile-listing.tmp";

std::string inDirectory(const HtmlReport& report, std::string_view name) {
  std::string path = report.directory;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path += name;
  return path;
}

// The one notice of a source that no longer matches its records.
void noteSourceMismatch(const std::string& name, const SourceMismatch& mismatch) {
  std::string text = "QARPost notice: Source " + name + " does not match the symbol file (";
  appendUnsigned(text, mismatch.lines);
  text += mismatch.lines == 1 ? " line, " : " lines, ";
  if (mismatch.recorded > 0) {
    appendUnsigned(text, mismatch.recorded);
    text += " recorded";
  } else {
    text += "a record on line ";
    appendUnsigned(text, mismatch.recordLine);
  }
  text += "); its HTML page shows the listing's rows\n";
  writeDiagnostic(text);
}

// Hands a page whose figures are all known to the second thread, which
// makes and writes it while the walk goes on. The page before is settled
// first, so the job's storage is free; the walk keeps the storage the job
// held before.
void handPageAside(HtmlReport& report, FileResult& file, const LineCoverage& coverage, HtmlFilePage& input,
                   const HtmlIndexEntry& entry) {
  HtmlReport::PageJob& job = report.jobs[pageSlot()];
  std::swap(job.file, file);
  job.coverage = coverage;
  std::swap(job.rows, report.rows);
  std::swap(job.items, report.pendingItems);
  std::swap(job.names, report.pendingNames);
  input.file = &job.file;
  input.coverage = &job.coverage;
  input.rows = &job.rows;
  if (input.source != nullptr) {
    std::swap(job.source, report.source);
    input.source = &job.source;
  }
  if (input.changedLines != nullptr) {
    job.changedLines = *input.changedLines;
    input.changedLines = &job.changedLines;
  }
  input.uncovered = &job.items;
  input.conditionNames = &job.names;
  job.input = std::move(input);
  // The rows of its listing section are read by whichever thread comes to
  // them first: the walk's, when it would wait for the second one.
  ListingSection* rows = &job.rows;
  const bool written = writePageAside(
      inDirectory(report, entry.page),
      [&job](std::string& text) {
        readListingRows(job.rows);
        job.out.held = true;
        job.out.buffer.clear();
        writeHtmlFilePage(job.out, job.input);
        text.swap(job.out.buffer);
      },
      [rows] { readListingRows(*rows); });
  if (!written) report.active = false;
}

// A page is made whole in memory and written with one write: most pages
// are small, and the run writes one per file.
void writePage(HtmlReport& report, FileResult& file, const LineCoverage* coverage, HtmlIndexEntry& entry) {
  // The section's rows are read where the page is made, unless the walk
  // needs them first.
  readListingSectionLines(report.sections, report.rows);
  if (!report.active) return;
  HtmlFilePage input;
  input.file = &file;
  input.coverage = coverage;
  input.rows = &report.rows;
  input.view = report.view;
  input.sourceStatus = findSource(report.sources, file.path, input.sourceName, report.source);
  if (input.sourceStatus == SourceStatus::Read) {
    readListingRows(report.rows);
    input.source = &report.source;
    input.mismatch = findSourceMismatch(report.source, file.sourceLines, report.rows);
  }
  input.sourceRoot = report.sources.root;
  input.changedLines = htmlChangedLines(report, exportPathKey(file.path));
  if (report.baseline) input.lostLines = lostLinesOf(report.baseline->lostSoFar(file.path));
  input.uncovered = &report.pendingItems;
  input.conditionNames = &report.pendingNames;
  input.timeUnit = report.timeUnit;

  // The second thread makes the pages; when taking this one would wait
  // for it (its batch is full and it is still busy: creating files is slow
  // on some file systems), the page is made here meanwhile. A page whose
  // cards come later is always made here, and waits.
  const bool madeHere = coverage == nullptr || pageTakingWaits();
  ExportStream& out = report.page;
  HtmlCardsSpan cards;
  if (madeHere) {
    readListingRows(report.rows);
    out.held = true;
    out.buffer.clear();
    cards = writeHtmlFilePage(out, input);
  }
  // The pages before this one were written meanwhile: whatever their
  // writing ended in comes first, and a page after a failed one says
  // nothing and is not written, as when every page is written in its turn.
  // Only a page with a notice waits for them; any other goes with them and
  // is dropped with the pages after a failed one (a page whose text waits
  // for its cards is then kept but never written: the report ends inactive).
  if (!(input.mismatch ? settlePage() : pagesWritable())) {
    report.active = false;
    return;
  }
  if (input.mismatch) {
    entry.sourceChanged = true;
    noteSourceMismatch(input.sourceName, *input.mismatch);
  }
  if (coverage == nullptr) {
    // Kept by the second thread in its turn among the pages, where its room
    // on the disk is taken as in turn; the texts are numbered as kept.
    const size_t text = report.waiting.size();
    report.waiting.push_back({entry.page, entry.key, text, cards.at, cards.length});
    WaitingTexts* texts = &report.waitingTexts;
    const std::string* directory = &report.directory;
    const auto keep = [texts, directory](const std::string& page) { texts->keep(*directory, page); };
    if (!keepPageAside(std::move(out.buffer), keep)) report.active = false;
    out.buffer.clear();
  } else if (madeHere) {
    if (!writePageAside(inDirectory(report, entry.page), std::move(out.buffer))) report.active = false;
    out.buffer.clear();
  } else {
    handPageAside(report, file, *coverage, input, entry);
  }
}

void flushPendingPage(HtmlReport& report) {
  if (!report.pending) return;
  const LineCoverage* coverage = report.pendingCoverage ? &*report.pendingCoverage : nullptr;
  writePage(report, *report.pending, coverage, report.files.back());
  report.pending.reset();
  report.pendingCoverage.reset();
}

// The pages that waited for their cards, with the line coverage the walk
// passed at its end; a page whose path got none keeps "—" cards.
void writeWaitingPages(HtmlReport& report) {
  // Their texts are kept by the second thread: all of them, unless a page
  // before failed.
  if (!settlePage()) report.active = false;
  std::string text;
  for (HtmlReport::WaitingPage& page : report.waiting) {
    if (!report.active) break;
    if (!report.waitingTexts.take(page.text, text)) {
      // The page's text could not be read back from where it waited: the
      // page fails as one that cannot be written, and the pages after it
      // are not written.
      reportExportOutputError(kCannotRead, inDirectory(report, page.name), errno);
      report.active = false;
      break;
    }
    auto coverage = report.coverageByKey.find(page.key);
    if (coverage != report.coverageByKey.end()) {
      std::string cards;
      appendLineCards(cards, &coverage->second);
      text.replace(page.cardsAt, page.cardsLength, cards);
    }
    if (!writePageAside(inDirectory(report, page.name), std::move(text))) report.active = false;
    text = std::string();
  }
  report.waiting.clear();
  report.waitingTexts.clear();
}

// A long list (a run of a hundred data files, thousands of notices) is
// folded, so that the file list stays near the top; it opens without any
// script.
constexpr size_t kFoldedListLength = 6;

void appendInputFiles(std::string& out, const char* label, const std::vector<InputFileEntry>& files) {
  out += "<dt>";
  out += label;
  out += "</dt><dd>";
  if (files.empty()) out += "N.A.";
  const bool folded = files.size() > kFoldedListLength;
  if (folded) {
    out += "<details><summary>";
    appendUnsigned(out, files.size());
    out += " files</summary>";
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (i > 0) out += "<br>";
    appendHtmlText(out, files[i].name);
    out += " <span class=\"sub\">(";
    appendHtmlText(out, files[i].stamp);
    out += ")</span>";
  }
  if (folded) out += "</details>";
  out += "</dd>\n";
}

void appendPatterns(std::string& out, const char* label, const OptionalList& patterns) {
  if (!patterns || patterns->empty()) return;
  out += "<dt>";
  out += label;
  out += "</dt><dd>";
  for (size_t i = 0; i < patterns->size(); ++i) {
    if (i > 0) out += "; ";
    appendHtmlText(out, (*patterns)[i]);
  }
  out += "</dd>\n";
}

void appendRun(std::string& out, const HtmlReport& report, const RunResult& run) {
  const CoverageDatabase& db = database();
  out += "<section class=\"panel\" aria-label=\"Run\"><dl class=\"run\">\n";
  appendInputFiles(out, "Symbol files", db.symbolFilesRead);
  appendInputFiles(out, "Data files", db.dataFilesRead);
  appendPatterns(out, "Chosen files", options().chosenFiles);
  appendPatterns(out, "Unchosen files", options().unchosenFiles);
  out += "<dt>Coverage view</dt><dd>";
  appendHtmlText(out, coverageViewText(report.view));
  out += "</dd>\n<dt>Produced at</dt><dd>";
  appendHtmlText(out, currentTimeText());
  out += "</dd>\n<dt>Contents</dt><dd>";
  appendUnsigned(out, run.sourceFiles);
  out += " source files, ";
  appendUnsigned(out, run.headerFiles);
  out += " headers extracted, ";
  appendUnsigned(out, run.functions);
  out += " function records, ";
  appendUnsigned(out, run.sourceLines);
  out += " source lines</dd>\n<dt>Notices</dt><dd>";
  const std::vector<std::string>& notices = noticeTexts();
  if (notices.empty()) {
    out += "none";
  } else {
    const bool folded = notices.size() > kFoldedListLength;
    if (folded) {
      out += "<details><summary>";
      appendUnsigned(out, notices.size());
      out += " notices</summary>";
    }
    out += "<ul class=\"plain notices\">";
    for (const std::string& notice : notices) {
      out += "<li>";
      appendHtmlText(out, notice);
      out += "</li>";
    }
    out += "</ul>";
    if (folded) out += "</details>";
  }
  out += "</dd>\n</dl></section>\n";
}

void appendOverall(std::string& out, const HtmlReport& report, const RunResult& run) {
  out += "<section class=\"cards\" aria-label=\"Overall figures\">\n";
  HtmlFigure ter = terFigure("TER", run.ter[static_cast<size_t>(report.view)]);
  std::string type = coverageTypeText(run.anyFunctionOnly, run.anyDecision, run.anyMulticondition, report.view);
  if (!type.empty()) {
    // The kinds are joined by "/": the narrow card may wrap the note after
    // each, though not inside "MC/DC".
    std::string note;
    appendHtmlText(note, std::string_view(type).substr(1));
    for (size_t i = 0; i < note.size(); ++i) {
      ter.note += note[i];
      if (note[i] == '/' && !std::string_view(note).substr(0, i).ends_with("MC")) ter.note += "<wbr>";
    }
  }
  appendFigureCard(out, ter);
  appendFigureCard(out, statementFigure(run.statements));
  appendLineCards(out, &run.lineCoverage);
  if (run.mcdc.conditions > 0) appendFigureCard(out, mcdcFigure(run.mcdc));
  out += "</section>\n";
}

std::string_view fileBaseName(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The columns of the file tables: the header table and one table per
// directory share them, so that the columns line up.
void appendFileColumns(std::string& out, bool mcdc) {
  out += "<colgroup><col class=\"name\">";
  for (size_t c = mcdc ? 6 : 5; c > 0; --c) out += "<col class=\"fig\">";
  out += "</colgroup>";
}

// The figures of a row of the file tables.
struct IndexFigures {
  TerFigures ter;
  StatementTotals statements;
  const LineCoverage* coverage = nullptr;
  McdcTotals mcdc;
};

void appendIndexFigures(std::string& out, const IndexFigures& figures, bool mcdc) {
  appendIndexFigureCell(out, terFigure("TER", figures.ter));
  appendIndexFigureCell(out, statementFigure(figures.statements));
  if (figures.coverage != nullptr) {
    appendIndexFigureCell(out, countFigure("Functions", figures.coverage->functions, "functions"));
    appendIndexFigureCell(out, countFigure("Lines", figures.coverage->lines, "lines"));
    appendIndexFigureCell(out, countFigure("Branches", figures.coverage->branches, "branches"));
  } else {
    for (int c = 0; c < 3; ++c) appendIndexEmptyCell(out);
  }
  if (mcdc) {
    if (figures.mcdc.conditions > 0) {
      appendIndexFigureCell(out, mcdcFigure(figures.mcdc));
    } else {
      appendIndexEmptyCell(out);
    }
  }
}

// The start of a directory's group, with the row of its totals. The
// style gives the height the group takes before it is first laid out
// (rows of about 37 pixels, the heading and the totals), so that the page's
// length and the scroll bar are right while the groups out of sight are
// skipped.
void appendGroupStart(std::string& out, std::string_view directory, size_t files, bool mcdc,
                      const IndexFigures& totals) {
  out += "<section style=\"contain-intrinsic-size:auto ";
  appendUnsigned(out, files * 37 + 71);
  out += "px\"><h3>";
  if (directory.empty()) {
    out += "(no directory)";
  } else {
    appendHtmlPath(out, directory);
    out += '/';
  }
  out += "</h3><table class=\"files\">";
  appendFileColumns(out, mcdc);
  out += "<thead><tr class=\"total\"><th scope=\"row\">Total of ";
  appendUnsigned(out, files);
  out += files == 1 ? " file" : " files";
  out += "</th>";
  appendIndexFigures(out, totals, mcdc);
  out += "</tr></thead><tbody>\n";
}

// The files in the order of the index: by directory, then by name, both
// in natural order ("part_2.h" before "part_10.h").
struct SplitName {
  std::string_view directory;
  std::string_view base;
};

std::vector<size_t> indexOrder(const std::vector<SplitName>& split) {
  std::vector<size_t> order(split.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (split[a].directory != split[b].directory) return naturalLess(split[a].directory, split[b].directory);
    return naturalLess(split[a].base, split[b].base);
  });
  return order;
}

const LineCoverage* coverageOf(const HtmlReport& report, const HtmlIndexEntry& entry) {
  auto coverage = report.coverageByKey.find(entry.key);
  return coverage != report.coverageByKey.end() ? &coverage->second : nullptr;
}

// How many files the list of the lowest coverage names.
constexpr size_t kLowestListed = 10;

// The files with the lowest TER under the view across all directories,
// lowest first; files with nothing to count or nothing missed are not
// among them. `order`
// is the index's, which breaks ties.
void appendLowest(std::string& out, const HtmlReport& report, const std::vector<size_t>& order) {
  std::vector<size_t> lowest;
  for (size_t i : order) {
    const TerFigures& ter = report.files[i].ter;
    if (ter.items > 0 && ter.misses > 0) lowest.push_back(i);
  }
  if (lowest.empty()) return;
  const auto lower = [&](size_t a, size_t b) {
    const TerFigures& x = report.files[a].ter;
    const TerFigures& y = report.files[b].ter;
    // covered / items compared without rounding.
    return static_cast<uint64_t>(x.covered()) * y.items < static_cast<uint64_t>(y.covered()) * x.items;
  };
  std::vector<size_t> rank(order.size());
  for (size_t r = 0; r < order.size(); ++r) rank[order[r]] = r;
  const size_t listed = std::min(kLowestListed, lowest.size());
  std::partial_sort(lowest.begin(), lowest.begin() + static_cast<std::ptrdiff_t>(listed), lowest.end(),
                    [&](size_t a, size_t b) {
                      if (lower(a, b)) return true;
                      if (lower(b, a)) return false;
                      return rank[a] < rank[b];
                    });
  out += "<section class=\"panel lowest\" aria-labelledby=\"lowest\"><h2 id=\"lowest\">Lowest coverage</h2>"
         "<p class=\"sub\">TER under &ldquo;";
  appendHtmlText(out, coverageViewText(report.view));
  out += "&rdquo;, across all directories</p>\n<ol>";
  for (size_t n = 0; n < listed; ++n) {
    const HtmlIndexEntry& entry = report.files[lowest[n]];
    out += "<li><a href=\"";
    appendHtmlText(out, entry.page);
    out += "\">";
    appendHtmlPath(out, entry.path);
    out += "</a> <span class=\"pct\">";
    appendPercentText(out, entry.ter.covered(), entry.ter.items);
    out += "</span> <span class=\"sub\">";
    appendUnsigned(out, entry.ter.covered());
    out += " of ";
    appendUnsigned(out, entry.ter.items);
    out += entry.ter.items == 1 ? " item</span></li>" : " items</span></li>";
  }
  out += "</ol></section>\n";
}

// The file list: a header table, then one section per directory in name
// order, with its totals and the files by name inside it. A browser lays
// out only the sections in sight, which keeps a list of many thousand files
// quick to load and to sort; without scripts it reads as a list of tables.
void appendFileTable(ExportStream& stream, const HtmlReport& report, bool mcdc) {
  std::string& out = stream.buffer;
  std::vector<SplitName> split(report.files.size());
  for (size_t i = 0; i < split.size(); ++i) {
    split[i] = {exportDirectory(report.files[i].path), fileBaseName(report.files[i].path)};
  }
  const std::vector<size_t> order = indexOrder(split);
  appendLowest(out, report, order);
  out += "<h2 id=\"files-heading\">Files</h2>\n<div class=\"filelist\"><table id=\"files\" class=\"files\">";
  appendFileColumns(out, mcdc);
  out += "<thead><tr><th scope=\"col\">File</th><th scope=\"col\">TER</th><th scope=\"col\">Statements</th>"
         "<th scope=\"col\">Functions</th><th scope=\"col\">Lines</th><th scope=\"col\">Branches</th>";
  if (mcdc) out += "<th scope=\"col\">MC/DC</th>";
  out += "</tr></thead></table>\n";
  std::unordered_set<std::string_view> keysCounted;
  for (size_t at = 0; at < order.size();) {
    const std::string_view dir = split[order[at]].directory;
    size_t end = at;
    IndexFigures totals;
    LineCoverage lines;
    bool anyLines = false;
    keysCounted.clear();
    for (; end < order.size() && split[order[end]].directory == dir; ++end) {
      const HtmlIndexEntry& entry = report.files[order[end]];
      totals.ter += entry.ter;
      totals.statements += entry.statements;
      totals.mcdc += entry.mcdc;
      // A file that several database files share counts once.
      if (const LineCoverage* coverage = coverageOf(report, entry)) {
        if (keysCounted.insert(entry.key).second) lines += *coverage;
        anyLines = true;
      }
    }
    if (anyLines) totals.coverage = &lines;
    appendGroupStart(out, dir, end - at, mcdc, totals);
    for (; at < end; ++at) {
      const HtmlIndexEntry& entry = report.files[order[at]];
      out += "<tr><th scope=row><a href=\"";
      appendHtmlText(out, entry.page);
      out += "\">";
      appendHtmlText(out, split[order[at]].base);
      out += "</a>";
      if (entry.isHeader) out += "<span class=\"tag\">header</span>";
      if (entry.sourceChanged) out += "<span class=\"tag warn\" title=\"The source no longer matches\">source changed</span>";
      out += "</th>";
      appendIndexFigures(out, {entry.ter, entry.statements, coverageOf(report, entry), entry.mcdc}, mcdc);
      out += "</tr>\n";
      settleExportBuffer(stream);
    }
    out += "</tbody></table></section>\n";
  }
  out += "</div>\n";
  if (report.files.empty()) out += "<p class=\"sub\">No file in the database.</p>\n";
}

void writeIndex(HtmlReport& report, const RunResult& run) {
  ExportStream& stream = report.index;
  std::string& out = stream.buffer;
  appendHtmlHead(out, "Coverage report");
  out += "<header class=\"top\"><h1>Coverage report</h1>\n<p class=\"sub\">";
  appendUnsigned(out, report.files.size());
  out += report.files.size() == 1 ? " file" : " files";
  out += " &middot; ";
  appendHtmlText(out, coverageViewText(report.view));
  out += "</p>\n</header>\n<main>\n";
  appendHtmlChange(out, report);
  appendOverall(out, report, run);
  for (const std::string& section : report.indexSections) out += section;
  appendRun(out, report, run);
  appendFileTable(stream, report, run.mcdc.conditions > 0);
  out += "</main>\n<footer>Written by qarpost-export ";
  out += programVersion();
  out += ". Figures: TER under the coverage view, statements, and functions, lines and branches as the "
         "line-based exports count them (a function once per name and line; the function records of the run "
         "count every copy of a header and every overload). A &mdash; marks a figure with nothing to count.</footer>\n";
  out += htmlSortScript();
  appendHtmlTail(out);
  settleExportBuffer(stream);
}

// The style sheet and the pages' script, each written once.
void writeSharedFile(HtmlReport& report, std::string_view name, std::string_view text) {
  ExportStream out;
  if (!openExportStream(out, inDirectory(report, name))) {
    report.active = false;
    return;
  }
  out.buffer += text;
  closeExportStream(out);
  if (out.failed) report.active = false;
}

// Once the index names this run's pages, those of an earlier run that it
// does not name go: their figures are old.
void removeEarlierPages(const HtmlReport& report) {
  std::vector<std::string_view> pages;
  pages.reserve(report.files.size());
  for (const HtmlIndexEntry& entry : report.files) pages.push_back(entry.page);
  removeEarlierHtmlPages(report.directory, pages);
}

}  // namespace

std::string timeUnitText(std::string_view costType, std::string_view tick) {
  std::string unit;
  if (costType.find_first_not_of(" \t") == std::string_view::npos) {
    unit = "cost units";
  } else {
    appendHtmlText(unit, costType);
  }
  const int32_t divisor = parseTick(tick).value_or(1);
  if (divisor > 1) {
    unit += " / ";
    appendUnsigned(unit, static_cast<uint64_t>(divisor));
  }
  return unit;
}

std::string htmlPageName(size_t number, std::string_view path) {
  std::string digits;
  appendUnsigned(digits, number);
  std::string name = "f";
  if (digits.size() < 5) name.append(5 - digits.size(), '0');
  name += digits;
  name.push_back('-');
  std::string_view base = fileBaseName(path);
  if (base.size() > 60) base = base.substr(base.size() - 60);
  for (char c : base) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                      c == '-' || c == '_';
    name.push_back(kept ? c : '_');
  }
  name += ".html";
  return name;
}

void beginHtmlReport(HtmlReport& report, const std::string& directory, const std::string& sourceRoot,
                     const std::optional<std::string>& root, CoverageView view) {
  report.directory = directory;
  startSourceFinder(report.sources, sourceRoot);
  report.root = root;
  report.view = view;
  report.timeUnit = timeUnitText(configValue(ConfigParameter::ExecutionCostType), configValue(ConfigParameter::Tick));
  std::error_code failure;
  std::filesystem::create_directories(directory, failure);
  if (failure) {
    reportExportOutputError(kCannotCreate, directory, failure.value());
    return;
  }
  report.active = openExportStream(report.index, inDirectory(report, "index.html"));
  if (!report.active) return;

  // The profile listing under the run's view, written by the listing writer
  // and read back section by section (see html_listing_rows.h). The file is
  // opened for reading as soon as it is created and its name removed before
  // the walk: a fatal error on the way (a bad record, a failed write) ends
  // the run without leaving it in the directory.
  const std::string listing = inDirectory(report, kListingName);
  openListing(listing);
  const bool readable = openListingSections(report.sections, listing);
  const int openError = errno;
  std::remove(listing.c_str());
  if (!readable) {
    closeListing();
    setErrorArguments(listing, systemErrorText(openError));
    reportError(kCannotOpen, ErrorSeverity::ExitAfterReport);
    return;
  }
  // The listing keeps each function's statement figures, which the export
  // walk then takes instead of analysing every function a second time.
  keepStatementFigures(true);
  writeCoverageListing(false);
  closeListing();
  startPageWriter();
  // A record per file the walk can pass, made room for at once: a list that
  // doubled as it grew would hold up to twice that room at the run's end,
  // when its memory is at its highest.
  report.files.reserve(database().monitoredFiles.size());
  report.coverageByKey.reserve(database().monitoredFiles.size());
}

void addHtmlFile(HtmlReport& report, FileResult& file, bool mayTake) {
  flushPendingPage(report);
  HtmlIndexEntry& entry = report.files.emplace_back();
  entry.path = file.path;
  entry.key = exportPathKey(file.path);
  entry.page = htmlPageName(report.files.size(), file.path);
  entry.isHeader = file.isHeader;
  entry.ter = file.ter[static_cast<size_t>(report.view)];
  entry.statements = file.statements;
  entry.mcdc = file.mcdc;
  report.pendingKey = entry.key;
  uncoveredItems(report.collector, file, report.view, report.pendingItems);
  multiconditionNames(report.collector, file, report.pendingNames);
  if (mayTake) {
    report.pending.emplace();
    std::swap(*report.pending, file);
  } else {
    report.pending = file;
  }
  clearCollector(report.collector);
}

void addHtmlRecord(HtmlReport& report, const Probe& record) { collectRecord(report.collector, record); }

void addHtmlPath(HtmlReport& report, const PathTable& table, const LineCoverage& coverage) {
  report.coverageByKey.insert_or_assign(table.key, coverage);
  if (report.pending && table.key == report.pendingKey) report.pendingCoverage = coverage;
}

void endHtmlReport(HtmlReport& report, const RunResult& run) {
  forgetStatementFigures();
  flushPendingPage(report);
  writeWaitingPages(report);
  if (!stopPageWriter()) report.active = false;
  closeListingSections(report.sections);
  if (report.active) writeSharedFile(report, kHtmlStyleSheet, std::string(htmlStyleSheet()) + std::string(changeStyleRules()));
  if (report.active) writeSharedFile(report, kHtmlLineScript, htmlLineScript());
  if (report.active) {
    writeIndex(report, run);
    closeExportStream(report.index);
    if (!report.index.failed) removeEarlierPages(report);
  } else {
    abandonExportStream(report.index);
  }
}

}  // namespace qar
