// The walk of the coverage listings over the coverage database: files, their
// functions with the statement prepass, and the TER lines after each
// function and file.
#include <string>
#include <string_view>

#include <deque>
#include <utility>
#include <vector>

#include "base/parts_in_order.h"
#include "coverage/record_reader.h"
#include "coverage/walk_parts.h"
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
  const FunctionStatements statements =
      walk.kept != nullptr ? walk.kept->statements : analyseFunctionStatements(walk.record, walk.lookAhead);
  if (statements.badRecordMet) failOnBadRecord();
  walk.functionStatementHits = statements.figures.hits;
  walk.functionStatementTotal = statements.figures.total;
  walk.lastStatementCount = statements.finalStatementCount;
}

void beginFunction(CoverageWalk& walk) {
  walk.functionLine = currentDescriptionLine();
  walk.kept = walk.untested ? keptFunction(walk.functionLine) : nullptr;
  walk.untestedShows = false;
  walk.lastProbeFrom = nullptr;
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
  if (calls == 0) noteUntestedLine(walk);
  if (!walk.untested || calls == 0) flushPendingHeaders();
  clearMcdcPending();
}

// The probe records of the current function. The untested listing passes
// over the body of a function the profile listing found nothing to show of:
// it takes the function's TER figures as kept and reads only the last probe
// record (with the line records directly before it), which leaves the line
// record slots as the whole body would. The profile listing notes where
// that record starts: right after the record before it.
RecordCategory walkFunctionBody(CoverageWalk& walk) {
  RecordCategory category;
  const KeptFunction* kept = walk.kept;
  if (kept != nullptr && kept->lastProbeFrom != nullptr) {
    walk.functionTer = kept->ter;
    moveRecordCursorTo(kept->lastProbeFrom);
    while ((category = readWalkRecord(walk)) == RecordCategory::ProbeRecord) {
    }
    return category;
  }
  // A record starts right after the line of the record before it (the
  // lines between are line records, sum lists and comments).
  const bool noting = !walk.untested && keepingStatementFigures();
  const DescriptionLine* previous = walk.functionLine;
  while ((category = readWalkRecord(walk)) == RecordCategory::ProbeRecord) {
    if (noting) {
      walk.lastProbeFrom = previous + 1;
      previous = currentDescriptionLine();
    }
    handleCoverageProbe(walk, walk.record);
  }
  return category;
}

// The profile listing keeps what the untested listing after it needs.
void keepFunction(const CoverageWalk& walk) {
  KeptFunction kept;
  kept.function = walk.functionLine;
  kept.statements.figures = {walk.functionStatementHits, walk.functionStatementTotal};
  kept.statements.finalStatementCount = walk.lastStatementCount;
  kept.ter = walk.functionTer;
  if (!walk.untestedShows) kept.lastProbeFrom = walk.lastProbeFrom;
  rememberFunction(kept);
}

// The block after a function or a file: an empty line, the TER and
// statement lines, the separator. Put together in one reused buffer and
// written at once: every function of a decision file has one.
std::string& closingBlock() {
  static thread_local std::string text;
  return text;
}

constexpr std::string_view kSeparatorLines =
    "-----------------------------------------------------------------------------\n\n";

void appendTerLine(std::string& out, const TerFigures& ter, std::string_view what, std::string_view name) {
  out += "***TER ";
  appendPercentFigures(out, terPercent(ter.items, ter.misses), ter.covered(), ter.items);
  out += " of ";
  out += what;
  out += ' ';
  out += name;
}

void endFunction(CoverageWalk& walk) {
  if (!walk.untested && keepingStatementFigures()) keepFunction(walk);
  walk.fileTer += walk.functionTer;
  walk.functionPending = false;
  if (!walk.mode.decision || walk.view == CoverageView::Function) return;
  if (!walk.functionLineWritten) return;
  std::string& text = closingBlock();
  text.assign("\n");
  if (!walk.untested) {
    appendTerLine(text, walk.functionTer, "FUNCTION", walk.function.text);
    text += "()\n";
    appendFunctionStatementLine(text, walk.functionStatementHits, walk.functionStatementTotal);
  }
  text += kSeparatorLines;
  writeListingText(text);
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
  std::string& text = closingBlock();
  text.assign("\n");
  appendTerLine(text, walk.fileTer, "FILE", walk.fileName);
  text += '\n';
  const StatementTotals& statements = walk.fileStatements;
  appendFileStatementLine(text, statements.hits, statements.total, statements.functionsWithoutFigures);
  text += kSeparatorLines;
  writeListingText(text);
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

namespace {

// The files of the walk (all of them, or those of a part) with their
// functions; gives the category that ended it.
RecordCategory walkFiles(CoverageWalk& walk) {
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
      category = walkFunctionBody(walk);
      endFunction(walk);
    }
    endFile(walk);
  }
  return category;
}

