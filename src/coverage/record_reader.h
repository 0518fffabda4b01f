#pragma once
// The record reader: turns the description lines of the MonitoredFiles, one
// after the other, into typed records with their counter values.
#include <cstdint>
#include <string>
#include <string_view>

#include "coverage/model.h"

namespace qar {

// Where a kind's counter1 / counter2 come from.
enum class CounterSource : uint8_t {
  None,            // no counters of its own
  Function,        // counter1 = F[i]; with timing T totals / maxima too
  Jump,            // counter1 = J[i]
  Decision,        // counter1 = D true[i], counter2 = D false[i]
  ConditionTrue,   // counter1 = C[i]
  ConditionFalse,  // counter2 = C[i]
  TrueSum,         // sum of C[i + k] over the text's offsets; sets the pending true sum
  FalseSum,        // as TrueSum; sets the pending false sum
  PendingSums,     // delivered with the pending sums
};

struct ProbeKindInfo {
  bool known = false;
  CounterSource source = CounterSource::None;
  const char* name = "";  // type name; empty for kinds the table leaves unnamed
};

// The entry of `kind`; kinds outside the table give known == false.
const ProbeKindInfo& probeKindInfo(int64_t kind);

// The five mode flags of a file's info line.
struct InstrumentationMode {
  bool function = true;
  bool decision = false;
  bool multicondition = false;
  bool inclusiveTiming = false;
  bool exclusiveTiming = false;
  bool hasTiming() const { return inclusiveTiming || exclusiveTiming; }
};

// Parses one record line into `probe` (kind, line, statement count, nesting,
// text, counters); the text is a view into `line`. With `counters` the
// counters are looked up there (absent arrays: 0); without, they stay 0. Kinds 78 to 81 get the sum of their
// offsets in counter1 and the number of offsets in counter2; kinds 70 to 74
// keep their code. `hasTiming` decides whether a function record gets its T
// counters. Returns FunctionRecord, ProbeRecord, LineRecord, IncludeRecord
// or BadRecord (the caller reports it).
RecordCategory parseRecordLine(std::string_view line, const CounterArrays* counters, bool hasTiming,
                               Probe& probe);

// The next record of the walk over all MonitoredFiles. `probe` must be the
// same buffer, unchanged, for every call of one walk (its counters carry the
// pending sums). After EndOfRecords the next call starts a new walk.
// BadRecord sets the arguments of ErrorCode 5 to the current file's name.
RecordCategory nextRecord(Probe& probe);

// The preparation pass's walk over one file: stores in each line the
// counters that nextRecord, before the preparation pass, delivers for it
// (function and probe records; kinds 70 to 74, 77 and 85 with the pending
// sums), reading the file's counter arrays. `probe` carries the pending
// sums from one file to the next, as nextRecord's buffer does. A line that
// nextRecord would give as BadRecord, or as IncludeRecord, is an internal
// error of module postsym (lines 1820 and 1824). Sets the current-file
// values as the walk does; the walk's cursor is reset.
void prepareFileLines(MonitoredFileIt file, Probe& probe);

// Parses the line at the cursor inside the current file and steps past it.
// At the closing count line (or the end of the file's lines) gives
// FunctionRecord with kind 0 and stays there. Counters are the line's values.
RecordCategory peekRecord(Probe& probe);

// One slot for look-ahead with peekRecord. Between the two, the records
// peekRecord reads are kept; after the preparation pass nextRecord takes a
// line's record from there instead of reading the line again.
void saveRecordCursor();
void restoreRecordCursor();

// Moves the walk to `line`, a description line of the file the last record
// came from: the next record is read from there. (The untested code listing
// passes over the bodies of functions it has nothing to show of.)
void moveRecordCursorTo(const DescriptionLine* line);

// Forgets the walk: the next nextRecord starts from the first file.
void resetRecordCursor();

// resetRecordCursor plus the current-file values (tests, database reset).
void resetRecordReader();

// Limits the walks of the calling thread to the files [first, end) of the
// list: the next walk starts at `first` and ends (EndOfRecords) at `end`.
// Every thread walks with a state of its own, so a report's walk can be
// split into parts of the list walked on two threads. unlimitRecordWalk
// lifts the limit; both reset the cursor.
void limitRecordWalk(MonitoredFileIt first, MonitoredFileIt end);
void unlimitRecordWalk();

// Called when `file` leaves the list: a walk inside it starts over.
void recordCursorFileRemoved(const MonitoredFile& file);

// The line the last record came from and its file (the preparation pass
// writes its values there); nullptr before the first record of a walk.
DescriptionLine* currentDescriptionLine();
MonitoredFile* currentLineFile();

// Current-file values, set at each FileStart.
const std::string& currentFileName();  // at most 260 characters
InstrumentationMode currentInstrumentationMode();
int64_t currentInstrumentationTime();
uint32_t currentFingerprint();
uint32_t currentRwrCount();         // of the description
uint32_t currentUpdCount();         // of the description
uint32_t currentCounterRwrCount();  // of the counter data, 0 without
uint32_t currentCounterUpdCount();  // of the counter data, 0 without
uint32_t currentIsHeaderFile();
// The MonitoredFile the cursor is in (its whole name, its source line count).
const MonitoredFile* currentMonitoredFile();
// The source line count of the file the cursor left last.
uint32_t previousFileSourceLines();

// Counter lookups: 0 without counter data; an index beyond the array is an
// internal error of module postdata.
uint32_t functionCountAt(uint64_t index, const CounterArrays* counters);
uint32_t jumpCountAt(uint64_t index, const CounterArrays* counters);
uint32_t decisionTrueAt(uint64_t index, const CounterArrays* counters);
uint32_t decisionFalseAt(uint64_t index, const CounterArrays* counters);
uint32_t conditionCountAt(uint64_t index, const CounterArrays* counters);
uint32_t timeTotalAt(uint64_t index, const CounterArrays* counters);
uint32_t timeMaxAt(uint64_t index, const CounterArrays* counters);

}  // namespace qar
