// Data files: the written layout, reading it back, and damaged files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/input_source.h"
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
  std::vector<CounterArrays> readAll(const std::string& name) {
    std::vector<CounterArrays> blocks(openDataFile(name));
    for (CounterArrays& block : blocks) readCounterBlock(block);
    closeDataFile();
    return blocks;
  }
  // The error line of reading the first block of a file holding `bytes`.
  std::string firstBlockError(const std::string& bytes) {
    dir.write("t.dat", bytes);
    return test::captureRun([&] {
      CounterArrays block;
      openDataFile(path);
      readCounterBlock(block);
    }).err;
  }
  // Reads block headers until one fails; returns that code.
  ErrorCode firstHeaderError(const std::string& bytes, test::Outcome& outcome) {
    dir.write("t.dat", bytes);
    ErrorCode code = kNoError;
    outcome = test::captureRun([&] {
      CounterArrays header;
      for (uint32_t i = openDataFile(path); i > 0 && code == kNoError; --i) code = readBlockHeader(header);
    });
    return code;
  }
  std::string message(int code, std::string_view text) const {
    return "QARPost error " + std::to_string(code) + ": " + std::string(text) + path + "\n";
  }
  std::string badDataFile() const { return message(2, "Bad data file "); }

  test::TempDir dir;
  std::string path = dir.file("t.dat");
};

TEST_F(DataFileTest, WritesTheExactLittleEndianLayoutAndReadsItBack) {
  CounterArrays block{"a.c", 0x01020304, 0xCAFEBABE, 0, 0, {1, 0, 1, 0, 1}, {0x11223344}, {}, {5}, {6}, {}, {7}, {~0u}};
  writeDataFile(path, {&block});
  EXPECT_EQ(test::readFile(path), DataBytes{}
                                      .text("Tarvo dat 9|Tue Nov 14 22:13:20 2023")
                                      .text("\x78\x56\x34\x12\xF0\xDE\xBC\x9A").word(1)
                                      .word(0x12345678).word(3).word(0x01020304).word(0xCAFEBABE).word(0).word(0)
                                      .word(1).word(0).word(1).word(0).word(1)
                                      .text("a.c").word(0x11223344).word(5).word(6).word(7).word(~0u)
                                      .text("[EOF DATAFILE]").bytes);

  std::vector<CounterArrays> blocks = {test::makeBlock("src/main.c", {3, 7, 2, 4, 3}, 1),
                                       test::makeBlock(std::string(261, 'n'), {1, 0, 0, 0, 0}, 2)};
  blocks[1].instrumentationTime = -5;
  writeDataFile(path, {&blocks[0], &blocks[1]});
  resetDataFileState();
  EXPECT_EQ(readDataFileHeader(path), "Tue Nov 14 22:13:20 2023");
  std::vector<CounterArrays> read = readAll(path);
  ASSERT_EQ(read.size(), 2u);
  for (size_t i = 0; i < blocks.size(); ++i) test::expectSameBlock(read[i], blocks[i]);
  // Block headers alone skip the arrays.
  ASSERT_EQ(openDataFile(path), 2u);
  CounterArrays header;
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_TRUE(header.functionCounts.empty());
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_EQ(std::tie(header.name, header.sizes, header.updCount), std::tie(blocks[1].name, blocks[1].sizes, blocks[1].updCount));
}

// A data file through a FIFO, in pieces that split words and names: its
// header is checked at the first opening, which keeps its bytes, and its
// blocks are read from them later, as often as it is named, whole and as
// headers only (arrays larger than the stream's buffer are skipped).
TEST_F(DataFileTest, AFifoIsReadOnceInPiecesAndGivesTheBlocksOfTheSameRegularFile) {
  std::vector<CounterArrays> blocks = {test::makeBlock("src/main.c", {30000, 7, 2, 4, 3}, 1),
                                       test::makeBlock("src/util.c", {3, 20000, 0, 0, 0}, 2)};
  writeDataFile(path, {&blocks[0], &blocks[1]});
  const std::string bytes = test::readFile(path);
  ASSERT_GT(bytes.size(), 200000u);
  const std::string fifo = dir.file("run.dat");
  test::FifoFeeder feeder(fifo, bytes, 1001);

  EXPECT_EQ(readDataFileHeader(fifo), "Tue Nov 14 22:13:20 2023");
  for (int reading = 0; reading < 2; ++reading) {
    std::vector<CounterArrays> read = readAll(fifo);
    ASSERT_EQ(read.size(), 2u);
    for (size_t i = 0; i < blocks.size(); ++i) test::expectSameBlock(read[i], blocks[i]);
  }
  ASSERT_EQ(openDataFile(fifo), 2u);
  CounterArrays header;
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_EQ(readBlockHeader(header), kNoError);
  EXPECT_EQ(header.name, "src/util.c");
  closeDataFile();
  forgetKeptInputs();
}

