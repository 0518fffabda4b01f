#include "base/input_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

namespace qar {
namespace {

// The inputs read once, by their file identity: the same FIFO reached by
// two names, or named twice, gives the same bytes at every opening.
using InputIdentity = std::pair<dev_t, ino_t>;
using KeptInputs = std::map<InputIdentity, std::shared_ptr<const std::string>>;

KeptInputs& keptInputs() {
  static KeptInputs inputs;
  return inputs;
}

// The kept bytes of the input that `name` reaches now, if it was read once.
std::shared_ptr<const std::string> keptBytesOf(const std::string& name) {
  const KeptInputs& inputs = keptInputs();
  // Runs without such inputs pay no lookup.
  if (inputs.empty()) return nullptr;
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return nullptr;
  auto found = inputs.find({info.st_dev, info.st_ino});
  return found == inputs.end() ? nullptr : found->second;
}

ssize_t readRetrying(int descriptor, void* into, size_t count) {
  ssize_t got;
  do {
    got = ::read(descriptor, into, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

bool InputSource::open(const std::string& name) {
  close();
  if ((kept_ = keptBytesOf(name))) return true;
  const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) {
    const int errorNumber = errno;
    ::close(descriptor);
    errno = errorNumber;
    return false;
  }
  descriptor_ = descriptor;
  direct_ = S_ISREG(info.st_mode) || S_ISDIR(info.st_mode);
  regularSize_ = S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  return true;
}

uint64_t InputSource::size() const { return kept_ ? kept_->size() : regularSize_; }

int InputSource::releaseDescriptor() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  direct_ = false;
  return descriptor;
}

ssize_t InputSource::read(void* into, size_t count) {
  if (kept_) {
    const size_t taken = std::min(count, kept_->size() - keptPosition_);
    std::memcpy(into, kept_->data() + keptPosition_, taken);
    keptPosition_ += taken;
    return static_cast<ssize_t>(taken);
  }
  const ssize_t got = readRetrying(descriptor_, into, count);
  if (got > 0 && !direct_) firstReading_.append(static_cast<const char*>(into), static_cast<size_t>(got));
  return got;
}

off_t InputSource::seek(off_t offset, int whence) {
  if (!kept_) {
    errno = ESPIPE;
    return -1;
  }
  const off_t base = whence == SEEK_SET ? 0
                     : whence == SEEK_CUR ? static_cast<off_t>(keptPosition_)
                                          : static_cast<off_t>(kept_->size());
  const off_t position = base + offset;
  if (position < 0) {
    errno = EINVAL;
    return -1;
  }
  // Past the end reads nothing, as in a file.
  keptPosition_ = std::min(static_cast<size_t>(position), kept_->size());
  return position;
}

bool InputSource::keepRest() {
  if (!isFirstReading()) return true;
  constexpr size_t kChunkSize = size_t{1} << 16;  // what a pipe holds
  const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkSize);
  for (;;) {
    const ssize_t got = readRetrying(descriptor_, chunk.get(), kChunkSize);
    if (got < 0) return false;
    if (got == 0) break;
    firstReading_.append(chunk.get(), static_cast<size_t>(got));
  }
  auto bytes = std::make_shared<const std::string>(std::move(firstReading_));
  firstReading_.clear();
  keptInputs()[{device_, inode_}] = bytes;
  // The rest of this opening reads the kept bytes, from where it stands:
  // at their end. The descriptor stays open until close().
  keptPosition_ = bytes->size();
  kept_ = std::move(bytes);
  return true;
}

int InputSource::close() {
  kept_.reset();
  keptPosition_ = 0;
  std::string().swap(firstReading_);
  direct_ = false;
  regularSize_ = 0;
  if (descriptor_ < 0) return 0;
  const int result = ::close(descriptor_);
  descriptor_ = -1;
  return result;
}

uint64_t inputSize(const std::string& name) {
  if (std::shared_ptr<const std::string> kept = keptBytesOf(name)) return kept->size();
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

void forgetKeptInputs() { keptInputs().clear(); }

}  // namespace qar
