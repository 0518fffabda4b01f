#include "coverage/data_block_stream.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/deferred_errors.h"
#include "base/input_source.h"

namespace qar {
namespace {

bool isRegularFile(const std::string& name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool readsDataFilesAside(const std::vector<std::string>& dataFiles, uint64_t fromBytes) {
  const char* choice = std::getenv("QARPOST_DATA_ALONGSIDE");
  const std::string_view setting = choice != nullptr ? choice : "";
  if (setting == "never" || dataFiles.empty()) return false;
  for (const std::string& name : dataFiles) {
    if (!isRegularFile(name)) return false;
  }
  if (setting == "always") return true;
  uint64_t bytes = 0;
  for (const std::string& name : dataFiles) bytes += inputSize(name);
  return dataFiles.size() >= 2 && bytes >= fromBytes;
}

DataBlockStream::DataBlockStream(std::vector<std::string> dataFiles) : files_(std::move(dataFiles)) {
  try {
    thread_ = std::jthread([this](std::stop_token stop) { read(stop); });
  } catch (const std::system_error&) {
    // No thread to be had: started() tells the caller to read in turn.
  }
}

DataBlockStream::~DataBlockStream() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  changed_.notify_all();
  thread_.join();
}

BlockBatch* DataBlockStream::freeBatch(const std::stop_token& stop) {
  std::unique_lock<std::mutex> guard(lock_);
  // One batch stays with the run while it merges it.
  if (!changed_.wait(guard, stop, [this] { return published_ + 1 < taken_ + kBatches; })) return nullptr;
  BlockBatch& batch = batches_[published_ % kBatches];
  batch.count = 0;
  batch.failure = nullptr;
  batch.last = false;
  return &batch;
}

void DataBlockStream::publish() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    ++published_;
  }
  changed_.notify_all();
}

void DataBlockStream::read(std::stop_token stop) {
  DeferringErrors deferring;
  BlockBatch* batch = freeBatch(stop);
  if (batch == nullptr) return;
  for (size_t file = 0; file < files_.size(); ++file) {
    try {
      const uint32_t blocks = openDataFile(reader_, files_[file]);
      for (uint32_t i = 0; i < blocks; ++i) {
        if (batch->count == kBlocksPerBatch) {
          publish();
          batch = freeBatch(stop);
          if (batch == nullptr) return;
        }
        if (batch->count == batch->blocks.size()) {
          batch->blocks.emplace_back();
          batch->fileOf.push_back(0);
        }
        readCounterBlock(reader_, batch->blocks[batch->count]);
        batch->fileOf[batch->count] = static_cast<uint32_t>(file);
        ++batch->count;
      }
      closeDataFile(reader_);
    } catch (...) {
      // The blocks before stay in the batch: the run merges them first.
      batch->failure = std::current_exception();
      batch->last = true;
      publish();
      return;
    }
  }
  batch->last = true;
  publish();
}

BlockBatch* DataBlockStream::next() {
  std::unique_lock<std::mutex> guard(lock_);
  if (ended_) return nullptr;
  changed_.wait(guard, [this] { return published_ > taken_; });
  BlockBatch& batch = batches_[taken_ % kBatches];
  ++taken_;
  ended_ = batch.last;
  guard.unlock();
  // The batch before is free again.
  changed_.notify_all();
  return &batch;
}

}  // namespace qar
