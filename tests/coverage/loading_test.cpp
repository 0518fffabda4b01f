// Loading symbol and data files into the coverage database: duplicates,
// merged counters and their notices, default names, the database itself.
#include "coverage/loading.h"

#include <gtest/gtest.h>

#include "coverage/adding.h"
#include "coverage/coverage_files_fixture.h"
#include "coverage/data_file_support.h"
#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/walk_parts.h"
#include "base/file_names.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;
using test::symbolBlock;
using test::symbolFile;
using Names = std::vector<std::string>;

CounterArrays functionBlock(const std::string& name, int32_t time, uint32_t fingerprint, std::vector<uint32_t> calls) {
  CounterArrays block;
  block.name = name;
  block.instrumentationTime = time;
  block.fingerprint = fingerprint;
  block.sizes.f = static_cast<uint32_t>(calls.size());
  block.functionCounts = std::move(calls);
  return block;
}

Names fileNames() {
  Names names;
  for (const MonitoredFile& file : database().monitoredFiles) names.push_back(file.name);
  return names;
}

std::string notice(const std::string& text) { return "QARPost notice: " + text + "\n"; }

class LoadingTest : public test::CoverageFilesTest {
 protected:
  // Loads and builds as a report run does; returns what the run printed.
  Outcome load(std::optional<Names> symbols, std::optional<Names> data) {
    resetDatabase();
    return captureRun([&] {
      loadInputFiles(symbols, data, false);
      buildCoverageDatabase(false);
    });
  }
};

TEST_F(LoadingTest, TheLaterInstrumentationWinsAndTheFirstOfIdenticalOnes) {
  dir_.write("old.sym", symbolFile(symbolBlock("a.c", 100, 0xA) + symbolBlock("b.c", 5, 0xB) +
                                   symbolBlock("x.c", 100, 0x1) + symbolBlock("y.c", 7, 0x7)));
  dir_.write("new.sym", symbolFile(symbolBlock("A.C", 200, 0xC) + symbolBlock("x.c", 100, 0x2) +
                                   symbolBlock("y.c", 7, 0x7)));
  EXPECT_EQ(load(Names{"old.sym", "new.sym"}, std::nullopt).err,
            notice("Different (+newer) instrumentation for a file \"A.C\" in symbol file \"new.sym\" encountered "
                   "(overrides the previous).") +
                notice("Different (+older) instrumentation for a file \"x.c\" in symbol file \"new.sym\" encountered "
                       "(discarded)."));
  EXPECT_EQ(fileNames(), (Names{"b.c", "x.c", "y.c", "A.C"}));  // the survivor of a later one takes its place
  EXPECT_EQ(std::next(database().monitoredFiles.begin())->fingerprint, 0x1u);

  EXPECT_EQ(load(Names{"new.sym", "old.sym"}, std::nullopt).err,
            notice("Different (+older) instrumentation for a file \"a.c\" in symbol file \"old.sym\" encountered "
                   "(discarded).") +
                notice("Different (+older) instrumentation for a file \"x.c\" in symbol file \"old.sym\" encountered "
                       "(discarded)."));
  EXPECT_EQ(fileNames(), (Names{"A.C", "x.c", "y.c", "b.c"}));
}

