#pragma once
// The gates on the change: --fail-under patch.MEASURE=PERCENT compares the
// patch figure of MEASURE with its threshold, as the gates on the whole run
// do. A measure with nothing in the change is not applicable: its gate
// passes, and a line says so.
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/change/patch_coverage.h"
#include "export/gates/coverage_gates.h"

namespace qar {

// The patch figure of a measure (TER under `view`).
GateFigure patchGateFigure(GateMeasure measure, const PatchFigures& figures, CoverageView view);

// Writes a line for every gate missed or not applicable; true when any was missed.
bool applyPatchGates(const std::vector<CoverageGate>& gates, const PatchResult& patch, CoverageView view);

}  // namespace qar
