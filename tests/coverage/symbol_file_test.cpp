#include "coverage/postsym.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "coverage/symbol_line_reader.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::TempDir;

const std::string kHead = "Tarvo sym 9\nThu Jan  1 00:00:00 1970\n";
const std::string kEnd = "END OF SYMBOLFILE\n";

const std::string kBlockA =
    "@src/a.c\n"
    "3 1700000000 0000BEEF 1 2\n"
    "0 10 0 0 0 main\n"
    "20 11 1 0 1 x > 0\n"
    "%40,1,0,1,0,0\n";
const std::string kBlockB =
    "@inc/b c.h\n"
    "1 1700000001 ABCDEF01 0 0\n"
    "#include \"x.h\"\n"
    "0 5 0 0 0 inl\n"
    "%12,1,0,0,0,0\n";

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
    resetDatabase();
    setOptions(OptionSettings{});
  }

  // Reads the given symbol files, in order, as contents listing (no
  // duplicate resolution).
  void read(const std::vector<std::string>& paths, LoadingMode mode = LoadingMode::ContentsListing) {
    for (const std::string& path : paths) database().symbolFilesRead.push_back(InputFileEntry{path, ""});
    readSymbolFiles(mode);
  }

  // The error line of a fatal read of one file with `content`.
  std::string readError(const std::string& content) {
    resetDatabase();
    std::string path = dir.write("e.sym", content);
    auto outcome = captureRun([&] { read({path}); });
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.status, 1);
    return outcome.err;
  }

  TempDir dir;
};

TEST_F(SymbolFileTest, ReadsBlocksIntoMonitoredFilesWithTheirLines) {
  std::string path = dir.write("m.sym", kHead + kBlockA + kBlockB + kEnd);
  EXPECT_EQ(openSymbolFile(path), "Thu Jan  1 00:00:00 1970");
  closeSymbolFile();
  read({path});
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"src/a.c", "inc/b c.h"}));
  const MonitoredFile& a = database().monitoredFiles.front();
  EXPECT_EQ(a.instrumentationTime, 1700000000);
  EXPECT_EQ(a.fingerprint, 0xBEEFu);
  EXPECT_EQ(a.rwrCount, 1u);
  EXPECT_EQ(a.updCount, 2u);
  EXPECT_EQ(a.sourceLineCount, 40u);
  EXPECT_EQ(a.counterSizes, (CounterSizes{1, 0, 1, 0, 0}));
  EXPECT_EQ(linesOf(a), (std::vector<std::string>{"@src/a.c", "3 1700000000 0000BEEF 1 2", "0 10 0 0 0 main",
                                                  "20 11 1 0 1 x > 0", "%40,1,0,1,0,0"}));
  EXPECT_EQ(database().monitoredFiles.back().fingerprint, 0xABCDEF01u);
  EXPECT_EQ(currentSymbolFileName(), path);
}

TEST_F(SymbolFileTest, EmptySymbolFileDescribesNothing) {
  read({dir.write("m.sym", kHead + kEnd)});
  EXPECT_FALSE(hasMonitoredFiles());
}

TEST_F(SymbolFileTest, BlankLinesCrLfAndTrailingBlanksAreTolerated) {
  std::string content =
      "Tarvo sym 9   \r\n\r\n \t \nstamp text  \r\n@a.c \r\n\n1 5 1 0 0\r\n  \r\n0 1 0 0 0 f\t \r\n%1,1,0,0,0,0\r\n"
      "END OF SYMBOLFILE\r\n@ignored after the end\n";
  std::string path = dir.write("m.sym", content);
  EXPECT_EQ(openSymbolFile(path), "stamp text");
  read({path});
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"a.c"}));
  EXPECT_EQ(linesOf(database().monitoredFiles.front()),
            (std::vector<std::string>{"@a.c", "1 5 1 0 0", "0 1 0 0 0 f\t", "%1,1,0,0,0,0"}));
}

