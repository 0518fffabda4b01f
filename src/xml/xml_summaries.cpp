// The function, file and overall summaries of the XML report.
#include <string>
#include <string_view>

#include "base/quick_format.h"
#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "xml/xml_output.h"
#include "xml/xml_report.h"

namespace qar {
namespace {

// `indent<name>value</name>` and the line end.
void appendNumberElement(std::string& out, std::string_view indent, std::string_view name, uint32_t value) {
  out += indent;
  out += '<';
  out += name;
  out += '>';
  appendUnsigned(out, value);
  out += "</";
  out += name;
  out += ">\n";
}

// The summary being put together; written whole, as every function has one.
std::string& summaryText() {
  static std::string text;
  return text;
}

// The statement TER, hits and all at `indent` ("\t\t\t\t" in a function,
// "\t\t\t" in a file, "\t\t" overall); without figures 100, 0 and 0.
void writeStatementFigures(const char* indent, bool withFigures, uint32_t all, uint32_t hits) {
  if (!withFigures) all = hits = 0;
  std::string& out = summaryText();
  out.clear();
  appendNumberElement(out, indent, "statement_ter", statementPercent(hits, all));
  appendNumberElement(out, indent, "statement_hits", hits);
  appendNumberElement(out, indent, "statement_all", all);
  writeXml(out);
}

void writeTerFigures(const char* indent, const TerFigures& ter) {
  std::string& out = summaryText();
  out.clear();
  appendNumberElement(out, indent, "ter", terPercent(ter.items, ter.misses));
  appendNumberElement(out, indent, "hits", ter.covered());
  appendNumberElement(out, indent, "all", ter.items);
  writeXml(out);
}

uint32_t headerFileCount() {
  uint32_t headers = 0;
  for (const MonitoredFile& file : database().monitoredFiles) {
    if (file.isHeaderFile != 0) ++headers;
  }
  return headers;
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
  writeXml("\t\t\t<function_summary>\n");
  writeTerFigures("\t\t\t\t", ter);
  writeStatementFigures("\t\t\t\t", statementsAvailable, statements.total, statements.hits);
  writeXml(statementsAvailable ? "\t\t\t\t<statement_available>yes</statement_available>\n\t\t\t</function_summary>\n"
                               : "\t\t\t\t<statement_available>no</statement_available>\n\t\t\t</function_summary>\n");
}

void writeXmlFileSummary(const XmlTotals& file, uint32_t sourceLines, bool decisionFlag) {
  printXml("\t\t<file_summary>\n\t\t\t<functions>%u</functions>\n\t\t\t<lines>%u</lines>\n", file.functions,
           sourceLines);
  writeTerFigures("\t\t\t", file.ter);
  writeStatementFigures("\t\t\t", decisionFlag, file.statementAll, file.statementHits);
  printXml("\t\t\t<statement_na_functions>%u</statement_na_functions>\n\t\t</file_summary>\n",
           file.functionsWithoutStatements);
  writeXml("\t</file>\n\n");
}

void writeXmlOverallSummary(const XmlTotals& overall, const XmlModesSeen& seen) {
  writeXml("\t<overall_summary>\n");
  printXml("\t\t<shown_coverage_views>%s</shown_coverage_views>\n", shownCoverageViews(seen).c_str());
  printXml("\t\t<files>%u</files>\n\t\t<headers>%u</headers>\n", sourceFileCount(), headerFileCount());
  printXml("\t\t<functions>%u</functions>\n\t\t<lines>%u</lines>\n", overall.functions, sourceLineTotal());
  writeTerFigures("\t\t", overall.ter);
  writeStatementFigures("\t\t", seen.decision || seen.multicondition, overall.statementAll,
                        overall.statementHits);
  printXml("\t\t<statement_na_functions>%u</statement_na_functions>\n\t</overall_summary>\n\n",
           overall.functionsWithoutStatements);
}

}  // namespace qar
