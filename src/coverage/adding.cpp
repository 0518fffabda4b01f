// Adding several data files, or several symbol files, into one target file.
// Every input is read completely before the target is created, so the target
// may be one of the inputs.
#include "coverage/adding.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "coverage/data_block_stream.h"
#include "coverage/data_reader_state.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "base/deferred_errors.h"
#include "base/posterr.h"
#include "base/file_names.h"
#include "base/input_source.h"
#include "cmdline/file_selection.h"

namespace qar {
namespace {

// Line number of this module's consistency check.
constexpr unsigned long kCheckDeferredErrorEnds = 1190;

// Below this many bytes of data files, merging is quick enough (its table
// stays in the cache) that handing blocks from one core to the other costs
// more than it saves: 19 MB of data files of 2,000 sources add 2 ms slower
// beside a reading thread, 170 MB of 20,000 sources 20 % faster.
constexpr uint64_t kReadAsideFromBytes = uint64_t{32} << 20;

// The merged blocks in the order of their last change, at most one per file
// name. Adding a hundred data files of 20,000 blocks each is bound by memory
// latency, not by arithmetic: each block's lookup and reordering should touch
// as few places in memory as it can. So the blocks stay where they were first
// put and carry the number of their last change (the order is sorted out once
// at the end, instead of relinking a list at every merge), and the index is an
// open-addressing table of hash and entry number, probed linearly, with the
// folded names kept side by side in one buffer for the final comparison.
class AddList {
 public:
  // Merges `block` into the list. `block` may be taken over by the list; it
  // is left holding storage that the next read can reuse.
  void merge(CounterArrays& block, const std::string& dataFileName) {
    if (isFileExcluded(block.name)) return;
    foldName(block.name);
    const uint64_t hash = std::hash<std::string_view>()(key_);
    uint32_t& slot = slotFor(hash);
    if (slot == kEmptySlot) {
      slot = appendNew(block, hash);
      return;
    }
    CounterArrays& existing = entries_[slot];
    if (existing.fingerprint == block.fingerprint && existing.sizes == block.sizes) {
      // The same instrumentation counted again. The block keeps its buffers
      // for the next read.
      addCounters(existing, block);
      existing.updCount += block.updCount + 1;  // wraps as a u32
      if (block.instrumentationTime > existing.instrumentationTime) {
        existing.instrumentationTime = block.instrumentationTime;
      }
      lastChange_[slot] = ++changes_;
      return;
    }
    setNoticeArguments(block.name, dataFileName);
    if (existing.instrumentationTime >= block.instrumentationTime) {
      issueNotice(kNoticeOlderCounterData);
      return;
    }
    issueNotice(kNoticeNewerCounterDataReplaces);
    // The newer block takes the entry's place; the old counters' storage
    // goes back to the caller for the next read.
    std::swap(existing, block);
    lastChange_[slot] = ++changes_;
  }

  std::vector<const CounterArrays*> inOrder() const {
    std::vector<uint32_t> order(entries_.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) { return lastChange_[a] < lastChange_[b]; });
    std::vector<const CounterArrays*> blocks;
    blocks.reserve(order.size());
    for (uint32_t i : order) blocks.push_back(&entries_[i]);
    return blocks;
  }

 private:
  static constexpr uint32_t kEmptySlot = UINT32_MAX;

  // A slot of the index: the upper half of the name's hash, checked before
  // the name itself, and the entry's number.
  struct Slot {
    uint32_t hashHigh = 0;
    uint32_t entry = kEmptySlot;
  };

  // Folds `name` into the one key buffer, so that lookups allocate nothing.
  void foldName(const std::string& name) {
    key_.resize(name.size());
    for (size_t i = 0; i < name.size(); ++i) key_[i] = foldFileNameChar(name[i]);
  }

  std::string_view keyOf(uint32_t entry) const {
    return std::string_view(keys_).substr(keyStarts_[entry], keyStarts_[entry + 1] - keyStarts_[entry]);
  }