TEST_F(LoadingTest, CountersOfOneInstrumentationAddUpAndBlocksThatDoNotFitRaiseNotices) {
  dir_.write("p.sym", symbolFile(symbolBlock("src/p.c", 100, 0xFEED, 2) + symbolBlock("m.c", 1000, 0xAB)));
  writeData("r1.dat", {functionBlock("SRC\\P.C", 100, 0xFEED, {4294967000u, 3}), functionBlock("m.c", 1000, 0xAB, {1, 2}),
                       functionBlock("m.c", 1000, 0xCD, {1}), functionBlock("m.c", 999, 0xCD, {1})});
  writeData("r2.dat", {functionBlock("src/p.c", 100, 0xFEED, {1000, 4}), functionBlock("gone.c", 5, 1, {1})});
  EXPECT_EQ(load(Names{"p.sym"}, Names{"r1.dat", "r2.dat"}).err,
            notice("Counter data for file \"m.c\" encountered coming from datafile \"r1.dat\", file identifications "
                   "are same but counter array sizes not (discarded).") +
                notice("Different (+newer) counter data for file \"m.c\" coming from datafile \"r1.dat\" (discarded).") +
                notice("Different (+older) counter data for file \"m.c\" coming from datafile \"r1.dat\" (discarded).") +
                notice("Counter data for an unknown file \"gone.c\" encountered coming from datafile \"r2.dat\" "
                       "(discarded)."));
  const MonitoredFile& file = database().monitoredFiles.front();
  ASSERT_TRUE(file.counterData);
  EXPECT_EQ(file.counterData->functionCounts, (std::vector<uint32_t>{4294967295u, 7}));
  captureRun([] { prepareCounters(); });
  EXPECT_EQ(lineValues(file, file.descriptionLines[2]).value1, 4294967295u);
  EXPECT_EQ(lineValues(file, file.descriptionLines[3]).value1, 7u);
  EXPECT_EQ(lineValues(file, file.descriptionLines[0]), LineValues{});  // the name line keeps zeros
  captureRun([] { dropFilesWithoutCounters(); });
  EXPECT_EQ(fileNames(), (Names{"src/p.c"}));

  // With -f, counters of files not described are dropped silently.
  OptionSettings settings;
  settings.chosenFiles = Names{"*.c"};
  setOptions(settings);
  EXPECT_EQ(load(Names{"p.sym"}, Names{"r2.dat"}).err, "");
}

