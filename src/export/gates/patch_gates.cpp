#include "export/gates/patch_gates.h"

#include "base/posterr.h"
#include "export/walk/export_numbers.h"

namespace qar {

GateFigure patchGateFigure(GateMeasure measure, const PatchFigures& figures, CoverageView view) {
  switch (measure) {
    case GateMeasure::Line: return {figures.lineCoverage.lines.hit, figures.lineCoverage.lines.found};
    case GateMeasure::Branch: return {figures.lineCoverage.branches.hit, figures.lineCoverage.branches.found};
    case GateMeasure::Function: return {figures.lineCoverage.functions.hit, figures.lineCoverage.functions.found};
    case GateMeasure::Statement: return {figures.statements.hits, figures.statements.total};
    case GateMeasure::Ter: {
      const TerFigures& ter = figures.ter[static_cast<size_t>(view)];
      return {ter.covered(), ter.items};
    }
    case GateMeasure::Mcdc: return {figures.mcdc.covered, figures.mcdc.conditions};
  }
  return {};
}

bool applyPatchGates(const std::vector<CoverageGate>& gates, const PatchResult& patch, CoverageView view) {
  bool anyMissed = false;
  for (const CoverageGate& gate : gates) {
    const GateFigure figure = patchGateFigure(gate.measure, patch.summary, view);
    std::string line;
    if (figure.found == 0) {
      line = "QARPost gate passed: patch " + gateMeasureLabel(gate.measure, view) +
             " not applicable (nothing of it in the change)\n";
    } else if (gateMissed(gate, figure)) {
      anyMissed = true;
      line = "QARPost gate missed: patch " + gateMeasureLabel(gate.measure, view) + " " + gatePercentText(figure) +
             " % (";
      appendDecimal(line, figure.hit);
      line += " of ";
      appendDecimal(line, figure.found);
      line += ") is below " + gate.thresholdText + " %\n";
    }
    if (!line.empty()) writeDiagnostic(line);
  }
  return anyMissed;
}

}  // namespace qar
