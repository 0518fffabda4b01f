#include "coverage/postsym.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/input_source.h"
#include "coverage/database.h"
#include "coverage/symbol_line_reader.h"
#include "cmdline/postcmdl.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

const std::string kHead = "Tarvo sym 9\nThu Jan  1 00:00:00 1970\n";
const std::string kEnd = "END OF SYMBOLFILE\n";
const std::string kBlockA = "@src/a.c\n3 1700000000 0000BEEF 1 2\n0 10 0 0 0 main\n20 11 1 0 1 x > 0\n%40,1,0,1,0,0\n";
const std::string kBlockB = "@inc/b c.h\n1 1700000001 abcdef01 0 0\n#include \"x.h\"\n0 5 0 0 0 inl\n%12,1,0,0,0,0\n";

std::vector<std::string> linesOf(const MonitoredFile& file) {
  std::vector<std::string> lines;
  for (const DescriptionLine& line : file.descriptionLines) lines.emplace_back(lineText(line));
  return lines;
}

std::vector<std::string> fileNames() {
  std::vector<std::string> names;
  for (const MonitoredFile& file : database().monitoredFiles) names.push_back(file.name);
  return names;
}

class SymbolFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDatabase();
    resetDiagnostics();
    resetSymbolFileState();
    setOptions(OptionSettings{});
  }
  void TearDown() override {
    resetSymbolFileState();
    setOptions(OptionSettings{});
  }

  // Reads the given symbol files in order.
  test::Outcome read(const std::vector<std::string>& paths, LoadingMode mode = LoadingMode::ContentsListing) {
    for (const std::string& path : paths) database().symbolFilesRead.push_back(InputFileEntry{path, ""});
    return captureRun([&] { readSymbolFiles(mode); });
  }
  std::string symbolFileError(const std::string& path) const {
    return "QARPost error 5: Error in symbol file " + path + "\n";
  }

  test::TempDir dir;
};

TEST_F(SymbolFileTest, ReadsBlocksIntoMonitoredFilesWithTheirLines) {
  // Trailing blanks, carriage returns and blank lines around the magic and stamp lines go.
  std::string path = dir.write("m.sym", "Tarvo sym 9  \r\n\n \t \nstamp text \r\n" + kBlockA + kBlockB + kEnd);
  EXPECT_EQ(openSymbolFile(path), "stamp text");
  // A contents listing keeps what the name, info and count lines say, and
  // none of the lines; a report keeps the lines too.
  for (LoadingMode mode : {LoadingMode::ContentsListing, LoadingMode::Report}) {
    resetDatabase();
    ASSERT_EQ(read({path}, mode).err, "");
    ASSERT_EQ(fileNames(), (std::vector<std::string>{"src/a.c", "inc/b c.h"}));
    const MonitoredFile& a = database().monitoredFiles.front();
    EXPECT_EQ(std::tie(a.instrumentationTime, a.fingerprint, a.rwrCount, a.updCount, a.sourceLineCount),
              std::make_tuple(int64_t{1700000000}, 0xBEEFu, 1u, 2u, 40u));
    EXPECT_EQ(a.counterSizes, (CounterSizes{1, 0, 1, 0, 0}));
    EXPECT_EQ(database().monitoredFiles.back().fingerprint, 0xABCDEF01u);  // lower-case digits
    if (mode == LoadingMode::ContentsListing) {
      EXPECT_TRUE(a.descriptionLines.empty());
    } else {
      EXPECT_EQ(linesOf(a), (std::vector<std::string>{"@src/a.c", "3 1700000000 0000BEEF 1 2", "0 10 0 0 0 main",
                                                      "20 11 1 0 1 x > 0", "%40,1,0,1,0,0"}));
    }
  }
}

