#include "export/gates/coverage_gates.h"

#include "base/posterr.h"
#include "export/walk/export_numbers.h"

namespace qar {

GateFigure gateFigure(GateMeasure measure, const RunResult& run, CoverageView view) {
  switch (measure) {
    case GateMeasure::Line: return {run.lineCoverage.lines.hit, run.lineCoverage.lines.found};
    case GateMeasure::Branch: return {run.lineCoverage.branches.hit, run.lineCoverage.branches.found};
    case GateMeasure::Function: return {run.lineCoverage.functions.hit, run.lineCoverage.functions.found};
    case GateMeasure::Statement: return {run.statements.hits, run.statements.total};
    case GateMeasure::Ter: {
      const TerFigures& ter = run.ter[static_cast<size_t>(view)];
      return {ter.covered(), ter.items};
    }
    case GateMeasure::Mcdc: return {run.mcdc.covered, run.mcdc.conditions};
  }
  return {};
}

bool gateMissed(const CoverageGate& gate, const GateFigure& figure) {
  if (figure.found == 0) return false;  // nothing to cover counts as 100 %
  // hit / found * 100 < threshold / scale, in integers wide enough for both sides.
  __extension__ typedef unsigned __int128 Wide;
  return Wide{figure.hit} * 100 * kThresholdScale < Wide{gate.threshold} * figure.found;
}

std::string gatePercentText(const GateFigure& figure) {
  const uint64_t hundredths = figure.found == 0 ? 10000 : figure.hit * 10000 / figure.found;
  std::string text;
  appendDecimal(text, hundredths / 100);
  text.push_back('.');
  text.push_back(static_cast<char>('0' + hundredths / 10 % 10));
  text.push_back(static_cast<char>('0' + hundredths % 10));
  return text;
}

std::string gateMeasureLabel(GateMeasure measure, CoverageView view) {
  switch (measure) {
    case GateMeasure::Line: return "line coverage";
    case GateMeasure::Branch: return "branch coverage";
    case GateMeasure::Function: return "function coverage";
    case GateMeasure::Statement: return "statement coverage";
    case GateMeasure::Ter: {
      std::string label = "TER (";
      label += coverageViewText(view);
      label += ")";
      return label;
    }
    case GateMeasure::Mcdc: return "MC/DC condition coverage";
  }
  return {};
}

bool applyCoverageGates(const std::vector<CoverageGate>& gates, const RunResult& run, CoverageView view) {
  bool anyMissed = false;
  for (const CoverageGate& gate : gates) {
    const GateFigure figure = gateFigure(gate.measure, run, view);
    if (!gateMissed(gate, figure)) continue;
    anyMissed = true;
    std::string line = "QARPost gate missed: ";
    line += gateMeasureLabel(gate.measure, view);
    line += ' ';
    line += gatePercentText(figure);
    line += " % (";
    appendDecimal(line, figure.hit);
    line += " of ";
    appendDecimal(line, figure.found);
    line += ") is below ";
    line += gate.thresholdText;
    line += " %\n";
    writeDiagnostic(line);
  }
  return anyMissed;
}

}  // namespace qar
