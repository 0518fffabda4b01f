#include "coverage/symbol_line_reader.h"

#include <cerrno>
#include <cstring>

namespace qar {
namespace {

constexpr int kEndOfFile = -1;
constexpr int kReadFailed = -2;

}  // namespace

SymbolLineReader::SymbolLineReader(size_t bufferSize)
    : bufferSize_(bufferSize), buffer_(std::make_unique<char[]>(bufferSize)) {}

SymbolLineReader::~SymbolLineReader() = default;

bool SymbolLineReader::open(const std::string& fileName) {
  position_ = 0;
  filled_ = 0;
  atEnd_ = false;
  readError_ = 0;
  return source_.open(fileName);
}

int SymbolLineReader::close() { return source_.close(); }

bool SymbolLineReader::refill() {
  if (atEnd_ || readError_ != 0) return false;
  ssize_t count = source_.read(buffer_.get(), bufferSize_);
  if (count > 0) {
    position_ = 0;
    filled_ = static_cast<size_t>(count);
    return true;
  }
  if (count == 0) {
    atEnd_ = true;
  } else {
    readError_ = errno;
  }
  return false;
}

int SymbolLineReader::nextByte() {
  if (position_ == filled_ && !refill()) return readError_ != 0 ? kReadFailed : kEndOfFile;
  return static_cast<unsigned char>(buffer_[position_++]);
}

// After 4095 kept characters the line is skipped up to its end: a line feed,
// or a carriage return together with the character after it. A carriage
// return kept last and directly followed by the line feed is removed too.
SymbolLineReader::Status SymbolLineReader::skipRestOfLine(size_t& keptLength) {
  int byte = nextByte();
  if (byte == '\n' && line_[keptLength - 1] == '\r') --keptLength;
  for (;;) {
    if (byte == kReadFailed) return Status::ReadError;
    if (byte == kEndOfFile || byte == '\n') return Status::Line;
    if (byte == '\r') {
      if (nextByte() == kReadFailed) return Status::ReadError;
      return Status::Line;
    }
    byte = nextByte();
  }
}

SymbolLineReader::Status SymbolLineReader::nextRawLine(std::string_view& line) {
  // Fast path: the whole line and its line feed are in the buffer.
  const char* start = buffer_.get() + position_;
  size_t available = filled_ - position_;
  size_t searched = available < kMaxLineLength + 1 ? available : kMaxLineLength + 1;
  if (const void* found = std::memchr(start, '\n', searched)) {
    size_t length = static_cast<size_t>(static_cast<const char*>(found) - start);
    position_ += length + 1;
    if (length > 0 && start[length - 1] == '\r') --length;
    line = std::string_view(start, length);
    return Status::Line;
  }
  // Slow path: a line that crosses the end of the buffer, the last line of the
  // file without a line feed, or a line that is too long.
  size_t length = 0;
  for (;;) {
    int byte = nextByte();
    if (byte == kReadFailed) return Status::ReadError;
    if (byte == kEndOfFile) {
      if (length == 0) return Status::EndOfFile;
      break;
    }
    if (byte == '\n') {
      if (length > 0 && line_[length - 1] == '\r') --length;
      break;
    }
    line_[length++] = static_cast<char>(byte);
    if (length == kMaxLineLength) {
      if (skipRestOfLine(length) == Status::ReadError) return Status::ReadError;
      break;
    }
  }
  line = std::string_view(line_, length);
  return Status::Line;
}

SymbolLineReader::Status SymbolLineReader::nextKeptLineInGeneral(std::string_view& line) {
  for (;;) {
    Status status = nextRawLine(line);
    if (status != Status::Line) return status;
    size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ') --end;
    line = line.substr(0, end);
    // Kept unless it holds only blanks and tabs (nearly always decided by
    // its first character).
    for (char c : line) {
      if (c != ' ' && c != '\t') return Status::Line;
    }
  }
}

}  // namespace qar
