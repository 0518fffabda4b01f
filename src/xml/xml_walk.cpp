// The pass over the CoverageDatabase: one file block per MonitoredFile, one
// function block per function record, one element per probe record.
#include <string>
#include <utility>

#include <vector>

#include "base/parts_in_order.h"
#include "config/configuration.h"
#include "coverage/walk_parts.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "listings/line_records.h"
#include "listings/mcdc.h"
#include "listings/postlist.h"
#include "base/clock.h"
#include "base/quick_format.h"
#include "xml/xml_elements.h"
#include "xml/xml_output.h"
#include "xml/xml_report.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

struct FunctionState {
  Probe record;  // the function record
  bool headWritten = false;
  bool parametersWritten = false;
  bool tryBlock = false;          // a function try block (kind 43) was met
  bool finalCountPassed = false;  // the record with the final statement count was met
  uint32_t finalStatementCount = 0;
  StatementFigures statements;
  bool statementsAvailable = false;
  TerFigures ter;
};

struct XmlWalk {
  Probe record;     // the reader's buffer, the same for the whole walk
  Probe lookAhead;  // the statement prepass reads into this one
  CoverageView view = CoverageView::AsInstrumented;
  int viewLevel = 4;
  int32_t tickScale = 1;

  // The before-function record is written before the next function start
  // tag, the in-function record before the next probe element.
  LineRecordSlots lineRecords;

  InstrumentationMode mode;
  bool isHeaderFile = false;
  XmlTotals file;
  FunctionState function;

  uint32_t evaluationNumber = 0;  // rows of the current run of kind 75/76 records
  bool mcdcPending = false;
  uint32_t mcdcLine = 0;
  uint32_t mcdcStatementCount = 0;
  uint32_t mcdcNesting = 0;

  std::string escaped;  // reused for the names of files, functions and includes
};

// The next record that is not a line record; runs of line records go into
// the pending slots by the reader rule the listings use too.
RecordCategory readRecord(XmlWalk& w) {
  const RecordCategory category = nextRecordKeepingLineRecords(w.record, w.lineRecords);
  if (category == RecordCategory::BadRecord) failWith(kSymbolFileError);  // the reader has set the file name
  return category;
}

// ---- Probe elements ----------------------------------------------------------

const char* xmlTypeName(uint32_t kind) {
  switch (kind) {
    case 75: return "multi_cond_t";
    case 76: return "multi_cond_f";
    case 77: return "sub_cond";
    default: return probeKindInfo(kind).name;
  }
}

// The count, plain and decision writers put a pending in-function line
// directive right before their own element.
void writePendingFunctionDirective(XmlWalk& w) {
  PendingLineRecord& directive = w.lineRecords.inFunction;
  if (!directive.pending) return;
  writeLineDirectiveInFunction(directive.line, directive.statementCount, directive.nesting, directive.text);
  directive.pending = false;
}

void countElement(XmlWalk& w, const XmlProbeFields& fields, Exepassed exepassed = Exepassed::Absent) {
  writePendingFunctionDirective(w);
  writeCount1Element(fields, w.record.counter1, exepassed);
  w.function.ter += probeTerFigures(w.record, w.view);
}

void plainElement(XmlWalk& w, const XmlProbeFields& fields, Exepassed exepassed = Exepassed::Absent) {
  writePendingFunctionDirective(w);
  writePlainElement(fields, exepassed);
}

// Decisions are written as soon as they are read, so no decision is ever
// left pending for the multicondition and condition rows that follow.
void decisionElement(XmlWalk& w, const XmlProbeFields& fields) {
  const Probe& r = w.record;
  writePendingFunctionDirective(w);
  if (r.kind >= 30 && r.kind <= 35) {
    // A constant decision shows the one count it has.
    if (r.counter1 != 0) {
      writeCount1Element(fields, r.counter1);
    } else if (r.counter2 != 0) {
      writeCount2Element(fields, r.counter2);
    } else {
      writeCount1Element(fields, 0);
    }
  } else {
    writeCount1Count2Element(fields, r.counter1, r.counter2);
  }
  w.function.ter += probeTerFigures(r, w.view);
}

void conditionElement(XmlWalk& w, const XmlProbeFields& fields) {
  writeCount1Count2Element(fields, w.record.counter1, w.record.counter2);
  w.function.ter += probeTerFigures(w.record, w.view);
}

