#pragma once
// The reader rule for line records shared by the listings and the XML
// report: of a run of line records only the last survives; before a probe it
// waits as the in-function record, before a function as the before-function
// record (shown as kind 50), where an unwritten in-function record also
// moves. A function record with neither leaves the before-function record
// waiting for the next function line that is written; anything else than a
// function or probe record drops both.
#include <cstdint>
#include <string>

#include "coverage/model.h"

namespace qar {

struct PendingLineRecord {
  bool pending = false;
  uint32_t kind = 0;
  uint32_t line = 0;
  uint32_t statementCount = 0;
  uint32_t nesting = 0;
  std::string text;  // storage reused from record to record
};

struct LineRecordSlots {
  PendingLineRecord beforeFunction;
  PendingLineRecord inFunction;
  Probe lastLineRecord;  // the last of the run being read
  void clear() {
    beforeFunction.pending = false;
    inFunction.pending = false;
  }
};

// The next record that is not a line record, with the slots updated by the rule.
RecordCategory nextRecordKeepingLineRecords(Probe& record, LineRecordSlots& slots);

// Writes a pending line record (line number, nesting, description) and clears it.
void writePendingLineRecord(PendingLineRecord& slot);

}  // namespace qar
