// Data files read on a second thread beside the symbol files: every notice,
// error and counter as reading the files in turn gives them.
#include "coverage/data_read_ahead.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "coverage/coverage_files_fixture.h"
#include "coverage/data_file_support.h"
#include "coverage/loading.h"
#include "base/deferred_errors.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;
using test::symbolBlock;
using test::symbolFile;
using Names = std::vector<std::string>;

CounterArrays block(const std::string& name, int32_t time, uint32_t fingerprint, std::vector<uint32_t> calls,
                    uint32_t runs = 1) {
  CounterArrays b;
  b.name = name;
  b.instrumentationTime = time;
  b.fingerprint = fingerprint;
  b.rwrCount = runs;
  b.updCount = runs + 1;
  b.sizes.f = static_cast<uint32_t>(calls.size());
  b.functionCounts = std::move(calls);
  return b;
}

std::string notice(const std::string& text) { return "QARPost notice: " + text + "\n"; }
std::string unknown(const std::string& file, const std::string& data) {
  return notice("Counter data for an unknown file \"" + file + "\" encountered coming from datafile \"" + data +
                "\" (discarded).");
}

// What a run leaves: its streams and every file's counters.
struct Loaded {
  Outcome outcome;
  std::vector<std::pair<std::string, std::optional<CounterArrays>>> counters;
};

class DataReadAheadTest : public test::CoverageFilesTest {
 protected:
  void TearDown() override {
    unsetenv("QARPOST_DATA_ALONGSIDE");
    test::CoverageFilesTest::TearDown();
  }

  // Loads as a report run does with QARPOST_DATA_ALONGSIDE=`way`; `between`
  // runs after the input headers are checked.
  Loaded load(const char* way, const Names& symbols, const Names& data, const std::function<void()>& between = {}) {
    setenv("QARPOST_DATA_ALONGSIDE", way, 1);
    resetDiagnostics();
    resetDatabase();
    resetSymbolFileState();
    resetDataFileState();
    Loaded loaded;
    loaded.outcome = captureRun([&] {
      loadInputFiles(symbols, data, false);
      if (between) between();
      buildCoverageDatabase(false);
    });
    for (const MonitoredFile& file : database().monitoredFiles) {
      loaded.counters.emplace_back(file.name, file.counterData ? std::optional(*file.counterData) : std::nullopt);
    }
    return loaded;
  }

  // Loads both ways, checks that they agree, and returns the run on two cores.
  Loaded loadBothWays(const Names& symbols, const Names& data, const std::function<void()>& between = {}) {
    Loaded inTurn = load("never", symbols, data, between);
    Loaded alongside = load("always", symbols, data, between);
    expectSame(inTurn, alongside);
    return alongside;
  }

  static void expectSame(const Loaded& a, const Loaded& b) {
    EXPECT_EQ(a.outcome.err, b.outcome.err);
    EXPECT_EQ(a.outcome.out, b.outcome.out);
    EXPECT_EQ(a.outcome.ended, b.outcome.ended);
    EXPECT_EQ(a.outcome.status, b.outcome.status);
    ASSERT_EQ(a.counters.size(), b.counters.size());
    for (size_t i = 0; i < a.counters.size(); ++i) {
      EXPECT_EQ(a.counters[i].first, b.counters[i].first);
      ASSERT_EQ(a.counters[i].second.has_value(), b.counters[i].second.has_value()) << a.counters[i].first;
      if (a.counters[i].second) test::expectSameBlock(*a.counters[i].second, *b.counters[i].second);
    }
  }
};

