#pragma once
// The preparation pass with a record reader state of its own: the run's
// record reader keeps where it stands (the file, its name and info line) in
// one state; a thread that prepares the later files beside the run starts
// from a copy of it and hands it back when done.
#include <memory>

#include "coverage/model.h"
#include "coverage/record_reader.h"

namespace qar {

class RecordReaderState {
 public:
  // A copy of the run's state as it stands.
  RecordReaderState();
  ~RecordReaderState();
  RecordReaderState(const RecordReaderState&) = delete;
  RecordReaderState& operator=(const RecordReaderState&) = delete;

  struct Parts;
  Parts& parts() { return *parts_; }

 private:
  std::unique_ptr<Parts> parts_;
};

// prepareFileLines of record_reader.h with `state` in place of the run's.
void prepareFileLines(RecordReaderState& state, MonitoredFileIt file, Probe& probe);

// Whether preparing `file` may depend on the files before it: its first
// record takes the sums pending from the record before it (which the file
// before it leaves), or it has no record to end them, or a record comes
// before its name line (read with the previous file's info line), or its
// first record cannot be read (the pass reports it in turn).
bool preparationTakesPendingSums(const MonitoredFile& file);

// Makes `state` the run's, as if the run had prepared what it prepared.
void adoptRecordReaderState(RecordReaderState& state);

}  // namespace qar