TEST_F(DataFileTest, HeaderBlanksMatchAnyWhiteSpaceAndANameEndsAtALineFeed) {
  for (std::string prefix : {"Tarvo\n\t  dat\r\n9|", "Tarvodat9|"}) {
    dir.write("t.dat", DataBytes{}.text(prefix).text("Mon Jan  1 00:00:00 2024").word(0x12345678).word(0x9ABCDEF0)
                           .word(0).bytes);
    EXPECT_EQ(readDataFileHeader(path), "Mon Jan  1 00:00:00 2024") << prefix;
  }
  dir.write("t.dat", DataBytes{}.header(1).blockWords(6, 10, 1).text("x\nABCD").bytes);
  openDataFile(path);
  CounterArrays block;
  readCounterBlock(block);
  EXPECT_EQ(block.name, "x\n");  // the rest of the name is read as the first counter
  EXPECT_EQ(block.functionCounts, std::vector<uint32_t>{0x44434241});
}

// A name stops after its line feed and at a NUL byte, wherever they stand,
// also read from an input that is kept (a FIFO): the bytes after the line
// feed are the block's counters, and the next block follows them.
TEST_F(DataFileTest, ANameStopsAfterItsLineFeedAndTheCountersFollowIt) {
  struct Case {
    std::string nameBytes;  // as many as the block's name length says
    std::string name;       // the name read
    std::string counter;    // the bytes read as its one counter
  };
  const Case cases[] = {{"x\nABCD", "x\n", "ABCD"},
                        {"\nABCD", "\n", "ABCD"},
                        {std::string("a\0b\nABCD", 8), "a", "ABCD"},
                        {"x\n", "x\n", ""},
                        {std::string("ab\0\0", 4), "ab", ""}};
  for (const Case& c : cases) {
    // The counter's bytes that the name's length does not cover follow it.
    const std::string after = std::string("WXYZ").substr(c.counter.size());
    const std::string bytes = DataBytes{}
                                  .header(2)
                                  .blockWords(static_cast<uint32_t>(c.nameBytes.size()), 10, 1)
                                  .text(c.nameBytes)
                                  .text(after)
                                  .blockWords(3, 10, 1)
                                  .text("n.c")
                                  .word(9)
                                  .bytes;
    uint32_t counter = 0;
    std::memcpy(&counter, (c.counter + after).data(), sizeof counter);
    dir.write("t.dat", bytes);
    const std::string fifo = dir.file("n.fifo");
    test::FifoFeeder feeder(fifo, bytes, 3);
    for (const std::string& file : {path, fifo}) {
      std::vector<CounterArrays> read = readAll(file);
      ASSERT_EQ(read.size(), 2u) << file;
      EXPECT_EQ(read[0].name, c.name) << file;
      EXPECT_EQ(read[0].functionCounts, std::vector<uint32_t>{counter}) << file;
      EXPECT_EQ(read[1].name, "n.c") << file;
      EXPECT_EQ(read[1].functionCounts, std::vector<uint32_t>{9}) << file;
    }
    forgetKeptInputs();
    std::filesystem::remove(fifo);
  }
}

TEST_F(DataFileTest, BadHeadersAreErrorCodes3And4AndLeaveNoStamp) {
  std::string stamp = "Tarvo dat 9|Thu Jan  1 00:00:00 1970";
  for (const std::string& start : {std::string("Tarvo sym 9|Thu Jan  1 00:00:00 1970"), " " + stamp, stamp.substr(0, 22),
                                   std::string()}) {
    EXPECT_EQ(firstBlockError(start), message(3, "Bad identification stamp in file ")) << start;
    EXPECT_EQ(currentDataFileStamp(), kUnavailableStamp);
  }
  for (auto [first, second] : {std::pair{0x78563412u, 0xF0DEBC9Au}, {0x12345678u, 0x12345678u}}) {
    EXPECT_EQ(firstBlockError(DataBytes{}.text(stamp).word(first).word(second).word(0).bytes),
              message(4, "Incompatible number format in file "));
  }
}