TEST_F(LoadingTest, MergedCountsSaturateTotalsWrapMaximaCompareSigned) {
  CounterArrays into = test::makeBlock("a.c", {2, 1, 1, 1, 3}, 1);
  CounterArrays block = into;
  into.functionCounts = {0xFFFFFFF0, 5};
  block.functionCounts = {0x20, 7};
  into.decisionFalseCounts = {0x80000000};
  block.decisionFalseCounts = {0x80000000};
  into.timeTotals = {0xFFFFFFF0, 1, 0};
  block.timeTotals = {0x20, 2, 0};
  into.timeMaxima = {5, 0xFFFFFFFF, 0x7FFFFFFF};  // 5, -1, INT32_MAX
  block.timeMaxima = {0x80000000, 3, 6};           // INT32_MIN, 3, 6
  addCounters(into, block);
  EXPECT_EQ(into.functionCounts, (std::vector<uint32_t>{0xFFFFFFFF, 12}));
  EXPECT_EQ(into.decisionFalseCounts, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(into.timeTotals, (std::vector<uint32_t>{0x10, 3, 0}));
  EXPECT_EQ(into.timeMaxima, (std::vector<uint32_t>{5, 3, 0x7FFFFFFF}));
}

TEST_F(LoadingTest, DefaultAndDerivedInputNames) {
  dir_.write("prog.sym", symbolFile(symbolBlock("p.c", 10, 1)));
  writeData("prog.dat", {functionBlock("p.c", 10, 1, {2})});
  load(Names{"prog.sym"}, std::nullopt);
  ASSERT_EQ(database().dataFilesRead.size(), 1u);
  EXPECT_EQ(database().dataFilesRead[0].name, "prog.dat");
  EXPECT_EQ(database().symbolFilesRead[0].stamp, "Sat Dec  5 12:00:00 2026");
  load(std::nullopt, Names{"prog.dat"});
  EXPECT_EQ(database().symbolFilesRead.at(0).name, "prog.sym");
  writeData("lone.dat", {});
  EXPECT_EQ(load(std::nullopt, Names{"lone.dat"}).err,
            "QARPost error 14: Cannot open file lone.sym: No such file or directory\n");
  EXPECT_EQ(load(std::nullopt, std::nullopt).err, "QARPost error 14: Cannot open file MON.sym: No such file or directory\n");
  std::filesystem::rename("prog.sym", "MON.sym");
  EXPECT_EQ(load(std::nullopt, std::nullopt).err, "");
  EXPECT_TRUE(database().dataFilesRead.empty());  // no MON.dat: silently without data
}

TEST_F(LoadingTest, AddingChecksEveryHeaderBeforeTheTargetIsCreated) {
  writeData("good.dat", {test::makeBlock("a.c", {1, 0, 0, 0, 0}, 1)});
  dir_.write("bad.dat", "Tarvo dat 8|Thu Jan  1 00:00:00 1970");
  Outcome outcome = captureRun([] { addDataFiles({"good.dat", "bad.dat"}, "out.dat"); });
  EXPECT_EQ(outcome.err, "QARPost error 3: Bad identification stamp in file bad.dat\n");
  EXPECT_FALSE(std::filesystem::exists("out.dat"));
}

// The target lists each name once, in the order of its last change: a merge
// or a newer block moves a name to the end, an older block (Notice) does not.
// Enough names to grow the index several times, met again under other cases
// and slashes.
TEST_F(LoadingTest, AddingKeepsTheOrderOfLastChangeThroughTheIndexGrowth) {
  constexpr uint32_t kNames = 700;
  auto name = [](uint32_t i, bool folded) {
    return (folded ? "SRC\\M" : "src/m") + std::to_string(i % 9) + (folded ? "\\U" : "/u") + std::to_string(i) + ".c";
  };
  std::vector<CounterArrays> first;
  std::vector<CounterArrays> second;
  for (uint32_t i = 0; i < kNames; ++i) first.push_back(functionBlock(name(i, false), 10, 1, {i, 1}));
  // Every third name counted again (moves to the end), in reverse order;
  // every seventh of the others met with an older instrumentation.
  std::vector<uint32_t> movedOrder;
  for (uint32_t i = kNames; i-- > 0;) {
    if (i % 3 == 0) {
      second.push_back(functionBlock(name(i, true), 10, 1, {1, i}));
      movedOrder.push_back(i);
    } else if (i % 7 == 0) {
      second.push_back(functionBlock(name(i, true), 5, 2, {9, 9}));
    }
  }
  writeData("one.dat", first);
  writeData("two.dat", second);
  Outcome outcome = captureRun([] { addDataFiles({"one.dat", "two.dat"}, "sum.dat"); });
  EXPECT_EQ(outcome.status, 0);
  size_t olderNotices = 0;
  for (uint32_t i = 0; i < kNames; ++i) olderNotices += i % 3 != 0 && i % 7 == 0;
  EXPECT_EQ(static_cast<size_t>(std::count(outcome.err.begin(), outcome.err.end(), '\n')), olderNotices);

  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i < kNames; ++i) {
    if (i % 3 != 0) expected.push_back(i);
  }
  expected.insert(expected.end(), movedOrder.begin(), movedOrder.end());
  std::vector<CounterArrays> blocks(openDataFile("sum.dat"));
  for (CounterArrays& block : blocks) readCounterBlock(block);
  closeDataFile();
  ASSERT_EQ(blocks.size(), expected.size());
  for (size_t k = 0; k < blocks.size(); ++k) {
    const uint32_t i = expected[k];
    EXPECT_EQ(blocks[k].name, name(i, false)) << k;
    const std::vector<uint32_t> counts = i % 3 == 0 ? std::vector<uint32_t>{i + 1, i + 1} : std::vector<uint32_t>{i, 1};
    EXPECT_EQ(blocks[k].functionCounts, counts) << k;
  }
}

