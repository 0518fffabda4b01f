// Adding several data files, or several symbol files, into one target file.
// Every input is read completely before the target is created, so the target
// may be one of the inputs.
#include "coverage/adding.h"

#include <list>
#include <string>
#include <unordered_map>
#include <utility>

#include "coverage/database.h"
#include "coverage/loading.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "base/posterr.h"
#include "base/file_names.h"
#include "base/input_source.h"
#include "cmdline/file_selection.h"

namespace qar {
namespace {

// The merged blocks in the order of their last change, at most one per file
// name. The index finds a name's entry by its folded form (the key under
// which names that sameFileName calls equal meet), so merging a large file
// costs no list scan.
class AddList {
 public:
  using Entry = std::list<CounterArrays>::iterator;

  // Merges `block` into the list. `block` may be taken over by the list; it
  // is left holding storage that the next read can reuse.
  void merge(CounterArrays& block, const std::string& dataFileName) {
    if (isFileExcluded(block.name)) return;
    foldName(block.name);
    auto found = index_.find(key_);
    if (found == index_.end()) {
      appendNew(block);
      return;
    }
    Entry entry = found->second;
    CounterArrays& existing = *entry;
    if (existing.fingerprint == block.fingerprint && existing.sizes == block.sizes) {
      // The same instrumentation counted again. The block keeps its buffers
      // for the next read.
      addCounters(existing, block);
      existing.updCount += block.updCount + 1;  // wraps as a u32
      if (block.instrumentationTime > existing.instrumentationTime) {
        existing.instrumentationTime = block.instrumentationTime;
      }
      moveToEnd(entry);
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
    moveToEnd(entry);
  }

  std::vector<const CounterArrays*> inOrder() const {
    std::vector<const CounterArrays*> blocks;
    blocks.reserve(entries_.size());
    for (const CounterArrays& entry : entries_) blocks.push_back(&entry);
    return blocks;
  }

 private:
  // Folds `name` into the one key buffer, so that lookups allocate nothing.
  void foldName(const std::string& name) {
    key_.resize(name.size());
    for (size_t i = 0; i < name.size(); ++i) key_[i] = foldFileNameChar(name[i]);
  }

  void appendNew(CounterArrays& block) {
    entries_.push_back(std::move(block));
    block = CounterArrays{};
    index_.emplace(key_, std::prev(entries_.end()));
  }

  // The list keeps the order of the last change: a changed entry moves to
  // the end. Splicing keeps the iterator in the index valid.
  void moveToEnd(Entry entry) { entries_.splice(entries_.end(), entries_, entry); }

  std::list<CounterArrays> entries_;
  std::unordered_map<std::string, Entry> index_;
  std::string key_;
};

}  // namespace

void addDataFiles(const std::vector<std::string>& dataFiles, const std::string& target) {
  CoverageDatabase& db = database();
  // Every header is checked before any block is merged.
  for (const std::string& name : dataFiles) db.dataFilesRead.push_back({name, readDataFileHeader(name)});

  AddList list;
  CounterArrays block;
  for (const InputFileEntry& entry : db.dataFilesRead) {
    uint32_t blocks = openDataFile(entry.name);
    for (uint32_t i = 0; i < blocks; ++i) {
      readCounterBlock(block);
      list.merge(block, entry.name);
    }
    closeDataFile();
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
