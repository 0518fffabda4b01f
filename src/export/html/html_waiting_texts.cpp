#include "export/html/html_waiting_texts.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qar {

void WaitingTexts::openFile(const std::string& directory) {
  fileTried_ = true;
  const int descriptor = ::open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (descriptor < 0) return;  // no unnamed files here: the texts wait in memory
  std::FILE* stream = ::fdopen(descriptor, "w+b");
  if (stream == nullptr) {
    ::close(descriptor);
    return;
  }
  file_.reset(stream);
}

size_t WaitingTexts::keep(const std::string& directory, const std::string& text) {
  if (!fileTried_) openFile(directory);
  Kept& kept = kept_.emplace_back();
  if (file_ && !fileFailed_) {
    // Flushed at once: a text is in the file only once the system has it.
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) == text.size() && std::fflush(file_.get()) == 0) {
      kept.inFile = true;
      kept.at = fileSize_;
      kept.length = text.size();
      fileSize_ += text.size();
      return kept_.size() - 1;
    }
    // Nothing of this text stays in the file: the room it took goes back.
    fileFailed_ = true;
    std::clearerr(file_.get());
    if (::ftruncate(::fileno(file_.get()), static_cast<off_t>(fileSize_)) != 0) {
      // The room stays taken until the file goes; the texts are right either way.
    }
  }
  kept.text = text;
  return kept_.size() - 1;
}

bool WaitingTexts::take(size_t number, std::string& text) {
  Kept& kept = kept_[number];
  if (!kept.inFile) {
    text = std::move(kept.text);
    std::string().swap(kept.text);
    return true;
  }
  text.resize(kept.length);
  size_t done = 0;
  while (done < kept.length) {
    const ssize_t got = ::pread(::fileno(file_.get()), text.data() + done, kept.length - done,
                                static_cast<off_t>(kept.at + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;  // the file is shorter than what was written to it
      return false;
    }
    done += static_cast<size_t>(got);
  }
  // The text is in memory again: its room in the file goes back, so that
  // writing the waiting pages at the end takes no more room on the disk
  // than the pages themselves.
  ::fallocate(::fileno(file_.get()), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(kept.at),
              static_cast<off_t>(kept.length));
  return true;
}

void WaitingTexts::clear() {
  kept_.clear();
  file_.reset();
  fileTried_ = false;
  fileFailed_ = false;
  fileSize_ = 0;
}

}  // namespace qar
