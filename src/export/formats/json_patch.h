#pragma once
// The "patch" member of the JSON export: the change's figures per file and
// in total, its uncovered items and the files the coverage does not know. A
// measure with nothing in the change has a "percent" of null.
#include <string>

#include "export/change/patch_coverage.h"

namespace qar {

// Appends `"patch": {...}`.
void appendJsonPatch(std::string& text, const PatchResult& patch);

// The word of a diff status ("modified", "new", ...).
const char* diffStatusName(DiffStatus status);

}  // namespace qar
