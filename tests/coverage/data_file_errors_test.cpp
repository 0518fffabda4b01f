#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "coverage/data_file_support.h"
#include "coverage/postdata.h"
#include "test_support.h"

namespace qar {
namespace {

using test::DataBytes;

class DataFileErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDataFileState();
  }
  void TearDown() override { resetDataFileState(); }

  // Reads the first block of `bytes` (or of the file at `path` when empty).
  test::Outcome readFirstBlock(const std::string& bytes, CounterArrays& block) {
    if (!bytes.empty()) dir.write("t.dat", bytes);
    return test::captureRun([&] {
      openDataFile(path);
      readCounterBlock(block);
    });
  }
  std::string firstBlockError(const std::string& bytes) {
    CounterArrays block;
    dir.write("t.dat", bytes);
    return readFirstBlock("", block).err;
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

TEST_F(DataFileErrorsTest, HeaderFailuresAndTheStampLeftBehind) {
  std::string missing = dir.file("none.dat");
  auto outcome = test::captureRun([&] { readDataFileHeader(missing); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + missing + ": No such file or directory\n");
  EXPECT_EQ(currentDataFileStamp(), kUnavailableStamp);

  for (std::string start : {"Tarvo sym 9|Thu Jan  1 00:00:00 1970", " Tarvo dat 9|Thu Jan  1 00:00:00 1970",
                            "Tarvo dat 9|Thu Jan  1", ""}) {
    EXPECT_EQ(firstBlockError(start), message(3, "Bad identification stamp in file ")) << start;
    EXPECT_EQ(currentDataFileStamp(), kUnavailableStamp);
  }
  // Magic words in the other byte order, or only the second one wrong.
  std::string stamp = "Tarvo dat 9|Thu Jan  1 00:00:00 1970";
  for (auto [first, second] : {std::pair{0x78563412u, 0xF0DEBC9Au}, {0x12345678u, 0x12345678u}}) {
    EXPECT_EQ(firstBlockError(DataBytes{}.text(stamp).word(first).word(second).word(0).bytes),
              message(4, "Incompatible number format in file "));
    EXPECT_EQ(currentDataFileStamp(), kUnavailableStamp);
  }
}

TEST_F(DataFileErrorsTest, FileEndingInsideHeaderBlockOrArrayIsErrorCode2) {
  std::string file = DataBytes{}.header(1).blockWords(3, 10, 2, 1).text("a.c").word(1).word(2).word(3).bytes;
  EXPECT_EQ(firstBlockError(file), "");
  for (size_t cut : {38, 46, 48, 68, 92, 94, 98}) EXPECT_EQ(firstBlockError(file.substr(0, cut)), badDataFile()) << cut;
  CounterArrays block;
  dir.write("t.dat", DataBytes{}.header(2).text(file.substr(48)).text("[EOF DATAFILE]").bytes);
  EXPECT_EQ(readFirstBlock("", block).err, "");
  EXPECT_EQ(test::captureRun([&] { readCounterBlock(block); }).err, badDataFile());  // counted, not there
}

TEST_F(DataFileErrorsTest, BlockWordsOutOfRangeAreErrorCode2) {
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

TEST_F(DataFileErrorsTest, HostileSizesAreErrorCode2WithoutHugeAllocations) {
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
  EXPECT_EQ(skipped.err, badDataFile());
}

TEST_F(DataFileErrorsTest, HeaderOnlyReadingReportsAndContinues) {
  std::string good = DataBytes{}.blockWords(3, 1, 2).text("a.c").word(1).word(2).bytes;
  test::Outcome outcome;
  for (DataBytes bad : {DataBytes{}.blockWords(3, 1, 2).text("b.c").word(1), DataBytes{}.blockWords(262, 1, 1),
                        DataBytes{}.word(0x12345678)}) {
    EXPECT_EQ(firstHeaderError(DataBytes{}.header(2).text(good).text(bad.bytes).bytes, outcome), kBadDataFile);
    EXPECT_FALSE(outcome.ended);
    EXPECT_EQ(outcome.err, badDataFile());
  }
  // Arrays ending exactly at the end of the file are complete.
  EXPECT_EQ(firstHeaderError(DataBytes{}.header(1).text(good).bytes, outcome), kNoError);
  EXPECT_EQ(outcome.err, "");
}

}  // namespace
}  // namespace qar
