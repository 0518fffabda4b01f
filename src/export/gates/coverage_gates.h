#pragma once
// Coverage gates: after the outputs are written, each measure named by a
// --fail-under gate is compared with its threshold; a gate missed is one line
// on standard error, and the run ends with status 2.
#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/postcmdl.h"
#include "export/walk/export_results.h"
#include "export/gates/gate_settings.h"

namespace qar {

// A measure of the run: `hit` of `found` items (100 % when there are none).
struct GateFigure {
  uint64_t hit = 0;
  uint64_t found = 0;
};

// Lines, branches and functions as the line-based formats carry them;
// statements as the listings' summary gives them; TER under `view`; MC/DC
// conditions with a covered independence pair.
GateFigure gateFigure(GateMeasure measure, const RunResult& run, CoverageView view);

// True when the figure is below the gate's threshold (compared exactly).
bool gateMissed(const CoverageGate& gate, const GateFigure& figure);

// "66.66" for 2 of 3: the percentage truncated to two decimals.
std::string gatePercentText(const GateFigure& figure);

// How a gate's line names its measure ("line coverage", "TER (decision)", ...).
std::string gateMeasureLabel(GateMeasure measure, CoverageView view);

// Writes a line for every gate missed; true when any was.
bool applyCoverageGates(const std::vector<CoverageGate>& gates, const RunResult& run, CoverageView view);

}  // namespace qar
