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
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
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
    // With the name, time and counts of its first block; allocated apart,
    // to become its file's counters as it is.
    std::unique_ptr<CounterArrays> sum;
  };
  // One block, in reading order. Nearly every block has the name and the
  // time of its group's first block: only the others keep theirs aside.
  struct Entry {
    uint32_t group;
    uint32_t aside;  // 0, or 1 + the index of its own name and time
  };

  void add(const CounterArrays& block);
  // The same in two steps, for a block whose arrays are read after its
  // words and name: `announce` with its words and name, then `add` with its
  // arrays as `words`, laid out as a data file holds them
  // (readCounterBlockWords); the arrays of `blockStart` are not read.
  void announce(const CounterArrays& blockStart);
  void add(const CounterArrays& blockStart, const uint32_t* words);

  // For a few blocks (up to eight) read before any of them is added, each
  // then announced and added in turn: fetches what adding them reads, their
  // groups' slots, sums, names and arrays, so that the cache misses of the
  // blocks overlap instead of following each other.
  void prefetchGroups(const CounterArrays* const* blockStarts, size_t count) const;
  // At most the memory that adding `blockStart` may add to heldBytes, not
  // counting the growth of the tables (tableGrowthBound).
  static size_t blockBytesBound(const CounterArrays& blockStart);
  // At most the memory the growth of the tables may add to heldBytes while
  // a few blocks (up to eight) are added.
  size_t tableGrowthBound() const;

  const std::vector<Group>& groups() const { return groups_; }
  std::vector<Group>& groups() { return groups_; }
  const std::vector<Entry>& entries() const { return entries_; }
  // The name the block was read with (sameFileName-equal to its group's)
  // and its instrumentation time.
  std::string_view nameOf(const Entry& entry) const {
    return entry.aside == 0 ? std::string_view(groups_[entry.group].sum->name) : aside_[entry.aside - 1].name;
  }
  int32_t timeOf(const Entry& entry) const {
    return entry.aside == 0 ? groups_[entry.group].sum->instrumentationTime : aside_[entry.aside - 1].time;
  }
  // The memory the sums and entries hold.
  size_t heldBytes() const {
    return heldBytes_ + entries_.capacity() * sizeof(Entry) + slots_.capacity() * sizeof(Slot) + keys_.capacity() +
           keyStarts_.capacity() * sizeof(uint32_t);
  }

 private:
  // A flat table of the groups by the hash of their key: a lookup for every
  // block, without the allocations of a node and a key string per group.
  struct Slot {
    uint64_t hash = 0;
    uint32_t group = kFree;
    static constexpr uint32_t kFree = UINT32_MAX;
  };
  struct Aside {
    int32_t time;
    std::string name;
  };
  // A block's key as the sums look it up: its folded name, fingerprint and
  // sizes, and their hash.
  struct BlockKey {
    std::string text;
    uint64_t hash = 0;
  };
  static void keyOf(const CounterArrays& blockStart, BlockKey& key);
  // The slot of the block announced last, found or free (with its hash)
  // for a new group.
  Slot& slotOf(const CounterArrays& block);
  Slot& slotFor(const CounterArrays& block);
  void grow();
  void enterGroup(Slot& slot, std::unique_ptr<CounterArrays> sum);
  void enterBlock(const Slot& slot, const CounterArrays& block);

  std::vector<Slot> slots_;  // a power of two, at most half used
  BlockKey announced_;       // of the block announced last, reused
  // The keys of the groups one after another, compared with one look
  // instead of a walk through each group's sum and name.
  std::string keys_;
  std::vector<uint32_t> keyStarts_;  // one more than there are groups
  std::vector<Group> groups_;
  std::vector<Entry> entries_;
  std::vector<Aside> aside_;
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
