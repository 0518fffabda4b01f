#pragma once
// Writing through a file descriptor to the end, and room on a full disk.
//
// A process may hold disk space that a later write of the same run needs
// (the XML report written meanwhile by a second process, for instance).
// Its owner registers a reclaimer while it holds that space; a write that
// finds the disk full calls it once and, when it freed something, tries
// again before anything is reported. A run on a full disk then ends as the
// same run without that extra holder would.
#include <string_view>

namespace qar {

// Frees disk space the process holds beside its outputs; true when it did.
// It may also end the write by throwing (its caller knows how to go on).
using SpaceReclaimer = bool (*)();

// Registers `reclaimer` (nullptr: none). It is forgotten once called.
void setSpaceReclaimer(SpaceReclaimer reclaimer);

// Writes all of `data` to `descriptor`, going on after short writes and
// interrupted calls. Returns 0, or the errno of the write that failed.
int writeAll(int descriptor, std::string_view data);

// writeAll without the reclaimer, which another thread may call: stops at
// the write that failed, leaving in `data` what it did not write, so that
// the caller goes on as writeAll would. 0, or the errno of that write.
int writeUntilFailure(int descriptor, std::string_view& data);

// Whether `errorNumber` says the disk is full.
bool isNoSpaceError(int errorNumber);

// Calls the registered reclaimer, if any, once; true when it freed space.
bool reclaimSpace();

}  // namespace qar
