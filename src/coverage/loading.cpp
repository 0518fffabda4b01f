#include "coverage/loading.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>

#include "coverage/block_merging.h"
#include "coverage/data_block_stream.h"
#include "coverage/data_read_ahead.h"
#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "coverage/preparation_pipeline.h"
#include "coverage/record_reader.h"
#include "coverage/record_reader_state.h"
#include "cmdline/postcmdl.h"
#include "base/arena_blocks.h"
#include "base/deferred_errors.h"
#include "base/heap_pages.h"
#include "base/input_source.h"
#include "base/posterr.h"
#include "cmdline/file_selection.h"

namespace qar {
namespace {

constexpr const char* kDefaultSymbolFile = "MON.sym";
constexpr const char* kDefaultDataFile = "MON.dat";

// A name with its last four characters replaced by `ending`; names of four
// characters or fewer stay as they are.
std::string derivedName(const std::string& name, const char* ending) {
  if (name.size() <= 4) return name;
  return name.substr(0, name.size() - 4) + ending;
}

void recordSymbolFile(const std::string& name) {
  std::string stamp = openSymbolFile(name);
  closeSymbolFile();
  database().symbolFilesRead.push_back({name, std::move(stamp)});
}

void recordDataFile(const std::string& name) {
  database().dataFilesRead.push_back({name, readDataFileHeader(name)});
}

// A default or derived data file is used when it can be opened. It is
// opened once for both: a FIFO gives its bytes only once.
void recordDataFileIfPresent(const std::string& name) {
  if (std::optional<std::string> stamp = readDataFileHeaderIfPresent(name)) {
    database().dataFilesRead.push_back({name, std::move(*stamp)});
  }
}

// Merges the block just read. A block that becomes a file's counter data is
// copied: its arrays then lie together, right after each other, which the
// blocks of later data files added into it read in a few cache misses
// instead of one per array; and the block keeps its storage for the next
// read, so that blocks cost no allocation.
void mergeBlockForReport(const CounterArrays& block, const std::string& dataFileName) {
  MonitoredFile* file = findMonitoredFile(block.name);
  BlockFit fit = blockFit(file, block.fingerprint, block.sizes);
  if (fit != BlockFit::Fits) {
    noticeUnfitBlock(fit, file, block.name, block.instrumentationTime, dataFileName);
  } else if (!file->counterData) {
    file->counterData = std::make_unique<CounterArrays>(block);
  } else {
    addCounters(*file->counterData, block);
  }
}

void listBlocksForContents(const std::string& dataFileName) {
  uint32_t blocks = openDataFile(dataFileName);
  CounterArrays header;
  for (uint32_t i = 0; i < blocks; ++i) {
    // The first bad block has been reported; the rest of this file is passed over.
    if (readBlockHeader(header) != kNoError) break;
    if (isFileExcluded(header.name)) continue;
    database().dataBlockSummaries.push_back({header.name, header.instrumentationTime, header.fingerprint,
                                             header.sizes, header.rwrCount, header.updCount});
  }
  closeDataFile();
}

void removeFilesWhere(bool (*condition)(const MonitoredFile&)) {
  MonitoredFileList& files = database().monitoredFiles;
  for (auto it = files.begin(); it != files.end();) {
    auto current = it++;
    if (condition(*current)) removeMonitoredFile(current);
  }
}

}  // namespace

void loadInputFiles(const std::optional<std::vector<std::string>>& symbolFiles,
                    const std::optional<std::vector<std::string>>& dataFiles, bool contentsOnly) {
  CoverageDatabase& db = database();
  bool symbolArguments = symbolFiles && !symbolFiles->empty();
  bool dataArguments = dataFiles && !dataFiles->empty();
  if (symbolArguments) {
    for (const std::string& name : *symbolFiles) recordSymbolFile(name);
  }
  if (dataArguments) {
    for (const std::string& name : *dataFiles) recordDataFile(name);
  }
  if (contentsOnly) return;

  if (!dataArguments) {
    for (size_t i = 0; i < db.symbolFilesRead.size(); ++i) {
      std::string name = derivedName(db.symbolFilesRead[i].name, ".dat");
      recordDataFileIfPresent(name);
    }
  }
  if (!symbolArguments) {
    size_t dataCount = db.dataFilesRead.size();
    for (size_t i = 0; i < dataCount; ++i) recordSymbolFile(derivedName(db.dataFilesRead[i].name, ".sym"));
    if (!db.symbolFilesRead.empty()) return;
  }
  if (db.symbolFilesRead.empty() && db.dataFilesRead.empty()) {
    recordSymbolFile(kDefaultSymbolFile);
    recordDataFileIfPresent(kDefaultDataFile);
  }
}

namespace {

std::vector<std::string> dataFileNames() {
  std::vector<std::string> names;
  for (const InputFileEntry& entry : database().dataFilesRead) names.push_back(entry.name);
  return names;
}

// The bytes of the input files. The heap part of a report run's database
// (line tables, values, counter arrays; the line texts have blocks of their
// own) stays below its symbol text and a quarter of its counter data, which
// is reserved in huge pages.
size_t inputBytes(const std::vector<InputFileEntry>& files) {
  size_t total = 0;
  for (const InputFileEntry& entry : files) total += static_cast<size_t>(inputSize(entry.name));
  return total;
}

// Below this many bytes of data files, reading them costs about 2 ms: less
// than a thread's start and the locking its presence adds to every
// allocation of the symbol reading.
constexpr uint64_t kReadAsideFromBytes = uint64_t{1} << 20;

// The sums the thread may hold before it leaves the rest to be read in
// turn: the counters of the files described are below their symbol text,
// so past that the sums are mostly of blocks to be discarded (files not
// described, other instrumentations).
constexpr size_t kHeldSumsFloor = size_t{64} << 20;
// ... and at most this much, which keeps the offsets of its group keys in
// 32 bits.
constexpr size_t kHeldSumsCeiling = size_t{2} << 30;

// From this much symbol text on (about 10 ms of reading) the line arena's
// blocks are made ready ahead; two ahead are enough for the reading never
// to overtake the supply, and hold 4 MiB at most.
constexpr size_t kBlockSupplyFromBytes = size_t{16} << 20;
constexpr size_t kBlocksSuppliedAhead = 2;

// The symbol files read here while a second thread reads the data files.
// The thread is joined before this returns or throws: an error in a symbol
// file stops it, and nothing it read is reported. Done first, that thread
// makes the line arena's next blocks ready for the symbol reading until it
// ends: only then is a core idle.
void readSymbolAndDataFilesTogether(size_t symbolBytes) {
  const std::vector<std::string> names = dataFileNames();
  DataReadAhead ahead;
  ahead.files.reserve(names.size());
  {
    ArenaBlockSupply blocks(symbolBytes >= kBlockSupplyFromBytes ? kBlocksSuppliedAhead : 0);
    std::jthread reading;
    try {
      const size_t heldSums = std::clamp(symbolBytes, kHeldSumsFloor, kHeldSumsCeiling);
      reading = std::jthread([&names, heldSums, &ahead](std::stop_token stop) {
        readDataFilesAhead(stop, names, heldSums, ahead);
        supplyArenaBlocks(stop);
      });
    } catch (const std::system_error&) {
      // No thread to be had: the files are read in turn.
      readSymbolFiles(LoadingMode::Report);
      for (const std::string& name : names) readDataFile(name, LoadingMode::Report);
      return;
    }
    readSymbolFiles(LoadingMode::Report);
    closeArenaBlockSupply();
    // Waits for the thread to finish its reading; leaving the scope through
    // an error instead asks it to stop first.
    reading.join();
  }
  settleDataReadAhead(ahead, names);
}

}  // namespace

void buildCoverageDatabase(bool contentsOnly) {
  CoverageDatabase& db = database();
  const size_t symbolBytes = contentsOnly ? 0 : inputBytes(db.symbolFilesRead);
  const size_t dataBytes = contentsOnly ? 0 : inputBytes(db.dataFilesRead);
  if (!contentsOnly) reserveHugePageHeap(symbolBytes + dataBytes / 4);
  if (!contentsOnly && readsDataFilesAside(dataFileNames(), kReadAsideFromBytes)) {
    readSymbolAndDataFilesTogether(symbolBytes);
  } else {
    LoadingMode mode = contentsOnly ? LoadingMode::ContentsListing : LoadingMode::Report;
    if (!contentsOnly || !db.symbolFilesRead.empty()) readSymbolFiles(mode);
    for (const InputFileEntry& entry : db.dataFilesRead) readDataFile(entry.name, mode);
  }
  // Every input has been read for the last time.
  forgetKeptInputs();
}

void readDataFile(std::string_view fileName, LoadingMode mode) {
  std::string name(fileName);
  if (mode == LoadingMode::ContentsListing) {
    listBlocksForContents(name);
    return;
  }
  if (mode != LoadingMode::Report) failInternal("postdata", 1180);
  mergeRemainingBlocks(openDataFile(name), name);
}

void mergeRemainingBlocks(uint32_t blocks, const std::string& fileName) {
  // One block for the whole run: its arrays keep their room from read to read.
  static CounterArrays block;
  for (uint32_t i = 0; i < blocks; ++i) {
    readCounterBlock(block);
    mergeBlockForReport(block, fileName);
  }
  closeDataFile();
}

BlockFit blockFit(const MonitoredFile* file, uint32_t fingerprint, const CounterSizes& sizes) {
  if (file == nullptr) return BlockFit::UnknownFile;
  if (fingerprint != file->fingerprint) return BlockFit::OtherInstrumentation;
  return sizes == file->counterSizes ? BlockFit::Fits : BlockFit::SizesDiffer;
}

void noticeUnfitBlock(BlockFit fit, const MonitoredFile* file, std::string_view blockName, int64_t blockTime,
                      std::string_view dataFileName) {
  int notice = 0;
  switch (fit) {
    case BlockFit::Fits:
      return;
    case BlockFit::UnknownFile: {
      const OptionSettings& settings = options();
      if (settings.chosenFiles || settings.unchosenFiles) return;
      notice = kNoticeUnknownFile;
      break;
    }
    case BlockFit::SizesDiffer:
      notice = kNoticeCounterSizesDiffer;
      break;
    case BlockFit::OtherInstrumentation:
      // Another instrumentation of the file: the counters cannot be used.
      notice = blockTime >= file->instrumentationTime ? kNoticeNewerCounterData : kNoticeOlderCounterData;
      break;
  }
  setNoticeArguments(blockName, dataFileName);
  issueNotice(notice);
}

void resolveDuplicateDescription(std::string_view symbolFileName) {
  MonitoredFileList& files = database().monitoredFiles;
  if (files.empty()) return;
  auto completed = std::prev(files.end());
  // The usual case, a name met for the first time, needs no lookup.
  if (completed->namesakes == 1) return;
  auto earlierIt = findMonitoredFileIt(completed->name);
  if (earlierIt == files.end() || earlierIt == completed) return;

  const MonitoredFile& b = *completed;
  const MonitoredFile& e = *earlierIt;
  bool sameInstrumentation = e.fingerprint == b.fingerprint && e.sourceLineCount == b.sourceLineCount &&
                             e.counterSizes == b.counterSizes;
  if (!sameInstrumentation) {
    bool keepEarlier = e.instrumentationTime >= b.instrumentationTime;
    setNoticeArguments(b.name, symbolFileName);
    issueNotice(keepEarlier ? kNoticeOlderInstrumentation : kNoticeNewerInstrumentation);
    removeMonitoredFile(keepEarlier ? completed : earlierIt);
    return;
  }
  // The same description read twice: the later instrumentation time wins,
  // the earlier description on a tie, silently.
  removeMonitoredFile(e.instrumentationTime < b.instrumentationTime ? earlierIt : completed);
}

void prepareCounters() {
  PreparationPipeline pass;
  pass.settle();
}

void dropFilesWithoutCounters() {
  removeFilesWhere([](const MonitoredFile& file) { return !file.counterData; });
}

void dropUnchosenFiles() {
  removeFilesWhere([](const MonitoredFile& file) { return matchesAnyPattern(options().unchosenFiles, file.name); });
}

}  // namespace qar
