#include "coverage/loading.h"

#include <gtest/gtest.h>

#include "coverage/coverage_files_fixture.h"
#include "coverage/data_file_support.h"
#include "coverage/database.h"
#include "coverage/postdata.h"
#include "coverage/postsym.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;
using test::symbolBlock;
using test::symbolFile;

CounterArrays functionBlock(const std::string& name, int32_t time, uint32_t fingerprint,
                            std::vector<uint32_t> calls) {
  CounterArrays block;
  block.name = name;
  block.instrumentationTime = time;
  block.fingerprint = fingerprint;
  block.sizes.f = static_cast<uint32_t>(calls.size());
  block.functionCounts = std::move(calls);
  return block;
}

class LoadingTest : public test::CoverageFilesTest {
 protected:
  // Loads and builds as a report run does; returns what the run printed.
  Outcome load(std::optional<std::vector<std::string>> symbols, std::optional<std::vector<std::string>> data) {
    OptionSettings settings = options();
    settings.symbolFiles = symbols;
    settings.dataFiles = data;
    setOptions(settings);
    return captureRun([&] {
      loadInputFiles(symbols, data, false);
      buildCoverageDatabase(false);
    });
  }

  std::vector<std::string> fileNames() {
    std::vector<std::string> names;
    for (const MonitoredFile& file : database().monitoredFiles) names.push_back(file.name);
    return names;
  }

};

TEST_F(LoadingTest, NewerInstrumentationWinsWithTheNoticeOfItsReadingOrder) {
  dir_.write("old.sym", symbolFile(symbolBlock("a.c", 100, 0xA) + symbolBlock("b.c", 5, 0xB)));
  dir_.write("new.sym", symbolFile(symbolBlock("A.C", 200, 0xC)));

  Outcome outcome = load(std::vector<std::string>{"old.sym", "new.sym"}, std::nullopt);
  EXPECT_EQ(outcome.err,
            "QARPost notice: Different (+newer) instrumentation for a file \"A.C\" in symbol file \"new.sym\" "
            "encountered (overrides the previous).\n");
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"b.c", "A.C"}));  // the survivor takes the later place

  resetDatabase();
  resetDiagnostics();
  outcome = load(std::vector<std::string>{"new.sym", "old.sym"}, std::nullopt);
  EXPECT_EQ(outcome.err,
            "QARPost notice: Different (+older) instrumentation for a file \"a.c\" in symbol file \"old.sym\" "
            "encountered (discarded).\n");
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"A.C", "b.c"}));
}

TEST_F(LoadingTest, EqualTimesKeepTheFirstAndIdenticalDescriptionsMergeSilently) {
  dir_.write("one.sym", symbolFile(symbolBlock("x.c", 100, 0x1) + symbolBlock("y.c", 100, 0x7)));
  dir_.write("two.sym", symbolFile(symbolBlock("x.c", 100, 0x2) + symbolBlock("y.c", 300, 0x7)));
  Outcome outcome = load(std::vector<std::string>{"one.sym", "two.sym"}, std::nullopt);
  EXPECT_EQ(outcome.err,
            "QARPost notice: Different (+older) instrumentation for a file \"x.c\" in symbol file \"two.sym\" "
            "encountered (discarded).\n");
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"x.c", "y.c"}));
  EXPECT_EQ(database().monitoredFiles.front().fingerprint, 0x1u);
  EXPECT_EQ(database().monitoredFiles.back().instrumentationTime, 300);  // the later identical one
  EXPECT_EQ(noticeCount(), 1u);
}

TEST_F(LoadingTest, CountersOfOneInstrumentationAddUp) {
  dir_.write("p.sym", symbolFile(symbolBlock("src/p.c", 100, 0xFEED, 2)));
  writeData("r1.dat", {functionBlock("SRC\\P.C", 100, 0xFEED, {4294967000u, 3})});
  writeData("r2.dat", {functionBlock("src/p.c", 100, 0xFEED, {1000, 4})});
  Outcome outcome = load(std::vector<std::string>{"p.sym"}, std::vector<std::string>{"r1.dat", "r2.dat"});
  EXPECT_EQ(outcome.err, "");
  const MonitoredFile& file = database().monitoredFiles.front();
  ASSERT_TRUE(file.counterData);
  EXPECT_EQ(file.counterData->functionCounts, (std::vector<uint32_t>{4294967295u, 7}));

  captureRun([] { prepareCounters(); });
  EXPECT_TRUE(database().countersPrepared);
  EXPECT_EQ(lineValues(file, file.descriptionLines[2]).value1, 4294967295u);
  EXPECT_EQ(lineValues(file, file.descriptionLines[3]).value1, 7u);
  EXPECT_EQ(lineValues(file, file.descriptionLines[0]), LineValues{});  // the name line keeps zeros
}

