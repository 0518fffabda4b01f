#include "coverage/postsym.h"

#include <cerrno>

#include "coverage/database.h"
#include "coverage/scan_numbers.h"
#include "coverage/symbol_line_reader.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "cmdline/file_selection.h"
#include "base/text.h"

namespace qar {
namespace {

// The block being filled: always the last MonitoredFile of the list while
// `haveBlock` is set (blocks are appended, and removing a just completed
// block makes the one before it current).
struct BlockState {
  bool haveBlock = false;
  bool deselected = false;
  bool expectInfoLine = false;
};

// The lines of the block being filled wait here, their texts already
// stored, until the block's count line, the next name line or the end of
// the reading, and then go into their file at once: a file's line list
// grown line by line cost a reallocation at every doubling and one more to
// give back the reserve, a tenth of loading in the allocator.
struct PendingLines {
  MonitoredFile* file = nullptr;
  std::vector<DescriptionLine> lines;
};

struct SymbolFileState {
  SymbolLineReader reader;
  std::string fileName;
  std::string stamp;
  BlockState block;
  PendingLines pending;
};

SymbolFileState& symbolState() {
  static SymbolFileState state;
  return state;
}

[[noreturn]] void failSymbolFile(std::string_view symbolFileName) {
  setErrorArguments(symbolFileName);
  failWith(kSymbolFileError);
}

[[noreturn]] void failWithSystemError(ErrorCode code, std::string_view fileName, int errorNumber) {
  setErrorArguments(fileName, systemErrorText(errorNumber));
  failWith(code);
}

// Moves the waiting lines into their file, which gets exactly the room it
// needs.
void flushPendingLines() {
  PendingLines& pending = symbolState().pending;
  if (pending.file == nullptr) return;
  std::vector<DescriptionLine>& lines = pending.file->descriptionLines;
  lines.reserve(lines.size() + pending.lines.size());
  lines.insert(lines.end(), pending.lines.begin(), pending.lines.end());
  pending.lines.clear();
  pending.file = nullptr;
}

// A contents listing shows what the name, info and count lines say of each
// block: its lines are not kept.
void keepLine(MonitoredFile& file, std::string_view text, LoadingMode mode) {
  if (mode == LoadingMode::ContentsListing) return;
  PendingLines& pending = symbolState().pending;
  if (pending.file != &file) {
    flushPendingLines();
    pending.file = &file;
  }
  pending.lines.push_back(storedDescriptionLine(text));
}

MonitoredFile* currentBlock(const BlockState& block) {
  MonitoredFileList& files = database().monitoredFiles;
  return block.haveBlock && !files.empty() ? &files.back() : nullptr;
}

// The numbers of an info line; it is one when "%u %lld %x %u %u %u" reads
// exactly five of them (a sixth makes it a record line).
struct InfoLine {
  uint32_t mode = 0;
  int64_t time = 0;
  uint32_t fingerprint = 0;
  uint32_t rwrCount = 0;
  uint32_t updCount = 0;
};

bool scanInfoLine(std::string_view line, InfoLine& info) {
  ScanText text(line);
  uint64_t mode = 0;
  uint64_t fingerprint = 0;
  uint64_t rwr = 0;
  uint64_t upd = 0;
  uint64_t sixth = 0;
  if (!scanUnsigned(text, mode) || !scanSigned(text, info.time) || !scanHex(text, fingerprint, 0) ||
      !scanUnsigned(text, rwr) || !scanUnsigned(text, upd) || scanUnsigned(text, sixth)) {
    return false;
  }
  info.mode = static_cast<uint32_t>(mode);
  info.fingerprint = static_cast<uint32_t>(fingerprint);
  info.rwrCount = static_cast<uint32_t>(rwr);
  info.updCount = static_cast<uint32_t>(upd);
  return true;
}

// The count line "%%%lu,%lu,%lu,%lu,%lu,%lu": all six numbers are needed.
bool scanCountLine(std::string_view line, MonitoredFile& file) {
  ScanText text(line.substr(1));
  uint64_t numbers[6] = {};
  for (size_t i = 0; i < 6; ++i) {
    if (i > 0) {
      if (text.at == text.end || *text.at != ',') return false;
      ++text.at;
    }
    if (!scanUnsigned(text, numbers[i])) return false;
  }
  file.sourceLineCount = static_cast<uint32_t>(numbers[0]);
  file.counterSizes = CounterSizes{static_cast<uint32_t>(numbers[1]), static_cast<uint32_t>(numbers[2]),
                                   static_cast<uint32_t>(numbers[3]), static_cast<uint32_t>(numbers[4]),
                                   static_cast<uint32_t>(numbers[5])};
  return true;
}

bool isDeselected(std::string_view name, LoadingMode mode) {
  const OptionSettings& settings = options();
  if (settings.chosenFiles && !matchesAnyPattern(settings.chosenFiles, name)) return true;
  bool honoursUnchosen = mode == LoadingMode::ContentsListing || mode == LoadingMode::Adding;
  return honoursUnchosen && matchesAnyPattern(settings.unchosenFiles, name);
}

void handleNameLine(std::string_view line, LoadingMode mode, BlockState& block) {
  flushPendingLines();
  std::string_view name = line.substr(1);
  block.deselected = isDeselected(name, mode);
  block.expectInfoLine = true;
  if (block.deselected) return;
  MonitoredFile& file = appendMonitoredFile(name);
  keepLine(file, line, mode);
  block.haveBlock = true;
}

// A block can take record and count lines only between its info line and a
// count line with a nonzero source line count.
bool acceptsBodyLine(const MonitoredFile* file) {
  return file != nullptr && file->instrumentationTime != 0 && file->sourceLineCount == 0;
}

// True when handleSymbolLine, given a record line now, would only keep it in
// the block whose lines are waiting (or, keeping no lines, pass it).
bool takesRecordLinesStraight(const SymbolFileState& state, bool keepsLines) {
  const BlockState& block = state.block;
  if (block.expectInfoLine || block.deselected) return false;
  const MonitoredFile* file = currentBlock(block);
  return acceptsBodyLine(file) && (!keepsLines || state.pending.file == file);
}

}  // namespace

const std::string& openSymbolFile(std::string_view fileName) {
  SymbolFileState& state = symbolState();
  state.fileName.assign(fileName);
  state.stamp.clear();
  if (!state.reader.open(state.fileName)) failWithSystemError(kCannotOpen, fileName, errno);
  std::string_view line;
  SymbolLineReader::Status status = state.reader.nextKeptLine(line);
  if (status == SymbolLineReader::Status::ReadError) {
    failWithSystemError(kCannotRead, fileName, state.reader.readErrorNumber());
  }
  // A file that ends before any kept line lacks its terminator like any
  // other cut-off file; only a first line that is there can be a wrong one.
  if (status == SymbolLineReader::Status::EndOfFile) failSymbolFile(fileName);
  if (line != kSymbolFileMagic) {
    setErrorArguments(fileName);
    failWith(kBadIdentificationStamp);
  }
  status = state.reader.nextKeptLine(line);
  if (status == SymbolLineReader::Status::ReadError) {
    failWithSystemError(kCannotRead, fileName, state.reader.readErrorNumber());
  }
  if (status == SymbolLineReader::Status::EndOfFile) failSymbolFile(fileName);
  state.stamp.assign(line);
  return state.stamp;
}

void closeSymbolFile() {
  SymbolFileState& state = symbolState();
  // An input that can be read only once keeps the rest of its lines for
  // its next opening.
  if (!state.reader.keepRest()) failWithSystemError(kCannotRead, state.fileName, errno);
  if (state.reader.close() != 0) {
    setErrorArguments(state.fileName, systemErrorText(errno));
    reportError(kCannotClose, ErrorSeverity::ExitIfFatalCode);
  }
}

const std::string& currentSymbolFileName() { return symbolState().fileName; }
const std::string& currentSymbolFileStamp() { return symbolState().stamp; }

void readSymbolFiles(LoadingMode mode) {
  SymbolFileState& state = symbolState();
  state.block = BlockState{};
  // Lines left waiting by a reading that ended in an error belong to a
  // database that may be gone.
  state.pending = PendingLines{};
  const std::vector<InputFileEntry>& files = database().symbolFilesRead;
  const bool keepsLines = mode != LoadingMode::ContentsListing;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string fileName = files[i].name;
    openSymbolFile(fileName);
    std::string_view line;
    bool straightIn = false;
    for (;;) {
      // The end of the file and a failing read alike: the terminator is missing.
      if (state.reader.nextKeptLine(line) != SymbolLineReader::Status::Line) failSymbolFile(fileName);
      if (line == kSymbolFileTerminator) break;
      // Kept lines are never empty. A record line inside a block that takes
      // it goes straight to the waiting lines: nearly every line is one.
      if (straightIn && line.front() != '@' && line.front() != '%') {
        if (keepsLines) state.pending.lines.push_back(storedDescriptionLine(line));
        continue;
      }
      handleSymbolLine(line, fileName, mode);
      straightIn = takesRecordLinesStraight(state, keepsLines);
    }
    closeSymbolFile();
  }
  flushPendingLines();
}