// Blocks of one file under names that differ in case and slashes, unknown
// files, other sizes and other instrumentations, newer and older, spread
// over three data files: the notices in reading order, each with the name
// its block was read with, and the sums of exactly the fitting blocks, the
// first of them giving the header, counts saturating.
TEST_F(DataReadAheadTest, NoticesInReadingOrderAndSumsOfTheFittingBlocks) {
  dir_.write("p.sym", symbolFile(symbolBlock("src/p.c", 100, 0xFEED, 2) + symbolBlock("m.c", 1000, 0xAB)));
  writeData("r1.dat", {block("SRC\\P.C", 100, 0xFEED, {4294967000u, 3}, 5), block("gone.c", 5, 1, {1}),
                       block("m.c", 1000, 0xAB, {1, 2})});
  writeData("r2.dat", {block("M.C", 1001, 0xCD, {1}), block("src/p.c", 100, 0xFEED, {1000, 4}, 9),
                       block("m.c", 999, 0xCD, {1}), block("Gone.c", 5, 1, {1})});
  writeData("r3.dat", {block("M.C", 1000, 0xAB, {7}, 77), block("m.c", 1000, 0xAB, {1, 2}),
                       block("src/P.c", 100, 0xFEED, {1, 1})});
  Loaded loaded = loadBothWays(Names{"p.sym"}, Names{"r1.dat", "r2.dat", "r3.dat"});
  auto sizesDiffer = [](const std::string& data) {
    return notice("Counter data for file \"m.c\" encountered coming from datafile \"" + data +
                  "\", file identifications are same but counter array sizes not (discarded).");
  };
  EXPECT_EQ(loaded.outcome.err,
            unknown("gone.c", "r1.dat") + sizesDiffer("r1.dat") +
                notice("Different (+newer) counter data for file \"M.C\" coming from datafile \"r2.dat\" "
                       "(discarded).") +
                notice("Different (+older) counter data for file \"m.c\" coming from datafile \"r2.dat\" "
                       "(discarded).") +
                unknown("Gone.c", "r2.dat") + sizesDiffer("r3.dat"));
  ASSERT_EQ(loaded.counters.size(), 2u);
  const std::optional<CounterArrays>& p = loaded.counters[0].second;
  ASSERT_TRUE(p);
  EXPECT_EQ(p->functionCounts, (std::vector<uint32_t>{4294967295u, 8}));
  EXPECT_EQ(p->name, "SRC\\P.C");  // the first block's header
  EXPECT_EQ(p->rwrCount, 5u);
  const std::optional<CounterArrays>& m = loaded.counters[1].second;
  ASSERT_TRUE(m);
  EXPECT_EQ(m->functionCounts, std::vector<uint32_t>{7});
  EXPECT_EQ(m->rwrCount, 77u);

  // With -f, blocks of files not described go silently, on both ways.
  OptionSettings settings;
  settings.chosenFiles = Names{"*.c"};
  setOptions(settings);
  EXPECT_EQ(loadBothWays(Names{"p.sym"}, Names{"r1.dat", "r2.dat"}).outcome.err.find("unknown"), std::string::npos);
}

