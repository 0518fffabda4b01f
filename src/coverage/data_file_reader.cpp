// postdata, reading side: data file headers and counter blocks.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "coverage/data_file_layout.h"
#include "coverage/data_reader_state.h"
#include "coverage/postdata.h"
#include "base/file_handle.h"
#include "base/input_source.h"
#include "base/text.h"

namespace qar {
namespace {

using namespace datafile;

// Arrays are read straight into their vectors with one read each; the
// stream buffer serves the small reads of block words and names.
constexpr size_t kStreamBufferSize = size_t{1} << 16;

// Line numbers of the consistency checks of this module.
constexpr unsigned long kCheckNoOpenFile = 101;

// Skips up to this size are read through the stream buffer rather than
// sought: a seek costs a system call even when it stays inside the buffer.
constexpr uint64_t kSkipByReadingLimit = kStreamBufferSize;

// A data file open for reading. A regular file is read through a stream on
// its own descriptor; an input read only once through a stream over its
// InputSource, which keeps its bytes for the next opening.
struct InputFile {
  std::unique_ptr<InputSource> source;  // declared first: outlives the stream
  std::unique_ptr<char[]> buffer;       // outlives the stream too
  FileHandle stream;
  std::string name;
  uint64_t position = 0;
  // The bytes the input holds: known for regular files and kept bytes, the
  // only ones blocks are read from (not at a first reading).
  uint64_t size = 0;
  bool firstReading() const { return source && source->isFirstReading(); }
};

}  // namespace

struct DataReaderState::Parts {
  InputFile blockFile;  // the file blocks are read from, if open
  std::string currentName;
  std::string currentStamp;
  std::vector<uint32_t> blockWords;  // a block's seven arrays as read, reused
};

DataReaderState::DataReaderState() : parts_(std::make_unique<Parts>()) {}
DataReaderState::~DataReaderState() = default;

namespace {

using ReaderState = DataReaderState::Parts;

DataReaderState& runReader() {
  static DataReaderState state;
  return state;
}

ReaderState& readerState() { return runReader().parts(); }

uint64_t bytesRemaining(const InputFile& in) { return in.size - std::min(in.position, in.size); }

// Stores the arguments of a short read and returns its ErrorCode: 2 at end
// of file, 16 with the system's error text otherwise.
ErrorCode shortRead(const InputFile& in, int errorNumber) {
  if (std::feof(in.stream.get()) || !std::ferror(in.stream.get())) {
    setErrorArguments(in.name);
    return kBadDataFile;
  }
  setErrorArguments(in.name, systemErrorText(errorNumber));
  return kCannotRead;
}

ErrorCode readBytes(InputFile& in, void* into, size_t byteCount) {
  errno = 0;
  size_t got = std::fread(into, 1, byteCount, in.stream.get());
  int errorNumber = errno;
  in.position += got;
  return got == byteCount ? kNoError : shortRead(in, errorNumber);
}

int nextByte(InputFile& in) {
  int c = getc_unlocked(in.stream.get());
  if (c != EOF) ++in.position;
  return c;
}

void putBack(InputFile& in, int c) {
  std::ungetc(c, in.stream.get());
  --in.position;
}

// White space as formatted input knows it in the C locale.
bool isScanSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Matches "Tarvo dat 9|" followed by exactly 24 characters the way formatted
// input with "Tarvo dat 9|%24c" does: each of the two blanks of the literal
// matches any run of white space, none included (the first other character
// is put back); every other character of the literal must follow exactly;
// then 24 characters of any kind, white space included, must follow. The
// stamp ends at a NUL byte, as the text it is used as would.
bool scanStampText(InputFile& in, std::string& stamp) {
  for (char expected : kTextPrefix) {
    int c = nextByte(in);
    if (expected == ' ') {
      while (isScanSpace(c)) c = nextByte(in);
      if (c != EOF) putBack(in, c);
    } else if (c != static_cast<unsigned char>(expected)) {
      return false;
    }
  }
  char text[kStampLength];
  if (std::fread(text, 1, kStampLength, in.stream.get()) != kStampLength) return false;
  in.position += kStampLength;
  stamp.assign(text, std::find(text, text + kStampLength, '\0'));
  return true;
}

// The stream functions over an InputSource.
ssize_t readFromSource(void* source, char* into, size_t count) {
  return static_cast<InputSource*>(source)->read(into, count);
}
int seekInSource(void* source, off64_t* offset, int whence) {
  const off_t position = static_cast<InputSource*>(source)->seek(static_cast<off_t>(*offset), whence);
  if (position < 0) return -1;
  *offset = position;
  return 0;
}
// The InputFile closes its source itself, so that a failing close is seen.
int leaveSourceOpen(void*) { return 0; }
constexpr cookie_io_functions_t kSourceStreamFunctions{readFromSource, nullptr, seekInSource, leaveSourceOpen};

// Opens `name` for binary reading into `in`. False, with errno set, when it
// cannot be opened.
bool tryOpenInput(std::string_view name, InputFile& in) {
  in.name = std::string(name);
  auto source = std::make_unique<InputSource>();
  if (!source->open(in.name)) return false;
  in.size = source->size();
  if (source->readsDirectly()) {
    const int descriptor = source->releaseDescriptor();
    in.stream.reset(fdopen(descriptor, "rb"));
    if (!in.stream) {
      const int errorNumber = errno;
      ::close(descriptor);
      errno = errorNumber;
      return false;
    }
  } else {
    in.stream.reset(fopencookie(source.get(), "rb", kSourceStreamFunctions));
    if (!in.stream) return false;
    in.source = std::move(source);
  }
  // Not zero-filled: the stream writes every byte it hands out.
  in.buffer = std::make_unique_for_overwrite<char[]>(kStreamBufferSize);
  std::setvbuf(in.stream.get(), in.buffer.get(), _IOFBF, kStreamBufferSize);
  return true;
}

// Opens `name` for binary reading; a failure is fatal (ErrorCode 14).
InputFile openInput(ReaderState& reader, std::string_view name) {
  InputFile in;
  if (!tryOpenInput(name, in)) {
    int errorNumber = errno;
    reader.currentStamp = kUnavailableStamp;
    setErrorArguments(name, systemErrorText(errorNumber));
    failWith(kCannotOpen);
  }
  return in;
}

// Closes the file. An input read for the first time that is not a regular
// file is first read to its end (ErrorCode 16 when that fails) and kept for
// its next opening.
void closeInput(InputFile& in) {
  if (in.source && !in.source->keepRest()) {
    int errorNumber = errno;
    setErrorArguments(in.name, systemErrorText(errorNumber));
    failWith(kCannotRead);
  }
  int result = std::fclose(in.stream.release());
  if (in.source && in.source->close() != 0) result = EOF;
  if (result != 0) {
    int errorNumber = errno;
    setErrorArguments(in.name, systemErrorText(errorNumber));
    failWith(kCannotClose);
  }
}

uint32_t readHeaderWord(InputFile& in) {
  unsigned char raw[4];
  if (ErrorCode code = readBytes(in, raw, sizeof raw); code != kNoError) failWith(code);
  return loadWord(raw);
}

void checkMagicWord(ReaderState& reader, InputFile& in, uint32_t expected) {
  if (readHeaderWord(in) != expected) {
    reader.currentStamp = kUnavailableStamp;
    setErrorArguments(in.name);
    failWith(kIncompatibleNumberFormat);
  }
}

// Reads and checks the header, makes its stamp the current one and returns
// the block count. Every failure is fatal.
uint32_t readHeader(ReaderState& reader, InputFile& in) {
  std::string stamp;
  if (!scanStampText(in, stamp)) {
    reader.currentStamp = kUnavailableStamp;
    // A stamp that cannot be scanned is a bad stamp, also where reading
    // itself fails (a directory opens for reading, then gives no byte).
    setErrorArguments(in.name);
    failWith(kBadIdentificationStamp);
  }
  checkMagicWord(reader, in, kFirstMagic);
  checkMagicWord(reader, in, kSecondMagic);
  uint32_t blockCount = readHeaderWord(in);
  reader.currentStamp = std::move(stamp);
  return blockCount;
}

// Reads the name as line input with a buffer of `length` + 1 does: at most
// `length` bytes, stopping after a line feed, which stays part of the name.
// A name holding a line feed therefore leaves its remaining bytes to be read
// as the block's following words. The name ends at a NUL byte. A read error
// (16), or the end of the file before any byte (2), fails.
//
// The bytes are taken with one read, not one by one; in the rare name with
// a line feed before its last byte, the stream is moved back to the byte
// after the line feed, where reading byte by byte would have stopped. What
// the read met past that byte (an error, the end) is left to the reads that
// come to it.
ErrorCode readName(InputFile& in, uint32_t length, std::string& name) {
  // `length` is at most kMaxNameLength (readBlockStart checks it).
  char bytes[kMaxNameLength];
  std::FILE* stream = in.stream.get();
  errno = 0;
  size_t got = std::fread(bytes, 1, length, stream);
  int errorNumber = errno;
  if (const void* lineFeed = std::memchr(bytes, '\n', got)) {
    const auto taken = static_cast<size_t>(static_cast<const char*>(lineFeed) - bytes) + 1;
    std::clearerr(stream);
    if (taken < got && fseeko(stream, -static_cast<off_t>(got - taken), SEEK_CUR) != 0) {
      errorNumber = errno;
      in.position += got;
      setErrorArguments(in.name, systemErrorText(errorNumber));
      return kCannotRead;
    }
    got = taken;
    errorNumber = 0;
  }
  in.position += got;
  const void* nul = std::memchr(bytes, '\0', got);
  name.assign(bytes, nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : got);
  if (std::ferror(stream)) return shortRead(in, errorNumber);
  if (got == 0) return shortRead(in, 0);
  return kNoError;
}

// Reads the eleven block words and the name into `block`, leaving its
// arrays empty. Stores the error arguments and returns the ErrorCode.
ErrorCode readBlockStart(InputFile& in, CounterArrays& block) {
  unsigned char raw[kBlockWordCount * 4];
  if (ErrorCode code = readBytes(in, raw, sizeof raw); code != kNoError) return code;
  uint32_t word[kBlockWordCount];
  for (size_t i = 0; i < kBlockWordCount; ++i) word[i] = loadWord(raw + 4 * i);
  if (word[kWordMagic] != kBlockMagic || word[kWordNameLength] == 0 || word[kWordNameLength] > kMaxNameLength ||
      word[kWordTime] == 0 || word[kWordSizeF] == 0) {
    setErrorArguments(in.name);
    return kBadDataFile;
  }
  block.instrumentationTime = static_cast<int32_t>(word[kWordTime]);
  block.fingerprint = word[kWordFingerprint];
  block.rwrCount = word[kWordRwrCount];
  block.updCount = word[kWordUpdCount];
  block.sizes = CounterSizes{word[kWordSizeF], word[kWordSizeJ], word[kWordSizeD], word[kWordSizeC], word[kWordSizeT]};
  for (auto* array : {&block.functionCounts, &block.jumpCounts, &block.decisionTrueCounts, &block.decisionFalseCounts,
                      &block.conditionCounts, &block.timeTotals, &block.timeMaxima}) {
    array->clear();
  }
  return readName(in, word[kWordNameLength], block.name);
}

// Reads the seven arrays of a block, which follow each other in the file,
// with one read into a reused buffer: seven reads a block cost more than
// sharing them out after. Memory is only taken for words the file can still
// hold: arrays that run past its end are reported (ErrorCode 2) without
// allocating, as reading them one by one would report them.
ErrorCode readBlockWords(ReaderState& reader, InputFile& in, const CounterSizes& sizes) {
  const uint64_t wordCount =
      uint64_t{sizes.f} + sizes.j + 2 * uint64_t{sizes.d} + sizes.c + 2 * uint64_t{sizes.t};
  if (4 * wordCount > bytesRemaining(in)) {
    setErrorArguments(in.name);
    return kBadDataFile;
  }
  std::vector<uint32_t>& words = reader.blockWords;
  words.resize(static_cast<size_t>(wordCount));
  if (wordCount != 0) {
    if (ErrorCode code = readBytes(in, words.data(), 4 * wordCount); code != kNoError) return code;
  }
  convertWordOrder(words.data(), words.size());
  return kNoError;
}

ErrorCode readBlockArrays(ReaderState& reader, InputFile& in, CounterArrays& block) {
  if (ErrorCode code = readBlockWords(reader, in, block.sizes); code != kNoError) return code;
  shareOutBlockWords(reader.blockWords.data(), block);
  return kNoError;
}

// Moves past the seven arrays of a block. A failing move is ErrorCode 16;
// arrays that run past the end of the file are ErrorCode 2, as reading them
// would be.
ErrorCode skipArrays(InputFile& in, const CounterSizes& sizes) {
  uint64_t byteCount = 4 * (uint64_t{sizes.f} + sizes.j + 2 * uint64_t{sizes.d} + sizes.c + 2 * uint64_t{sizes.t});
  if (byteCount > bytesRemaining(in)) {
    setErrorArguments(in.name);
    return kBadDataFile;
  }
  if (byteCount <= kSkipByReadingLimit) {
    static char discarded[kSkipByReadingLimit];
    return readBytes(in, discarded, byteCount);
  }
  if (fseeko(in.stream.get(), static_cast<off_t>(byteCount), SEEK_CUR) != 0) {
    int errorNumber = errno;
    setErrorArguments(in.name, systemErrorText(errorNumber));
    return kCannotRead;
  }
  in.position += byteCount;
  return kNoError;
}

InputFile& blockFileOrFail(ReaderState& reader) {
  InputFile& in = reader.blockFile;
  if (!in.stream) failInternal("postdata", kCheckNoOpenFile);
  return in;
}

void failOn(ErrorCode code) {
  if (code != kNoError) failWith(code);
}

}  // namespace

namespace datafile {
void setCurrentDataFileStamp(std::string stamp) { readerState().currentStamp = std::move(stamp); }
}  // namespace datafile

std::string readDataFileHeader(std::string_view fileName) {
  ReaderState& reader = readerState();
  reader.currentName = std::string(fileName);
  InputFile in = openInput(reader, fileName);
  readHeader(reader, in);
  closeInput(in);
  return reader.currentStamp;
}

std::optional<std::string> readDataFileHeaderIfPresent(std::string_view fileName) {
  InputFile in;
  if (!tryOpenInput(fileName, in)) return std::nullopt;
  ReaderState& reader = readerState();
  reader.currentName = std::string(fileName);
  readHeader(reader, in);
  closeInput(in);
  return reader.currentStamp;
}

uint32_t openDataFile(DataReaderState& state, std::string_view fileName) {
  closeDataFile(state);
  ReaderState& reader = state.parts();
  reader.currentName = std::string(fileName);
  InputFile in = openInput(reader, fileName);
  uint32_t blockCount = readHeader(reader, in);
  if (in.firstReading()) {
    // Blocks are read from an input of known size: this one is kept whole
    // first, and read again from memory.
    closeInput(in);
    in = openInput(reader, fileName);
    blockCount = readHeader(reader, in);
  }
  reader.blockFile = std::move(in);
  return blockCount;
}

uint32_t openDataFile(std::string_view fileName) { return openDataFile(runReader(), fileName); }

void readCounterBlock(DataReaderState& state, CounterArrays& block) {
  ReaderState& reader = state.parts();
  InputFile& in = blockFileOrFail(reader);
  failOn(readBlockStart(in, block));
  failOn(readBlockArrays(reader, in, block));
}

void readCounterBlock(CounterArrays& block) { readCounterBlock(runReader(), block); }

void readCounterBlockStart(DataReaderState& state, CounterArrays& block) {
  failOn(readBlockStart(blockFileOrFail(state.parts()), block));
}

const uint32_t* readCounterBlockWords(DataReaderState& state, const CounterSizes& sizes) {
  ReaderState& reader = state.parts();
  failOn(readBlockWords(reader, blockFileOrFail(reader), sizes));
  return reader.blockWords.data();
}

void readCounterBlockWords(DataReaderState& state, const CounterSizes& sizes, std::vector<uint32_t>& words) {
  ReaderState& reader = state.parts();
  failOn(readBlockWords(reader, blockFileOrFail(reader), sizes));
  reader.blockWords.swap(words);
}

void shareOutBlockWords(const uint32_t* words, CounterArrays& block) {
  const CounterSizes& sizes = block.sizes;
  auto take = [&words](std::vector<uint32_t>& array, uint32_t count) {
    array.assign(words, words + count);
    words += count;
  };
  take(block.functionCounts, sizes.f);
  take(block.jumpCounts, sizes.j);
  take(block.decisionTrueCounts, sizes.d);
  take(block.decisionFalseCounts, sizes.d);
  take(block.conditionCounts, sizes.c);
  take(block.timeTotals, sizes.t);
  take(block.timeMaxima, sizes.t);
}

ErrorCode readBlockHeader(CounterArrays& blockHeader) {
  InputFile& in = blockFileOrFail(readerState());
  ErrorCode code = readBlockStart(in, blockHeader);
  if (code == kNoError) code = skipArrays(in, blockHeader.sizes);
  if (code != kNoError) reportError(code, ErrorSeverity::ContinueAfterReport);
  return code;
}

void closeDataFile(DataReaderState& state) {
  InputFile& in = state.parts().blockFile;
  if (in.stream) closeInput(in);
}

void closeDataFile() { closeDataFile(runReader()); }

void adoptDataReaderState(DataReaderState& reader) { runReader().swap(reader); }

const std::string& currentDataFileName() { return readerState().currentName; }
const std::string& currentDataFileStamp() { return readerState().currentStamp; }

void resetDataFileState() {
  readerState().blockFile.stream.reset();  // before its buffer goes
  readerState() = ReaderState{};
}

}  // namespace qar
