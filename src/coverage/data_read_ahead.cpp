#include "coverage/data_read_ahead.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

#include "coverage/block_merging.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "base/deferred_errors.h"
#include "base/file_names.h"
#include "base/posterr.h"

namespace qar {
namespace {

// Line number of this module's consistency check.
constexpr unsigned long kCheckDeferredErrorEnds = 1190;

uint64_t wordCount(const CounterSizes& sizes) {
  return uint64_t{sizes.f} + sizes.j + 2 * uint64_t{sizes.d} + sizes.c + 2 * uint64_t{sizes.t};
}

// How the group of a block settles; found once per group.
struct GroupFit {
  bool found = false;
  BlockFit fit = BlockFit::UnknownFile;
  MonitoredFile* file = nullptr;
};

// Reports what ended the thread's reading of a file, where reading the
// files in turn would have reported it.
[[noreturn]] void reportReadFailure(const std::exception_ptr& failure) {
  reportThreadFailure(failure);
  // Reading a block fails only with errors that end the run.
  failInternal("postdata", kCheckDeferredErrorEnds);
}

}  // namespace

BlockSums::Slot& BlockSums::slotFor(const CounterArrays& block) {
  const uint64_t hash = announced_.hash;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.group == Slot::kFree) return slot;
    if (slot.hash != hash) continue;
    // Nearly every block has its group's first name as it stands: the sum
    // it is added to then answers at once, without the folded key.
    const CounterArrays& first = *groups_[slot.group].sum;
    // The name and the arrays are fetched together rather than one after
    // the other as the comparison and the additions come to them.
    __builtin_prefetch(first.name.data());
    for (const std::vector<uint32_t>* array : {&first.functionCounts, &first.jumpCounts, &first.decisionTrueCounts,
                                                &first.decisionFalseCounts, &first.conditionCounts}) {
      __builtin_prefetch(array->data());
    }
    if (first.fingerprint == block.fingerprint && first.sizes == block.sizes && first.name == block.name) {
      return slot;
    }
    const uint32_t start = keyStarts_[slot.group];
    const std::string_view key(keys_.data() + start, keyStarts_[slot.group + 1] - start);
    if (key == announced_.text) return slot;
  }
}

void BlockSums::grow() {
  std::vector<Slot> old(std::max<size_t>(1024, 2 * slots_.size()));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.group == Slot::kFree) continue;
    size_t i = slot.hash & mask;
    while (slots_[i].group != Slot::kFree) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void BlockSums::keyOf(const CounterArrays& block, BlockKey& key) {
  // The key hashed: the folded name, the fingerprint and the sizes.
  key.text.resize(block.name.size() + 6 * sizeof(uint32_t));
  char* at = key.text.data();
  for (char c : block.name) *at++ = foldFileNameChar(c);
  const uint32_t words[] = {block.fingerprint, block.sizes.f, block.sizes.j,
                            block.sizes.d, block.sizes.c, block.sizes.t};
  std::memcpy(at, words, sizeof words);
  key.hash = std::hash<std::string_view>{}(key.text);
}

void BlockSums::announce(const CounterArrays& block) {
  keyOf(block, announced_);
  if (2 * (groups_.size() + 1) > slots_.size()) grow();
  // The table is far larger than the cache keeps beside the blocks read:
  // its slot is fetched while the block's arrays are read.
  __builtin_prefetch(&slots_[announced_.hash & (slots_.size() - 1)]);
}

void BlockSums::prefetchGroups(const CounterArrays* const* blockStarts, size_t count) const {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  constexpr size_t kMostAhead = 8;
  count = std::min(count, kMostAhead);
  // Each block's slot, fetched while the keys of the blocks after it are made.
  uint64_t hashes[kMostAhead];
  BlockKey key;
  for (size_t k = 0; k < count; ++k) {
    keyOf(*blockStarts[k], key);
    hashes[k] = key.hash;
    __builtin_prefetch(&slots_[hashes[k] & mask]);
  }
  // The sum of each group found first in its slot's place, nearly always
  // the group's: its object, then its name and arrays.
  const CounterArrays* sums[kMostAhead] = {};
  for (size_t k = 0; k < count; ++k) {
    const Slot& slot = slots_[hashes[k] & mask];
    if (slot.group == Slot::kFree || slot.hash != hashes[k]) continue;
    sums[k] = groups_[slot.group].sum.get();
    const auto* object = reinterpret_cast<const char*>(sums[k]);
    for (size_t line = 0; line < sizeof(CounterArrays); line += 64) __builtin_prefetch(object + line);
  }
  for (const CounterArrays* sum : sums) {
    if (sum == nullptr) continue;
    __builtin_prefetch(sum->name.data());
    for (const std::vector<uint32_t>* array : {&sum->functionCounts, &sum->jumpCounts, &sum->decisionTrueCounts,
                                                &sum->decisionFalseCounts, &sum->conditionCounts}) {
      __builtin_prefetch(array->data());
    }
  }
}

