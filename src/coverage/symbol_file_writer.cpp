// writeSymbolFile: the CoverageDatabase written back as a symbol file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "coverage/database.h"
#include "coverage/postsym.h"
#include "base/posterr.h"
#include "base/clock.h"
#include "base/text.h"

namespace qar {
namespace {

// Collects output in a large buffer and writes it with checked writes; any
// failure ends the run with the error of that operation.
class CheckedFileWriter {
 public:
  CheckedFileWriter(std::string name, size_t bufferSize)
      : name_(std::move(name)), bufferSize_(bufferSize), buffer_(std::make_unique<char[]>(bufferSize)) {
    descriptor_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor_ < 0) fail(kCannotCreate, errno);
  }
  ~CheckedFileWriter() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  CheckedFileWriter(const CheckedFileWriter&) = delete;
  CheckedFileWriter& operator=(const CheckedFileWriter&) = delete;

  void put(std::string_view text) {
    while (!text.empty()) {
      if (used_ == bufferSize_) flush();
      size_t room = bufferSize_ - used_;
      size_t count = text.size() < room ? text.size() : room;
      std::memcpy(buffer_.get() + used_, text.data(), count);
      used_ += count;
      text.remove_prefix(count);
    }
  }

  void put(char c) {
    if (used_ == bufferSize_) flush();
    buffer_[used_++] = c;
  }

  void finish() {
    flush();
    int result = ::close(descriptor_);
    descriptor_ = -1;
    if (result != 0) fail(kCannotClose, errno);
  }

 private:
  void flush() {
    const char* data = buffer_.get();
    size_t left = used_;
    while (left > 0) {
      ssize_t written = ::write(descriptor_, data, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) fail(kCannotWrite, written < 0 ? errno : EIO);
      data += written;
      left -= static_cast<size_t>(written);
    }
    used_ = 0;
  }

  [[noreturn]] void fail(ErrorCode code, int errorNumber) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    setErrorArguments(name_, systemErrorText(errorNumber));
    failWith(code);
  }

  std::string name_;
  size_t bufferSize_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  int descriptor_ = -1;
};

bool isBlankText(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

void writeSymbolFile(std::string_view targetName) {
  CheckedFileWriter out(std::string(targetName), size_t{1} << 20);
  out.put(kSymbolFileMagic);
  out.put('\n');
  out.put(currentTimeText());
  out.put('\n');
  for (const MonitoredFile& file : database().monitoredFiles) {
    for (const DescriptionLine& line : file.descriptionLines) {
      std::string_view text = lineText(line);
      if (isBlankText(text)) continue;
      out.put(text);
      out.put('\n');
    }
  }
  out.put(kSymbolFileTerminator);
  out.put('\n');
  out.finish();
}

}  // namespace qar