TEST_F(DataFileTest, TruncatedOrOutOfRangeBlocksAreErrorCode2) {
  std::string file = DataBytes{}.header(1).blockWords(3, 10, 2, 1).text("a.c").word(1).word(2).word(3).bytes;
  EXPECT_EQ(firstBlockError(file), "");
  for (size_t cut : {38, 46, 48, 68, 92, 94, 98}) EXPECT_EQ(firstBlockError(file.substr(0, cut)), badDataFile()) << cut;
  auto withWords = [](DataBytes words) { return DataBytes{}.header(1).text(words.bytes).text(std::string(300, 'x')).bytes; };
  EXPECT_EQ(firstBlockError(withWords(DataBytes{}.blockWords(261, 1, 1))), "");
  for (DataBytes words : {DataBytes{}.blockWords(262, 1, 1), DataBytes{}.blockWords(0, 1, 1),
                          DataBytes{}.blockWords(1, 0, 1), DataBytes{}.blockWords(1, 1, 0),
                          DataBytes{}.word(0x12345679).text(DataBytes{}.blockWords(1, 1, 1).bytes.substr(4))}) {
    EXPECT_EQ(firstBlockError(withWords(words)), badDataFile());
  }
}

rlim_t mappedBytes() {
  rlim_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(DataFileTest, HostileSizesAreErrorCode2WithoutHugeAllocations) {
  // With the address space capped 2 GiB above what is mapped now, allocating
  // what the sizes claim would end the test binary.
  rlimit old{};
  getrlimit(RLIMIT_AS, &old);
  rlimit capped = old;
  capped.rlim_cur = std::min(old.rlim_cur, mappedBytes() + (rlim_t{2} << 30));
  setrlimit(RLIMIT_AS, &capped);
  std::string tail = DataBytes{}.text("a.c").word(1).word(2).word(3).bytes;
  std::vector<std::string> errors;
  for (DataBytes words : {DataBytes{}.blockWords(0xFFFFFFFF, 1, 1), DataBytes{}.blockWords(3, 1, 0xFFFFFFF0),
                          DataBytes{}.blockWords(3, 1, 0x40000000), DataBytes{}.blockWords(3, 1, 1, 0, 0xFFFFFFF0)}) {
    errors.push_back(firstBlockError(DataBytes{}.header(1).text(words.bytes).text(tail).bytes));
  }
  test::Outcome skipped;
  ErrorCode skipCode = firstHeaderError(DataBytes{}.header(1).blockWords(3, 1, 1, 0xFFFFFFF0).text(tail).bytes, skipped);
  setrlimit(RLIMIT_AS, &old);
  for (const std::string& error : errors) EXPECT_EQ(error, badDataFile());
  EXPECT_EQ(skipCode, kBadDataFile);
}

TEST_F(DataFileTest, HeaderOnlyReadingReportsAndContinues) {
  std::string good = DataBytes{}.blockWords(3, 1, 2).text("a.c").word(1).word(2).bytes;
  test::Outcome outcome;
  for (DataBytes bad : {DataBytes{}.blockWords(3, 1, 2).text("b.c").word(1), DataBytes{}.blockWords(262, 1, 1),
                        DataBytes{}.word(0x12345678)}) {
    EXPECT_EQ(firstHeaderError(DataBytes{}.header(2).text(good).text(bad.bytes).bytes, outcome), kBadDataFile);
    EXPECT_FALSE(outcome.ended);
    EXPECT_EQ(outcome.err, badDataFile());
  }
  EXPECT_EQ(firstHeaderError(DataBytes{}.header(1).text(good).bytes, outcome), kNoError);  // ends with the file
}

TEST_F(DataFileTest, FailuresNameTheFileAndTheSystemError) {
  std::string missing = dir.file("no/such/x.dat");
  CounterArrays block = test::makeBlock("a.c", {1, 0, 0, 0, 0}, 1);
  EXPECT_EQ(test::captureRun([&] { readDataFileHeader(missing); }).err,
            "QARPost error 14: Cannot open file " + missing + ": No such file or directory\n");
  // A directory opens, and its stamp cannot be scanned: a bad stamp.
  EXPECT_EQ(test::captureRun([&] { readDataFileHeader(dir.path().string()); }).err,
            "QARPost error 3: Bad identification stamp in file " + dir.path().string() + "\n");
  EXPECT_EQ(test::captureRun([&] { writeDataFile(missing, {&block}); }).err,
            "QARPost error 8: Cannot create file " + missing + ": No such file or directory\n");
  EXPECT_EQ(test::captureRun([&] { writeDataFile("/dev/full", {&block}); }).err,
            "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
}

}  // namespace
}  // namespace qar
