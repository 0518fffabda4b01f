#include "coverage/record_reader.h"

#include <array>
#include <limits>
#include <memory>
#include <vector>

#include "coverage/database.h"
#include "coverage/record_head.h"
#include "coverage/record_reader_state.h"
#include "coverage/scan_numbers.h"
#include "base/posterr.h"

namespace qar {
namespace {

constexpr size_t kMaxTextLength = 4095;
constexpr size_t kMaxFileNameLength = 260;
constexpr std::string_view kTerminatorLine = "END OF SYMBOLFILE";
constexpr int64_t kLargestKind = 104;

using KindTable = std::array<ProbeKindInfo, kLargestKind + 1>;

constexpr KindTable buildKindTable() {
  KindTable table{};
  auto set = [&table](int kind, CounterSource source, const char* name) {
    table[static_cast<size_t>(kind)] = ProbeKindInfo{true, source, name};
  };
  using S = CounterSource;
  set(0, S::Function, "function");
  set(1, S::Jump, "function_end");
  set(2, S::None, "function_end_nr");
  set(3, S::None, "block_end");
  set(4, S::Jump, "lambda");
  set(5, S::Jump, "lambda_end");
  set(6, S::None, "lambda_end_nr");
  set(10, S::Jump, "goto");
  set(11, S::Jump, "continue");
  set(12, S::Jump, "break");
  set(13, S::Jump, "return");
  set(14, S::Jump, "case");
  set(15, S::Jump, "default");
  set(16, S::Jump, "missing_default");
  set(20, S::Decision, "if");
  set(21, S::Decision, "else_if");
  set(22, S::Decision, "while");
  set(23, S::Decision, "for");
  set(24, S::Decision, "do_while");
  set(25, S::Decision, "ternary");
  set(30, S::Decision, "const_if");
  set(31, S::Decision, "const_else_if");
  set(32, S::Decision, "const_while");
  set(33, S::Decision, "const_for");
  set(34, S::Decision, "const_do_while");
  set(35, S::Decision, "const_ternary");
  set(40, S::None, "else");
  set(41, S::None, "do");
  set(42, S::None, "switch");
  set(43, S::None, "function_try_block");
  set(45, S::None, "label");
  set(50, S::None, "");
  set(51, S::None, "");
  set(55, S::Jump, "user_counter");
  set(56, S::None, "user_annotation");
  set(60, S::Jump, "try");
  set(61, S::Jump, "__try");
  set(62, S::Jump, "throw");
  set(63, S::Jump, "catch");
  set(64, S::Jump, "__except");
  set(65, S::Jump, "__finally");
  set(66, S::Jump, "__leave");
  for (int kind = 70; kind <= 74; ++kind) set(kind, S::PendingSums, "");
  set(75, S::ConditionTrue, "");
  set(76, S::ConditionFalse, "");
  set(77, S::PendingSums, "condition");
  set(78, S::TrueSum, "");
  set(79, S::FalseSum, "");
  set(80, S::TrueSum, "");
  set(81, S::FalseSum, "");
  set(85, S::PendingSums, "expr_andor");
  set(90, S::None, "");
  set(91, S::None, "");
  set(92, S::None, "");
  set(100, S::Jump, "while_decl");
  set(101, S::Jump, "for_decl");
  set(102, S::Jump, "for_range");
  set(103, S::Jump, "for_each_range_vc");
  set(104, S::Jump, "foreach_range_csharp");
  return table;
}

constexpr KindTable kKindTable = buildKindTable();
constexpr ProbeKindInfo kUnknownKind{};

// Where the walk stands: the file and the index of the next line to take,
// and the index of the line the last record came from.
struct Cursor {
  bool walking = false;
  MonitoredFileIt file;
  size_t nextLine = 0;
  size_t lastLine = 0;
  bool haveLastLine = false;
};

struct ReaderState {
  Cursor cursor;
  Cursor saved;
  std::string fileName;
  InstrumentationMode mode;
  int64_t instrumentationTime = 0;
  uint32_t fingerprint = 0;
  uint32_t rwrCount = 0;
  uint32_t updCount = 0;
  uint32_t counterRwrCount = 0;
  uint32_t counterUpdCount = 0;
  uint32_t isHeaderFile = 0;
  const MonitoredFile* file = nullptr;
  uint32_t previousSourceLines = 0;
};

// The files a thread's walks go over, when they are limited to a part of
// the list (a report's walk split between two threads, each walking parts).
struct WalkRange {
  bool limited = false;
  MonitoredFileIt first;
  MonitoredFileIt end;
};

// Each thread walks with its own state: a report's walk may be split into
// parts of the file list, walked on two threads at once.
ReaderState& readerState() {
  static thread_local ReaderState state;
  return state;
}

WalkRange& walkRange() {
  static thread_local WalkRange range;
  return range;
}

// The records the statement look-ahead of a function read, kept for the walk,
// which reads the same lines right after: taken from here, a line is read
// once per walk instead of twice. A record is known by where the cursor
// stood when the look-ahead took it; since the lines and their values no
// longer change once the walk runs, a record found there is what reading the
// line would give.
struct KeptRecord {
  uint32_t from = 0;   // the cursor's next line when the look-ahead took it
  uint32_t index = 0;  // the line the record came from
  RecordCategory category = RecordCategory::ProbeRecord;
  Probe probe;  // as nextRecord gives it before the rules for sum lists and kinds 70 to 74
};

struct ReadAhead {
  bool keeping = false;  // between saveRecordCursor and restoreRecordCursor
  MonitoredFileIt file;
  // The first `count` are the look-ahead's; the storage only grows, so
  // that keeping a record is a few stores.
  std::vector<KeptRecord> records;
  size_t count = 0;
  size_t next = 0;  // the first record the walk may still take
};

ReadAhead& readAhead() {
  static thread_local ReadAhead kept;
  return kept;
}

void forgetReadAhead() {
  ReadAhead& kept = readAhead();
  kept.keeping = false;
  kept.count = 0;
  kept.next = 0;
}

bool isBlankLine(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

// The next non-blank line of the current file and its text, or nullptr when
// its lines are used up.
DescriptionLine* takeLineInFile(Cursor& cursor, std::string_view& text) {
  std::vector<DescriptionLine>& lines = cursor.file->descriptionLines;
  while (cursor.nextLine < lines.size()) {
    size_t index = cursor.nextLine++;
    text = lineText(lines[index]);
    if (isBlankLine(text)) continue;
    cursor.lastLine = index;
    cursor.haveLastLine = true;
    return &lines[index];
  }
  return nullptr;
}

DescriptionLine* takeLineInFile(Cursor& cursor) {
  std::string_view text;
  return takeLineInFile(cursor, text);
}

// The next non-blank line of the walk and its text, moving on to the
// following files; nullptr (and the walk ends) when all are used up.
DescriptionLine* takeLine(ReaderState& state, std::string_view& text) {
  MonitoredFileList& files = database().monitoredFiles;
  const WalkRange& range = walkRange();
  const MonitoredFileIt end = range.limited ? range.end : files.end();
  Cursor& cursor = state.cursor;
  if (!cursor.walking) {
    cursor = Cursor{true, range.limited ? range.first : files.begin(), 0, 0, false};
  }
  while (cursor.file != end) {
    if (DescriptionLine* line = takeLineInFile(cursor, text)) return line;
    state.previousSourceLines = cursor.file->sourceLineCount;
    ++cursor.file;
    cursor.nextLine = 0;
    cursor.haveLastLine = false;
  }
  cursor.walking = false;
  return nullptr;
}

uint32_t lookup(const std::vector<uint32_t>& array, uint64_t index, unsigned long checkLine) {
  if (index >= array.size()) failInternal("postdata", checkLine);
  return array[static_cast<size_t>(index)];
}

// The five numbers of a record line, as "%d %lu %u %u %u" reads them; the
// text then starts after the white space that follows the fifth.
struct RecordNumbers {
  int32_t kind = 0;
  uint32_t line = 0;
  uint32_t statementCount = 0;
  uint32_t counterIndex = 0;
  uint32_t nesting = 0;
};

// A number of the usual form: a run of one to nine digits at `at`.
constexpr ptrdiff_t kMaxUsualDigits = 9;

bool readUsualDigits(const char*& at, const char* end, uint32_t& value) {
  const char* start = at;
  uint32_t sum = 0;
  while (at != end) {
    const auto digit = static_cast<uint32_t>(static_cast<unsigned char>(*at) - '0');
    if (digit > 9) break;
    sum = sum * 10 + digit;
    ++at;
  }
  value = sum;
  return at != start && at - start <= kMaxUsualDigits;
}

// readUsualDigits where more than nine bytes are left: the run is read
// without looking for the line's end, since a tenth digit makes it unusual
// anyway (the general conversions then read the line).
inline bool readUsualDigitsWithRoom(const char*& at, uint32_t& value) {
  uint32_t sum = 0;
  for (ptrdiff_t i = 0; i <= kMaxUsualDigits; ++i) {
    const auto digit = static_cast<uint32_t>(static_cast<unsigned char>(at[i]) - '0');
    if (digit > 9) {
      value = sum;
      at += i;
      return i != 0;
    }
    sum = sum * 10 + digit;
  }
  return false;
}

// The form nearly every record line has: five runs of one to nine digits,
// the first at the start of the line and each of the others after one
// blank. For it the general conversions below give the same values, which
// fit their fields as they are; any other form takes them.
bool scanUsualRecordNumbers(ScanText& text, RecordNumbers& numbers) {
  const char* at = text.at;
  const char* const end = text.end;
  auto digits = [&at, end](uint32_t& value) {
    return end - at > kMaxUsualDigits ? readUsualDigitsWithRoom(at, value) : readUsualDigits(at, end, value);
  };
  auto blank = [&at, end] {
    if (at == end || *at != ' ') return false;
    ++at;
    return true;
  };
  uint32_t kind = 0;
  if (!digits(kind) || !blank() || !digits(numbers.line) || !blank() || !digits(numbers.statementCount) ||
      !blank() || !digits(numbers.counterIndex) || !blank() || !digits(numbers.nesting)) {
    return false;
  }
  numbers.kind = static_cast<int32_t>(kind);
  text.at = at;
  return true;
}

// The numbers after the usual form failed: the C library's conversions.
bool scanRecordNumbersInGeneral(ScanText& text, RecordNumbers& numbers) {
  int64_t kind = 0;
  uint64_t line = 0;
  uint64_t statementCount = 0;
  uint64_t counterIndex = 0;
  uint64_t nesting = 0;
  if (!scanSigned(text, kind) || !scanUnsigned(text, line) || !scanUnsigned(text, statementCount) ||
      !scanUnsigned(text, counterIndex) || !scanUnsigned(text, nesting)) {
    return false;
  }
  numbers.kind = static_cast<int32_t>(kind);
  numbers.line = static_cast<uint32_t>(line);
  numbers.statementCount = static_cast<uint32_t>(statementCount);
  numbers.counterIndex = static_cast<uint32_t>(counterIndex);
  numbers.nesting = static_cast<uint32_t>(nesting);
  return true;
}

bool scanRecordNumbers(ScanText& text, RecordNumbers& numbers) {
  return scanUsualRecordNumbers(text, numbers) || scanRecordNumbersInGeneral(text, numbers);
}

// Where the look-ahead's text starts: after five runs of digits, each with
// one optional blank after it.
size_t lookAheadTextStart(std::string_view line) {
  ScanText skip(line);
  for (int field = 0; field < 5; ++field) {
    while (skip.at < skip.end && isDecimalDigit(*skip.at)) ++skip.at;
    if (skip.at < skip.end && *skip.at == ' ') ++skip.at;
  }
  return static_cast<size_t>(skip.at - line.data());
}

// The numbers of `line` (`text` at its start) and where the look-ahead's
// text starts. In the usual form that is right after the fifth run and the
// one blank that may follow it: the runs need not be passed over again.
bool scanRecordNumbers(std::string_view line, ScanText& text, RecordNumbers& numbers, size_t& lookAheadStart) {
  if (scanUsualRecordNumbers(text, numbers)) {
    const char* at = text.at;
    if (at != text.end && *at == ' ') ++at;
    lookAheadStart = static_cast<size_t>(at - line.data());
    return true;
  }
  if (!scanRecordNumbersInGeneral(text, numbers)) return false;
  lookAheadStart = lookAheadTextStart(line);
  return true;
}

// The preparation pass needs only a record line's kind and counter index:
// in the usual form the other three numbers are passed over, not converted
// (the same runs are accepted). Any other form reads all five.
bool scanKindAndCounterIndex(ScanText& text, RecordNumbers& numbers) {
  const char* at = text.at;
  const char* const end = text.end;
  auto digits = [&at, end](uint32_t& value) { return readUsualDigits(at, end, value); };
  auto passOver = [&at, end] {
    const char* start = at;
    while (at != end && isDecimalDigit(*at)) ++at;
    return at != start && at - start <= kMaxUsualDigits;
  };
  auto blank = [&at, end] {
    if (at == end || *at != ' ') return false;
    ++at;
    return true;
  };
  uint32_t kind = 0;
  if (digits(kind) && blank() && passOver() && blank() && passOver() && blank() && digits(numbers.counterIndex) &&
      blank() && passOver()) {
    numbers.kind = static_cast<int32_t>(kind);
    text.at = at;
    return true;
  }
  return scanRecordNumbers(text, numbers);
}

bool isIncludeLine(std::string_view line) { return line.size() >= 2 && line[0] == '#' && line[1] == 'i'; }

// Adds the condition counters at base + each offset of a "0,2,5" list; the
// first piece that does not start with a digit ends the list.
// An offset of a sum record's list: read here when its run of digits is
// short enough not to overflow (nearly always), else by readDigits.
uint64_t readOffset(ScanText& text) {
  const char* at = text.at;
  const char* const limit = text.end - at > 18 ? at + 18 : text.end;
  uint64_t value = 0;
  while (at < limit && isDecimalDigit(*at)) value = value * 10 + static_cast<uint64_t>(*at++ - '0');
  if (at < text.end && isDecimalDigit(*at)) return readDigits(text);
  text.at = at;
  return value;
}

void sumOffsets(std::string_view list, uint32_t base, const CounterArrays* counters, Probe& probe) {
  ScanText text(list);
  while (text.at < text.end && isDecimalDigit(*text.at)) {
    uint64_t offset = readOffset(text);
    uint64_t index = offset > std::numeric_limits<uint64_t>::max() - base ? std::numeric_limits<uint64_t>::max()
                                                                          : base + offset;
    probe.counter1 += conditionCountAt(index, counters);
    ++probe.counter2;
    while (text.at < text.end && *text.at != ',') ++text.at;
    if (text.at == text.end) break;
    ++text.at;
  }
}

void setCounters(const ProbeKindInfo& info, uint32_t index, const CounterArrays* counters, bool hasTiming,
                 Probe& probe) {
  switch (info.source) {
    case CounterSource::Function:
      probe.counter1 = functionCountAt(index, counters);
      if (hasTiming) {
        probe.timeTotal = timeTotalAt(index, counters);
        probe.timeMax = timeMaxAt(index, counters);
      }
      break;
    case CounterSource::Jump:
      probe.counter1 = jumpCountAt(index, counters);
      break;
    case CounterSource::Decision:
      probe.counter1 = decisionTrueAt(index, counters);
      probe.counter2 = decisionFalseAt(index, counters);
      break;
    case CounterSource::ConditionTrue:
      probe.counter1 = conditionCountAt(index, counters);
      break;
    case CounterSource::ConditionFalse:
      probe.counter2 = conditionCountAt(index, counters);
      break;
    case CounterSource::TrueSum:
    case CounterSource::FalseSum:
      sumOffsets(probe.text, index, counters, probe);
      break;
    case CounterSource::None:
    case CounterSource::PendingSums:
      break;
  }
}

// The info line "%u %lld %08X %u %u": numbers after the first one that does
// not scan stay 0.
void scanInfoLine(std::string_view line, ReaderState& state) {
  ScanText text(line);
  uint64_t mode = 0;
  int64_t time = 0;
  uint64_t fingerprint = 0;
  uint64_t rwr = 0;
  uint64_t upd = 0;
  if (scanUnsigned(text, mode) && scanSigned(text, time) && scanHex(text, fingerprint, 8) &&
      scanUnsigned(text, rwr)) {
    scanUnsigned(text, upd);
  }
  uint32_t bits = static_cast<uint32_t>(mode);
  state.mode = InstrumentationMode{true, (bits & kModeDecision) != 0, (bits & kModeMulticondition) != 0,
                                   (bits & kModeInclusiveTiming) != 0, (bits & kModeExclusiveTiming) != 0};
  state.instrumentationTime = time;
  state.fingerprint = static_cast<uint32_t>(fingerprint);
  state.rwrCount = static_cast<uint32_t>(rwr);
  state.updCount = static_cast<uint32_t>(upd);
}

RecordCategory startFile(ReaderState& state, std::string_view nameLine) {
  MonitoredFile& file = *state.cursor.file;
  state.fileName.assign(nameLine.substr(1, kMaxFileNameLength));
  state.file = &file;
  state.isHeaderFile = file.isHeaderFile;
  const CounterArrays* counters = file.counterData.get();
  state.counterRwrCount = counters != nullptr ? counters->rwrCount : 0;
  state.counterUpdCount = counters != nullptr ? counters->updCount : 0;
  // The info line is the next line of the same file; a file that ends after
  // its name line has none.
  const DescriptionLine* info = takeLineInFile(state.cursor);
  if (info == nullptr) {
    setErrorArguments(file.name);
    return RecordCategory::BadRecord;
  }
  scanInfoLine(lineText(*info), state);
  return RecordCategory::FileStart;
}

// A compact record line: the reports walk every record line several times
// (the walk of each report, and the statement look-ahead of each function),
// so once the lines no longer change the walk replaces the numbers at the
// front of a record line it has parsed by their parsed form, in the same
// bytes:
//   byte 0     0x80 | kind (no line of the symbol text starts that way: it
//              would be a bad record, and the preparation pass met none)
//   bytes 1-3  line number, bytes 4-5 statement count, byte 6 nesting
//   byte 7     where the text starts (unchanged after it)
// The text keeps its place, so the walk and the look-ahead read the same
// text as before. Lines whose numbers do not fit stay as they are.
constexpr size_t kCompactSize = 8;
constexpr unsigned char kCompactMark = 0x80;

bool isCompactLine(std::string_view line) {
  return !line.empty() && static_cast<unsigned char>(line.front()) >= kCompactMark;
}

// Rewrites the record line `reference` (already parsed into `probe`, whose
// text starts at `textStart` for the walk and at `lookAheadStart` for the
// look-ahead) when its numbers fit and both find its text at the same place.
void compactRecordLine(uint32_t reference, size_t textStart, size_t lookAheadStart, const Probe& probe) {
  if (textStart < kCompactSize || textStart > 0xFF || probe.kind >= kCompactMark || probe.line >= (1u << 24) ||
      probe.statementCount > 0xFFFF || probe.nesting > 0xFF || lookAheadStart != textStart) {
    return;
  }
  unsigned char* at = reinterpret_cast<unsigned char*>(database().lineTexts.editable(reference));
  at[0] = static_cast<unsigned char>(kCompactMark | probe.kind);
  at[1] = static_cast<unsigned char>(probe.line);
  at[2] = static_cast<unsigned char>(probe.line >> 8);
  at[3] = static_cast<unsigned char>(probe.line >> 16);
  at[4] = static_cast<unsigned char>(probe.statementCount);
  at[5] = static_cast<unsigned char>(probe.statementCount >> 8);
  at[6] = static_cast<unsigned char>(probe.nesting);
  at[7] = static_cast<unsigned char>(textStart);
}

// The numbers and the text (as the look-ahead takes it) of a compact line.
void readCompactLine(std::string_view line, Probe& probe) {
  const auto* at = reinterpret_cast<const unsigned char*>(line.data());
  probe.kind = at[0] & ~kCompactMark & 0xFFu;
  probe.line = at[1] | uint32_t{at[2]} << 8 | uint32_t{at[3]} << 16;
  probe.statementCount = at[4] | uint32_t{at[5]} << 8;
  probe.nesting = at[6];
  probe.text = line.substr(at[7], kMaxTextLength);
}

RecordCategory categoryOfKind(uint32_t kind) {
  if (kind == kKindFunction) return RecordCategory::FunctionRecord;
  if (kind == kKindLineEntry || kind == kKindLineReturn) return RecordCategory::LineRecord;
  return RecordCategory::ProbeRecord;
}

}  // namespace

const ProbeKindInfo& probeKindInfo(int64_t kind) {
  if (kind < 0 || kind > kLargestKind) return kUnknownKind;
  return kKindTable[static_cast<size_t>(kind)];
}

namespace {

// parseRecordLine, also giving where the look-ahead's text starts (record
// lines only).
RecordCategory parseRecordLine(std::string_view line, const CounterArrays* counters, bool hasTiming, Probe& probe,
                               size_t& lookAheadStart) {
  probe.counter1 = 0;
  probe.counter2 = 0;
  probe.timeTotal = 0;
  probe.timeMax = 0;
  if (isIncludeLine(line)) {
    probe.kind = kKindLineEntry;
    probe.line = 0;
    probe.statementCount = 0;
    probe.nesting = 0;
    probe.text = line.substr(0, kMaxTextLength);
    return RecordCategory::IncludeRecord;
  }
  ScanText text(line);
  RecordNumbers numbers;
  if (!scanRecordNumbers(line, text, numbers, lookAheadStart)) return RecordCategory::BadRecord;
  const ProbeKindInfo& info = probeKindInfo(numbers.kind);
  if (!info.known) return RecordCategory::BadRecord;
  skipScanSpace(text);
  std::string_view rest = text.rest().substr(0, kMaxTextLength);
  if (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  probe.kind = static_cast<uint32_t>(numbers.kind);
  probe.line = numbers.line;
  probe.statementCount = numbers.statementCount;
  probe.nesting = numbers.nesting;
  probe.text = rest;
  setCounters(info, numbers.counterIndex, counters, hasTiming, probe);
  if (probe.kind == kKindFunction) return RecordCategory::FunctionRecord;
  if (probe.kind == kKindLineEntry || probe.kind == kKindLineReturn) return RecordCategory::LineRecord;
  return RecordCategory::ProbeRecord;
}

}  // namespace

RecordCategory parseRecordLine(std::string_view line, const CounterArrays* counters, bool hasTiming,
                               Probe& probe) {
  size_t lookAheadStart = 0;
  return parseRecordLine(line, counters, hasTiming, probe, lookAheadStart);
}

namespace {

// The record the look-ahead kept for the line the walk takes next, the
// cursor moved past it as reading the line moves it; nullptr when none was
// kept there.
const KeptRecord* takeKeptRecord(Cursor& cursor) {
  ReadAhead& kept = readAhead();
  const size_t count = kept.count;
  size_t next = kept.next;
  if (next >= count || !cursor.walking || cursor.file != kept.file) return nullptr;
  // The walk may have passed over kept lines (a sum list's partner).
  while (kept.records[next].from < cursor.nextLine) {
    if (++next == count) {
      kept.next = next;
      return nullptr;
    }
  }
  const KeptRecord& record = kept.records[next];
  if (record.from != cursor.nextLine) {
    kept.next = next;
    return nullptr;
  }
  kept.next = next + 1;
  cursor.nextLine = size_t{record.index} + 1;
  cursor.lastLine = record.index;
  cursor.haveLastLine = true;
  return &record;
}

}  // namespace

RecordCategory nextRecord(Probe& probe) {
  ReaderState& state = readerState();
  const bool prepared = database().countersPrepared;
  for (;;) {
    const uint32_t pendingTrue = probe.counter1;
    const uint32_t pendingFalse = probe.counter2;
    RecordCategory category;
    if (const KeptRecord* kept = prepared ? takeKeptRecord(state.cursor) : nullptr) {
      probe = kept->probe;
      category = kept->category;
      if (category == RecordCategory::IncludeRecord) return category;
    } else {
      std::string_view text;
      DescriptionLine* line = takeLine(state, text);
      if (line == nullptr) {
        // What a look-ahead kept belongs to the walk that ends here.
        forgetReadAhead();
        return RecordCategory::EndOfRecords;
      }
      if (text == kTerminatorLine) failInternal("postsym", 1795);
      if (text.front() == '%') continue;
      if (text.front() == '@') return startFile(state, text);

      MonitoredFile& file = *state.cursor.file;
      if (prepared && isCompactLine(text)) {
        readCompactLine(text, probe);
        if (!probe.text.empty() && probe.text.back() == ' ') probe.text.remove_suffix(1);
        category = categoryOfKind(probe.kind);
      } else {
        size_t lookAheadStart = 0;
        category = parseRecordLine(text, prepared ? nullptr : file.counterData.get(), state.mode.hasTiming(),
                                   probe, lookAheadStart);
        if (category == RecordCategory::BadRecord) {
          setErrorArguments(file.name);
          return category;
        }
        if (prepared && category != RecordCategory::IncludeRecord && database().recordTextsCompactable) {
          compactRecordLine(line->textRef, static_cast<size_t>(probe.text.data() - text.data()), lookAheadStart,
                            probe);
        }
      }
      if (category == RecordCategory::IncludeRecord) return category;
      if (prepared) {
        LineValues values = lineValues(file, *line);
        probe.counter1 = values.value1;
        probe.counter2 = values.value2;
        probe.timeTotal = values.value3;
        probe.timeMax = values.value4;
      }
    }
    switch (probeKindInfo(probe.kind).source) {
      case CounterSource::TrueSum:
        // After the preparation pass the partner (false) list carries nothing
        // the following record needs: it has its own values.
        // Before it, the list's sum becomes the pending true sum.
        if (prepared) {
          takeLineInFile(state.cursor);
          probe.counter1 = pendingTrue;
        }
        probe.counter2 = pendingFalse;
        continue;
      case CounterSource::FalseSum: {
        // Prepared, counter1 holds the line's own first value.
        const uint32_t falseSum = probe.counter1;
        probe.counter1 = pendingTrue;
        probe.counter2 = falseSum;
        continue;
      }
      case CounterSource::PendingSums:
        if (!prepared) {
          probe.counter1 = pendingTrue;
          probe.counter2 = pendingFalse;
        }
        if (probe.kind >= 70 && probe.kind <= 74) probe.kind -= 50;
        return category;
      default:
        return category;
    }
  }
}

namespace {

// setCounters for the preparation pass, inline: it runs for every record
// line. The counters of the line's kind at `index` into `probe`, whose
// counters are 0.
inline void setPreparedCounters(const ProbeKindInfo& info, uint32_t index, const CounterArrays* counters,
                                bool hasTiming, Probe& probe) {
  if (counters == nullptr) {
    // Without counter data every count is 0 and no index is checked; the
    // sum lists still count their offsets.
    if (info.source == CounterSource::TrueSum || info.source == CounterSource::FalseSum) {
      sumOffsets(probe.text, index, counters, probe);
    }
    return;
  }
  switch (info.source) {
    case CounterSource::Jump:
      probe.counter1 = lookup(counters->jumpCounts, index, 767);
      break;
    case CounterSource::Decision:
      probe.counter1 = lookup(counters->decisionTrueCounts, index, 729);
      probe.counter2 = lookup(counters->decisionFalseCounts, index, 748);
      break;
    case CounterSource::None:
    case CounterSource::PendingSums:
      break;
    default:
      setCounters(info, index, counters, hasTiming, probe);
      break;
  }
}

// Stores the counters that the walk before the preparation pass delivers for
// each record line of `file` in the line. A line of the usual form is read
// from its head alone (it can be nothing but a record line); any other goes
// through the checks in the walk's order, so that a bad line fails where it
// did.
void prepareLines(ReaderState& state, MonitoredFileIt file, Probe& probe) {
  Cursor& cursor = state.cursor;
  cursor = Cursor{true, file, 0, 0, false};
  // The lines are taken here rather than through the cursor, which only
  // startFile moves (past the info line).
  std::vector<DescriptionLine>& lines = file->descriptionLines;
  const CounterArrays* counters = file->counterData.get();
  for (size_t index = 0; index < lines.size(); ++index) {
    DescriptionLine* const line = &lines[index];
    const std::string_view text = lineText(*line);
    ScanText scan(text);
    RecordNumbers numbers;
    UsualRecordHead head;
    if (scanUsualRecordHead(text, head)) {
      numbers.kind = static_cast<int32_t>(head.kind);
      numbers.counterIndex = head.counterIndex;
      scan.at = text.data() + head.numbersEnd;
    } else {
      if (isBlankLine(text)) continue;
      if (text.front() == '%') continue;
      if (text.front() == '@') {
        cursor.nextLine = index + 1;
        if (startFile(state, text) == RecordCategory::BadRecord) failInternal("postsym", 1820);
        index = cursor.nextLine - 1;
        continue;
      }
      if (text == kTerminatorLine) failInternal("postsym", 1795);
      if (isIncludeLine(text)) failInternal("postsym", 1824);
      if (!scanKindAndCounterIndex(scan, numbers)) {
        setErrorArguments(file->name);
        failInternal("postsym", 1820);
      }
    }
    const ProbeKindInfo& info = probeKindInfo(numbers.kind);
    if (!info.known) {
      setErrorArguments(file->name);
      failInternal("postsym", 1820);
    }
    const uint32_t pendingTrue = probe.counter1;
    const uint32_t pendingFalse = probe.counter2;
    probe.kind = static_cast<uint32_t>(numbers.kind);
    probe.counter1 = 0;
    probe.counter2 = 0;
    probe.timeTotal = 0;
    probe.timeMax = 0;
    if (info.source == CounterSource::TrueSum || info.source == CounterSource::FalseSum) {
      skipScanSpace(scan);
      probe.text = scan.rest().substr(0, kMaxTextLength);
    }
    setPreparedCounters(info, numbers.counterIndex, counters, state.mode.hasTiming(), probe);
    switch (info.source) {
      case CounterSource::TrueSum:
        probe.counter2 = pendingFalse;
        continue;
      case CounterSource::FalseSum:
        probe.counter2 = probe.counter1;
        probe.counter1 = pendingTrue;
        continue;
      case CounterSource::PendingSums:
        probe.counter1 = pendingTrue;
        probe.counter2 = pendingFalse;
        break;
      default:
        break;
    }
    if (probe.kind == kKindFunction) {
      setLineValues(*file, *line, LineValues{probe.counter1, 0, probe.timeTotal, probe.timeMax});
    } else if (probe.kind != kKindLineEntry && probe.kind != kKindLineReturn) {
      setLineValues(*file, *line, LineValues{probe.counter1, probe.counter2, 0, 0});
    }
  }
  // As when the walk leaves the file.
  state.previousSourceLines = file->sourceLineCount;
  cursor = Cursor{};
}

}  // namespace

struct RecordReaderState::Parts {
  ReaderState state;
};

RecordReaderState::RecordReaderState() : parts_(std::make_unique<Parts>(Parts{readerState()})) {}
RecordReaderState::~RecordReaderState() = default;

void prepareFileLines(RecordReaderState& state, MonitoredFileIt file, Probe& probe) {
  prepareLines(state.parts().state, file, probe);
}

void prepareFileLines(MonitoredFileIt file, Probe& probe) { prepareLines(readerState(), file, probe); }

void adoptRecordReaderState(RecordReaderState& state) { readerState() = state.parts().state; }

bool preparationTakesPendingSums(const MonitoredFile& file) {
  bool named = false;
  bool infoLineNext = false;
  // The lines as the pass takes them: the info line is the first non-blank
  // line after a name line, whatever it holds.
  for (const DescriptionLine& line : file.descriptionLines) {
    const std::string_view text = lineText(line);
    if (isBlankLine(text)) continue;
    if (infoLineNext) {
      infoLineNext = false;
      continue;
    }
    if (text.front() == '%') continue;
    if (text.front() == '@') {
      named = infoLineNext = true;
      continue;
    }
    // Records before the name line would be read with the previous file's.
    if (!named) return true;
    if (text == kTerminatorLine || isIncludeLine(text)) return true;
    ScanText scan(text);
    RecordNumbers numbers;
    if (!scanKindAndCounterIndex(scan, numbers)) return true;
    const ProbeKindInfo info = probeKindInfo(numbers.kind);
    return !info.known || info.source == CounterSource::TrueSum || info.source == CounterSource::FalseSum ||
           info.source == CounterSource::PendingSums;
  }
  return true;
}

// The look-ahead reads kinds 70 to 74 as they stand and the counters from the
// line's values; its text is what follows five runs of digits, each with one
// optional blank after it. An include line reads as a ProbeRecord of kind 50.
namespace {

std::string_view withoutTrailingBlank(std::string_view text) {
  if (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Keeps what the look-ahead read of line `index` (taken with the cursor's
// next line at `from`) for the walk, with the text where the walk takes it.
inline void keepRecord(size_t from, size_t index, const Probe& probe, std::string_view walkText,
                       RecordCategory category) {
  ReadAhead& kept = readAhead();
  if (!kept.keeping || index >= std::numeric_limits<uint32_t>::max()) return;
  if (kept.count == kept.records.size()) kept.records.resize(kept.count * 2 + 64);
  KeptRecord& record = kept.records[kept.count++];
  record.from = static_cast<uint32_t>(from);
  record.index = static_cast<uint32_t>(index);
  record.category = category;
  record.probe = probe;
  record.probe.text = walkText;
}

// An include line as the walk gives it: no numbers, no counters.
void keepIncludeLine(size_t from, size_t index, std::string_view text) {
  Probe include;
  include.kind = kKindLineEntry;
  keepRecord(from, index, include, text, RecordCategory::IncludeRecord);
}

}  // namespace

RecordCategory peekRecord(Probe& probe) {
  ReaderState& state = readerState();
  Cursor& cursor = state.cursor;
  if (!cursor.walking || cursor.file == database().monitoredFiles.end()) {
    probe.kind = kKindFunction;
    return RecordCategory::FunctionRecord;
  }
  std::vector<DescriptionLine>& lines = cursor.file->descriptionLines;
  const size_t from = cursor.nextLine;
  size_t index = from;
  while (index < lines.size() && isBlankLine(lineText(lines[index]))) ++index;
  if (index == lines.size() || lineText(lines[index]).front() == '%') {
    probe.kind = kKindFunction;
    return RecordCategory::FunctionRecord;
  }
  cursor.nextLine = index + 1;
  const std::string_view lineTextAt = lineText(lines[index]);
  const LineValues values = lineValues(*cursor.file, lines[index]);
  probe.counter1 = values.value1;
  probe.counter2 = values.value2;
  probe.timeTotal = values.value3;
  probe.timeMax = values.value4;
  std::string_view walkText;
  if (isCompactLine(lineTextAt)) {
    readCompactLine(lineTextAt, probe);
    walkText = withoutTrailingBlank(probe.text);
  } else if (isIncludeLine(lineTextAt)) {
    probe.kind = kKindLineEntry;
    probe.text = lineTextAt.substr(0, kMaxTextLength);
    keepIncludeLine(from, index, probe.text);
    return RecordCategory::ProbeRecord;
  } else {
    ScanText text(lineTextAt);
    RecordNumbers numbers;
    size_t textStart = 0;
    if (!scanRecordNumbers(lineTextAt, text, numbers, textStart) || !probeKindInfo(numbers.kind).known) {
      setErrorArguments(cursor.file->name);
      return RecordCategory::BadRecord;
    }
    probe.kind = static_cast<uint32_t>(numbers.kind);
    probe.line = numbers.line;
    probe.statementCount = numbers.statementCount;
    probe.nesting = numbers.nesting;
    probe.text = lineTextAt.substr(textStart, kMaxTextLength);
    // Where the walk takes the text: after all the white space.
    skipScanSpace(text);
    if (database().recordTextsCompactable) {
      // The walk would rewrite this line into the same parsed form (its
      // text where the walk takes it): done here, later walks do not scan
      // its numbers again.
      compactRecordLine(lines[index].textRef, static_cast<size_t>(text.at - lineTextAt.data()), textStart, probe);
    }
    walkText = withoutTrailingBlank(text.rest().substr(0, kMaxTextLength));
  }
  const RecordCategory category = categoryOfKind(probe.kind);
  keepRecord(from, index, probe, walkText, category);
  return category == RecordCategory::FunctionRecord ? category : RecordCategory::ProbeRecord;
}

void saveRecordCursor() {
  ReaderState& state = readerState();
  state.saved = state.cursor;
  // A new look-ahead: what the one before kept is of no more use.
  ReadAhead& kept = readAhead();
  kept.count = 0;
  kept.next = 0;
  kept.keeping = state.cursor.walking;
  if (kept.keeping) kept.file = state.cursor.file;
}

void restoreRecordCursor() {
  readerState().cursor = readerState().saved;
  ReadAhead& kept = readAhead();
  kept.keeping = false;
  kept.next = 0;
}

void moveRecordCursorTo(const DescriptionLine* line) {
  Cursor& cursor = readerState().cursor;
  if (!cursor.walking || !cursor.haveLastLine) failInternal("postsym", 1850);
  const std::vector<DescriptionLine>& lines = cursor.file->descriptionLines;
  if (line < lines.data() || line >= lines.data() + lines.size()) failInternal("postsym", 1851);
  cursor.nextLine = static_cast<size_t>(line - lines.data());
}

void resetRecordCursor() {
  ReaderState& state = readerState();
  state.cursor = Cursor{};
  state.saved = Cursor{};
  forgetReadAhead();
}

void resetRecordReader() {
  readerState() = ReaderState{};
  walkRange() = WalkRange{};
  forgetReadAhead();
}

void limitRecordWalk(MonitoredFileIt first, MonitoredFileIt end) {
  resetRecordCursor();
  walkRange() = WalkRange{true, first, end};
}

void unlimitRecordWalk() {
  resetRecordCursor();
  walkRange() = WalkRange{};
}

void recordCursorFileRemoved(const MonitoredFile& file) {
  ReaderState& state = readerState();
  auto pointsAt = [&file](const Cursor& cursor) { return cursor.walking && &*cursor.file == &file; };
  if (pointsAt(state.cursor) || pointsAt(state.saved)) resetRecordCursor();
  if (readAhead().count != 0 && &*readAhead().file == &file) forgetReadAhead();
  if (state.file == &file) state.file = nullptr;
}

MonitoredFile* currentLineFile() {
  Cursor& cursor = readerState().cursor;
  if (!cursor.walking || !cursor.haveLastLine) return nullptr;
  return &*cursor.file;
}

DescriptionLine* currentDescriptionLine() {
  Cursor& cursor = readerState().cursor;
  if (!cursor.walking || !cursor.haveLastLine) return nullptr;
  return &cursor.file->descriptionLines[cursor.lastLine];
}

const std::string& currentFileName() { return readerState().fileName; }
InstrumentationMode currentInstrumentationMode() { return readerState().mode; }
int64_t currentInstrumentationTime() { return readerState().instrumentationTime; }
uint32_t currentFingerprint() { return readerState().fingerprint; }
uint32_t currentRwrCount() { return readerState().rwrCount; }
uint32_t currentUpdCount() { return readerState().updCount; }
uint32_t currentCounterRwrCount() { return readerState().counterRwrCount; }
uint32_t currentCounterUpdCount() { return readerState().counterUpdCount; }
uint32_t currentIsHeaderFile() { return readerState().isHeaderFile; }
const MonitoredFile* currentMonitoredFile() { return readerState().file; }
uint32_t previousFileSourceLines() { return readerState().previousSourceLines; }

uint32_t functionCountAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->functionCounts, index, 710);
}
uint32_t jumpCountAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->jumpCounts, index, 767);
}
uint32_t decisionTrueAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->decisionTrueCounts, index, 729);
}
uint32_t decisionFalseAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->decisionFalseCounts, index, 748);
}
uint32_t conditionCountAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->conditionCounts, index, 786);
}
uint32_t timeTotalAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->timeTotals, index, 806);
}
uint32_t timeMaxAt(uint64_t index, const CounterArrays* counters) {
  return counters == nullptr ? 0 : lookup(counters->timeMaxima, index, 825);
}

}  // namespace qar