// Sums by group, blocks of several groups interleaved, equal what adding
// each block into its file's counters in turn gives: counts saturate, time
// totals wrap, time maxima compare signed.
TEST_F(DataReadAheadTest, GroupSumsEqualTheSumsOfBlocksAddedInTurn) {
  std::vector<CounterArrays> blocks;
  for (uint32_t i = 0; i < 12; ++i) {
    const CounterSizes sizes = i % 3 == 2 ? CounterSizes{2, 1, 1, 1, 2} : CounterSizes{2, 1, 1, 1, 3};
    CounterArrays b = test::makeBlock(i % 2 == 0 ? "dir/a.c" : "DIR\\A.C", sizes, 1);
    b.fingerprint = i % 4 == 3 ? 0x77u : 0x66u;
    b.rwrCount = i;
    b.instrumentationTime += i % 5 == 4;  // a time of its own, kept aside
    b.functionCounts[0] = 0x80000000u + i;  // saturates from the second block on
    b.timeMaxima[0] = i % 2 == 0 ? 0x80000000u + i : i;  // negative and positive
    blocks.push_back(b);
  }
  BlockSums sums;
  for (const CounterArrays& b : blocks) sums.add(b);
  ASSERT_EQ(sums.entries().size(), blocks.size());
  std::vector<std::optional<CounterArrays>> inTurn(sums.groups().size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    const BlockSums::Entry& entry = sums.entries()[i];
    EXPECT_EQ(sums.nameOf(entry), blocks[i].name);
    EXPECT_EQ(sums.timeOf(entry), blocks[i].instrumentationTime);
    std::optional<CounterArrays>& sum = inTurn.at(entry.group);
    if (sum) {
      EXPECT_EQ(std::tie(sum->fingerprint, sum->sizes), std::tie(blocks[i].fingerprint, blocks[i].sizes));
      addCounters(*sum, blocks[i]);
    } else {
      sum = blocks[i];
    }
  }
  EXPECT_EQ(sums.groups().size(), 4u);  // one name, two fingerprints, two sizes
  for (size_t g = 0; g < inTurn.size(); ++g) test::expectSameBlock(*inTurn[g], *sums.groups()[g].sum);
  EXPECT_EQ(sums.groups()[0].sum->functionCounts[0], 0xFFFFFFFFu);

  // The same blocks added as a data file is read: words and name first,
  // then the arrays one after another.
  BlockSums asRead;
  for (const CounterArrays& b : blocks) {
    CounterArrays start = b;
    std::vector<uint32_t> words;
    for (std::vector<uint32_t>* array : {&start.functionCounts, &start.jumpCounts, &start.decisionTrueCounts,
                                         &start.decisionFalseCounts, &start.conditionCounts, &start.timeTotals,
                                         &start.timeMaxima}) {
      words.insert(words.end(), array->begin(), array->end());
      array->clear();
    }
    asRead.announce(start);
    asRead.add(start, words.data());
  }
  ASSERT_EQ(asRead.groups().size(), sums.groups().size());
  for (size_t g = 0; g < sums.groups().size(); ++g) {
    test::expectSameBlock(*asRead.groups()[g].sum, *sums.groups()[g].sum);
  }
  ASSERT_EQ(asRead.entries().size(), sums.entries().size());
  for (size_t i = 0; i < sums.entries().size(); ++i) {
    EXPECT_EQ(asRead.entries()[i].group, sums.entries()[i].group);
    EXPECT_EQ(asRead.nameOf(asRead.entries()[i]), sums.nameOf(sums.entries()[i]));
    EXPECT_EQ(asRead.timeOf(asRead.entries()[i]), sums.timeOf(sums.entries()[i]));
  }
}

// A fatal error in a data file comes after the notices of every block read
// before it, in its file and the files before it; the files after it are
// not read. An error met while opening carries the system's text.
TEST_F(DataReadAheadTest, AFatalErrorComesAfterTheNoticesOfTheBlocksBeforeIt) {
  dir_.write("p.sym", symbolFile(symbolBlock("p.c", 100, 0xFEED)));
  writeData("r1.dat", {block("x.c", 5, 1, {1})});
  writeData("r2.dat", {block("y.c", 5, 1, {1}), block("p.c", 100, 0xFEED, {2})});
  writeData("r4.dat", {block("w.c", 5, 1, {1})});
  // The third file announces three blocks and ends inside the second.
  test::DataBytes third;
  third.header(3).blockWords(3, 5, 1).text("z.c").word(7).blockWords(3, 5, 2).text("v.c").word(1);
  dir_.write("r3.dat", third.bytes);
  Names data{"r1.dat", "r2.dat", "r3.dat", "r4.dat"};
  Loaded loaded = loadBothWays(Names{"p.sym"}, data);
  EXPECT_EQ(loaded.outcome.err, unknown("x.c", "r1.dat") + unknown("y.c", "r2.dat") + unknown("z.c", "r3.dat") +
                                    "QARPost error 2: Bad data file r3.dat\n");
  EXPECT_EQ(loaded.outcome.status, 1);

  // A data file gone between the check of its header and its reading.
  auto remove = [] { std::filesystem::rename("r2.dat", "r2.kept"); };
  Loaded inTurn = load("never", Names{"p.sym"}, data, remove);
  std::filesystem::rename("r2.kept", "r2.dat");
  loaded = load("always", Names{"p.sym"}, data, remove);
  expectSame(inTurn, loaded);
  EXPECT_EQ(loaded.outcome.err,
            unknown("x.c", "r1.dat") + "QARPost error 14: Cannot open file r2.dat: No such file or directory\n");
}