size_t BlockSums::blockBytesBound(const CounterArrays& block) {
  // A new group (its sum with its name, its key), the block's own name and
  // time set aside, its entry and key start. A table grown by appending
  // holds at most twice what it holds: each key, entry and key start may
  // take its room twice over.
  const size_t keySize = block.name.size() + 6 * sizeof(uint32_t);
  return sizeof(Group) + sizeof(CounterArrays) + 4 * wordCount(block.sizes) + block.name.size() + 2 * keySize +
         sizeof(Aside) + block.name.size() + 2 * (sizeof(Entry) + sizeof(uint32_t));
}

size_t BlockSums::tableGrowthBound() const {
  // Beyond the room the blocks' own parts need (blockBytesBound), a table
  // grows by at most the room it has; the slots double once at most, from
  // at least 1024, for a few groups.
  constexpr size_t kFirstTables = size_t{64} << 10;
  return entries_.capacity() * sizeof(Entry) + slots_.capacity() * sizeof(Slot) + keys_.capacity() +
         keyStarts_.capacity() * sizeof(uint32_t) + kFirstTables;
}

BlockSums::Slot& BlockSums::slotOf(const CounterArrays& block) {
  Slot& slot = slotFor(block);
  if (slot.group == Slot::kFree) slot.hash = announced_.hash;
  return slot;
}

void BlockSums::enterGroup(Slot& slot, std::unique_ptr<CounterArrays> sum) {
  slot.group = static_cast<uint32_t>(groups_.size());
  heldBytes_ += sizeof(Group) + sizeof(CounterArrays) + 4 * wordCount(sum->sizes) + sum->name.size();
  groups_.push_back(Group{std::move(sum)});
  if (keyStarts_.empty()) keyStarts_.push_back(0);
  keys_ += announced_.text;
  keyStarts_.push_back(static_cast<uint32_t>(keys_.size()));
}

void BlockSums::enterBlock(const Slot& slot, const CounterArrays& block) {
  const CounterArrays& first = *groups_[slot.group].sum;
  uint32_t aside = 0;
  if (block.instrumentationTime != first.instrumentationTime || block.name != first.name) {
    aside_.push_back(Aside{block.instrumentationTime, block.name});
    heldBytes_ += sizeof(Aside) + block.name.size();
    aside = static_cast<uint32_t>(aside_.size());
  }
  entries_.push_back(Entry{slot.group, aside});
}

void BlockSums::add(const CounterArrays& block) {
  announce(block);
  Slot& slot = slotOf(block);
  if (slot.group == Slot::kFree) {
    enterGroup(slot, std::make_unique<CounterArrays>(block));
  } else {
    addCounters(*groups_[slot.group].sum, block);
  }
  enterBlock(slot, block);
}

void BlockSums::add(const CounterArrays& blockStart, const uint32_t* words) {
  Slot& slot = slotOf(blockStart);
  if (slot.group == Slot::kFree) {
    auto sum = std::make_unique<CounterArrays>(blockStart);
    shareOutBlockWords(words, *sum);
    enterGroup(slot, std::move(sum));
  } else {
    addCounterWords(*groups_[slot.group].sum, blockStart.sizes, words);
  }
  enterBlock(slot, blockStart);
}

namespace {

// Blocks read before they are added, a few at a time: finding a block's
// group costs cache misses one after another (its slot, its sum, the sum's
// name and arrays), which for a few blocks at once overlap.
constexpr size_t kBlocksReadAhead = 8;

struct BlockReadAhead {
  CounterArrays start;  // words and name; the arrays are in `words`
  std::vector<uint32_t> words;
};

// The blocks of one file read and not added yet, added in reading order.
class BlocksReadAhead {
 public:
  explicit BlocksReadAhead(BlockSums& sums) : sums_(sums) {}

  bool full() const { return count_ == kBlocksReadAhead; }
  bool empty() const { return count_ == 0; }
  void read(DataReaderState& reader) {
    BlockReadAhead& block = blocks_[count_];
    readCounterBlockStart(reader, block.start);
    readCounterBlockWords(reader, block.start.sizes, block.words);
    bytesBound_ += BlockSums::blockBytesBound(block.start);
    ++count_;
  }
  // Whether adding the blocks read might take the sums past `limit`.
  bool mightPass(size_t limit) const {
    return count_ != 0 && sums_.heldBytes() + sums_.tableGrowthBound() + bytesBound_ > limit;
  }
  // Adds them; one that fails ends the adding, and is the last one tried.
  void add() {
    const CounterArrays* starts[kBlocksReadAhead];
    for (size_t k = 0; k < count_; ++k) starts[k] = &blocks_[k].start;
    sums_.prefetchGroups(starts, count_);
    const size_t count = std::exchange(count_, 0);
    bytesBound_ = 0;
    for (size_t k = 0; k < count; ++k) {
      sums_.announce(blocks_[k].start);
      sums_.add(blocks_[k].start, blocks_[k].words.data());
    }
  }