TEST_F(LoadingTest, DatabaseFindsTheFirstOfEqualNamesAndKeepsInsertedFilesOutOfTheIndex) {
  MonitoredFile& first = appendMonitoredFile("src/A.c");
  appendMonitoredFile("other.c");
  MonitoredFile& second = appendMonitoredFile("SRC\\a.C");
  EXPECT_EQ(findMonitoredFile("src/a.c"), &first);
  EXPECT_EQ(findMonitoredFile("src/a.cc"), nullptr);
  removeMonitoredFile(database().monitoredFiles.begin());
  EXPECT_EQ(findMonitoredFile("src/a.c"), &second);
  MonitoredFile header;
  header.name = "inc/h.h";
  header.isHeaderFile = 1;
  header.sourceLineCount = 1000;
  insertMonitoredFileBefore(database().monitoredFiles.begin(), std::move(header));
  EXPECT_EQ(fileNames(), (Names{"inc/h.h", "other.c", "SRC\\a.C"}));
  EXPECT_EQ(findMonitoredFile("inc/h.h"), nullptr);
  database().monitoredFiles.back().sourceLineCount = 32;
  EXPECT_EQ(sourceLineTotal(), 32u);  // headers are no source files
}

// The reports' figures and walk parts are worked out once when kept; any
// change of the list must drop them, or a report would count files that are
// gone or walk parts that end in a removed file.
TEST_F(LoadingTest, KeptListFiguresAndPartsLastUntilTheListChanges) {
  resetDatabase();
  auto addSource = [](const std::string& name, uint32_t lines) {
    MonitoredFile& file = appendMonitoredFile(name);
    file.sourceLineCount = lines;
    appendDescriptionLine(file, "@" + name);
    appendDescriptionLine(file, "1 1 1 1 1");
  };
  for (uint32_t i = 0; i < 40; ++i) addSource("u" + std::to_string(i) + ".c", i);
  MonitoredFile header;
  header.name = "h.h";
  header.isHeaderFile = 1;
  header.sourceLineCount = 1000;
  insertMonitoredFileBefore(database().monitoredFiles.begin(), std::move(header));
  setenv("QARPOST_WALK_PARTS", "always", 1);

  EXPECT_EQ(keptListGeneration(), 0u);
  keepListFigures();
  const uint64_t first = keptListGeneration();
  EXPECT_NE(first, 0u);
  EXPECT_EQ(sourceFileCount(), 40u);
  EXPECT_EQ(headerFileCount(), 1u);
  EXPECT_EQ(sourceLineTotal(), 780u);
  const std::vector<WalkPart> parts = walkParts();
  ASSERT_EQ(parts.size(), 41u);  // the first starts at the header, each source starts one
  EXPECT_EQ(walkParts().back().first, parts.back().first);
  // The parts come from the files kept with the figures: the list in order,
  // each with its number of lines.
  const std::vector<KeptFile>& kept = keptListFiles();
  ASSERT_EQ(kept.size(), 41u);
  auto listed = database().monitoredFiles.begin();
  for (const KeptFile& file : kept) {
    EXPECT_EQ(file.file, listed);
    EXPECT_EQ(file.lines, listed->descriptionLines.size());
    ++listed;
  }
  EXPECT_EQ(kept.front().lines, 0u);
  keepListFigures();  // nothing changed: the same figures
  EXPECT_EQ(keptListGeneration(), first);

  removeMonitoredFile(std::prev(database().monitoredFiles.end()));
  EXPECT_EQ(keptListGeneration(), 0u);
  EXPECT_EQ(sourceFileCount(), 39u);
  EXPECT_EQ(sourceLineTotal(), 741u);
  EXPECT_EQ(walkParts().size(), 40u);
  addSource("late.c", 5);
  EXPECT_EQ(sourceLineTotal(), 746u);
  keepListFigures();
  EXPECT_GT(keptListGeneration(), first);
  EXPECT_EQ(walkParts().back().first->name, "late.c");

  // A new database never finds the figures or parts of the one before.
  resetDatabase();
  addSource("only.c", 3);
  keepListFigures();
  EXPECT_GT(keptListGeneration(), first + 1);
  EXPECT_EQ(sourceFileCount(), 1u);
  EXPECT_TRUE(walkParts().empty());
  unsetenv("QARPOST_WALK_PARTS");
}