TEST_F(SymbolFileTest, HeaderErrorsCarryTheirCodesAndTexts) {
  std::string missing = dir.file("missing.sym");
  auto outcome = captureRun([&] { openSymbolFile(missing); });
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file " + missing + ": No such file or directory\n");

  outcome = captureRun([&] { openSymbolFile(dir.path().string()); });
  EXPECT_EQ(outcome.err, "QARPost error 16: Cannot read file " + dir.path().string() + ": Is a directory\n");

  for (const std::string& content : {" Tarvo sym 9\nstamp\n" + kEnd, "Tarvo sym 8\nstamp\n" + kEnd}) {
    std::string path = dir.write("bad.sym", content);
    outcome = captureRun([&] { openSymbolFile(path); });
    EXPECT_EQ(outcome.err, "QARPost error 3: Bad identification stamp in file " + path + "\n") << content;
  }

  // The end of the file before the magic or the stamp line is a missing terminator.
  for (const std::string& content : {std::string("Tarvo sym 9\n\n  \n"), std::string(), std::string("\n \t\n")}) {
    std::string path = dir.write("short.sym", content);
    outcome = captureRun([&] { openSymbolFile(path); });
    EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file " + path + "\n") << content;
    EXPECT_TRUE(outcome.ended);
  }
}

TEST_F(SymbolFileTest, MalformedBlocksAreErrorFive) {
  const std::string info = "1 5 00000001 0 0\n";
  const std::vector<std::string> bodies = {
      "",                                                   // no terminator
      "0 1 0 0 0 f\n",                                      // record before any name line
      "@a.c\n0 1 0 0 0 f\n",                                // record before the info line
      "@a.c\n%1,0,0,0,0,0\n",                               // count line before the info line
      "@a.c\n2 5 00000001 0 0\n",                           // function bit clear
      "@a.c\n1 0 00000001 0 0\n",                           // time below 1
      "@a.c\n1 5 00000001 0 0 6\n",                         // six numbers: a record line
      "@a.c\n" + info + "%1,0,0,0,0\n",                     // five counts
      "@a.c\n" + info + "%1,0,0 ,0,0,0\n",                  // a blank before a comma
      "@a.c\n" + info + "%3,0,0,0,0,0\n0 1 0 0 0 f\n",      // record after a complete block
      "@a.c\n" + info + "%3,0,0,0,0,0\n%3,0,0,0,0,0\n",     // second count line
  };
  for (size_t i = 0; i < bodies.size(); ++i) {
    std::string content = kHead + bodies[i] + (i == 0 ? "" : kEnd);
    EXPECT_EQ(readError(content), "QARPost error 5: Error in symbol file " + dir.file("e.sym") + "\n")
        << bodies[i];
  }
}

TEST_F(SymbolFileTest, LinesOverTheLimitAreCutAndTheirRestSkipped) {
  std::string longText(5000, 'x');
  std::string content = kHead + "@a.c\n1 5 1 0 0\n0 1 0 0 0 " + longText + "\r\n3 2 0 0 0 next\n%1,1,0,0,0,0\n" + kEnd;
  read({dir.write("m.sym", content)});
  const MonitoredFile& file = database().monitoredFiles.front();
  ASSERT_EQ(file.descriptionLines.size(), 5u);
  EXPECT_EQ(lineText(file.descriptionLines[2]), "0 1 0 0 0 " + std::string(4095 - 10, 'x'));
  EXPECT_EQ(lineText(file.descriptionLines[3]), "3 2 0 0 0 next");
}

// The same input read through a tiny buffer exercises lines that cross the
// buffer's end; the lines must not depend on the buffer size.
TEST_F(SymbolFileTest, LineReaderGivesTheSameLinesForAnyBufferSize) {
  std::string content = "a\r\nbb  \n\n" + std::string(4095, 'y') + "\n" + std::string(4094, 'z') + "\r\n" +
                        std::string(4100, 'w') + "\rQlost\n" + std::string(4095, 'v') + "\r\ntail";
  std::string path = dir.write("lines.txt", content);
  std::vector<std::string> expected = {"a", "bb", std::string(4095, 'y'), std::string(4094, 'z'),
                                       std::string(4095, 'w'), "lost", std::string(4095, 'v'), "tail"};
  for (size_t bufferSize : {size_t{1} << 20, size_t{7}, size_t{4096}}) {
    SymbolLineReader reader(bufferSize);
    ASSERT_TRUE(reader.open(path));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.nextKeptLine(line) == SymbolLineReader::Status::Line) lines.emplace_back(line);
    EXPECT_EQ(lines, expected) << bufferSize;
  }
}