 private:
  BlockSums& sums_;
  BlockReadAhead blocks_[kBlocksReadAhead];
  size_t count_ = 0;
  size_t bytesBound_ = 0;
};

}  // namespace

void readDataFilesAhead(std::stop_token stop, const std::vector<std::string>& dataFiles, size_t heldBytesLimit,
                        DataReadAhead& ahead) {
  DeferringErrors deferring;
  BlocksReadAhead held(ahead.sums);
  for (const std::string& name : dataFiles) {
    // Room for every file is reserved by the caller: nothing here throws
    // outside the reading below.
    DataReadAhead::FileRead& file = ahead.files.emplace_back();
    bool adding = false;  // a failure came while the blocks held were added
    const auto addHeld = [&held, &adding] {
      adding = true;
      held.add();
      adding = false;
    };
    try {
      const uint32_t blocks = openDataFile(ahead.reader, name);
      for (uint32_t i = 0; i < blocks; ++i) {
        if (stop.stop_requested()) return;
        // The limit is checked before each block, as if the blocks held had
        // been added: they are, first, when they might take the sums past it.
        if (held.mightPass(heldBytesLimit)) addHeld();
        if (ahead.sums.heldBytes() > heldBytesLimit) {
          ahead.stoppedEarly = true;
          ahead.blocksLeft = blocks - i;
          break;
        }
        held.read(ahead.reader);
        if (held.full()) addHeld();
      }
      addHeld();
      if (!ahead.stoppedEarly) closeDataFile(ahead.reader);
    } catch (...) {
      file.failure = std::current_exception();
      // The blocks read before a read that failed are added first, as they
      // would have been; a failure there comes first.
      if (!adding && !held.empty()) {
        try {
          held.add();
        } catch (...) {
          file.failure = std::current_exception();
        }
      }
    }
    file.entriesEnd = ahead.sums.entries().size();
    if (file.failure || ahead.stoppedEarly) return;
  }
}

void settleDataReadAhead(DataReadAhead& ahead, const std::vector<std::string>& dataFiles) {
  std::vector<BlockSums::Group>& groups = ahead.sums.groups();
  const std::vector<BlockSums::Entry>& entries = ahead.sums.entries();
  std::vector<GroupFit> fits(groups.size());
  size_t next = 0;
  for (size_t i = 0; i < ahead.files.size(); ++i) {
    const DataReadAhead::FileRead& file = ahead.files[i];
    for (; next < file.entriesEnd; ++next) {
      const BlockSums::Entry& entry = entries[next];
      GroupFit& fit = fits[entry.group];
      if (!fit.found) {
        const CounterArrays& sum = *groups[entry.group].sum;
        fit.file = findMonitoredFile(sum.name);
        fit.fit = blockFit(fit.file, sum.fingerprint, sum.sizes);
        fit.found = true;
      }
      if (fit.fit != BlockFit::Fits) {
        noticeUnfitBlock(fit.fit, fit.file, ahead.sums.nameOf(entry), ahead.sums.timeOf(entry), dataFiles[i]);
      }
    }
  }
  // At most one group fits a file: its folded name, fingerprint and sizes.
  for (size_t g = 0; g < groups.size(); ++g) {
    if (!fits[g].found || fits[g].fit != BlockFit::Fits) continue;
    MonitoredFile& file = *fits[g].file;
    if (file.counterData) {
      addCounters(*file.counterData, *groups[g].sum);
    } else {
      file.counterData = std::move(groups[g].sum);
    }
  }
  // The run's reader ends where reading in turn would have left it.
  adoptDataReaderState(ahead.reader);
  // The thread stops at the first failure: the last file it began. The
  // counters then hold every block before it, as in turn.
  if (!ahead.files.empty() && ahead.files.back().failure) reportReadFailure(ahead.files.back().failure);
  if (!ahead.stoppedEarly) return;
  ahead.sums = BlockSums{};  // the sums are in their files
  mergeRemainingBlocks(ahead.blocksLeft, dataFiles[ahead.files.size() - 1]);
  for (size_t i = ahead.files.size(); i < dataFiles.size(); ++i) readDataFile(dataFiles[i], LoadingMode::Report);
}

}  // namespace qar
