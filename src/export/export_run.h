#pragma once
// One export run on the prepared database: the outputs the settings name,
// written in one walk, then the gates.
#include "cmdline/postcmdl.h"
#include "export/export_settings.h"

namespace qar {

inline constexpr int kStatusGateMissed = 2;

// Returns the exit status: 0; 1 when an output could not be written (its
// error reported, the other outputs completed); 2 when a gate was missed.
int writeExports(const ExportSettings& settings, CoverageView view);

}  // namespace qar
