#include "listings/measures.h"

#include "base/quick_format.h"
#include "base/text.h"

namespace qar {

uint32_t terPercent(uint32_t items, uint32_t misses) {
  if (items == 0) return 100;
  const uint32_t covered = items - misses;
  return static_cast<uint32_t>(uint64_t{covered} * 100u / items);
}

uint32_t statementPercent(uint32_t hits, uint32_t total) { return terPercent(total, total - hits); }

namespace {

uint32_t missIfZero(uint32_t count) { return count == 0 ? 1u : 0u; }

TerFigures singleCounter(uint32_t count) { return {1, missIfZero(count)}; }

TerFigures twoOutcomes(const Probe& probe) {
  return {2, missIfZero(probe.counter1) + missIfZero(probe.counter2)};
}

}  // namespace

TerFigures probeTerFigures(const Probe& probe, CoverageView view) {
  const bool aboveFunction = view != CoverageView::Function;
  const bool conditionLevel = view == CoverageView::Condition || view == CoverageView::Mcdc ||
                              view == CoverageView::AsInstrumented;
  uint32_t kind = probe.kind;
  if (kind >= 70 && kind <= 74) kind -= 50;

  switch (kind) {
    case 0:
      return singleCounter(probe.counter1);
    case 1: case 4: case 5:
    case 10: case 11: case 12: case 13: case 14: case 15: case 16:
    case 55:
    case 60: case 61: case 62: case 63: case 64: case 65: case 66:
    case 100: case 101: case 102: case 103: case 104:
      return aboveFunction ? singleCounter(probe.counter1) : TerFigures{};
    case 20: case 21: case 22: case 23: case 24: case 25:
      return aboveFunction ? twoOutcomes(probe) : TerFigures{};
    case 30: case 31: case 32: case 33: case 34: case 35:
      if (!aboveFunction) return {};
      return {1, (probe.counter1 == 0 && probe.counter2 == 0) ? 1u : 0u};
    case 85:
      return conditionLevel ? twoOutcomes(probe) : TerFigures{};
    case 77:
      return view == CoverageView::Condition ? twoOutcomes(probe) : TerFigures{};
    case 75:
      return view == CoverageView::AsInstrumented ? singleCounter(probe.counter1) : TerFigures{};
    case 76:
      return view == CoverageView::AsInstrumented ? singleCounter(probe.counter2) : TerFigures{};
    default:
      return {};
  }
}

TerFigures mcdcConditionTerFigures(bool uncovered, CoverageView view) {
  if (view != CoverageView::Mcdc) return {};
  return {1, uncovered ? 1u : 0u};
}

std::string coverageTypeText(bool anyFunctionOnly, bool anyDecision, bool anyMulticondition,
                             CoverageView view) {
  const char* words[3];
  int count = 0;
  if (anyMulticondition) {
    switch (view) {
      case CoverageView::AsInstrumented: words[count++] = "multicondition"; break;
      case CoverageView::Mcdc: words[count++] = "MC/DC"; break;
      case CoverageView::Condition: words[count++] = "condition"; break;
      default: break;
    }
  }
  if ((anyMulticondition && view == CoverageView::Decision) ||
      (anyDecision && view != CoverageView::Function)) {
    words[count++] = "decision";
  }
  if (anyFunctionOnly || view == CoverageView::Function) words[count++] = "function";

  if (count == 0) return {};
  std::string text = count > 1 ? " mixed " : " ";
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += '/';
    text += words[i];
  }
  return text;
}

int32_t scaledCost(uint32_t cost, int32_t tick) {
  int32_t value = static_cast<int32_t>(cost);
  if (tick == 1) return value;
  return value / tick;
}

double averageCost(int32_t scaledTotal, uint32_t calls) {
  double average = scaledTotal;
  if (calls > 1) average /= calls;
  return average;
}

void appendPercentFigures(std::string& out, uint32_t percent, uint32_t covered, uint32_t items) {
  appendUnsigned(out, percent, 3);
  out += " % (";
  appendUnsigned(out, covered, 3);
  out += '/';
  appendUnsigned(out, items, 3);
  out += ')';
}

namespace {

void appendStatementLine(std::string& out, uint32_t hits, uint32_t total, uint32_t functionsWithoutFigures) {
  out += "       ";
  appendPercentFigures(out, statementPercent(hits, total), hits, total);
  out += " statement";
  if (functionsWithoutFigures > 0) {
    out += " (N.A. for ";
    appendUnsigned(out, functionsWithoutFigures);
    out += " functions)";
  }
  out += '\n';
}

}  // namespace

void appendFunctionStatementLine(std::string& out, uint32_t hits, uint32_t total) {
  if (hits == 0 && total == 0) {
    out += "       N.A. statement\n";
    return;
  }
  appendStatementLine(out, hits, total, 0);
}

std::string functionStatementLine(uint32_t hits, uint32_t total) {
  std::string line;
  appendFunctionStatementLine(line, hits, total);
  return line;
}

void appendFileStatementLine(std::string& out, uint32_t hits, uint32_t total, uint32_t functionsWithoutFigures) {
  // No statements at all count as all of them covered.
  appendStatementLine(out, hits, total, functionsWithoutFigures);
}

std::string fileStatementLine(uint32_t hits, uint32_t total, uint32_t functionsWithoutFigures) {
  std::string line;
  appendFileStatementLine(line, hits, total, functionsWithoutFigures);
  return line;
}

}  // namespace qar
