// The walk of the coverage listings over the coverage database: files, their
// functions with the statement prepass, and the TER lines after each
// function and file.
#include "coverage/record_reader.h"
#include "base/posterr.h"
#include "listings/coverage_walk.h"
#include "listings/kept_statements.h"
#include "listings/mcdc.h"
#include "listings/postlist.h"
#include "listings/statement_analysis.h"
#include "base/text.h"

namespace qar {
namespace {

[[noreturn]] void failOnBadRecord() { failWith(kSymbolFileError); }

// Statement figures of the function whose record was just read, and the
// statement count of its last record; the walk then reads the records once
// more for the listing.
void runStatementPrepass(CoverageWalk& walk) {
  // The untested listing shows no reachability marks: figures the profile
  // listing kept are all it needs.
  const DescriptionLine* functionLine = currentDescriptionLine();
  const FunctionStatements* kept = walk.untested ? keptStatementFigures(functionLine) : nullptr;
  const FunctionStatements statements =
      kept != nullptr ? *kept : analyseFunctionStatements(walk.record, walk.lookAhead);
  if (kept == nullptr && !walk.untested) rememberStatementFigures(functionLine, statements);
  if (statements.badRecordMet) failOnBadRecord();
  walk.functionStatementHits = statements.figures.hits;
  walk.functionStatementTotal = statements.figures.total;
  walk.lastStatementCount = statements.finalStatementCount;
}

void beginFunction(CoverageWalk& walk) {
  walk.functionStatementHits = 0;
  walk.functionStatementTotal = 0;
  walk.lastStatementCount = 0;
  if (walk.mode.decision) {
    runStatementPrepass(walk);
    walk.fileStatements.hits += walk.functionStatementHits;
    walk.fileStatements.total += walk.functionStatementTotal;
  }
  const bool figures = walk.functionStatementHits != 0 || walk.functionStatementTotal != 0;
  setStatementFiguresAvailable(figures);
  if (!figures) ++walk.fileStatements.functionsWithoutFigures;

  ++walk.functionsListed;
  const uint32_t calls = walk.record.counter1;
  walk.functionTer = TerFigures{1, calls == 0 ? 1u : 0u};
  clearListingLine();

  walk.function = walk.record;
  walk.functionPending = true;
  walk.functionLineWritten = false;
  walk.decisionPending = false;
  walk.decisionLineWritten = false;
  walk.combinationNumber = 0;
  if (!walk.untested || calls == 0) flushPendingHeaders();
  clearMcdcPending();
}

void writeTerLine(const TerFigures& ter, const char* what, std::string_view name) {
  std::string line = "***TER ";
  appendPercentFigures(line, terPercent(ter.items, ter.misses), ter.covered(), ter.items);
  line += " of ";
  line += what;
  line += ' ';
  line.append(name);
  writeListingText(line);
}

void endFunction(CoverageWalk& walk) {
  walk.fileTer += walk.functionTer;
  walk.functionPending = false;
  if (!walk.mode.decision || walk.view == CoverageView::Function) return;
  if (!walk.functionLineWritten) return;
  writeListingEmptyLine();
  if (!walk.untested) {
    writeTerLine(walk.functionTer, "FUNCTION", walk.function.text);
    writeListingText("()\n");
    writeListingText(functionStatementLine(walk.functionStatementHits, walk.functionStatementTotal));
  }
  writeSeparator();
}

void beginFile(CoverageWalk& walk) {
  walk.fileName = currentFileName();
  walk.mode = currentInstrumentationMode();
  walk.isHeaderFile = currentIsHeaderFile() != 0;
  walk.fileTer = {};
  walk.fileStatements = {};
  walk.fileHeaderWritten = false;
  walk.lineRecords.clear();
  walk.combinationNumber = 0;
  // A file counts for its highest mode only.
  if (walk.mode.multicondition) {
    walk.anyMulticondition = true;
  } else if (walk.mode.decision) {
    walk.anyDecision = true;
  } else {
    walk.anyFunctionOnly = true;
  }
  if (!walk.untested) {
    writeCoverageFileHeader(walk);
    walk.fileHeaderWritten = true;
  }
}

void endFile(CoverageWalk& walk) {
  walk.overallTer += walk.fileTer;
  walk.overallStatements += walk.fileStatements;
  if (walk.untested || !walk.fileHeaderWritten) return;
  writeListingEmptyLine();
  writeTerLine(walk.fileTer, "FILE", walk.fileName);
  writeListingText("\n");
  const StatementTotals& statements = walk.fileStatements;
  writeListingText(
      fileStatementLine(statements.hits, statements.total, statements.functionsWithoutFigures));
  writeSeparator();
}

}  // namespace


void beginCoverageWalk(bool untested, CoverageView view) {
  CoverageWalk& walk = coverageWalk();
  walk.untested = untested;
  walk.view = view;
  walk.overallTer = {};
  walk.overallStatements = {};
  walk.functionsListed = 0;
  walk.anyFunctionOnly = false;
  walk.anyDecision = false;
  walk.anyMulticondition = false;
  walk.functionPending = false;
  walk.decisionPending = false;
  walk.lineRecords.clear();
  walk.combinationNumber = 0;
  resetMcdc();
  resetRecordCursor();
}

void walkCoverageFiles() {
  CoverageWalk& walk = coverageWalk();
  RecordCategory category = readWalkRecord(walk);
  while (category == RecordCategory::FileStart) {
    beginFile(walk);
    while ((category = readWalkRecord(walk)) == RecordCategory::IncludeRecord) {
      if (!walk.untested) {
        writeListingText(walk.record.text);
        writeListingText("\n");
      }
    }
    while (category == RecordCategory::FunctionRecord) {
      beginFunction(walk);
      while ((category = readWalkRecord(walk)) == RecordCategory::ProbeRecord) {
        handleCoverageProbe(walk, walk.record);
      }
      endFunction(walk);
    }
    endFile(walk);
  }
  if (category == RecordCategory::BadRecord) failOnBadRecord();
  // A walk stopped early (an include record after a function) leaves the
  // cursor inside the database; the next report must start from the top.
  if (category != RecordCategory::EndOfRecords) resetRecordCursor();
}

}  // namespace qar