// Lookups go through a flat table that proposes a file, and an index that
// only holds names shared by several files or by several hashes; they must
// answer as a search of the list does, through its growth, removals and
// namesakes. With a few bits of hash kept, or none, names meet under one
// hash all the time.
TEST_F(LoadingTest, LookupsAnswerAsAListSearchDoesThroughGrowthRemovalsAndNamesakes) {
  auto firstInList = [](const std::string& name) -> MonitoredFile* {
    for (MonitoredFile& file : database().monitoredFiles) {
      if (file.namesakes != 0 && sameFileName(file.name, name)) return &file;
    }
    return nullptr;
  };
  const std::vector<std::string> names = {"src/m1/u1.c", "SRC/M1/U1.C", "src/m0/u0.c", "src/m2/u2.c",
                                          "src/m3/u3.c", "src\\m6\\u2999.c", "src/m5/u2998.c", "src/m0/u3000.c",
                                          "u1.c", "", std::string(600, 'l'), std::string(600, 'L')};
  for (uint64_t hashBits : {FileNameSlot::kHashBits, uint64_t{1023}, uint64_t{7}, uint64_t{0}}) {
    resetDatabase();
    database().nameHashBits = hashBits;
    for (int i = 0; i < 3000; ++i) {
      appendMonitoredFile("src/m" + std::to_string(i % 7) + "/U" + std::to_string(i) + ".c");
    }
    appendMonitoredFile("SRC\\M1\\u1.C");  // a namesake of the second file
    appendMonitoredFile(std::string(600, 'l'));  // too long to hash, and a namesake
    appendMonitoredFile(std::string(600, 'L'));
    auto it = database().monitoredFiles.begin();
    for (int i = 0; i < 3000; i += 3) {
      auto next = std::next(it, 3);
      removeMonitoredFile(it);  // every third file, the first namesake among them
      it = next;
    }
    appendMonitoredFile("src/m0/u0.c");  // back after its removal
    for (const std::string& name : names) {
      EXPECT_EQ(findMonitoredFile(name), firstInList(name)) << name << " bits " << hashBits;
    }
    EXPECT_EQ(findMonitoredFile("src/m1/u1.c"), &database().monitoredFiles.front());
    removeMonitoredFile(database().monitoredFiles.begin());
    EXPECT_EQ(findMonitoredFile("src/m1/u1.c")->name, "SRC\\M1\\u1.C");
    // Removed and appended again, a namesake at a time, every file of the
    // same hash found where the list has it.
    removeMonitoredFile(findMonitoredFileIt("src/m1/u1.c"));
    EXPECT_EQ(findMonitoredFile("src/m1/u1.c"), nullptr);
    appendMonitoredFile("src/M1/u1.c");
    appendMonitoredFile("src/m1/u1.C");
    for (const std::string& name : names) {
      EXPECT_EQ(findMonitoredFile(name), firstInList(name)) << name << " bits " << hashBits;
    }
    EXPECT_EQ(findMonitoredFile("src/m1/u1.c")->name, "src/M1/u1.c");
    int found = 0;
    for (const MonitoredFile& file : database().monitoredFiles) found += findMonitoredFile(file.name) == &file;
    EXPECT_EQ(found, 2002) << hashBits;  // every file but the later namesakes of two names
  }
}

// With every name under one hash: a file alone under its name holds the
// slot while another name has its files in the index; a namesake of that
// other name appended then takes the slot, and both must still be found.
TEST_F(LoadingTest, AFileAloneInTheSlotIsFoundAfterAnIndexedNameTakesTheSlot) {
  resetDatabase();
  database().nameHashBits = 0;
  appendMonitoredFile("a.c");
  appendMonitoredFile("b.c");  // same hash: both go to the index
  removeMonitoredFile(findMonitoredFileIt("b.c"));
  MonitoredFile* alone = &appendMonitoredFile("c.c");  // the slot is free again: c.c alone holds it
  MonitoredFile* later = &appendMonitoredFile("A.C");  // a namesake of a.c, whose name is in the index
  EXPECT_EQ(findMonitoredFile("c.c"), alone);
  EXPECT_EQ(findMonitoredFile("a.c"), &database().monitoredFiles.front());
  removeMonitoredFile(database().monitoredFiles.begin());
  EXPECT_EQ(findMonitoredFile("a.c"), later);
  EXPECT_EQ(findMonitoredFile("c.c"), alone);
  EXPECT_EQ(findMonitoredFile("b.c"), nullptr);
}