TEST_F(SymbolFileTest, HeaderErrors) {
  std::string missing = dir.file("missing.sym");
  EXPECT_EQ(captureRun([&] { openSymbolFile(missing); }).err,
            "QARPost error 14: Cannot open file " + missing + ": No such file or directory\n");
  EXPECT_EQ(captureRun([&] { openSymbolFile(dir.path().string()); }).err,
            "QARPost error 16: Cannot read file " + dir.path().string() + ": Is a directory\n");
  for (const std::string& content : {" Tarvo sym 9\nstamp\n" + kEnd, "Tarvo sym 8\nstamp\n" + kEnd}) {
    std::string path = dir.write("bad.sym", content);
    EXPECT_EQ(captureRun([&] { openSymbolFile(path); }).err,
              "QARPost error 3: Bad identification stamp in file " + path + "\n");
  }
  // The end of the file before the magic or the stamp line is a missing terminator.
  for (const std::string& content : {std::string("Tarvo sym 9\n\n  \n"), std::string(), std::string("\n \t\n")}) {
    std::string path = dir.write("short.sym", content);
    EXPECT_EQ(captureRun([&] { openSymbolFile(path); }).err, symbolFileError(path));
  }
}

TEST_F(SymbolFileTest, MalformedBlocksAreErrorFive) {
  const std::string info = "1 5 00000001 0 0\n";
  const std::vector<std::string> bodies = {
      "",                                                // no terminator
      "0 1 0 0 0 f\n",                                   // record before any name line
      "@a.c\n0 1 0 0 0 f\n",                             // record before the info line
      "@a.c\n%1,0,0,0,0,0\n",                            // count line before the info line
      "@a.c\n2 5 00000001 0 0\n",                        // function bit clear
      "@a.c\n1 0 00000001 0 0\n",                        // time below 1
      "@a.c\n1 5 00000001 0 0 6\n",                      // six numbers: a record line
      "@a.c\n" + info + "%1,0,0,0,0\n",                  // five counts
      "@a.c\n" + info + "%1,0,0 ,0,0,0\n",               // a blank before a comma
      "@a.c\n" + info + "%3,0,0,0,0,0\n0 1 0 0 0 f\n",   // record after a complete block
      "@a.c\n" + info + "%3,0,0,0,0,0\n%3,0,0,0,0,0\n",  // second count line
  };
  for (size_t i = 0; i < bodies.size(); ++i) {
    resetDatabase();
    std::string path = dir.write("e.sym", kHead + bodies[i] + (i == 0 ? "" : kEnd));
    test::Outcome outcome = read({path});
    EXPECT_EQ(outcome.status, 1) << bodies[i];
    EXPECT_EQ(outcome.err, symbolFileError(path)) << bodies[i];
  }
}

// The same input through several buffer sizes: lines that cross the
// buffer's end, long lines cut at 4095 with their rest skipped.
TEST_F(SymbolFileTest, LineReaderGivesTheSameLinesForAnyBufferSize) {
  std::string content = "a\r\nbb  \n\n\t \n" + std::string(4095, 'y') + "\n" + std::string(4094, 'z') + "\r\n" +
                        std::string(4100, 'w') + "\rQlost\n" + std::string(4095, 'v') + "\r\nx\t\n x\n\ty \r\ntail";
  std::string path = dir.write("lines.txt", content);
  std::vector<std::string> expected = {"a", "bb", std::string(4095, 'y'), std::string(4094, 'z'),
                                       std::string(4095, 'w'), "lost", std::string(4095, 'v'),
                                       "x\t", " x", "\ty", "tail"};
  for (size_t bufferSize : {size_t{1} << 20, size_t{7}, size_t{4096}}) {
    SymbolLineReader reader(bufferSize);
    ASSERT_TRUE(reader.open(path));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.nextKeptLine(line) == SymbolLineReader::Status::Line) lines.emplace_back(line);
    EXPECT_EQ(lines, expected) << bufferSize;
  }
}

