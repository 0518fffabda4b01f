#include "coverage/adding.h"

#include <gtest/gtest.h>

#include "coverage/coverage_files_fixture.h"
#include "coverage/data_file_support.h"
#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "cmdline/postcmdl.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::makeBlock;
using test::Outcome;
using test::symbolBlock;
using test::symbolFile;

class AddingTest : public test::CoverageFilesTest {
 protected:
  // Every block of a data file, in file order.
  std::vector<CounterArrays> readBack(const std::string& name) {
    std::vector<CounterArrays> blocks(openDataFile(name));
    for (CounterArrays& block : blocks) readCounterBlock(block);
    closeDataFile();
    return blocks;
  }

  Outcome addData(std::vector<std::string> inputs, const std::string& target) {
    return captureRun([&] { addDataFiles(inputs, target); });
  }
};

TEST_F(AddingTest, SameInstrumentationAddsCountersAndMovesTheEntryToTheEnd) {
  CounterArrays x = makeBlock("dir/x.c", {2, 1, 1, 1, 2}, 1);
  x.functionCounts = {4294967000u, 5};
  x.timeTotals = {0x90000000u, 7};
  x.timeMaxima = {0xFFFFFFFFu, 5};  // -1 as a signed maximum
  x.updCount = 0x80000000u;
  CounterArrays y = makeBlock("y.c", {1, 0, 0, 0, 0}, 2);
  writeData("first.dat", {x, y});

  CounterArrays later = x;
  later.name = "DIR\\X.C";  // the same file, spelled another way
  later.instrumentationTime = x.instrumentationTime + 50;
  later.timeMaxima = {3, 4};
  later.updCount = 0x7FFFFFFFu;
  writeData("second.dat", {later});

  Outcome outcome = addData({"first.dat", "second.dat"}, "sum.dat");
  EXPECT_EQ(outcome.err, "");
  std::vector<CounterArrays> blocks = readBack("sum.dat");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].name, "y.c");
  const CounterArrays& sum = blocks[1];
  EXPECT_EQ(sum.name, "dir/x.c");  // the first spelling stays
  EXPECT_EQ(sum.instrumentationTime, later.instrumentationTime);
  EXPECT_EQ(sum.functionCounts, (std::vector<uint32_t>{4294967295u, 10}));
  EXPECT_EQ(sum.jumpCounts[0], x.jumpCounts[0] * 2);
  EXPECT_EQ(sum.timeTotals, (std::vector<uint32_t>{0x20000000u, 14}));
  EXPECT_EQ(sum.timeMaxima, (std::vector<uint32_t>{3, 5}));
  EXPECT_EQ(sum.updCount, 0u);  // 0x80000000 + 0x7FFFFFFF + 1 wraps
  EXPECT_EQ(sum.rwrCount, x.rwrCount);
}

TEST_F(AddingTest, OtherInstrumentationKeepsTheLaterTime) {
  CounterArrays p = makeBlock("p.c", {1, 0, 0, 0, 0}, 1);
  CounterArrays q = makeBlock("q.c", {1, 0, 0, 0, 0}, 2);
  CounterArrays r = makeBlock("r.c", {1, 0, 0, 0, 0}, 3);
  writeData("a.dat", {p, q, r});

  CounterArrays newerP = makeBlock("P.c", {2, 0, 0, 0, 0}, 9);  // later time
  newerP.instrumentationTime = p.instrumentationTime + 1;
  CounterArrays equalQ = makeBlock("q.c", {1, 0, 0, 0, 0}, 8);  // other fingerprint, same time
  equalQ.instrumentationTime = q.instrumentationTime;
  CounterArrays resizedR = makeBlock("r.c", {1, 1, 0, 0, 0}, 3);  // same fingerprint, other sizes
  resizedR.instrumentationTime = r.instrumentationTime - 1;
  writeData("b.dat", {newerP, equalQ, resizedR});

  // The target is one of the inputs: everything is read before it is written.
  Outcome outcome = addData({"a.dat", "b.dat"}, "a.dat");
  EXPECT_EQ(outcome.err,
            "QARPost notice: Different (+newer) counter data for file \"P.c\" coming from datafile \"b.dat\" "
            "(old counter data discarded).\n"
            "QARPost notice: Different (+older) counter data for file \"q.c\" coming from datafile \"b.dat\" "
            "(discarded).\n"
            "QARPost notice: Different (+older) counter data for file \"r.c\" coming from datafile \"b.dat\" "
            "(discarded).\n");
  EXPECT_EQ(noticeCount(), 3u);
  std::vector<CounterArrays> blocks = readBack("a.dat");
  ASSERT_EQ(blocks.size(), 3u);
  test::expectSameBlock(blocks[0], q);
  test::expectSameBlock(blocks[1], r);
  test::expectSameBlock(blocks[2], newerP);  // replaced as read, and moved to the end
}