TEST_F(SymbolFileTest, ChosenFilesDeselectBlocksWhateverTheyHold) {
  OptionSettings settings;
  settings.chosenFiles = std::vector<std::string>{"src/a.c"};
  setOptions(settings);
  std::string content = kHead + "@skip.c\nnot an info line\n%garbage\n0 x\n" + kBlockA + kEnd;
  read({dir.write("m.sym", content)}, LoadingMode::ContentsListing);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"src/a.c"}));
}

TEST_F(SymbolFileTest, UnchosenFilesDeselectOnlyWhenListingOrAdding) {
  OptionSettings settings;
  settings.unchosenFiles = std::vector<std::string>{"inc/b c.h"};
  setOptions(settings);
  std::string path = dir.write("m.sym", kHead + kBlockB + kBlockA + kEnd);
  read({path}, LoadingMode::ContentsListing);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"src/a.c"}));
  // Reports read every block; -nf files are removed only after preparation.
  resetDatabase();
  read({path}, LoadingMode::Report);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"inc/b c.h", "src/a.c"}));
}

TEST_F(SymbolFileTest, CurrentBlockCarriesOverToTheNextFile) {
  std::string first = dir.write("1.sym", kHead + "@a.c\n1 5 00000001 0 0\n0 1 0 0 0 f\n" + kEnd);
  std::string second = dir.write("2.sym", kHead + "3 2 0 0 0\n%9,1,0,0,0,0\n" + kBlockB + kEnd);
  read({first, second});
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"a.c", "inc/b c.h"}));
  const MonitoredFile& a = database().monitoredFiles.front();
  EXPECT_EQ(a.sourceLineCount, 9u);
  EXPECT_EQ(linesOf(a).size(), 5u);

  // Once that block is complete, a leading record line of the next file is
  // an error of the next file.
  resetDatabase();
  std::string third = dir.write("3.sym", kHead + "0 1 0 0 0 g\n" + kEnd);
  auto outcome = captureRun([&] { read({second, third}); });
  EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file " + second + "\n");
  outcome = captureRun([&] {
    resetDatabase();
    read({dir.write("4.sym", kHead + kBlockA + kEnd), third});
  });
  EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file " + third + "\n");
}

TEST_F(SymbolFileTest, WrittenFileReadsBackToTheSameMonitoredFiles) {
  setenv("SOURCE_DATE_EPOCH", "86400", 1);
  setenv("TZ", "UTC", 1);
  read({dir.write("m.sym", kHead + kBlockA + "\n" + kBlockB + kEnd)});
  std::vector<std::vector<std::string>> before;
  for (const MonitoredFile& file : database().monitoredFiles) before.push_back(linesOf(file));

  std::string target = dir.file("out.sym");
  writeSymbolFile(target);
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(test::readFile(target), "Tarvo sym 9\nFri Jan  2 00:00:00 1970\n" + kBlockA + kBlockB + kEnd);

  resetDatabase();
  read({target});
  std::vector<std::vector<std::string>> after;
  for (const MonitoredFile& file : database().monitoredFiles) after.push_back(linesOf(file));
  EXPECT_EQ(after, before);
  EXPECT_EQ(database().monitoredFiles.back().counterSizes, (CounterSizes{1, 0, 0, 0, 0}));
}

TEST_F(SymbolFileTest, WriteFailuresNameTheTarget) {
  appendDescriptionLine(appendMonitoredFile("a.c"), "@a.c");
  auto outcome = captureRun([] { writeSymbolFile("/dev/full"); });
  EXPECT_EQ(outcome.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
  std::string target = dir.file("no/such/dir.sym");
  outcome = captureRun([&] { writeSymbolFile(target); });
  EXPECT_EQ(outcome.err, "QARPost error 8: Cannot create file " + target + ": No such file or directory\n");
  EXPECT_TRUE(outcome.ended);
}

}  // namespace
}  // namespace qar
