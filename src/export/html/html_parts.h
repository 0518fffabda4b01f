#pragma once
// Pieces that every page of the HTML report shares: the head, the figure
// cards and the figure cells, the style sheet and the index's sort script.
#include <cstdint>
#include <string>
#include <string_view>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/walk/path_table.h"

namespace qar {

inline constexpr std::string_view kHtmlStyleSheet = "style.css";

// How every page of the report begins, up to its title: the generator's
// mark by which a later report knows the pages it may remove.
inline constexpr std::string_view kHtmlHeadStart =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<meta name=\"generator\" content=\"qarpost-export\">\n<title>";

// kHtmlHeadStart up to and including "<body>", with `title` escaped.
void appendHtmlHead(std::string& out, std::string_view title);
// "</body></html>\n".
void appendHtmlTail(std::string& out);

// One measure: a label, a percentage, a bar and "covered of items".
struct HtmlFigure {
  std::string_view label;
  uint32_t percent = 100;
  uint64_t covered = 0;
  uint64_t items = 0;
  std::string_view unit;  // "items", "statements", ...
  std::string note;       // an extra line, already escaped; may be empty
};

HtmlFigure terFigure(std::string_view label, const TerFigures& ter);
HtmlFigure statementFigure(const StatementTotals& statements);
HtmlFigure countFigure(std::string_view label, const CoverageCount& count, std::string_view unit);
HtmlFigure mcdcFigure(const McdcTotals& mcdc);

// "77.7 %": the percentage in tenths, truncated, so it never reads 100.0 %
// before everything is covered.
void appendPercentText(std::string& out, uint64_t covered, uint64_t items);
// A card of the figures block; a figure with nothing to count shows "—"
// and "no <unit>".
void appendFigureCard(std::string& out, const HtmlFigure& figure);
// A table cell with the percentage, a bar drawn by the style sheet, the
// figures, and the sort key as data-k; "—" when there is nothing to count.
void appendFigureCell(std::string& out, const HtmlFigure& figure);
// A table cell for a figure that does not apply (sorted last).
void appendEmptyFigureCell(std::string& out);

// The lighter cell of the index's file tables, which hold a row per file:
// one class ("p87") gives the bar's length and colour, the sort key is
// read from the "covered/items" text, and "—" marks a figure that does not
// apply.
void appendIndexFigureCell(std::string& out, const HtmlFigure& figure);
void appendIndexEmptyCell(std::string& out);

// The style sheet (written once as style.css) and the index's sort script.
std::string_view htmlStyleSheet();
std::string_view htmlSortScript();

}  // namespace qar