void handleSymbolLine(std::string_view line, std::string_view symbolFileName, LoadingMode mode) {
  BlockState& block = symbolState().block;
  if (line.empty()) return;
  if (line.front() == '@') {
    handleNameLine(line, mode, block);
    return;
  }
  bool infoPosition = block.expectInfoLine;
  block.expectInfoLine = false;
  InfoLine info;
  if (infoPosition && scanInfoLine(line, info)) {
    if (block.deselected) return;
    MonitoredFile* file = currentBlock(block);
    if (file == nullptr || (info.mode & kModeFunction) == 0 || info.time < 1) failSymbolFile(symbolFileName);
    file->instrumentationTime = info.time;
    file->fingerprint = info.fingerprint;
    file->rwrCount = info.rwrCount;
    file->updCount = info.updCount;
    keepLine(*file, line, mode);
    return;
  }
  if (block.deselected) return;
  MonitoredFile* file = currentBlock(block);
  if (!acceptsBodyLine(file)) failSymbolFile(symbolFileName);
  if (line.front() != '%') {
    keepLine(*file, line, mode);
    return;
  }
  if (!scanCountLine(line, *file)) failSymbolFile(symbolFileName);
  keepLine(*file, line, mode);
  flushPendingLines();
  if (mode != LoadingMode::ContentsListing) resolveDuplicateDescription(symbolFileName);
}

void resetSymbolBlockState() {
  flushPendingLines();
  symbolState().block = BlockState{};
}

void resetSymbolFileState() {
  SymbolFileState& state = symbolState();
  state.reader.close();
  state.fileName.clear();
  state.stamp.clear();
  state.block = BlockState{};
  // The database may be gone already: its lines are not kept.
  state.pending = PendingLines{};
}

}  // namespace qar
