// Reads a configuration file block by block, so files and lines of any size
// are handled without a fixed line buffer.
#include "config/config_file_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "config/config_text.h"
#include "base/file_handle.h"
#include "base/text.h"

namespace qar {
namespace {

struct ConfigFileStream {
  std::FILE* file = nullptr;
  char block[8192];
  size_t position = 0;
  size_t end = 0;
  bool atEnd = false;
  int readError = 0;  // errno of a failed read, 0 when none
};

enum class PhysicalLine { WithLineEnd, WithoutLineEnd, EndOfFile, ReadError };

bool refill(ConfigFileStream& stream) {
  if (stream.atEnd) return false;
  errno = 0;
  stream.end = std::fread(stream.block, 1, sizeof stream.block, stream.file);
  stream.position = 0;
  if (stream.end == 0) {
    stream.atEnd = true;
    if (std::ferror(stream.file)) stream.readError = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}

// Appends the next physical line, without its line feed, to `line`.
PhysicalLine appendPhysicalLine(ConfigFileStream& stream, std::string& line) {
  bool readAny = false;
  for (;;) {
    if (stream.position == stream.end && !refill(stream)) {
      if (stream.readError != 0) return PhysicalLine::ReadError;
      return readAny ? PhysicalLine::WithoutLineEnd : PhysicalLine::EndOfFile;
    }
    const char* start = stream.block + stream.position;
    size_t available = stream.end - stream.position;
    const void* lineFeed = std::memchr(start, '\n', available);
    if (lineFeed != nullptr) {
      size_t length = static_cast<size_t>(static_cast<const char*>(lineFeed) - start);
      line.append(start, length);
      stream.position += length + 1;
      return PhysicalLine::WithLineEnd;
    }
    line.append(start, available);
    stream.position = stream.end;
    readAny = true;
  }
}

// Assembles the next logical line into `line`: carriage return before a line
// feed dropped, a backslash before the line end joins the next physical line.
// Returns false at the end of the file (or on a read error) with nothing read.
bool readLogicalLine(ConfigFileStream& stream, std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    size_t physicalStart = line.size();
    PhysicalLine kind = appendPhysicalLine(stream, line);
    if (kind == PhysicalLine::ReadError) return false;
    if (kind == PhysicalLine::EndOfFile) return any;
    any = true;
    if (kind == PhysicalLine::WithoutLineEnd) return true;
    if (line.size() > physicalStart && line.back() == '\r') line.pop_back();
    if (line.size() > physicalStart && line.back() == '\\') {
      line.pop_back();
      continue;
    }
    return true;
  }
}

// Removes every backslash that stands directly before a line feed, together
// with the line feed (such text can only come from environment values).
void joinEscapedLineEnds(std::string& text) {
  if (text.find("\\\n") == std::string::npos) return;
  size_t out = 0;
  for (size_t in = 0; in < text.size(); ++in) {
    if (text[in] == '\\' && in + 1 < text.size() && text[in + 1] == '\n') {
      ++in;
      continue;
    }
    text[out++] = text[in];
  }
  text.resize(out);
}

ErrorCode processPiece(std::string_view piece, ConfigTable& table) {
  piece = trimConfigSpace(piece);
  if (piece.empty() || piece[0] == '#') return kNoError;
  if (piece.size() >= 2 && piece.front() == '[' && piece.back() == ']') {
    selectConfigSection(table, piece.substr(1, piece.size() - 2));
    return kNoError;
  }
  return applyConfigLine(piece, table);
}

ConfigFileResult failed(ErrorCode code) { return ConfigFileResult{ConfigFileOutcome::Failed, code, {}}; }

ConfigFileResult systemFailure(ErrorCode code, const std::string& path, int errorNumber) {
  setErrorArguments(cutForConfigMessage(path), cutForConfigMessage(systemErrorText(errorNumber)));
  return failed(code);
}

ConfigFileResult readOpenFile(const std::string& path, FileHandle handle, ConfigTable& table) {
  auto stream = std::make_unique<ConfigFileStream>();
  stream->file = handle.get();
  std::string line;
  std::string scratch;
  while (readLogicalLine(*stream, line)) {
    std::string_view text = trimConfigSpaceLeft(line);
    if (text.empty() || text[0] == '#') continue;
    ErrorCode code = processConfigLine(text, table, scratch);
    if (code != kNoError) return failed(code);
  }
  if (stream->readError != 0) return systemFailure(kCannotRead, path, stream->readError);
  errno = 0;
  if (std::fclose(handle.release()) != 0) return systemFailure(kCannotClose, path, errno != 0 ? errno : EIO);
  return ConfigFileResult{};
}

}  // namespace

void expandEnvironmentReferences(std::string_view line, std::string& out) {
  out.clear();
  size_t position = 0;
  for (;;) {
    size_t open = line.find("$(", position);
    size_t close = open == std::string_view::npos ? open : line.find(')', open + 2);
    if (close == std::string_view::npos) break;
    out.append(line.substr(position, open - position));
    std::string name(line.substr(open + 2, close - open - 2));
    if (const char* value = std::getenv(name.c_str())) out.append(value);
    position = close + 1;
  }
  out.append(line.substr(position));
}

ErrorCode processConfigLine(std::string_view line, ConfigTable& table, std::string& scratch) {
  expandEnvironmentReferences(line, scratch);
  joinEscapedLineEnds(scratch);
  std::string_view rest = scratch;
  for (;;) {
    size_t lineEnd = rest.find('\n');
    ErrorCode code = processPiece(rest.substr(0, lineEnd), table);
    if (code != kNoError) return code;
    if (lineEnd == std::string_view::npos) return kNoError;
    rest.remove_prefix(lineEnd + 1);
  }
}

ConfigFileResult readConfigFile(const std::string& path, ConfigTable& table) {
  errno = 0;
  FileHandle handle(std::fopen(path.c_str(), "r"));
  if (!handle) {
    int errorNumber = errno != 0 ? errno : ENOENT;
    return ConfigFileResult{ConfigFileOutcome::NotOpened, kCannotOpen, systemErrorText(errorNumber)};
  }
  table.current = 0;
  try {
    return readOpenFile(path, std::move(handle), table);
  } catch (const std::bad_alloc&) {
    return failed(kOutOfMemory);
  }
}

}  // namespace qar