// A combination of a multicondition. As instrumented it is a TER item of
// its own; under the MC/DC view it feeds the analysis instead.
void multiconditionRow(XmlWalk& w, const XmlProbeFields& fields) {
  const Probe& r = w.record;
  const bool trueRow = r.kind == 75;
  const uint32_t count = trueRow ? r.counter1 : r.counter2;
  const bool asInstrumented = w.view == CoverageView::AsInstrumented;
  ++w.evaluationNumber;
  writeEvalElement(fields, trueRow, count, asInstrumented && count == 0, w.evaluationNumber);
  if (asInstrumented) {
    w.function.ter += probeTerFigures(r, w.view);
    return;
  }
  registerCombination(trueRow, count, r.text, r.line, r.nesting);
  w.mcdcPending = true;
  w.mcdcLine = r.line;
  w.mcdcStatementCount = r.statementCount;
  w.mcdcNesting = r.nesting;
}

void writeMcdcConditions(XmlWalk& w) {
  analyseMcdc();
  McdcCondition condition;
  while (nextMcdcCondition(condition)) {
    writeSubcondElement(XmlProbeFields{"mcdc", w.mcdcLine, w.mcdcStatementCount, w.mcdcNesting, condition.pairList},
                        condition.uncovered, condition.number);
    w.function.ter.items += 1;
    if (condition.uncovered) w.function.ter.misses += 1;
  }
  w.mcdcPending = false;
}

// The exepassed attribute of a reachability rule: only functions with
// statement coverage have one; `ask` says whether the rule asks for the
// next reached flag. With `onlyWhenReached` an unreached flag leaves the
// attribute out.
Exepassed reachedAttribute(const XmlWalk& w, bool ask, bool onlyWhenReached = false) {
  if (!w.function.statementsAvailable || !ask) return Exepassed::Absent;
  if (nextReachedFlag()) return Exepassed::Reached;
  return onlyWhenReached ? Exepassed::Absent : Exepassed::NotReached;
}

Exepassed ruleA(const XmlWalk& w) { return reachedAttribute(w, w.function.tryBlock); }
Exepassed ruleB(const XmlWalk& w) {
  return reachedAttribute(w, w.record.nesting != 0 || !w.function.finalCountPassed);
}
Exepassed ruleC(const XmlWalk& w) { return reachedAttribute(w, true); }
Exepassed ruleD(const XmlWalk& w) { return reachedAttribute(w, true, true); }

// The element of one body record, by its kind and the coverage view.
void writeProbeElement(XmlWalk& w) {
  const Probe& r = w.record;
  const int view = w.viewLevel;
  XmlProbeFields fields{xmlTypeName(r.kind), r.line, r.statementCount, r.nesting, {}};
  fields.descr = describeProbePlain(r.kind, r.text);
  switch (r.kind) {
    case 1:
      if (view >= 1) {
        countElement(w, fields, ruleA(w));
      } else {
        // The function view shows the end without its count.
        fields.type = xmlTypeName(2);
        plainElement(w, fields, ruleA(w));
      }
      break;
    case 2: plainElement(w, fields, ruleA(w)); break;
    case 3:
      if (view >= 1) plainElement(w, fields, ruleB(w));
      break;
    case 5:
      if (view >= 1) countElement(w, fields, ruleC(w));
      break;
    case 6:
      if (view >= 1) plainElement(w, fields, ruleC(w));
      break;
    case 14:
    case 15:
      if (view >= 1) countElement(w, fields, ruleD(w));
      break;
    case 4:
    case 10: case 11: case 12: case 13:
    case 16:
    case 55:
    case 60: case 61: case 62: case 63: case 64: case 65: case 66:
    case 100: case 101: case 102: case 103: case 104:
      if (view >= 1) countElement(w, fields);
      break;
    case 20: case 21: case 22: case 23: case 24: case 25:
    case 30: case 31: case 32: case 33: case 34: case 35:
      if (view >= 1) decisionElement(w, fields);
      break;
    case 85:
      if (view >= 2) decisionElement(w, fields);
      break;
    case 40: case 41: case 42:
    case 56:
      if (view >= 1) plainElement(w, fields);
      break;
    case 43:
      if (view >= 1) {
        plainElement(w, fields);
        w.function.tryBlock = true;
      }
      break;
    case 45:
      if (view >= 1) plainElement(w, fields, ruleD(w));
      break;
    case 75:
    case 76:
      if (view >= 3) multiconditionRow(w, fields);
      break;
    case 77:
      if (view == 2) conditionElement(w, fields);
      break;
    case 90: case 91: case 92:
      break;  // the parameters were written before the head
    default:
      failInternal("postxml", 1150);
  }
}

// ---- Functions -----------------------------------------------------------------