TEST_F(AddingTest, EveryHeaderIsCheckedBeforeTheTargetIsCreated) {
  writeData("good.dat", {makeBlock("a.c", {1, 0, 0, 0, 0}, 1)});
  dir_.write("bad.dat", "Tarvo dat 8|Thu Jan  1 00:00:00 1970");
  Outcome outcome = addData({"good.dat", "bad.dat"}, "out.dat");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 3: Bad identification stamp in file bad.dat\n");
  EXPECT_FALSE(std::filesystem::exists("out.dat"));
}

TEST_F(AddingTest, SymbolFilesAreCombinedWithDuplicatesSettledAndReadBackAlike) {
  OptionSettings settings;
  settings.unchosenFiles = std::vector<std::string>{"*skip.c"};
  setOptions(settings);
  dir_.write("one.sym", symbolFile(symbolBlock("a.c", 100, 0xA) + symbolBlock("skip.c", 100, 0x5) +
                                   symbolBlock("b.c", 100, 0xB)));
  dir_.write("two.sym", symbolFile(symbolBlock("A.C", 200, 0xC) + symbolBlock("c.c", 100, 0xD)));

  // The target is one of the inputs.
  Outcome outcome = captureRun([] { addSymbolFiles({"one.sym", "two.sym"}, "one.sym"); });
  EXPECT_EQ(outcome.err,
            "QARPost notice: Different (+newer) instrumentation for a file \"A.C\" in symbol file \"two.sym\" "
            "encountered (overrides the previous).\n");
  std::string written = test::readFile(dir_.file("one.sym"));
  std::string stamp = written.substr(12, 25);
  EXPECT_EQ(written, "Tarvo sym 9\n" + stamp + symbolBlock("b.c", 100, 0xB) + symbolBlock("A.C", 200, 0xC) +
                         symbolBlock("c.c", 100, 0xD) + "END OF SYMBOLFILE\n");

  // Reading the target back gives the same descriptions with the same lines.
  std::vector<std::vector<std::string>> before;
  for (const MonitoredFile& file : database().monitoredFiles) {
    before.emplace_back();
    for (const DescriptionLine& line : file.descriptionLines) before.back().emplace_back(lineText(line));
  }
  resetDatabase();
  resetSymbolFileState();
  setOptions(OptionSettings{});
  outcome = captureRun([] {
    database().symbolFilesRead.push_back({"one.sym", ""});
    readSymbolFiles(LoadingMode::Report);
  });
  EXPECT_EQ(outcome.err, "");
  std::vector<std::vector<std::string>> after;
  for (const MonitoredFile& file : database().monitoredFiles) {
    after.emplace_back();
    for (const DescriptionLine& line : file.descriptionLines) after.back().emplace_back(lineText(line));
  }
  EXPECT_EQ(after, before);
  ASSERT_EQ(database().monitoredFiles.size(), 3u);
  EXPECT_EQ(database().monitoredFiles.front().name, "b.c");
}

}  // namespace
}  // namespace qar
