#pragma once
// The data file reader with a state of its own: the functions of postdata.h
// that read blocks keep what they need between calls (the file blocks are
// read from, the current name and stamp, a buffer) in the run's state; a
// thread that reads data files beside the run passes its own state to the
// same reader.
#include <cstdint>
#include <memory>
#include <string_view>

#include "coverage/model.h"

namespace qar {

class DataReaderState {
 public:
  DataReaderState();
  ~DataReaderState();
  DataReaderState(const DataReaderState&) = delete;
  DataReaderState& operator=(const DataReaderState&) = delete;
  void swap(DataReaderState& other) noexcept { parts_.swap(other.parts_); }

  struct Parts;
  Parts& parts() { return *parts_; }

 private:
  std::unique_ptr<Parts> parts_;
};

// openDataFile, readCounterBlock and closeDataFile of postdata.h with
// `reader` in place of the run's state.
uint32_t openDataFile(DataReaderState& reader, std::string_view fileName);
void readCounterBlock(DataReaderState& reader, CounterArrays& block);
void closeDataFile(DataReaderState& reader);
// readCounterBlock in two steps, for a reader that adds the arrays where
// they belong without holding them apart: the block's words and name (its
// arrays left empty), then its arrays as the file holds them, one after
// another (functions, jumps, decisions true and false, conditions, time
// totals and maxima), valid until the next read. Every error is fatal.
void readCounterBlockStart(DataReaderState& reader, CounterArrays& block);
const uint32_t* readCounterBlockWords(DataReaderState& reader, const CounterSizes& sizes);
// The same into `words`, which trades its storage with the reader's: for a
// block held while the next ones are read.
void readCounterBlockWords(DataReaderState& reader, const CounterSizes& sizes, std::vector<uint32_t>& words);
// Gives `block` its arrays from words laid out as readCounterBlockWords
// gives them, by the block's sizes.
void shareOutBlockWords(const uint32_t* words, CounterArrays& block);

// Makes `reader` the run's state, as if the run had read what it read (a
// file it has open stays open); `reader` gets the run's former state.
void adoptDataReaderState(DataReaderState& reader);

}  // namespace qar