// A file of many blocks that ends inside one: the blocks before it, read
// ahead of their adding a few at a time, are all added (and their notices
// come) before the error, as reading in turn gives them.
TEST_F(DataReadAheadTest, ABlockCutShortAfterManyEndsTheRunAfterAllBlocksBeforeIt) {
  dir_.write("p.sym", symbolFile(symbolBlock("p.c", 100, 0xFEED, 2) + symbolBlock("q.c", 100, 0xBEEF)));
  std::vector<CounterArrays> blocks;
  for (uint32_t i = 0; i < 20; ++i) {
    if (i % 4 == 0) blocks.push_back(block(i % 8 == 0 ? "p.c" : "P.C", 100, 0xFEED, {i, 2 * i}));
    else if (i % 4 == 1) blocks.push_back(block("q.c", 100, 0xBEEF, {i}));
    else if (i % 4 == 2) blocks.push_back(block("q.c", 100, 0xBEEF, {i, i}));  // other sizes
    else blocks.push_back(block("u" + std::to_string(i) + ".c", 5, 1, {i}));
  }
  // Cut inside the last block: where the file of the blocks before it ends.
  writeData("long.dat", std::vector<CounterArrays>(blocks.begin(), blocks.end() - 1));
  const auto cut = std::filesystem::file_size("long.dat") + 20;
  writeData("long.dat", blocks);
  std::filesystem::resize_file("long.dat", cut);
  writeData("after.dat", {block("p.c", 100, 0xFEED, {1000, 1000})});
  Loaded loaded = loadBothWays(Names{"p.sym"}, Names{"long.dat", "after.dat"});
  EXPECT_TRUE(loaded.outcome.ended);
  EXPECT_NE(loaded.outcome.err.find(unknown("u15.c", "long.dat")), std::string::npos) << loaded.outcome.err;
  EXPECT_EQ(loaded.outcome.err.find("u19.c"), std::string::npos) << loaded.outcome.err;
  EXPECT_TRUE(loaded.outcome.err.ends_with("QARPost error 2: Bad data file long.dat\n")) << loaded.outcome.err;
}

// An error in a symbol file ends the run before anything the data files
// would have said: the thread is stopped and what it read is dropped.
TEST_F(DataReadAheadTest, AnErrorInASymbolFileWinsOverTheDataFiles) {
  dir_.write("good.sym", symbolFile(symbolBlock("p.c", 100, 0xFEED)));
  dir_.write("bad.sym", symbolFile("@q.c\nnot a description\n"));
  writeData("r1.dat", {block("x.c", 5, 1, {1})});
  dir_.write("r2.dat", test::DataBytes().header(2).blockWords(3, 5, 1).text("z.c").bytes);
  Loaded loaded = loadBothWays(Names{"good.sym", "bad.sym"}, Names{"r1.dat", "r2.dat"});
  EXPECT_TRUE(loaded.outcome.ended);
  EXPECT_EQ(loaded.outcome.err.find("notice"), std::string::npos);
  EXPECT_EQ(loaded.outcome.err.find(".dat"), std::string::npos);
  EXPECT_NE(loaded.outcome.err.find("QARPost error 5: Error in symbol file bad.sym"), std::string::npos);
}

