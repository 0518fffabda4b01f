#pragma once
// An output file that takes its name only when it is complete: its text is
// written into a temporary file in the target's directory and renamed over
// the target at the end. A run that fails on the way (full disk, a write or
// close error, a fatal error, a signal) removes the temporary file and
// leaves whatever stood under the name before.
//
// A symbolic link is followed: the file it leads to is replaced, as writing
// into the link would have changed that file, and the link stays. What is
// not a regular file (a device such as /dev/null, a FIFO, a terminal, the
// names under /proc such as /dev/stdout leads to) cannot be replaced and is
// written in place. A new file gets the mode that creating it would give
// (0666 less the umask), also when it replaces an older one; an existing
// file that the run may not write is refused as before.
#include <string>

namespace qar {

struct OutputTarget {
  std::string path;       // the file that the output replaces, symbolic links followed
  std::string temporary;  // the file written meanwhile; empty when written in place
};

// Opens the output `name` for writing and returns its descriptor, or -1
// with errno set when it cannot be created.
int openOutputTarget(OutputTarget& target, const std::string& name);

// Gives a complete output its name (nothing for one written in place).
// False with errno set when the rename fails; the temporary file is removed.
bool completeOutputTarget(OutputTarget& target);

// Removes the temporary file of an output that failed.
void discardOutputTarget(OutputTarget& target);

// Removes the temporary files of every output not completed yet; for the
// end of a run that a fatal error cut short. Async-signal-safe.
void discardOpenOutputTargets();

// From now on SIGHUP, SIGINT, SIGTERM and SIGPIPE (unless ignored) first
// remove the temporary files, then end the process as they would have.
void discardOutputTargetsOnSignals();

// Forgets every output not completed (tests).
void resetOutputTargets();

}  // namespace qar