// The same lines through a FIFO fed in pieces: at the first opening, which
// keeps the bytes, and at the next, which reads the kept bytes, both with a
// buffer smaller than a piece and one larger.
TEST_F(SymbolFileTest, LineReaderGivesTheSameLinesFromAFifoAtEveryOpening) {
  std::string content = kHead;
  std::vector<std::string> expected = {"Tarvo sym 9", "Thu Jan  1 00:00:00 1970"};
  for (int i = 0; i < 3000; ++i) {
    content += "13 " + std::to_string(i) + " 1 0 2 line " + std::to_string(i) + "  \n";
    expected.push_back("13 " + std::to_string(i) + " 1 0 2 line " + std::to_string(i));
  }
  for (size_t bufferSize : {size_t{7}, size_t{1} << 20}) {
    forgetKeptInputs();
    const std::string fifo = dir.file("lines" + std::to_string(bufferSize) + ".sym");
    test::FifoFeeder feeder(fifo, content, 509);
    SymbolLineReader reader(bufferSize);
    for (int opening = 0; opening < 2; ++opening) {
      ASSERT_TRUE(reader.open(fifo));
      std::vector<std::string> lines;
      std::string_view line;
      while (reader.nextKeptLine(line) == SymbolLineReader::Status::Line) lines.emplace_back(line);
      EXPECT_EQ(lines, expected) << bufferSize << " opening " << opening;
      EXPECT_TRUE(reader.keepRest());
      EXPECT_EQ(reader.close(), 0);
    }
  }
  forgetKeptInputs();
}

TEST_F(SymbolFileTest, DeselectedBlocksAreSkippedWhateverTheyHold) {
  OptionSettings settings;
  settings.chosenFiles = std::vector<std::string>{"src/a.c", "inc/*"};
  settings.unchosenFiles = std::vector<std::string>{"inc/b c.h"};
  setOptions(settings);
  std::string path = dir.write("m.sym", kHead + "@skip.c\nnot an info line\n%garbage\n" + kBlockB + kBlockA + kEnd);
  EXPECT_EQ(read({path}).err, "");
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"src/a.c"}));
  // Reports read -nf files; they are removed only after the preparation pass.
  resetDatabase();
  read({path}, LoadingMode::Report);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"inc/b c.h", "src/a.c"}));
}

TEST_F(SymbolFileTest, CurrentBlockCarriesOverToTheNextFile) {
  std::string first = dir.write("1.sym", kHead + "@a.c\n1 5 00000001 0 0\n0 1 0 0 0 f\n" + kEnd);
  std::string second = dir.write("2.sym", kHead + "3 2 0 0 0\n%9,1,0,0,0,0\n" + kBlockB + kEnd);
  read({first, second});
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"a.c", "inc/b c.h"}));
  EXPECT_EQ(database().monitoredFiles.front().sourceLineCount, 9u);
  // Once that block is complete, a leading record line of the next file is an error.
  resetDatabase();
  std::string third = dir.write("3.sym", kHead + "0 1 0 0 0 g\n" + kEnd);
  EXPECT_EQ(read({second, third}).err, symbolFileError(second));
}

// A count line with no source lines leaves the block open: the record lines
// after it are its lines still, up to the next name line.
TEST_F(SymbolFileTest, RecordLinesAfterACountLineWithoutSourceLinesStayInTheBlock) {
  std::string path = dir.write("m.sym", kHead + "@a.c\n1 5 00000001 0 0\n0 1 0 0 0 f\n%0,1,0,0,0,0\n13 2 1 0 1 r\n" +
                                            "%0,1,1,0,0,0\n14 3 1 1 1 s\n" + kBlockA + kEnd);
  ASSERT_EQ(read({path}, LoadingMode::Report).err, "");
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"a.c", "src/a.c"}));
  EXPECT_EQ(linesOf(database().monitoredFiles.front()),
            (std::vector<std::string>{"@a.c", "1 5 00000001 0 0", "0 1 0 0 0 f", "%0,1,0,0,0,0", "13 2 1 0 1 r",
                                      "%0,1,1,0,0,0", "14 3 1 1 1 s"}));
  EXPECT_EQ(database().monitoredFiles.front().counterSizes, (CounterSizes{1, 1, 0, 0, 0}));
  EXPECT_EQ(linesOf(database().monitoredFiles.back()).size(), 5u);
}

TEST_F(SymbolFileTest, WriteFailuresNameTheTarget) {
  appendDescriptionLine(appendMonitoredFile("a.c"), "@a.c");
  EXPECT_EQ(captureRun([] { writeSymbolFile("/dev/full"); }).err,
            "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
  std::string target = dir.file("no/such/dir.sym");
  EXPECT_EQ(captureRun([&] { writeSymbolFile(target); }).err,
            "QARPost error 8: Cannot create file " + target + ": No such file or directory\n");
}

}  // namespace
}  // namespace qar