// Past its limit of held sums the thread stops between two blocks, and the
// run reads the rest in turn from where it stopped.
TEST_F(DataReadAheadTest, PastTheLimitOfHeldSumsTheRestIsReadInTurn) {
  dir_.write("p.sym", symbolFile(symbolBlock("p.c", 100, 0xFEED, 2)));
  // The first file holds more blocks than the thread reads ahead before
  // adding them: the limit is still met at the block it is passed.
  std::vector<CounterArrays> first{block("x.c", 5, 1, {1}), block("p.c", 100, 0xFEED, {1, 2}, 3),
                                   block("y.c", 5, 1, {1})};
  for (uint32_t i = 0; i < 14; ++i) {
    first.push_back(i % 3 == 0 ? block("P.c", 100, 0xFEED, {i, 1}) : block("u" + std::to_string(i) + ".c", 5, 1, {i}));
  }
  const std::vector<CounterArrays> second{block("P.C", 100, 0xFEED, {10, 20}), block("z.c", 5, 1, {1})};
  writeData("r1.dat", first);
  writeData("r2.dat", second);
  Names data{"r1.dat", "r2.dat"};
  Loaded inTurn = load("never", Names{"p.sym"}, data);
  // The memory held before each block: a limit just below it stops the
  // thread there, the first block of the second file included.
  std::vector<size_t> limits;
  BlockSums sums;
  for (const auto* blocks : {&std::as_const(first), &second}) {
    for (const CounterArrays& b : *blocks) {
      if (sums.heldBytes() > 0) limits.push_back(sums.heldBytes() - 1);
      sums.add(b);
    }
  }
  limits.push_back(sums.heldBytes());  // holds everything
  int stops = 0;
  for (size_t limit : limits) {
    resetDiagnostics();
    resetDatabase();
    resetDataFileState();
    Loaded limited;
    bool stopped = false;
    limited.outcome = captureRun([&] {
      loadInputFiles(Names{"p.sym"}, data, false);
      readSymbolFiles(LoadingMode::Report);
      DataReadAhead ahead;
      ahead.files.reserve(data.size());
      std::thread([&] { readDataFilesAhead(std::stop_token(), data, limit, ahead); }).join();
      stopped = ahead.stoppedEarly;
      settleDataReadAhead(ahead, data);
    });
    for (const MonitoredFile& file : database().monitoredFiles) {
      limited.counters.emplace_back(file.name, file.counterData ? std::optional(*file.counterData) : std::nullopt);
    }
    expectSame(inTurn, limited);
    stops += stopped;
  }
  EXPECT_EQ(stops, static_cast<int>(limits.size()) - 1);
  EXPECT_GE(stops, 4);
  EXPECT_EQ(inTurn.counters.at(0).second->functionCounts, (std::vector<uint32_t>{11 + 0 + 3 + 6 + 9 + 12, 22 + 5}));
}

// A thread that defers its errors leaves the arguments of the reporting
// thread alone, and its error reads as if met where it is reported.
TEST_F(DataReadAheadTest, DeferredErrorsReadAsIfReportedWhereTheyWereMet) {
  DeferredError fatal;
  DeferredError internal;
  setErrorArguments("main.dat");
  std::thread([&] {
    DeferringErrors deferring;
    try {
      setErrorArguments("thread.dat", "Is a directory");
      failWith(kCannotRead);
    } catch (const DeferredFailure& failure) {
      fatal = failure.error;
    }
    try {
      failInternal("postdata", 101);
    } catch (const DeferredFailure& failure) {
      internal = failure.error;
    }
  }).join();
  EXPECT_EQ(captureRun([] { failWith(kBadDataFile); }).err, "QARPost error 2: Bad data file main.dat\n");
  Outcome direct = captureRun([] { failInternal("postdata", 101); });
  EXPECT_EQ(captureRun([&] { reportDeferredError(internal); }).err, direct.err);
  Outcome deferred = captureRun([&] { reportDeferredError(fatal); });
  EXPECT_EQ(deferred.err, "QARPost error 16: Cannot read file thread.dat: Is a directory\n");
  EXPECT_EQ(deferred.status, 1);
}

}  // namespace
}  // namespace qar