void writeCostElements(const XmlWalk& w) {
  const Probe& f = w.function.record;
  if (!w.mode.hasTiming()) {
    writeXml("\t\t\t<total_execution_cost></total_execution_cost>\n"
             "\t\t\t<average_execution_cost></average_execution_cost>\n"
             "\t\t\t<max_execution_cost></max_execution_cost>\n");
    return;
  }
  int32_t total = static_cast<int32_t>(f.timeTotal);
  int32_t maximum = static_cast<int32_t>(f.timeMax);
  if (w.tickScale != 1) {
    total /= w.tickScale;
    maximum /= w.tickScale;
  }
  double average = total;
  if (f.counter1 > 1) average /= f.counter1;
  printXml("\t\t\t<total_execution_cost>%d</total_execution_cost>\n"
           "\t\t\t<average_execution_cost>%.1f</average_execution_cost>\n"
           "\t\t\t<max_execution_cost>%d</max_execution_cost>\n",
           total, average, maximum);
}

// Everything between the function start tag and the first body element.
void writeFunctionHead(XmlWalk& w) {
  FunctionState& fn = w.function;
  const Probe& f = fn.record;
  if (!fn.parametersWritten) writeXml("\t\t\t<parameters></parameters>\n");
  std::string& head = w.escaped;
  head.assign("\t\t\t<defined_at_line>");
  appendUnsigned(head, f.line);
  head += "</defined_at_line>\n\t\t\t<call_count>";
  appendUnsigned(head, f.counter1);
  head += "</call_count>\n";
  writeXml(head);
  writeCostElements(w);
  writeXml("\t\t\t<body>\n");
  writeCount1Element(XmlProbeFields{xmlTypeName(kKindFunction), f.line, f.statementCount, f.nesting,
                                    describeProbePlain(kKindFunction, f.text)},
                     f.counter1);
  fn.headWritten = true;
  fn.finalCountPassed = false;
  fn.tryBlock = false;
}

void writeBodyRecord(XmlWalk& w) {
  const Probe& r = w.record;
  FunctionState& fn = w.function;
  if (w.mcdcPending && (r.kind < 75 || r.kind > 81)) writeMcdcConditions(w);
  if (r.kind != 75 && r.kind != 76) w.evaluationNumber = 0;
  if (r.statementCount != 0 && r.statementCount == fn.finalStatementCount) fn.finalCountPassed = true;
  if (r.kind == 90) {
    writeEscapedBetween(w.escaped, "\t\t\t<parameters>", r.text, "</parameters>\n");
    fn.parametersWritten = true;
  }
  if (!fn.headWritten) writeFunctionHead(w);
  writeProbeElement(w);
}

// The statement prepass; a bad line ends the look-ahead, and the walk
// reports it when it gets there.
void analyseStatements(XmlWalk& w) {
  FunctionState& fn = w.function;
  const FunctionStatements statements = analyseFunctionStatements(w.record, w.lookAhead);
  fn.finalStatementCount = statements.finalStatementCount;
  fn.statements = statements.figures;
  fn.statementsAvailable = fn.statements.total != 0 || fn.statements.hits != 0;
}

// One function block, the function record being in the reader's buffer;
// returns the category of the record after the function.
RecordCategory writeFunctionBlock(XmlWalk& w) {
  FunctionState& fn = w.function;
  fn.record = w.record;
  fn.headWritten = false;
  fn.parametersWritten = false;
  w.mcdcPending = false;
  clearMcdcPending();

  if (w.mode.decision) {
    analyseStatements(w);
  } else {
    fn.finalStatementCount = 0;
    fn.statements = StatementFigures{};
    fn.statementsAvailable = false;
  }
  if (!fn.statementsAvailable) ++w.file.functionsWithoutStatements;
  w.file.statementAll += fn.statements.total;
  w.file.statementHits += fn.statements.hits;

  fn.ter = TerFigures{1, fn.record.counter1 == 0 ? 1u : 0u};
  ++w.file.functions;

  PendingLineRecord& directive = w.lineRecords.beforeFunction;
  if (directive.pending) {
    writeFileLineDirective(directive.line, directive.text);
    directive.pending = false;
  }
  writeEscapedBetween(w.escaped, "\t\t<function name=\"", fn.record.text, "\">\n");

  RecordCategory category = readRecord(w);
  while (category == RecordCategory::ProbeRecord) {
    writeBodyRecord(w);
    category = readRecord(w);
  }
  if (!fn.headWritten) writeFunctionHead(w);
  writeXml("\t\t\t</body>\n");
  writeXmlFunctionSummary(fn.ter, fn.statements, fn.statementsAvailable);
  writeXml("\t\t</function>\n");
  w.file.ter += fn.ter;
  return category;
}

// ---- Files -------------------------------------------------------------------

