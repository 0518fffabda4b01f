// Data blocks read on a second thread and handed over in batches: the same
// blocks in the same order as reading in turn, across batch and file
// boundaries, a failure after every block before it, and a run that ends
// early stopping the thread.
#include "coverage/data_block_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/deferred_errors.h"
#include "coverage/coverage_files_fixture.h"
#include "coverage/data_file_support.h"
#include "coverage/postdata.h"

namespace qar {
namespace {

using test::captureRun;
using test::makeBlock;

class DataBlockStreamTest : public test::CoverageFilesTest {
 protected:
  void TearDown() override {
    unsetenv("QARPOST_DATA_ALONGSIDE");
    test::CoverageFilesTest::TearDown();
  }

  // Writes a data file of `count` blocks, each different from every other.
  void writeBlocks(const std::string& name, uint32_t count, uint32_t firstSeed) {
    std::vector<CounterArrays> blocks;
    for (uint32_t i = 0; i < count; ++i) {
      blocks.push_back(makeBlock("f" + std::to_string(firstSeed + i) + ".c", CounterSizes{2, 1, 1, 0, 0},
                                 firstSeed + i));
    }
    writeData(name, blocks);
  }

  // Every block of `files` as reading them in turn gives it.
  static std::vector<CounterArrays> readInTurn(const std::vector<std::string>& files) {
    std::vector<CounterArrays> blocks;
    for (const std::string& name : files) {
      const uint32_t count = openDataFile(name);
      for (uint32_t i = 0; i < count; ++i) readCounterBlock(blocks.emplace_back());
      closeDataFile();
    }
    return blocks;
  }
};

TEST_F(DataBlockStreamTest, BlocksComeInReadingOrderAcrossBatchesAndFiles) {
  // More blocks than a batch holds, a file of one block between two others.
  writeBlocks("a.dat", 700, 1);
  writeBlocks("b.dat", 1, 1000);
  writeBlocks("c.dat", 1300, 2000);
  const std::vector<std::string> files{"a.dat", "b.dat", "c.dat"};
  const std::vector<CounterArrays> expected = readInTurn(files);

  DataBlockStream stream(files);
  ASSERT_TRUE(stream.started());
  size_t at = 0;
  size_t batches = 0;
  bool lastSeen = false;
  while (BlockBatch* batch = stream.next()) {
    ASSERT_FALSE(lastSeen) << "a batch after the last";
    ++batches;
    EXPECT_FALSE(batch->failure);
    for (size_t i = 0; i < batch->count; ++i, ++at) {
      ASSERT_LT(at, expected.size());
      test::expectSameBlock(batch->blocks[i], expected[at]);
      const uint32_t file = at < 700 ? 0 : at < 701 ? 1 : 2;
      EXPECT_EQ(batch->fileOf[i], file) << "block " << at;
    }
    lastSeen = batch->last;
  }
  EXPECT_TRUE(lastSeen);
  EXPECT_EQ(at, expected.size());
  EXPECT_GE(batches, 4u);
}

TEST_F(DataBlockStreamTest, AFailureComesAfterEveryBlockBeforeIt) {
  writeBlocks("a.dat", 600, 1);
  // Five blocks announced, the file ends inside the fourth.
  test::DataBytes cut;
  cut.header(5);
  for (uint32_t i = 0; i < 3; ++i) cut.blockWords(3, 5, 1).text("z.c").word(i);
  cut.blockWords(3, 5, 1).text("z.c");
  dir_.write("b.dat", cut.bytes);
  writeBlocks("c.dat", 10, 900);

  DataBlockStream stream({"a.dat", "b.dat", "c.dat"});
  ASSERT_TRUE(stream.started());
  size_t blocks = 0;
  std::exception_ptr failure;
  while (BlockBatch* batch = stream.next()) {
    blocks += batch->count;
    if (batch->failure) {
      EXPECT_TRUE(batch->last);
      EXPECT_EQ(batch->fileOf[batch->count - 1], 1u);
      failure = batch->failure;
    }
  }
  EXPECT_EQ(blocks, 603u);
  ASSERT_TRUE(failure);
  // Reported where reading in turn meets it, with the file's name.
  EXPECT_EQ(captureRun([&] { reportThreadFailure(failure); }).err, "QARPost error 2: Bad data file b.dat\n");
}

TEST_F(DataBlockStreamTest, ARunEndingEarlyStopsTheThread) {
  writeBlocks("a.dat", 4000, 1);
  const std::vector<std::string> files{"a.dat"};
  for (int taken = 0; taken < 3; ++taken) {
    DataBlockStream stream(files);
    ASSERT_TRUE(stream.started());
    for (int i = 0; i < taken; ++i) ASSERT_NE(stream.next(), nullptr);
    // Leaving the scope stops the thread, waiting for a batch to fill.
  }
}

TEST_F(DataBlockStreamTest, OnlyRegularFilesOfEnoughBytesAreReadAside) {
  writeBlocks("a.dat", 20, 1);
  writeBlocks("b.dat", 20, 100);
  const std::vector<std::string> two{"a.dat", "b.dat"};
  EXPECT_TRUE(readsDataFilesAside(two, 1));
  EXPECT_FALSE(readsDataFilesAside(two, uint64_t{1} << 30));
  EXPECT_FALSE(readsDataFilesAside({"a.dat"}, 1));
  setenv("QARPOST_DATA_ALONGSIDE", "always", 1);
  EXPECT_TRUE(readsDataFilesAside({"a.dat"}, uint64_t{1} << 30));
  // A FIFO gives its bytes once, into state all readers share.
  EXPECT_FALSE(readsDataFilesAside({"a.dat", "/dev/stdin"}, 1));
  setenv("QARPOST_DATA_ALONGSIDE", "never", 1);
  EXPECT_FALSE(readsDataFilesAside(two, 1));
}

}  // namespace
}  // namespace qar
