// Writes a data file for hand-made example and test inputs: the counter
// blocks take their identification (time, fingerprint, counts, sizes) from a
// symbol file and their values from a small text file of counts, so that
// data files can be made without an instrumented program.
//
//   make_example_data TARGET COUNTS SYMBOLFILE...
//
// COUNTS holds one section per counter block, in the order to write:
//   @file name          (as in the symbol file)
//   F 1 0 4             function call counts
//   J 3 0               jump counts
//   DT 3   DF 0         decision true / false counts
//   C 5 0 2             condition counts
//   TT 1200   TM 700    time totals / maxima (signed)
// Values left out are 0; a file of the symbol file without a section gets no
// block. Lines starting with "#" and blank lines are ignored. The stamp is
// the current time (SOURCE_DATE_EPOCH is honoured).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "coverage/model.h"
#include "coverage/postdata.h"
#include "base/posterr.h"

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "make_example_data: " << message << "\n";
  std::exit(1);
}

// The identification of every file block of the symbol file, by name.
void readSymbolBlocks(const std::string& path, std::map<std::string, qar::CounterArrays>& blocks) {
  std::ifstream in(path);
  if (!in) fail("cannot open " + path);
  std::string line;
  qar::CounterArrays* current = nullptr;
  bool infoExpected = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '@') {
      std::string name = line.substr(1);
      current = &blocks[name];
      current->name = name;
      infoExpected = true;
    } else if (infoExpected && current) {
      unsigned mode = 0;
      long long time = 0;
      unsigned fingerprint = 0, rwr = 0, upd = 0;
      if (std::sscanf(line.c_str(), "%u %lld %X %u %u", &mode, &time, &fingerprint, &rwr, &upd) != 5) {
        fail("bad info line: " + line);
      }
      current->instrumentationTime = static_cast<int32_t>(time);
      current->fingerprint = fingerprint;
      current->rwrCount = rwr;
      current->updCount = upd;
      infoExpected = false;
    } else if (line[0] == '%' && current) {
      unsigned long lines = 0, f = 0, j = 0, d = 0, c = 0, t = 0;
      if (std::sscanf(line.c_str(), "%%%lu,%lu,%lu,%lu,%lu,%lu", &lines, &f, &j, &d, &c, &t) != 6) {
        fail("bad count line: " + line);
      }
      current->sizes = {static_cast<uint32_t>(f), static_cast<uint32_t>(j), static_cast<uint32_t>(d),
                        static_cast<uint32_t>(c), static_cast<uint32_t>(t)};
    }
  }
}

void fillArray(std::vector<uint32_t>& array, uint32_t size, std::istringstream& values,
               const std::string& where) {
  array.assign(size, 0);
  long long value = 0;
  size_t index = 0;
  while (values >> value) {
    if (index == size) fail("too many values in " + where);
    array[index++] = static_cast<uint32_t>(value);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) fail("usage: make_example_data TARGET COUNTS SYMBOLFILE...");
  std::map<std::string, qar::CounterArrays> known;
  for (int i = 3; i < argc; ++i) readSymbolBlocks(argv[i], known);

  std::ifstream in(argv[2]);
  if (!in) fail(std::string("cannot open ") + argv[2]);
  std::vector<std::unique_ptr<qar::CounterArrays>> blocks;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '@') {
      auto found = known.find(line.substr(1));
      if (found == known.end()) fail("not in the symbol file: " + line);
      auto block = std::make_unique<qar::CounterArrays>(found->second);
      const qar::CounterSizes& sizes = block->sizes;
      block->functionCounts.assign(sizes.f, 0);
      block->jumpCounts.assign(sizes.j, 0);
      block->decisionTrueCounts.assign(sizes.d, 0);
      block->decisionFalseCounts.assign(sizes.d, 0);
      block->conditionCounts.assign(sizes.c, 0);
      block->timeTotals.assign(sizes.t, 0);
      block->timeMaxima.assign(sizes.t, 0);
      blocks.push_back(std::move(block));
      continue;
    }
    if (blocks.empty()) fail("counts before the first @ line: " + line);
    qar::CounterArrays& block = *blocks.back();
    std::istringstream values(line);
    std::string array;
    values >> array;
    const std::string where = block.name + " " + array;
    if (array.empty()) continue;
    if (array == "F") fillArray(block.functionCounts, block.sizes.f, values, where);
    else if (array == "J") fillArray(block.jumpCounts, block.sizes.j, values, where);
    else if (array == "DT") fillArray(block.decisionTrueCounts, block.sizes.d, values, where);
    else if (array == "DF") fillArray(block.decisionFalseCounts, block.sizes.d, values, where);
    else if (array == "C") fillArray(block.conditionCounts, block.sizes.c, values, where);
    else if (array == "TT") fillArray(block.timeTotals, block.sizes.t, values, where);
    else if (array == "TM") fillArray(block.timeMaxima, block.sizes.t, values, where);
    else fail("unknown array " + where);
  }

  std::vector<const qar::CounterArrays*> order;
  for (const auto& block : blocks) order.push_back(block.get());
  try {
    qar::writeDataFile(argv[1], order);
  } catch (const qar::ProgramExit& exit) {
    return exit.status;
  }
  return 0;
}