  // The entry number of the slot of key_: its entry's, or kEmptySlot in the
  // slot where it is to go. The table is at most half full.
  uint32_t& slotFor(uint64_t hash) {
    if (2 * (entries_.size() + 1) > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    const auto high = static_cast<uint32_t>(hash >> 32);
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.entry == kEmptySlot) {
        slot.hashHigh = high;
        return slot.entry;
      }
      if (slot.hashHigh == high && keyOf(slot.entry) == key_) return slot.entry;
    }
  }

  void grow() {
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(std::max<size_t>(64, 2 * slots_.size())));
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.entry == kEmptySlot) continue;
      size_t at = hashes_[slot.entry] & mask;
      while (slots_[at].entry != kEmptySlot) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  uint32_t appendNew(CounterArrays& block, uint64_t hash) {
    const auto entry = static_cast<uint32_t>(entries_.size());
    entries_.push_back(std::move(block));
    block = CounterArrays{};
    hashes_.push_back(hash);
    lastChange_.push_back(++changes_);
    keys_.append(key_);
    keyStarts_.push_back(keys_.size());
    return entry;
  }

  std::vector<CounterArrays> entries_;  // in the order of first sight
  std::vector<uint64_t> lastChange_;    // per entry
  std::vector<uint64_t> hashes_;        // per entry, for growing the table
  std::string keys_;                    // the folded names, one after another
  std::vector<size_t> keyStarts_{0};    // entry i's name: [keyStarts_[i], keyStarts_[i + 1])
  std::vector<Slot> slots_;
  uint64_t changes_ = 0;
  std::string key_;
};

// Merges the blocks of the data files as a second thread reads them, in
// reading order; false, with nothing read, when they are read in turn.
bool mergeBlocksReadAside(AddList& list) {
  std::vector<std::string> names;
  for (const InputFileEntry& entry : database().dataFilesRead) names.push_back(entry.name);
  if (!readsDataFilesAside(names, kReadAsideFromBytes)) return false;
  DataBlockStream stream(names);
  if (!stream.started()) return false;
  while (BlockBatch* batch = stream.next()) {
    for (size_t i = 0; i < batch->count; ++i) list.merge(batch->blocks[i], names[batch->fileOf[i]]);
    // Reading in turn meets the error here, after the blocks before it; a
    // block that cannot be read always ends the run.
    if (batch->failure) {
      reportThreadFailure(batch->failure);
      failInternal("postdata", kCheckDeferredErrorEnds);
    }
  }
  // The run's reader ends where reading in turn would have left it.
  adoptDataReaderState(stream.reader());
  return true;
}

}  // namespace

void addDataFiles(const std::vector<std::string>& dataFiles, const std::string& target) {
  CoverageDatabase& db = database();
  // Every header is checked before any block is merged.
  for (const std::string& name : dataFiles) db.dataFilesRead.push_back({name, readDataFileHeader(name)});

  AddList list;
  if (!mergeBlocksReadAside(list)) {
    CounterArrays block;
    for (const InputFileEntry& entry : db.dataFilesRead) {
      uint32_t blocks = openDataFile(entry.name);
      for (uint32_t i = 0; i < blocks; ++i) {
        readCounterBlock(block);
        list.merge(block, entry.name);
      }
      closeDataFile();
    }
  }
  forgetKeptInputs();
  writeDataFile(target, list.inOrder());
}

void addSymbolFiles(const std::vector<std::string>& symbolFiles, const std::string& target) {
  CoverageDatabase& db = database();
  for (const std::string& name : symbolFiles) {
    std::string stamp = openSymbolFile(name);
    closeSymbolFile();
    db.symbolFilesRead.push_back({name, std::move(stamp)});
  }
  // Adding mode: -f and -nf deselect blocks, duplicates are settled with
  // Notices 1 and 3.
  readSymbolFiles(LoadingMode::Adding);
  forgetKeptInputs();
  writeSymbolFile(target);
}

}  // namespace qar
