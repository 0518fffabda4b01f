#pragma once
// A report's walk split into parts: runs of files of the list, walked at
// once on two threads (each with a record reader state of its own) and
// written in turn. A part starts only at a file whose first record is its
// name line, so that walking it alone reads what the whole walk reads.
#include <cstddef>
#include <vector>

#include "coverage/model.h"

namespace qar {

struct WalkPart {
  MonitoredFileIt first;
  MonitoredFileIt end;
};

// The parts the next report's walk is split into; empty when it is walked
// in one (a small database, or QARPOST_WALK_PARTS=never).
// QARPOST_WALK_PARTS=always makes a part of every file where one may start,
// whatever the size (tests).
std::vector<WalkPart> walkParts();

// Whether a part may start at `file`: its first line that is neither blank
// nor a "%" line is its name line.
bool walkMayStartAt(const MonitoredFile& file);

}  // namespace qar
