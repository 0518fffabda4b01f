#include "coverage/data_read_ahead.h"

#include <cstring>
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
  try {
    std::rethrow_exception(failure);
  } catch (const DeferredFailure& deferred) {
    reportDeferredError(deferred.error);
  }
  // Reading a block fails only with errors that end the run.
  failInternal("postdata", kCheckDeferredErrorEnds);
}

}  // namespace

void BlockSums::add(const CounterArrays& block) {
  key_.resize(block.name.size() + 1 + 6 * sizeof(uint32_t));
  char* at = key_.data();
  for (char c : block.name) *at++ = foldFileNameChar(c);
  *at++ = '\0';  // names end at their first NUL
  const uint32_t words[] = {block.fingerprint, block.sizes.f, block.sizes.j,
                            block.sizes.d, block.sizes.c, block.sizes.t};
  std::memcpy(at, words, sizeof words);

  auto [slot, added] = index_.try_emplace(key_, static_cast<uint32_t>(groups_.size()));
  const uint32_t group = slot->second;
  if (added) {
    groups_.push_back(Group{block});
    heldBytes_ += sizeof(Group) + 4 * wordCount(block.sizes) + key_.size();
  } else {
    addCounters(groups_[group].sum, block);
  }
  uint32_t otherName = 0;
  if (block.name != groups_[group].sum.name) {
    otherNames_.push_back(block.name);
    heldBytes_ += sizeof(std::string) + block.name.size();
    otherName = static_cast<uint32_t>(otherNames_.size());
  }
  entries_.push_back(Entry{group, block.instrumentationTime, otherName});
}

void readDataFilesAhead(std::stop_token stop, const std::vector<std::string>& dataFiles, size_t heldBytesLimit,
                        DataReadAhead& ahead) {
  DeferringErrors deferring;
  CounterArrays block;  // its arrays keep their room from read to read
  for (const std::string& name : dataFiles) {
    // Room for every file is reserved by the caller: nothing here throws
    // outside the reading below.
    DataReadAhead::FileRead& file = ahead.files.emplace_back();
    try {
      const uint32_t blocks = openDataFile(ahead.reader, name);
      for (uint32_t i = 0; i < blocks; ++i) {
        if (stop.stop_requested()) return;
        if (ahead.sums.heldBytes() > heldBytesLimit) {
          ahead.stoppedEarly = true;
          ahead.blocksLeft = blocks - i;
          break;
        }
        readCounterBlock(ahead.reader, block);
        ahead.sums.add(block);
      }
      if (!ahead.stoppedEarly) closeDataFile(ahead.reader);
    } catch (...) {
      file.failure = std::current_exception();
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
        const CounterArrays& sum = groups[entry.group].sum;
        fit.file = findMonitoredFile(sum.name);
        fit.fit = blockFit(fit.file, sum.fingerprint, sum.sizes);
        fit.found = true;
      }
      if (fit.fit != BlockFit::Fits) {
        noticeUnfitBlock(fit.fit, fit.file, ahead.sums.nameOf(entry), entry.instrumentationTime, dataFiles[i]);
      }
    }
  }
  // At most one group fits a file: its folded name, fingerprint and sizes.
  for (size_t g = 0; g < groups.size(); ++g) {
    if (!fits[g].found || fits[g].fit != BlockFit::Fits) continue;
    MonitoredFile& file = *fits[g].file;
    if (file.counterData) {
      addCounters(*file.counterData, groups[g].sum);
    } else {
      file.counterData = std::make_unique<CounterArrays>(std::move(groups[g].sum));
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
