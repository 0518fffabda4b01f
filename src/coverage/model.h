#pragma once
// The in-memory coverage model: what was instrumented (from symbol files) and
// how often it ran (from data files).
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

// Lengths of the five counter arrays an instrumented program keeps per file.
struct CounterSizes {
  uint32_t f = 0;  // function call counts
  uint32_t j = 0;  // jump / statement counts
  uint32_t d = 0;  // decision (true, false) pairs
  uint32_t c = 0;  // multicondition combination counts
  uint32_t t = 0;  // timing (total, maximum) pairs
  friend bool operator==(const CounterSizes&, const CounterSizes&) = default;
};

// One counter block of a data file.
struct CounterArrays {
  std::string name;
  int32_t instrumentationTime = 0;
  uint32_t fingerprint = 0;
  uint32_t rwrCount = 0;
  uint32_t updCount = 0;
  CounterSizes sizes;
  std::vector<uint32_t> functionCounts;       // [f]
  std::vector<uint32_t> jumpCounts;           // [j]
  std::vector<uint32_t> decisionTrueCounts;   // [d]
  std::vector<uint32_t> decisionFalseCounts;  // [d]
  std::vector<uint32_t> conditionCounts;      // [c]
  std::vector<uint32_t> timeTotals;           // [t], signed where shown
  std::vector<uint32_t> timeMaxima;           // [t], compared as signed
};

// The values of a stored line, filled by the preparation pass: call count,
// 0, time total, time maximum for a function record; counter 1 and counter 2
// for a probe record; zeros otherwise.
struct LineValues {
  uint32_t value1 = 0;
  uint32_t value2 = 0;
  uint32_t value3 = 0;
  uint32_t value4 = 0;
  friend bool operator==(const LineValues&, const LineValues&) = default;
};

// One stored line of a file's symbol-file block: a reference to its text in
// the database's arena and one to its values in its file's value store
// (lineText, lineValues and setLineValues in database.h resolve them).
// Eight bytes a line, since a large database holds millions. A line moves to
// another file only through copyDescriptionLine.
struct DescriptionLine {
  uint32_t textRef = 0;    // 0: the empty text
  uint32_t valuesRef = 0;  // 0: all values zero
};

// Instrumentation mode bits of an info line.
inline constexpr uint32_t kModeFunction = 1;
inline constexpr uint32_t kModeDecision = 2;
inline constexpr uint32_t kModeMulticondition = 4;
inline constexpr uint32_t kModeInclusiveTiming = 8;
inline constexpr uint32_t kModeExclusiveTiming = 16;

// One instrumented source file (or, after header extraction, header file).
struct MonitoredFile {
  std::string name;
  uint32_t isHeaderFile = 0;
  int64_t instrumentationTime = 0;
  uint32_t fingerprint = 0;
  uint32_t rwrCount = 0;
  uint32_t updCount = 0;
  uint32_t sourceLineCount = 0;
  CounterSizes counterSizes;
  std::unique_ptr<CounterArrays> counterData;
  std::vector<DescriptionLine> descriptionLines;
  // The values of the lines that have any; see setLineValues.
  std::vector<uint32_t> lineValueStore;
  // Position in the order of appending; lets the name index answer "first in
  // list order" among equal names without walking the list.
  uint64_t sequence = 0;
  // How many files in the name index share this file's name (itself
  // included); 0 for a file that is not in the index.
  uint32_t namesakes = 0;
};

using MonitoredFileList = std::list<MonitoredFile>;
using MonitoredFileIt = MonitoredFileList::iterator;

// A symbol or data file a run reads, with the identification text read from it.
struct InputFileEntry {
  std::string name;
  std::string stamp;
};

// One data block as the contents listing shows it.
struct DataBlockSummary {
  std::string name;
  int32_t instrumentationTime = 0;
  uint32_t fingerprint = 0;
  CounterSizes sizes;
  uint32_t rwrCount = 0;
  uint32_t updCount = 0;
};

// The ProbeKind codes that the program treats specially; the whole table
// with each kind's counter source is in record_reader.cpp.
inline constexpr uint32_t kKindFunction = 0;
inline constexpr uint32_t kKindLineEntry = 50;
inline constexpr uint32_t kKindLineReturn = 51;

// One record as the record reader delivers it.
struct Probe {
  uint32_t kind = 0;
  uint32_t line = 0;
  uint32_t statementCount = 0;
  uint32_t nesting = 0;
  std::string_view text;  // in the database's line arena, valid until its reset
  uint32_t counter1 = 0;  // doubles as the pending true sum between calls
  uint32_t counter2 = 0;  // doubles as the pending false sum between calls
  uint32_t timeTotal = 0;
  uint32_t timeMax = 0;
};

enum class RecordCategory : int {
  FileStart = 0,
  FunctionRecord = 1,
  ProbeRecord = 2,
  LineRecord = 3,
  EndOfRecords = 4,
  BadRecord = 5,
  IncludeRecord = 6,
};

}  // namespace qar
