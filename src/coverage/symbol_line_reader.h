#pragma once
// Reads the lines of a symbol file through large buffered reads: a line is at
// most 4095 characters (the rest of a longer one is skipped), its line feed
// and a carriage return before it are removed, trailing blanks are removed,
// and lines of only blanks and tabs are passed over.
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "base/input_source.h"

namespace qar {

class SymbolLineReader {
 public:
  enum class Status { Line, EndOfFile, ReadError };

  static constexpr size_t kMaxLineLength = 4095;

  explicit SymbolLineReader(size_t bufferSize = size_t{1} << 20);
  ~SymbolLineReader();
  SymbolLineReader(const SymbolLineReader&) = delete;
  SymbolLineReader& operator=(const SymbolLineReader&) = delete;

  // False, with errno set, when the file cannot be opened. An input that is
  // not a regular file is read only once: see InputSource.
  bool open(const std::string& fileName);
  // Keeps the rest of an input read for the first time that is not a
  // regular file, for its later openings. False, with errno set, when a
  // read fails.
  bool keepRest() { return source_.keepRest(); }
  // 0, or -1 with errno set.
  int close();
  bool isOpen() const { return source_.isOpen(); }

  // The next kept line; it stays valid until the next call.
  Status nextKeptLine(std::string_view& line) {
    // Nearly every line is whole in the buffer with its line feed, starts
    // with neither a blank nor a tab and ends with neither a blank nor a
    // carriage return: it is kept as it stands.
    const char* start = buffer_.get() + position_;
    const size_t available = filled_ - position_;
    const size_t searched = available < kMaxLineLength + 1 ? available : kMaxLineLength + 1;
    if (const void* found = std::memchr(start, '\n', searched)) {
      const auto length = static_cast<size_t>(static_cast<const char*>(found) - start);
      if (length > 0 && start[0] != ' ' && start[0] != '\t' && start[length - 1] != ' ' && start[length - 1] != '\r') {
        position_ += length + 1;
        line = std::string_view(start, length);
        return Status::Line;
      }
    }
    return nextKeptLineInGeneral(line);
  }

  // The errno of the read that failed.
  int readErrorNumber() const { return readError_; }

 private:
  Status nextKeptLineInGeneral(std::string_view& line);
  Status nextRawLine(std::string_view& line);
  // The next byte, or -1 at the end of the file, -2 after a failed read.
  int nextByte();
  bool refill();
  Status skipRestOfLine(size_t& keptLength);

  InputSource source_;
  size_t bufferSize_;
  std::unique_ptr<char[]> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  bool atEnd_ = false;
  int readError_ = 0;
  char line_[kMaxLineLength + 1];
};

}  // namespace qar
