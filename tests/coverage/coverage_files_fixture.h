#pragma once
// A test fixture that works in a fresh directory with small symbol and data
// files, with every module that reads them reset.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "cmdline/postcmdl.h"
#include "test_support.h"

namespace qar::test {

// A function-coverage description of `name` with `functions` functions.
inline std::string symbolBlock(const std::string& name, int64_t time, uint32_t fingerprint,
                               uint32_t functions = 1) {
  char info[64];
  std::snprintf(info, sizeof info, "1 %lld %08X 0 0\n", static_cast<long long>(time), fingerprint);
  std::string text = "@" + name + "\n" + info;
  for (uint32_t i = 0; i < functions; ++i) {
    text += "0 " + std::to_string(10 + i) + " 0 " + std::to_string(i) + " 0 f" + std::to_string(i) + "\n";
  }
  return text + "%40," + std::to_string(functions) + ",0,0,0,0\n";
}

inline std::string symbolFile(const std::string& blocks) {
  return "Tarvo sym 9\nSat Dec  5 12:00:00 2026\n" + blocks + "END OF SYMBOLFILE\n";
}

class CoverageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    resetSymbolFileState();
    resetDataFileState();
    setOptions(OptionSettings{});
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override {
    resetDataFileState();
    std::filesystem::current_path(previous_);
  }

  void writeData(const std::string& name, const std::vector<CounterArrays>& blocks) {
    std::vector<const CounterArrays*> order;
    for (const CounterArrays& block : blocks) order.push_back(&block);
    writeDataFile(name, order);
  }

  TempDir dir_;
  std::filesystem::path previous_;
};

}  // namespace qar::test
