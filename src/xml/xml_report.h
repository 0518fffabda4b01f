#pragma once
// The parts of the XML document, in the order writeXmlReport writes them.
#include <cstdint>

#include "listings/measures.h"
#include "listings/statement_analysis.h"

namespace qar {

// Running totals of a file or of the whole run.
struct XmlTotals {
  TerFigures ter;
  uint32_t functions = 0;
  uint32_t statementAll = 0;
  uint32_t statementHits = 0;
  uint32_t functionsWithoutStatements = 0;

  XmlTotals& operator+=(const XmlTotals& other) {
    ter += other.ter;
    functions += other.functions;
    statementAll += other.statementAll;
    statementHits += other.statementHits;
    functionsWithoutStatements += other.functionsWithoutStatements;
    return *this;
  }
};

// Which instrumentation modes the files met had, each file counting for its
// highest mode only.
struct XmlModesSeen {
  bool function = false;
  bool decision = false;
  bool multicondition = false;
};

// The prolog, the header block and the notices of the run.
void writeXmlDocumentHead();

// One file block per MonitoredFile, read through the record reader; the
// totals and modes of all files are added into `overall` and `seen`.
void writeXmlFileBlocks(XmlTotals& overall, XmlModesSeen& seen);

// The summaries.
void writeXmlFunctionSummary(const TerFigures& ter, const StatementFigures& statements,
                             bool statementsAvailable);
void writeXmlFileSummary(const XmlTotals& file, uint32_t sourceLines, bool decisionFlag);
void writeXmlOverallSummary(const XmlTotals& overall, const XmlModesSeen& seen);

}  // namespace qar