// A part of the walk, walked on its own into text of its own, and what it
// adds to the listing's figures.
struct ListingPart {
  WalkPart files;
  std::string text;
  std::vector<uint32_t> pieces;
  TerFigures ter;
  StatementTotals statements;
  uint32_t functionsListed = 0;
  bool anyFunctionOnly = false;
  bool anyDecision = false;
  bool anyMulticondition = false;
  std::deque<KeptFunction> kept;  // by the profile listing, for the untested listing
  std::deque<KeptFunction> given;  // what the profile listing kept in the part's files
  bool walkedWell = false;  // no error ended the part's walk
};

// What every part's walk starts from, whichever thread walks it.
struct PartSettings {
  bool untested = false;
  CoverageView view = CoverageView::AsInstrumented;
  bool keeping = false;
};

// Walks `part` on the calling thread; false when the walk ends in it (an
// include record after a function). Whatever ends it, the text written
// so far and the functions kept stay with the part.
bool walkListingPart(ListingPart& part, const PartSettings& settings) {
  struct Ending {
    ListingPart& part;
    ~Ending() {
      endListingPart(part.text, part.pieces);
      part.kept = takeKeptFunctions();
      unlimitRecordWalk();
    }
  };
  beginListingPart();
  Ending ending{part};
  beginCoverageWalk(settings.untested, settings.view);
  enableReachabilityMarks(!settings.untested);
  appendKeptFunctions(part.given);
  limitRecordWalk(part.files.first, part.files.end);
  CoverageWalk& walk = coverageWalk();
  const RecordCategory category = walkFiles(walk);
  part.ter = walk.overallTer;
  part.statements = walk.overallStatements;
  part.functionsListed = walk.functionsListed;
  part.anyFunctionOnly = walk.anyFunctionOnly;
  part.anyDecision = walk.anyDecision;
  part.anyMulticondition = walk.anyMulticondition;
  if (category == RecordCategory::BadRecord) failOnBadRecord();
  part.walkedWell = true;
  return category == RecordCategory::EndOfRecords;
}

// The walk in parts: both threads walk parts, and each part's text and
// figures join the listing in turn, as the whole walk would have written
// and counted them. (The parts this thread walks start the walk afresh
// here: what the listing adds up is kept aside until all are taken up.)
// `given`: for each part, the functions the profile listing kept in it.
void walkCoverageFilesInParts(const std::vector<WalkPart>& files, std::vector<std::deque<KeptFunction>> given) {
  CoverageWalk& walk = coverageWalk();
  const PartSettings settings{walk.untested, walk.view, keepingStatementFigures()};
  std::vector<ListingPart> parts(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    parts[i].files = files[i];
    if (i < given.size()) parts[i].given = std::move(given[i]);
  }

  ListingPart totals;
  std::vector<KeptPart> kept;
  PartsWork work;
  work.startThread = [settings] { keepStatementFigures(settings.keeping); };
  work.doPart = [&parts, settings](size_t index) { return walkListingPart(parts[index], settings); };
  work.takePart = [&parts, &totals, &kept, settings](size_t index) {
    ListingPart& part = parts[index];
    writeListingPart(part.text, part.pieces, part.walkedWell);
    totals.ter += part.ter;
    totals.statements += part.statements;
    totals.functionsListed += part.functionsListed;
    totals.anyFunctionOnly = totals.anyFunctionOnly || part.anyFunctionOnly;
    totals.anyDecision = totals.anyDecision || part.anyDecision;
    totals.anyMulticondition = totals.anyMulticondition || part.anyMulticondition;
    // What the untested listing left of the functions given is of no more use.
    if (settings.keeping) kept.push_back(KeptPart{part.files, std::move(part.kept)});
    std::deque<KeptFunction>().swap(part.kept);
  };
  doPartsInOrder(parts.size(), work);

  beginCoverageWalk(settings.untested, settings.view);
  walk.overallTer = totals.ter;
  walk.overallStatements = totals.statements;
  walk.functionsListed = totals.functionsListed;
  walk.anyFunctionOnly = totals.anyFunctionOnly;
  walk.anyDecision = totals.anyDecision;
  walk.anyMulticondition = totals.anyMulticondition;
  if (settings.keeping) keepFunctionsOfParts(std::move(kept));
}

}  // namespace

void walkCoverageFiles() {
  CoverageWalk& walk = coverageWalk();
  if (const std::vector<WalkPart> parts = walkParts(); !parts.empty()) {
    // The untested listing after the profile listing reads what that one
    // kept: part by part when it was walked in the same parts, else in
    // walk order, in one piece.
    if (!walk.untested || !hasKeptFunctions()) {
      walkCoverageFilesInParts(parts, {});
      return;
    }
    if (std::vector<std::deque<KeptFunction>> given = takeKeptFunctionsOfParts(parts); !given.empty()) {
      walkCoverageFilesInParts(parts, std::move(given));
      return;
    }
  }
  const RecordCategory category = walkFiles(walk);
  if (category == RecordCategory::BadRecord) failOnBadRecord();
  // A walk stopped early (an include record after a function) leaves the
  // cursor inside the database; the next report must start from the top.
  if (category != RecordCategory::EndOfRecords) resetRecordCursor();
}

}  // namespace qar
