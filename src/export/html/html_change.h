#pragma once
// The change in the HTML report (with --diff): the file pages mark the lines
// the diff changed, and the index opens with the change's figures and the
// files it touches, each with links to its uncovered items.
#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/change/patch_coverage.h"

namespace qar {

struct HtmlReport;

// The changed lines of a written file (its exportPathKey); null when the
// report has no change or the diff does not touch it.
const std::vector<uint32_t>* htmlChangedLines(const HtmlReport& report, const std::string& key);

// After a page's line number: a mark when the diff changed the line.
void appendChangedLineMark(std::string& out, const std::vector<uint32_t>* changed, uint32_t line);

// The index's section on the change; nothing without one.
void appendHtmlChange(std::string& out, const HtmlReport& report);

}  // namespace qar
