#include <gtest/gtest.h>

#include <cstdlib>

#include "coverage/data_file_support.h"
#include "coverage/postdata.h"
#include "test_support.h"

namespace qar {
namespace {

using test::DataBytes;

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDataFileState();
    setenv("TZ", "UTC", 1);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  }
  void TearDown() override {
    resetDataFileState();
    unsetenv("SOURCE_DATE_EPOCH");
  }
  std::vector<CounterArrays> readAll(const std::string& path) {
    std::vector<CounterArrays> blocks(openDataFile(path));
    for (CounterArrays& block : blocks) readCounterBlock(block);
    closeDataFile();
    return blocks;
  }
  test::TempDir dir;
};

TEST_F(DataFileTest, WrittenBlocksReadBackUnchangedInOrder) {
  std::vector<CounterArrays> blocks = {test::makeBlock("src/main.c", {3, 7, 2, 4, 3}, 1),
                                       test::makeBlock(std::string(261, 'n'), {1, 0, 0, 0, 0}, 2),
                                       test::makeBlock("C:\\work\\b.cpp", {5, 0, 6, 0, 1}, 3)};
  blocks[1].instrumentationTime = -5;
  std::string path = dir.file("merged.dat");
  writeDataFile(path, {&blocks[0], &blocks[1], &blocks[2]});
  EXPECT_EQ(currentDataFileStamp(), "Tue Nov 14 22:13:20 2023");
  resetDataFileState();
  EXPECT_EQ(readDataFileHeader(path), "Tue Nov 14 22:13:20 2023");
  std::vector<CounterArrays> read = readAll(path);
  ASSERT_EQ(read.size(), blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) test::expectSameBlock(read[i], blocks[i]);

  writeDataFile(path, {});
  EXPECT_EQ(test::readFile(path).size(), 48u + 14u);
  EXPECT_TRUE(readAll(path).empty());
}

TEST_F(DataFileTest, WritesTheExactLittleEndianLayout) {
  CounterArrays block{"a.c", 0x01020304, 0xCAFEBABE, 0, 0, {1, 0, 1, 0, 1}, {0x11223344}, {}, {5}, {6}, {}, {7}, {~0u}};
  std::string path = dir.file("one.dat");
  writeDataFile(path, {&block});
  EXPECT_EQ(test::readFile(path), DataBytes{}
                                      .text("Tarvo dat 9|Tue Nov 14 22:13:20 2023")
                                      .text("\x78\x56\x34\x12\xF0\xDE\xBC\x9A").word(1)
                                      .word(0x12345678).word(3).word(0x01020304).word(0xCAFEBABE).word(0).word(0)
                                      .word(1).word(0).word(1).word(0).word(1)
                                      .text("a.c").word(0x11223344).word(5).word(6).word(7).word(~0u)
                                      .text("[EOF DATAFILE]").bytes);
}

TEST_F(DataFileTest, HeaderBlanksMatchAnyRunOfWhiteSpaceIncludingNone) {
  std::string stamp = "Mon Jan  1 00:00:00 2024";
  for (std::string prefix : {"Tarvo\n\t  dat\r\n9|", "Tarvodat9|"}) {
    std::string path = dir.write("s.dat", DataBytes{}.text(prefix).text(stamp).word(0x12345678)
                                              .word(0x9ABCDEF0).word(0).bytes);
    EXPECT_EQ(readDataFileHeader(path), stamp) << prefix;
  }
  // The stamp takes white space as it comes.
  std::string path = dir.write("s.dat", DataBytes{}.text("Tarvo dat 9|").text(std::string(24, ' '))
                                            .word(0x12345678).word(0x9ABCDEF0).word(0).bytes);
  EXPECT_EQ(readDataFileHeader(path), std::string(24, ' '));
}

TEST_F(DataFileTest, NameHoldingLineFeedEndsThereAndLeavesTheRestAsWords) {
  std::string path = dir.write("lf.dat", DataBytes{}.header(1).blockWords(6, 10, 1).text("x\nABCD").bytes);
  openDataFile(path);
  CounterArrays block;
  readCounterBlock(block);
  EXPECT_EQ(block.name, "x\n");
  EXPECT_EQ(block.functionCounts, std::vector<uint32_t>{0x44434241});
}

TEST_F(DataFileTest, BlockHeadersSkipTheArrays) {
  CounterArrays first = test::makeBlock("first.c", {4, 5, 6, 7, 8}, 1);
  CounterArrays second = test::makeBlock("second.c", {1, 0, 0, 0, 0}, 2);
  std::string path = dir.file("two.dat");
  writeDataFile(path, {&first, &second});
  ASSERT_EQ(openDataFile(path), 2u);
  CounterArrays header;
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_EQ(std::tie(header.name, header.sizes, header.fingerprint), std::tie(first.name, first.sizes, first.fingerprint));
  EXPECT_TRUE(header.functionCounts.empty());
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_EQ(std::tie(header.name, header.updCount), std::tie(second.name, second.updCount));
}

TEST_F(DataFileTest, WriteFailuresNameTheTargetAndTheSystemError) {
  CounterArrays block = test::makeBlock("a.c", {1, 0, 0, 0, 0}, 1);
  std::string missingDir = dir.file("no/such/x.dat");
  auto outcome = test::captureRun([&] { writeDataFile(missingDir, {&block}); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 8: Cannot create file " + missingDir + ": No such file or directory\n");
  outcome = test::captureRun([&] { writeDataFile("/dev/full", {&block}); });
  EXPECT_EQ(outcome.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
}

}  // namespace
}  // namespace qar
