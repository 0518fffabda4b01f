#pragma once
// The blocks of a list of data files read on a second thread and handed to
// the run in reading order, a batch at a time, while the run merges the
// batch before: adding a hundred data files spends about as long reading
// and decoding blocks as merging them, and the two then share the cores.
// What the run sees is what reading the blocks one after another gives: the
// same blocks in the same order, and an error where reading in turn meets
// it, after every block before it.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "coverage/data_reader_state.h"
#include "coverage/model.h"

namespace qar {

// Whether the data files are read on a second thread (beside the symbol
// files of a report run, or ahead of the merging of -a).
// QARPOST_DATA_ALONGSIDE=never reads them in turn, =always on the thread
// whatever their number and size (the tests compare the two); otherwise
// only two files or more of `fromBytes` or more together. An input that is
// not a regular file (a FIFO, a pipe) keeps its bytes in process-wide
// state: with one, they are always read in turn.
bool readsDataFilesAside(const std::vector<std::string>& dataFiles, uint64_t fromBytes);

// Blocks read, in reading order.
struct BlockBatch {
  // The first `count` are the batch's; the others keep their room for the
  // next reading. The run may take a block's storage over (it then leaves
  // the block empty or with other storage of its own).
  std::vector<CounterArrays> blocks;
  std::vector<uint32_t> fileOf;  // each block's data file, in the list
  size_t count = 0;
  // Reading failed after the blocks of the batch: no batch follows.
  std::exception_ptr failure;
  bool last = false;  // no batch follows
};

class DataBlockStream {
 public:
  // Starts reading `dataFiles` on a second thread. started() is false when
  // no thread could be had.
  explicit DataBlockStream(std::vector<std::string> dataFiles);
  // Stops the thread (when the run ends early) and waits for it.
  ~DataBlockStream();
  DataBlockStream(const DataBlockStream&) = delete;
  DataBlockStream& operator=(const DataBlockStream&) = delete;

  bool started() const { return thread_.joinable(); }

  // The next batch, once read; the batch taken before goes back to the
  // thread. nullptr after the last batch (or one with a failure).
  BlockBatch* next();

  // Once next() gave nullptr: the thread's reader state, left where
  // reading the files in turn leaves the run's.
  DataReaderState& reader() { return reader_; }

 private:
  static constexpr size_t kBatches = 4;
  static constexpr size_t kBlocksPerBatch = 512;

  void read(std::stop_token stop);
  // Waits for a batch the run has given back; nullptr when asked to stop.
  BlockBatch* freeBatch(const std::stop_token& stop);
  void publish();

  const std::vector<std::string> files_;
  DataReaderState reader_;
  BlockBatch batches_[kBatches];
  std::mutex lock_;
  std::condition_variable_any changed_;
  size_t published_ = 0;  // batches the thread filled
  size_t taken_ = 0;      // batches the run took (the last one is still its own)
  bool ended_ = false;    // the run took the last batch
  std::jthread thread_;   // last: stopped and joined before the rest goes
};

}  // namespace qar
