// The function, file and overall summaries of the XML report.
#include <cstring>
#include <string>
#include <string_view>

#include "base/quick_format.h"
#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "xml/xml_output.h"
#include "xml/xml_report.h"

namespace qar {
namespace {

// `indent<name>value</name>` and the line end, at `at`.
char* putNumberElement(char* at, std::string_view indent, std::string_view name, uint32_t value) {
  auto put = [&at](std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  };
  put(indent);
  *at++ = '<';
  put(name);
  *at++ = '>';
  at = putDecimal(at, value);
  put("</");
  put(name);
  put(">\n");
  return at;
}

// Room for the six figures of a summary: indents, names and numbers of at
// most ten digits take less than 300 bytes.
constexpr size_t kFiguresRoom = 512;

// The TER, hits and all at `indent` ("\t\t\t\t" in a function, "\t\t\t" in a
// file, "\t\t" overall), then the statement TER, hits and all; without
// statement figures 100, 0 and 0. Every function has them: put together
// with a plain pointer and written at once.
char* putFigures(char* at, std::string_view indent, const TerFigures& ter, bool withStatements,
                 uint32_t statementAll, uint32_t statementHits) {
  if (!withStatements) statementAll = statementHits = 0;
  at = putNumberElement(at, indent, "ter", terPercent(ter.items, ter.misses));
  at = putNumberElement(at, indent, "hits", ter.covered());
  at = putNumberElement(at, indent, "all", ter.items);
  at = putNumberElement(at, indent, "statement_ter", statementPercent(statementHits, statementAll));
  at = putNumberElement(at, indent, "statement_hits", statementHits);
  return putNumberElement(at, indent, "statement_all", statementAll);
}

void writeFigures(std::string_view indent, const TerFigures& ter, bool withStatements, uint32_t statementAll,
                  uint32_t statementHits) {
  char text[kFiguresRoom];
  const char* end = putFigures(text, indent, ter, withStatements, statementAll, statementHits);
  writeXml(std::string_view(text, static_cast<size_t>(end - text)));
}


// The view words of the summary: the coverage-type text of the listings
// without its leading blank ("mixed a/b", one word, or nothing).
std::string shownCoverageViews(const XmlModesSeen& seen) {
  std::string text = coverageTypeText(seen.function, seen.decision, seen.multicondition, options().coverageView);
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

}  // namespace

void writeXmlFunctionSummary(const TerFigures& ter, const StatementFigures& statements,
                             bool statementsAvailable) {
  constexpr std::string_view kStart = "\t\t\t<function_summary>\n";
  constexpr std::string_view kAvailable =
      "\t\t\t\t<statement_available>yes</statement_available>\n\t\t\t</function_summary>\n";
  constexpr std::string_view kNotAvailable =
      "\t\t\t\t<statement_available>no</statement_available>\n\t\t\t</function_summary>\n";
  char text[kFiguresRoom + kStart.size() + kAvailable.size()];
  std::memcpy(text, kStart.data(), kStart.size());
  char* at = putFigures(text + kStart.size(), "\t\t\t\t", ter, statementsAvailable, statements.total, statements.hits);
  const std::string_view end = statementsAvailable ? kAvailable : kNotAvailable;
  std::memcpy(at, end.data(), end.size());
  at += end.size();
  writeXml(std::string_view(text, static_cast<size_t>(at - text)));
}

void writeXmlFileSummary(const XmlTotals& file, uint32_t sourceLines, bool decisionFlag) {
  printXml("\t\t<file_summary>\n\t\t\t<functions>%u</functions>\n\t\t\t<lines>%u</lines>\n", file.functions,
           sourceLines);
  writeFigures("\t\t\t", file.ter, decisionFlag, file.statementAll, file.statementHits);
  printXml("\t\t\t<statement_na_functions>%u</statement_na_functions>\n\t\t</file_summary>\n",
           file.functionsWithoutStatements);
  writeXml("\t</file>\n\n");
}

void writeXmlOverallSummary(const XmlTotals& overall, const XmlModesSeen& seen) {
  writeXml("\t<overall_summary>\n");
  printXml("\t\t<shown_coverage_views>%s</shown_coverage_views>\n", shownCoverageViews(seen).c_str());
  const ListFigures list = listFigures();
  printXml("\t\t<files>%u</files>\n\t\t<headers>%u</headers>\n", list.sourceFiles, list.headerFiles);
  printXml("\t\t<functions>%u</functions>\n\t\t<lines>%u</lines>\n", overall.functions, list.sourceLines);
  writeFigures("\t\t", overall.ter, seen.decision || seen.multicondition, overall.statementAll,
               overall.statementHits);
  printXml("\t\t<statement_na_functions>%u</statement_na_functions>\n\t</overall_summary>\n\n",
           overall.functionsWithoutStatements);
}

}  // namespace qar