void writeFileHead(XmlWalk& w) {
  printXml("\t<file name=\"%s\">\n\t\t<file_type>%s</file_type>\n", escapeInto(w.escaped, currentFileName()),
           w.isHeaderFile ? "header" : "source");
  printXml("\t\t<instrumentation_mode>%s</instrumentation_mode>\n", instrumentationModeText(w.mode).c_str());
  printXml("\t\t<instrumentation_timestamp>%s</instrumentation_timestamp>\n",
           timeText(static_cast<std::time_t>(currentInstrumentationTime())).c_str());
  printXml("\t\t<instrumentation_fingerprint>0x%08x</instrumentation_fingerprint>\n", currentFingerprint());
  printXml("\t\t<sym_rewrite_count>%u</sym_rewrite_count>\n\t\t<sym_update_count>%u</sym_update_count>\n"
           "\t\t<data_rewrite_count>%u</data_rewrite_count>\n\t\t<data_update_count>%u</data_update_count>\n",
           currentRwrCount(), currentUpdCount(), currentCounterRwrCount(), currentCounterUpdCount());
}

void noteMode(const InstrumentationMode& mode, XmlModesSeen& seen) {
  if (mode.multicondition) {
    seen.multicondition = true;
  } else if (mode.decision) {
    seen.decision = true;
  } else {
    seen.function = true;
  }
}

}  // namespace

namespace {

XmlWalk startedWalk() {
  XmlWalk w;
  w.view = options().coverageView;
  w.viewLevel = static_cast<int>(w.view);
  w.tickScale = parseTick(configValue(ConfigParameter::Tick)).value_or(1);
  resetRecordCursor();
  resetMcdc();
  return w;
}

// The files of the walk (all of them, or those of a part); gives the
// category that ended it.
RecordCategory walkXmlFiles(XmlWalk& w, XmlTotals& overall, XmlModesSeen& seen) {
  RecordCategory category = readRecord(w);
  while (category == RecordCategory::FileStart) {
    // The current-file values change with the next FileStart, before this
    // file's summary is written: keep what the summary needs.
    w.file = XmlTotals{};
    w.mode = currentInstrumentationMode();
    w.isHeaderFile = currentIsHeaderFile() != 0;
    noteMode(w.mode, seen);
    writeFileHead(w);

    category = readRecord(w);
    while (category == RecordCategory::IncludeRecord) {
      writeEscapedBetween(w.escaped, "\t\t<include name=\"", w.record.text, "\" />\n");
      category = readRecord(w);
    }
    while (category == RecordCategory::FunctionRecord) category = writeFunctionBlock(w);

    overall += w.file;
    writeXmlFileSummary(w.file, w.isHeaderFile ? 0 : previousFileSourceLines(), w.mode.decision);
  }
  return category;
}

// A part of the walk, walked on its own into text of its own, with what it
// adds to the report's totals.
struct XmlPart {
  WalkPart files;
  std::string text;
  std::vector<uint32_t> pieces;
  XmlTotals totals;
  XmlModesSeen seen;
  bool walkedWell = false;  // no error ended the part's walk
};

// Walks `part` on the calling thread; false when the walk ends in it.
bool walkXmlPart(XmlPart& part) {
  struct Ending {
    XmlPart& part;
    ~Ending() {
      endXmlPart(part.text, part.pieces);
      unlimitRecordWalk();
    }
  };
  beginXmlPart();
  Ending ending{part};
  limitRecordWalk(part.files.first, part.files.end);
  XmlWalk w = startedWalk();
  const RecordCategory category = walkXmlFiles(w, part.totals, part.seen);
  part.walkedWell = true;
  return category == RecordCategory::EndOfRecords;
}

// Both threads walk parts; each part's text and totals join the report in
// turn.
void writeXmlFileBlocksInParts(const std::vector<WalkPart>& files, XmlTotals& overall, XmlModesSeen& seen) {
  std::vector<XmlPart> parts(files.size());
  for (size_t i = 0; i < files.size(); ++i) parts[i].files = files[i];
  PartsWork work;
  work.doPart = [&parts](size_t index) { return walkXmlPart(parts[index]); };
  work.takePart = [&parts, &overall, &seen](size_t index) {
    XmlPart& part = parts[index];
    writeXmlPart(part.text, part.pieces, part.walkedWell);
    overall += part.totals;
    seen.function = seen.function || part.seen.function;
    seen.decision = seen.decision || part.seen.decision;
    seen.multicondition = seen.multicondition || part.seen.multicondition;
  };
  doPartsInOrder(parts.size(), work);
  resetRecordCursor();
}

}  // namespace

void writeXmlFileBlocks(XmlTotals& overall, XmlModesSeen& seen) {
  if (const std::vector<WalkPart> parts = walkParts(); !parts.empty()) {
    writeXmlFileBlocksInParts(parts, overall, seen);
    return;
  }
  XmlWalk w = startedWalk();
  const RecordCategory category = walkXmlFiles(w, overall, seen);
  // A pass that stopped early leaves the next walk to start from the top.
  if (category != RecordCategory::EndOfRecords) resetRecordCursor();
}

}  // namespace qar