// Appends and removals in a random order, names from a small pool in two
// spellings, under few hash bits: every lookup answers as a search of the
// list does, also across the table's growth.
TEST_F(LoadingTest, RandomAppendsAndRemovalsKeepEveryLookupRight) {
  auto firstInList = [](const std::string& name) -> MonitoredFile* {
    for (MonitoredFile& file : database().monitoredFiles) {
      if (file.namesakes != 0 && sameFileName(file.name, name)) return &file;
    }
    return nullptr;
  };
  std::vector<std::string> pool;
  for (int i = 0; i < 700; ++i) pool.push_back("src/f" + std::to_string(i) + ".c");
  for (uint64_t hashBits : {uint64_t{0}, uint64_t{3}, uint64_t{255}, uint64_t{1023}}) {
    resetDatabase();
    database().nameHashBits = hashBits;
    uint32_t random = 12345;
    auto next = [&random](uint32_t below) {
      random = random * 1103515245u + 12345u;
      return (random >> 8) % below;
    };
    for (int step = 0; step < 6000; ++step) {
      MonitoredFileList& files = database().monitoredFiles;
      if (!files.empty() && next(3) == 0) {
        removeMonitoredFile(std::next(files.begin(), next(static_cast<uint32_t>(files.size()))));
      } else {
        std::string name = pool[next(static_cast<uint32_t>(pool.size()))];
        if (next(2) == 0) name[0] = 'S';  // the same name as sameFileName sees it
        appendMonitoredFile(name);
      }
      if (step % 500 != 499) continue;
      for (const std::string& name : pool) {
        ASSERT_EQ(findMonitoredFile(name), firstInList(name)) << name << " bits " << hashBits << " step " << step;
      }
    }
  }
}

// Values take as many slots as their last non-zero one needs; a wider write
// moves the line to a new slot, a narrower one stays in place, neighbours
// keep theirs, and a copied line has values of its own.
TEST_F(LoadingTest, LineValuesGrowAndShrinkWithoutTouchingOtherLines) {
  MonitoredFile& file = appendMonitoredFile("a.c");
  std::vector<DescriptionLine> lines;
  for (int i = 0; i < 4; ++i) lines.push_back(storedDescriptionLine("20 1 1 0 0"));
  setLineValues(file, lines[3], LineValues{});
  EXPECT_TRUE(file.lineValueStore.empty());
  setLineValues(file, lines[0], LineValues{7, 0, 0, 0});
  setLineValues(file, lines[1], LineValues{0, 9, 0, 0});
  setLineValues(file, lines[2], LineValues{1, 2, 3, 4});
  setLineValues(file, lines[0], LineValues{0, 0, 0, 4294967295u});
  setLineValues(file, lines[2], LineValues{5, 0, 0, 0});
  EXPECT_EQ(file.lineValueStore.size(), 1u + 2u + 4u + 4u);
  EXPECT_EQ(lineValues(file, lines[0]), (LineValues{0, 0, 0, 4294967295u}));
  EXPECT_EQ(lineValues(file, lines[1]), (LineValues{0, 9, 0, 0}));
  EXPECT_EQ(lineValues(file, lines[2]), (LineValues{5, 0, 0, 0}));
  MonitoredFile& header = appendMonitoredFile("a.h");
  DescriptionLine copy = copyDescriptionLine(file, lines[1], header);
  setLineValues(header, copy, LineValues{10, 0, 20, 30});
  EXPECT_EQ(lineText(copy), "20 1 1 0 0");
  EXPECT_EQ(lineValues(file, lines[1]), (LineValues{0, 9, 0, 0}));
}

}  // namespace
}  // namespace qar