TEST_F(LoadingTest, BlocksThatDoNotFitRaiseTheirNotices) {
  dir_.write("m.sym", symbolFile(symbolBlock("m.c", 1000, 0xAB)));
  writeData("d.dat", {functionBlock("m.c", 1000, 0xAB, {1, 2}), functionBlock("m.c", 1000, 0xCD, {1}),
                      functionBlock("m.c", 999, 0xCD, {1}), functionBlock("gone.c", 5, 1, {1})});
  Outcome outcome = load(std::vector<std::string>{"m.sym"}, std::vector<std::string>{"d.dat"});
  EXPECT_EQ(outcome.err,
            "QARPost notice: Counter data for file \"m.c\" encountered coming from datafile \"d.dat\", file "
            "identifications are same but counter array sizes not (discarded).\n"
            "QARPost notice: Different (+newer) counter data for file \"m.c\" coming from datafile \"d.dat\" "
            "(discarded).\n"
            "QARPost notice: Different (+older) counter data for file \"m.c\" coming from datafile \"d.dat\" "
            "(discarded).\n"
            "QARPost notice: Counter data for an unknown file \"gone.c\" encountered coming from datafile "
            "\"d.dat\" (discarded).\n");
  EXPECT_FALSE(database().monitoredFiles.front().counterData);

  // -onlycf then leaves nothing.
  captureRun([] { dropFilesWithoutCounters(); });
  EXPECT_TRUE(database().monitoredFiles.empty());
}

TEST_F(LoadingTest, ChosenFilesDropOtherCountersSilently) {
  OptionSettings settings;
  settings.chosenFiles = std::vector<std::string>{"*keep.c"};
  setOptions(settings);
  dir_.write("s.sym", symbolFile(symbolBlock("keep.c", 10, 1) + symbolBlock("skip.c", 10, 2)));
  writeData("s.dat", {functionBlock("skip.c", 10, 2, {1}), functionBlock("other.c", 10, 3, {1}),
                      functionBlock("keep.c", 10, 1, {9})});
  Outcome outcome = load(std::vector<std::string>{"s.sym"}, std::vector<std::string>{"s.dat"});
  EXPECT_EQ(outcome.err, "");
  ASSERT_EQ(fileNames(), (std::vector<std::string>{"keep.c"}));
  EXPECT_EQ(database().monitoredFiles.front().counterData->functionCounts[0], 9u);
}

TEST_F(LoadingTest, DefaultAndDerivedInputNames) {
  dir_.write("prog.sym", symbolFile(symbolBlock("p.c", 10, 1)));
  writeData("prog.dat", {functionBlock("p.c", 10, 1, {2})});
  load(std::vector<std::string>{"prog.sym"}, std::nullopt);
  ASSERT_EQ(database().dataFilesRead.size(), 1u);
  EXPECT_EQ(database().dataFilesRead[0].name, "prog.dat");
  EXPECT_EQ(database().symbolFilesRead[0].stamp, "Sat Dec  5 12:00:00 2026");

  resetDatabase();
  load(std::nullopt, std::vector<std::string>{"prog.dat"});
  ASSERT_EQ(database().symbolFilesRead.size(), 1u);
  EXPECT_EQ(database().symbolFilesRead[0].name, "prog.sym");

  resetDatabase();
  writeData("lone.dat", {});
  Outcome outcome = load(std::nullopt, std::vector<std::string>{"lone.dat"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file lone.sym: No such file or directory\n");

  resetDatabase();
  outcome = load(std::nullopt, std::nullopt);
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file MON.sym: No such file or directory\n");

  resetDatabase();
  std::filesystem::rename("prog.sym", "MON.sym");
  outcome = load(std::nullopt, std::nullopt);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(database().symbolFilesRead.size(), 1u);
  EXPECT_TRUE(database().dataFilesRead.empty());  // no MON.dat: silently without data
}

TEST_F(LoadingTest, ContentsListingModeUsesOnlyNamedFilesAndKeepsEveryBlock) {
  dir_.write("c.sym", symbolFile(symbolBlock("a.c", 10, 1) + symbolBlock("a.c", 20, 2)));
  writeData("c.dat", {functionBlock("a.c", 10, 1, {1}), functionBlock("a.c", 10, 1, {1})});
  Outcome outcome = captureRun([] {
    loadInputFiles(std::vector<std::string>{"c.sym"}, std::nullopt, true);
    buildCoverageDatabase(true);
  });
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(database().dataFilesRead.empty());  // c.dat is not derived
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"a.c", "a.c"}));

  resetDatabase();
  captureRun([] {
    loadInputFiles(std::nullopt, std::vector<std::string>{"c.dat"}, true);
    buildCoverageDatabase(true);
  });
  EXPECT_TRUE(database().symbolFilesRead.empty());
  EXPECT_EQ(database().dataBlockSummaries.size(), 2u);
}

}  // namespace
}  // namespace qar
