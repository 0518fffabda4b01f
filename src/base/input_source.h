#pragma once
// One input file (a symbol or data file) as its readers see it. A run opens
// every input at least twice: its header is checked when the inputs are
// listed, and its records are read later. A regular file is simply read from
// its own descriptor at each opening (so is a directory, whose reading fails
// with "Is a directory"). Anything else (a FIFO, a pipe such as /dev/stdin, a
// device) gives its bytes only once: its first opening keeps what it reads
// and, once the header has passed, the rest of the input, and every later
// opening of the same input reads those bytes from memory.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qar {

class InputSource {
 public:
  InputSource() = default;
  ~InputSource() { close(); }
  InputSource(const InputSource&) = delete;
  InputSource& operator=(const InputSource&) = delete;

  // Opens `name`, closing what was open. False, with errno set, when it
  // cannot be opened.
  bool open(const std::string& name);
  bool isOpen() const { return descriptor_ >= 0 || kept_ != nullptr; }

  // A regular file or a directory, read straight from its descriptor.
  bool readsDirectly() const { return direct_; }
  // The first opening of an input read only once: what is read is kept,
  // and keepRest() keeps the rest.
  bool isFirstReading() const { return descriptor_ >= 0 && !direct_ && !kept_; }
  // The size of a regular file as opened, or of the kept bytes.
  uint64_t size() const;
  // Hands the descriptor of an input read directly over to the caller, who
  // closes it.
  int releaseDescriptor();

  // Reads like ::read: the count read, 0 at the end, -1 with errno set. A
  // first reading keeps what it reads.
  ssize_t read(void* into, size_t count);
  // Moves the position within kept bytes, like lseek; -1 (ESPIPE) for the
  // others, which are never sought.
  off_t seek(off_t offset, int whence);

  // Ends a first reading: reads the rest of the input into memory and keeps
  // the whole, so that every later opening finds all of it. Nothing to do
  // otherwise. False, with errno set, when a read fails.
  bool keepRest();

  // 0, or -1 with errno set when closing the descriptor fails.
  int close();

 private:
  int descriptor_ = -1;
  bool direct_ = false;
  uint64_t regularSize_ = 0;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::string firstReading_;  // the bytes read so far at a first reading
  std::shared_ptr<const std::string> kept_;
  size_t keptPosition_ = 0;
};

// The bytes of input `name` as its readers will see them: a regular file's
// size, the size of the kept bytes of one read once, else 0.
uint64_t inputSize(const std::string& name);

// Frees the kept bytes of every input: once all inputs are read, and in tests.
void forgetKeptInputs();

}  // namespace qar
