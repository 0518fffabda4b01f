#pragma once
// The data files of a report run read on a second thread while the run reads
// the symbol files. Reading a data file needs nothing of the database: only
// deciding what a block means (which file takes it, or which notice it
// raises) does. So the thread reads and sums the blocks, and the run then
// settles them in reading order, as reading the files one after another
// would have: the same notices in the same order, the same error at the
// same place, the same counters.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "coverage/model.h"
#include "coverage/data_reader_state.h"

namespace qar {

// The blocks read, summed by group: blocks of one folded name, fingerprint
// and counter sizes. All blocks of a group find the same file and fit it or
// not alike, and the three additions (saturating counts, wrapping totals,
// signed maxima) are associative and commutative, so a group's sum is what
// adding its blocks into the file one by one gives.
class BlockSums {
 public:
  struct Group {
    CounterArrays sum;  // with the name, time and counts of its first block
  };
  // One block, in reading order.
  struct Entry {
    uint32_t group;
    int32_t instrumentationTime;
    uint32_t otherName;  // 0: the group's name; else 1 + its index in otherNames_
  };

  void add(const CounterArrays& block);

  const std::vector<Group>& groups() const { return groups_; }
  std::vector<Group>& groups() { return groups_; }
  const std::vector<Entry>& entries() const { return entries_; }
  // The name the block was read with (sameFileName-equal to its group's).
  std::string_view nameOf(const Entry& entry) const {
    return entry.otherName == 0 ? std::string_view(groups_[entry.group].sum.name) : otherNames_[entry.otherName - 1];
  }
  // The memory the sums and entries hold.
  size_t heldBytes() const { return heldBytes_ + entries_.size() * sizeof(Entry); }

 private:
  std::unordered_map<std::string, uint32_t> index_;
  std::string key_;  // reused for every block
  std::vector<Group> groups_;
  std::vector<Entry> entries_;
  std::vector<std::string> otherNames_;
  size_t heldBytes_ = 0;
};

// What the thread read, for the run to settle.
struct DataReadAhead {
  struct FileRead {
    size_t entriesEnd = 0;         // its blocks end here among the entries
    std::exception_ptr failure;    // reading it failed after those blocks
  };
  BlockSums sums;
  std::vector<FileRead> files;  // the files begun, in order
  // The sums reached their limit: the last file begun is still open in
  // `reader` with this many blocks unread, and the files after it unread.
  bool stoppedEarly = false;
  uint32_t blocksLeft = 0;
  DataReaderState reader;  // the thread's own
};

// The thread's work: reads `dataFiles` in order into `ahead` until a stop is
// requested, a file fails (its error is deferred, kept with it), or the
// memory the sums hold passes `heldBytesLimit`. Touches no process-wide
// state. `ahead.files` has room reserved for every file.
void readDataFilesAhead(std::stop_token stop, const std::vector<std::string>& dataFiles, size_t heldBytesLimit,
                        DataReadAhead& ahead);

// The run's part, once the thread has ended and the symbol files are read:
// the notices of the blocks in reading order, an error at its place, the
// sums of fitting blocks into their files' counters, and the blocks and
// files the thread left read in turn.
void settleDataReadAhead(DataReadAhead& ahead, const std::vector<std::string>& dataFiles);

}  // namespace qar
