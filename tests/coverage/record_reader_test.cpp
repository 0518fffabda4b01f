#include "coverage/record_reader.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "coverage/loading.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using Array = std::vector<uint32_t>;

MonitoredFile& addFile(const std::string& name, std::initializer_list<std::string> lines, uint32_t sourceLines = 0) {
  MonitoredFile& file = appendMonitoredFile(name);
  file.sourceLineCount = sourceLines;
  for (const std::string& line : lines) appendDescriptionLine(file, line);
  return file;
}

void attachCounters(MonitoredFile& file, Array f, Array j, Array dTrue, Array dFalse, Array c, Array tTotal = {},
                    Array tMax = {}) {
  file.counterData = std::make_unique<CounterArrays>(
      CounterArrays{"", 0, 0, 21, 22, {}, std::move(f), std::move(j), std::move(dTrue), std::move(dFalse),
                    std::move(c), std::move(tTotal), std::move(tMax)});
}

struct Delivered {
  RecordCategory category;
  uint32_t kind, line, statementCount, nesting;
  std::string text;
  uint32_t counter1, counter2, timeTotal, timeMax;
  bool operator==(const Delivered&) const = default;
};

std::vector<Delivered> walk() {
  std::vector<Delivered> records;
  Probe p;
  for (RecordCategory category = nextRecord(p); category != RecordCategory::EndOfRecords; category = nextRecord(p)) {
    records.push_back({category, p.kind, p.line, p.statementCount, p.nesting, std::string(p.text), p.counter1,
                       p.counter2, p.timeTotal, p.timeMax});
    if (category == RecordCategory::BadRecord) break;
  }
  return records;
}

class RecordReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDatabase();
    resetDiagnostics();
  }
  void TearDown() override { resetDatabase(); }
};

TEST_F(RecordReaderTest, FileStartSetsTheCurrentFileValues) {
  attachCounters(addFile("src/a.c", {"@src/a.c", "7 1700000000 0000abcd 3 4", "%10,0,0,0,0,0"}, 10), {}, {}, {}, {}, {});
  addFile("inc/b.h", {"@inc/b.h", "17 -5 FFFFFFFF 0 0"}, 20).isHeaderFile = 1;
  std::string longName(300, 'n');
  addFile(longName, {"@" + longName, "1 1 0 0 0"});
  Probe probe;
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(currentFileName(), "src/a.c");
  EXPECT_TRUE(currentInstrumentationMode().decision && currentInstrumentationMode().multicondition);
  EXPECT_FALSE(currentInstrumentationMode().hasTiming());
  EXPECT_EQ(std::make_tuple(currentInstrumentationTime(), currentFingerprint(), currentRwrCount(), currentUpdCount(),
                            currentCounterRwrCount(), currentCounterUpdCount(), currentIsHeaderFile()),
            std::make_tuple(int64_t{1700000000}, 0xABCDu, 3u, 4u, 21u, 22u, 0u));
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(previousFileSourceLines(), 10u);
  EXPECT_TRUE(currentInstrumentationMode().function);  // set even when the bit is clear
  EXPECT_TRUE(currentInstrumentationMode().exclusiveTiming);
  EXPECT_EQ(std::make_tuple(currentInstrumentationTime(), currentFingerprint(), currentCounterRwrCount(),
                            currentIsHeaderFile()),
            std::make_tuple(int64_t{-5}, 0xFFFFFFFFu, 0u, 1u));
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(previousFileSourceLines(), 20u);
  EXPECT_EQ(currentFileName(), std::string(260, 'n'));
}

TEST_F(RecordReaderTest, CountersComeFromTheArraysByKind) {
  MonitoredFile& file = addFile("t.c", {"@t.c", "9 100 00000001 0 0",  // function + inclusive timing
                                        "0 10 0 1 0 main", "13 11 1 2 1 return 0;", "20 12 2 1 1 a > b",
                                        "75 13 2 3 2 TF", "76 14 2 0 2 FF", "42 15 2 7 1 switch (x)",
                                        "55 16 3 0 1 user", "%20,2,3,2,4,2"});
  attachCounters(file, {5, 6}, {7, 8, 9}, {10, 11}, {12, 13}, {14, 15, 16, 17}, {100, 200}, {300, 400});
  std::vector<Delivered> records = walk();
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[1], (Delivered{RecordCategory::FunctionRecord, 0, 10, 0, 0, "main", 6, 0, 200, 400}));
  EXPECT_EQ(records[2], (Delivered{RecordCategory::ProbeRecord, 13, 11, 1, 1, "return 0;", 9, 0, 0, 0}));
  EXPECT_EQ(records[3], (Delivered{RecordCategory::ProbeRecord, 20, 12, 2, 1, "a > b", 11, 13, 0, 0}));
  EXPECT_EQ(std::tie(records[4].counter1, records[4].counter2), std::make_tuple(17u, 0u));  // 75: counter 1
  EXPECT_EQ(std::tie(records[5].counter1, records[5].counter2), std::make_tuple(0u, 14u));  // 76: counter 2
  EXPECT_EQ(records[6].counter1, 0u);  // 42: no counters, index not looked up
  EXPECT_EQ(records[7].counter1, 7u);

  // Without a timing bit the T counters are not looked up; without counter data all are 0.
  resetDatabase();
  attachCounters(addFile("u.c", {"@u.c", "3 100 00000001 0 0", "0 10 0 0 0 f"}), {4}, {}, {}, {}, {}, {100}, {300});
  addFile("v.c", {"@v.c", "9 100 1 0 0", "0 1 0 99 0 f", "20 2 1 99 1 c", "78 3 1 99 1 0,1", "70 3 1 99 1 c"});
  records = walk();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[1], (Delivered{RecordCategory::FunctionRecord, 0, 10, 0, 0, "f", 4, 0, 0, 0}));
  for (size_t i = 3; i < 6; ++i) EXPECT_EQ(records[i].counter1 | records[i].counter2 | records[i].timeTotal, 0u);
}

TEST_F(RecordReaderTest, OffsetListsAndPendingSums) {
  CounterArrays counters;
  counters.conditionCounts = {1, 10, 100, 1000, 10000};
  Probe probe;
  EXPECT_EQ(parseRecordLine("78 5 1 1 0 0,2,x,5", &counters, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(std::tie(probe.counter1, probe.counter2), std::make_tuple(10u + 1000u, 2u));  // base 1, offsets 0 and 2
  parseRecordLine("81 5 1 0 0 3x,1", &counters, false, probe);
  EXPECT_EQ(std::tie(probe.counter1, probe.counter2), std::make_tuple(1000u + 10u, 2u));
  parseRecordLine("79 5 1 0 0 ,1", &counters, false, probe);
  EXPECT_EQ(probe.counter2, 0u);
  // Offsets of 18 digits and more (leading zeros) read as any other.
  parseRecordLine("78 5 1 0 0 000000000000000003,0000000000000000001,000000000000000000002", &counters, false, probe);
  EXPECT_EQ(std::tie(probe.counter1, probe.counter2), std::make_tuple(1000u + 10u + 100u, 3u));

  // The sums reach only the record directly after the lists.
  MonitoredFile& file = addFile("t.c", {"@t.c", "7 100 00000001 0 0", "0 1 0 0 0 f", "78 2 1 0 1 0,1", "79 2 1 2 1 0,1",
                                        "72 2 1 0 1 a && b", "80 3 1 0 1 2", "77 3 1 0 1 a", "13 4 2 0 1 return",
                                        "85 5 2 0 1 x", "%9,1,1,0,4,0"});
  attachCounters(file, {1}, {6}, {}, {}, {1, 2, 3, 4});
  std::vector<Delivered> records = walk();
  ASSERT_EQ(records.size(), 6u);
  // 72 is delivered as a while (22) with true sum 1+2 and false sum 3+4.
  EXPECT_EQ(records[2], (Delivered{RecordCategory::ProbeRecord, 22, 2, 1, 1, "a && b", 3, 7, 0, 0}));
  // 80 sets only the true sum; the false slot still holds the 72's counter 2.
  EXPECT_EQ(std::tie(records[3].kind, records[3].counter1, records[3].counter2), std::make_tuple(77u, 3u, 7u));
  // 85 after a counted record gets that record's counters, not old sums.
  EXPECT_EQ(std::tie(records[5].kind, records[5].counter1, records[5].counter2), std::make_tuple(85u, 6u, 0u));
}

// A preparation pass done through currentDescriptionLine must make a later
// walk (taking counters from the lines) deliver exactly the same records.
TEST_F(RecordReaderTest, PreparedWalkRepeatsTheCountersWrittenIntoTheLines) {
  MonitoredFile& file = addFile("t.c", {"@t.c", "15 100 00000001 0 0", "#include \"x.h\"", "0 1 0 0 0 f",
                                        "50 1 0 0 0 \"x.h\"", "78 2 1 0 1 0,1", "79 2 1 2 1 0", "70 2 1 0 1 c",
                                        "81 3 1 2 1 1", "74 3 1 0 1 d", "76 3 1 3 2 FT", "25 4 1 0 1 t",
                                        "%9,1,1,1,4,1"});
  attachCounters(file, {7}, {}, {8}, {9}, {1, 2, 3, 4}, {55}, {66});
  std::vector<Delivered> before = walk();
  Probe probe;
  for (RecordCategory category = nextRecord(probe); category != RecordCategory::EndOfRecords;
       category = nextRecord(probe)) {
    DescriptionLine* line = currentDescriptionLine();
    ASSERT_NE(line, nullptr);
    if (category == RecordCategory::FunctionRecord) {
      setLineValues(*currentLineFile(), *line, LineValues{probe.counter1, 0, probe.timeTotal, probe.timeMax});
    } else if (category == RecordCategory::ProbeRecord) {
      setLineValues(*currentLineFile(), *line, LineValues{probe.counter1, probe.counter2, 0, 0});
    }
  }
  file.counterData.reset();  // the lines alone must carry the counters now
  database().countersPrepared = true;
  std::vector<Delivered> after = walk();
  EXPECT_EQ(after, before);
  ASSERT_EQ(after.size(), 8u);
  EXPECT_EQ(std::tie(after[4].kind, after[4].counter1), std::make_tuple(20u, 3u));  // 1 + 2
  // C[2 + 1]; the true slot keeps the 20's counter 1.
  EXPECT_EQ(std::tie(after[5].kind, after[5].counter1, after[5].counter2), std::make_tuple(24u, 3u, 4u));

  // After preparation a true list skips its partner line, whatever it holds.
  resetDatabase();
  MonitoredFile& other = addFile("t.c", {"@t.c", "7 100 1 0 0", "78 2 1 0 1 0", "99 not a record", "71 2 1 0 1 c"});
  setLineValues(other, other.descriptionLines[4], LineValues{5, 6, 0, 0});
  database().countersPrepared = true;
  EXPECT_EQ(walk().back(), (Delivered{RecordCategory::ProbeRecord, 21, 2, 1, 1, "c", 5, 6, 0, 0}));
}

// The database of the preparation tests: sums, kinds 70 to 74, 77 and 85,
// timing, line records, blank lines, numbers the usual scan leaves to the
// general one, and pending sums that carry over into the next file.
void addPreparationFiles() {
  MonitoredFile& a = addFile("a.c", {"@a.c", "15 100 00000001 0 0", "0 1 0 0 0 f", "50 1 0 0 0 \"x.h\"", " \t",
                                     "78 2 1 0 1 0,1", "79 2 1 2 1 0", "70 2 1 0 1 c", "81 3 1 2 1 1",
                                     "74 3 1 0 1 d", "76 3 1 3 2 FT", "75 3 1 1 2 TF", "25 4 1 0 1 t",
                                     "13  5\t2 1 1 two blanks", "13 1234567890 2 2 1 ten digits",
                                     "13 3 1234567890 2 1 ten in the count", "13 3 1 2 1234567890 ten in the nesting",
                                     "20 +6 3 0 +1 signs", "0 9 0 1 0 g", "80 9 1 0 1 2,3", "%9,2,3,1,4,2"});
  attachCounters(a, {7, 70}, {1, 2, 3}, {8}, {9}, {1, 2, 3, 4}, {55, 56}, {66, 67});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "77 1 0 0 0 first", "85 2 0 0 0 x", "%3,0,0,0,0,0"});
  addFile("empty.c", {});
}

std::vector<LineValues> allLineValues() {
  std::vector<LineValues> values;
  for (const MonitoredFile& file : database().monitoredFiles) {
    for (const DescriptionLine& line : file.descriptionLines) values.push_back(lineValues(file, line));
  }
  return values;
}

// The preparation pass walks the lines itself; it must store exactly what
// a pass over nextRecord's records stores, and leave the same file values.
TEST_F(RecordReaderTest, PreparationStoresWhatTheWalkDelivers) {
  addPreparationFiles();
  Probe probe;
  for (RecordCategory category = nextRecord(probe); category != RecordCategory::EndOfRecords;
       category = nextRecord(probe)) {
    if (category == RecordCategory::FunctionRecord) {
      setLineValues(*currentLineFile(), *currentDescriptionLine(),
                    LineValues{probe.counter1, 0, probe.timeTotal, probe.timeMax});
    } else if (category == RecordCategory::ProbeRecord) {
      setLineValues(*currentLineFile(), *currentDescriptionLine(), LineValues{probe.counter1, probe.counter2, 0, 0});
    }
  }
  const std::vector<LineValues> expected = allLineValues();
  const uint32_t previousLines = previousFileSourceLines();

  resetDatabase();
  addPreparationFiles();
  prepareCounters();
  EXPECT_TRUE(database().countersPrepared);
  EXPECT_EQ(allLineValues(), expected);
  EXPECT_EQ(expected[15], (LineValues{3, 0, 0, 0}));     // passed-over numbers of ten digits
  EXPECT_EQ(expected[18], (LineValues{70, 0, 56, 67}));  // the timed function g
  EXPECT_EQ(expected[23], (LineValues{7, 0, 0, 0}));     // b.c's 77 gets the true sum a.c ended with
  EXPECT_EQ(previousFileSourceLines(), previousLines);
  EXPECT_EQ(currentFileName(), "b.c");
  EXPECT_TRUE(database().monitoredFiles.front().counterData->functionCounts.empty());  // freed once stored
}

// The pass split over two threads stores what the pass in turn stores and
// leaves the reader where that leaves it. Half the lines in, the second
// thread would start on b.c, whose first record takes the sums a.c leaves
// pending, then on empty.c, which has no record: it starts on c.c. An error
// of the first part is the only one reported, as in turn.
TEST_F(RecordReaderTest, PreparationOnTwoThreadsStoresWhatThePassInTurnStores) {
  struct Result {
    std::vector<LineValues> values;
    uint32_t previousLines;
    std::string fileName;
    int64_t time;
    std::vector<bool> countersFreed;
    std::string err;
  };
  auto prepare = [](const char* way, const std::string& badInA, const std::string& badInD) {
    resetDatabase();
    addPreparationFiles();
    if (!badInA.empty()) appendDescriptionLine(database().monitoredFiles.front(), badInA);
    MonitoredFile& c = addFile("c.c", {"@c.c", "1 100 00000003 0 0", "0 1 0 0 0 h", "78 2 1 0 1 0", "%1,0,0,1,0,0"});
    attachCounters(c, {5}, {}, {}, {}, {9});
    MonitoredFile& d = addFile("d.c", {"@d.c", "1 200 00000004 0 0", "0 1 0 0 0 k", "%1,0,0,0,0,0"}, 17);
    if (!badInD.empty()) appendDescriptionLine(d, badInD);
    setenv("QARPOST_PREPARATION_ALONGSIDE", way, 1);
    Result result;
    result.err = captureRun([] { prepareCounters(); }).err;
    unsetenv("QARPOST_PREPARATION_ALONGSIDE");
    result.values = allLineValues();
    result.previousLines = previousFileSourceLines();
    result.fileName = currentFileName();
    result.time = currentInstrumentationTime();
    for (const MonitoredFile& file : database().monitoredFiles) {
      result.countersFreed.push_back(!file.counterData || file.counterData->functionCounts.empty());
    }
    return result;
  };
  const Result inTurn = prepare("never", "", "");
  const Result split = prepare("always", "", "");
  EXPECT_EQ(split.values, inTurn.values);
  EXPECT_EQ(inTurn.values[23], (LineValues{7, 0, 0, 0}));  // b.c's 77 with a.c's true sum
  EXPECT_EQ(std::tie(split.previousLines, split.fileName, split.time),
            std::make_tuple(17u, std::string("d.c"), int64_t{200}));
  EXPECT_EQ(std::tie(split.previousLines, split.fileName, split.time),
            std::tie(inTurn.previousLines, inTurn.fileName, inTurn.time));
  EXPECT_EQ(split.countersFreed, std::vector<bool>(5, true));
  EXPECT_EQ(split.err, "");

  const Result secondBad = prepare("always", "", "13 1 2 0");
  EXPECT_NE(secondBad.err.find("line 1820, module postsym"), std::string::npos) << secondBad.err;
  EXPECT_EQ(secondBad.err, prepare("never", "", "13 1 2 0").err);
  const Result bothBad = prepare("always", "#include \"h.h\"", "13 1 2 0");
  EXPECT_EQ(bothBad.err, prepare("never", "#include \"h.h\"", "13 1 2 0").err);
  EXPECT_NE(bothBad.err.find("line 1824, module postsym"), std::string::npos) << bothBad.err;
  EXPECT_EQ(bothBad.err.find("line 1820"), std::string::npos) << bothBad.err;
}

TEST_F(RecordReaderTest, PreparationMeetingABadOrIncludeRecordIsAnInternalError) {
  const std::pair<const char*, const char*> cases[] = {
      {"13 1 2 0", "line 1820, module postsym"},
      {"#include \"h.h\"", "line 1824, module postsym"},
      {"END OF SYMBOLFILE", "line 1795, module postsym"},
  };
  for (const auto& [line, where] : cases) {
    resetDatabase();
    addFile("t.c", {"@t.c", "1 100 00000001 0 0", "0 1 0 0 0 f", line});
    auto outcome = captureRun([] { prepareCounters(); });
    EXPECT_TRUE(outcome.ended) << line;
    EXPECT_NE(outcome.err.find(where), std::string::npos) << outcome.err;
  }
  resetDatabase();
  addFile("lonely.c", {"@lonely.c"});  // no info line
  EXPECT_NE(captureRun([] { prepareCounters(); }).err.find("line 1820, module postsym"), std::string::npos);
}

TEST_F(RecordReaderTest, RecordLinesFollowTheScanRules) {
  Probe probe;
  EXPECT_EQ(parseRecordLine("13 1 2 0 3", nullptr, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(std::tie(probe.text, probe.nesting), std::make_tuple(std::string_view(), 3u));
  parseRecordLine("13 1 2 0 3 \t  x  y  ", nullptr, false, probe);  // one trailing blank goes
  EXPECT_EQ(probe.text, "x  y ");
  // Signs and any white space between numbers; a negative unsigned number wraps.
  EXPECT_EQ(parseRecordLine("  +13\t-1  2 0 3 t", nullptr, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(std::tie(probe.kind, probe.line), std::make_tuple(13u, 4294967295u));
  // Runs of nine digits and more, with the line going on after them or not:
  // longer runs take the general conversions (cut to 32 bits).
  const std::pair<const char*, uint32_t> runs[] = {
      {"13 123456789 2 0 3 text after", 123456789u},
      {"13 1234567890 2 0 3 text after", 1234567890u},
      {"13 99999999999 2 0 3 text after", static_cast<uint32_t>(99999999999ull)},
      {"13 123456789 2 0 3", 123456789u},
      {"13 0123456789 2 0 3", 123456789u},
      {"13  123 2 0 3 two blanks before the line", 123u}};
  for (const auto& [line, number] : runs) {
    ASSERT_EQ(parseRecordLine(line, nullptr, false, probe), RecordCategory::ProbeRecord) << line;
    EXPECT_EQ(std::tie(probe.line, probe.nesting), std::make_tuple(number, 3u)) << line;
  }
  parseRecordLine("13 1 2 0 12345678901", nullptr, false, probe);
  EXPECT_EQ(probe.nesting, static_cast<uint32_t>(12345678901ull));
  const std::string longLine = "3 1 2 0 3" + std::string(5000, 'z');
  parseRecordLine(longLine, nullptr, false, probe);
  EXPECT_EQ(probe.text.size(), 4095u);
  EXPECT_EQ(parseRecordLine("50 7 0 0 0 \"a.c\"", nullptr, false, probe), RecordCategory::LineRecord);
  EXPECT_EQ(parseRecordLine("#i whatever 1 2 3", nullptr, false, probe), RecordCategory::IncludeRecord);
  EXPECT_EQ(std::tie(probe.kind, probe.text), std::make_tuple(50u, std::string_view("#i whatever 1 2 3")));

  for (const char* bad : {"13 1 2 0", "7 1 2 0 0 x", "99 1 2 0 0 x", "-1 1 2 0 0", "x 1 2 3 4", "13 1 + 0 0"}) {
    resetDatabase();
    addFile("src/bad.c", {"@src/bad.c", "1 100 00000001 0 0", bad});
    ASSERT_EQ(walk().back().category, RecordCategory::BadRecord) << bad;
    EXPECT_EQ(captureRun([] { reportError(kSymbolFileError, ErrorSeverity::ContinueAfterReport); }).err,
              "QARPost error 5: Error in symbol file src/bad.c\n");
  }
  resetDatabase();
  addFile("lonely.c", {"@lonely.c"});  // no info line
  addFile("next.c", {"@next.c", "1 100 00000001 0 0"});
  EXPECT_EQ(nextRecord(probe), RecordCategory::BadRecord);
}

TEST_F(RecordReaderTest, CounterIndexBeyondItsArrayOrAStoredTerminatorIsAnInternalError) {
  const std::pair<const char*, const char*> cases[] = {
      {"1|0 1 0 1 0 f", "line 710, module postdata"},  {"1|13 1 0 2 0 r", "line 767, module postdata"},
      {"1|30 1 0 1 0 c", "line 729, module postdata"}, {"1|75 1 0 4 0 c", "line 786, module postdata"},
      {"1|78 1 0 3 0 0,1", "line 786, module postdata"}, {"9|0 1 0 0 0 f", "line 806, module postdata"},
      {"1|END OF SYMBOLFILE", "module postsym"},
  };
  for (const auto& [modeAndRecord, where] : cases) {
    resetDatabase();
    std::string text = modeAndRecord;
    MonitoredFile& file = addFile("t.c", {"@t.c", text.substr(0, 1) + " 100 00000001 0 0", text.substr(2)});
    attachCounters(file, {1}, {1, 2}, {1}, {}, {1, 2, 3, 4});
    auto outcome = captureRun([] { walk(); });
    EXPECT_TRUE(outcome.ended) << text;
    EXPECT_NE(outcome.err.find(where), std::string::npos) << outcome.err;
  }
  CounterArrays counters;
  counters.timeTotals = {1};
  EXPECT_NE(captureRun([&] { decisionFalseAt(0, &counters); }).err.find("line 748, module postdata"), std::string::npos);
  EXPECT_NE(captureRun([&] { timeMaxAt(0, &counters); }).err.find("line 825, module postdata"), std::string::npos);
}

TEST_F(RecordReaderTest, WalksRepeatPassOverCountAndBlankLinesAndRestartWhenTheirFileGoes) {
  addFile("a.c", {"@a.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "  \t", "3 2 1 0 1", "%5,1,0,0,0,0"});
  addFile("empty.c", {});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "#include \"h.h\"", "0 1 0 0 0 g", "%5,1,0,0,0,0"});
  std::vector<Delivered> first = walk();
  std::vector<RecordCategory> categories;
  for (const Delivered& record : first) categories.push_back(record.category);
  using C = RecordCategory;
  EXPECT_EQ(categories, (std::vector<C>{C::FileStart, C::FunctionRecord, C::ProbeRecord, C::FileStart,
                                        C::IncludeRecord, C::FunctionRecord}));
  EXPECT_EQ(walk(), first);

  Probe probe;
  nextRecord(probe);
  nextRecord(probe);
  removeMonitoredFile(database().monitoredFiles.begin());
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(currentFileName(), "b.c");
}

TEST_F(RecordReaderTest, PeekLooksAheadInsideTheFileAndStopsAtTheCountLine) {
  MonitoredFile& file = addFile("a.c", {"@a.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "72 2 1 12 1 -x y",
                                        "bad line", "0 9 3 1 0 g", "%5,2,0,0,0,0"});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "0 1 0 0 0 h", "%5,1,0,0,0,0"});
  setLineValues(file, file.descriptionLines[3], LineValues{1, 2, 3, 4});
  Probe probe;
  nextRecord(probe);
  ASSERT_EQ(nextRecord(probe), RecordCategory::FunctionRecord);
  saveRecordCursor();
  Probe look;
  ASSERT_EQ(peekRecord(look), RecordCategory::ProbeRecord);
  EXPECT_EQ(std::tie(look.kind, look.statementCount, look.text), std::make_tuple(72u, 1u, std::string_view("-x y")));
  EXPECT_EQ(look.counter1 + look.counter2 + look.timeTotal + look.timeMax, 10u);
  EXPECT_EQ(peekRecord(look), RecordCategory::BadRecord);
  EXPECT_EQ(peekRecord(look), RecordCategory::FunctionRecord);
  EXPECT_EQ(look.text, "g");
  look.text = "unchanged";
  EXPECT_EQ(peekRecord(look), RecordCategory::FunctionRecord);  // the count line: no further record
  EXPECT_EQ(std::tie(look.kind, look.text), std::make_tuple(0u, std::string_view("unchanged")));
  restoreRecordCursor();
  EXPECT_EQ(nextRecord(probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.kind, 22u);
}

}  // namespace
}  // namespace qar

namespace qar {
namespace {

// Every record of a prepared walk, and after each function record what the
// statement look-ahead sees up to the next one.
std::vector<Delivered> walkWithLookAhead() {
  std::vector<Delivered> records;
  auto keep = [&records](RecordCategory category, const Probe& probe) {
    records.push_back(Delivered{category, probe.kind, probe.line, probe.statementCount, probe.nesting,
                                std::string(probe.text), probe.counter1, probe.counter2, probe.timeTotal,
                                probe.timeMax});
  };
  Probe probe;
  for (RecordCategory category = nextRecord(probe); category != RecordCategory::EndOfRecords;
       category = nextRecord(probe)) {
    keep(category, probe);
    if (category != RecordCategory::FunctionRecord) continue;
    saveRecordCursor();
    Probe look;
    RecordCategory ahead;
    do {
      ahead = peekRecord(look);
      keep(ahead, look);
    } while (ahead == RecordCategory::ProbeRecord);
    restoreRecordCursor();
  }
  return records;
}

TEST_F(RecordReaderTest, CompactedRecordLinesReadAsTheirTexts) {
  MonitoredFile& file = addFile(
      "t.c", {"@t.c", "15 100 00000001 0 0", "#include \"x.h\"", "0 1 0 0 0 f", "20 2 1 0 1 a < b ",
              "13 3 2 0 2", "13 4 2 0 2 \t  tabbed  text ", "13 16777216 2 0 2 big line", "13 5 65536 0 2 many",
              "13 6 2 0 256 deep", "13 7 2 0 2  two blanks", "+13 8 2 0 2 signed", "78 9 1 0 1 0,1",
              "79 9 1 2 1 0", "70 9 1 0 1 c", "50 10 0 0 0 \"x.h\"", "0 20 0 0 0 g", "2 21 1 0 0",
              "%22,2,3,1,4,1"});
  for (size_t i = 3; i + 1 < file.descriptionLines.size(); ++i) {
    setLineValues(file, file.descriptionLines[i], LineValues{static_cast<uint32_t>(i), 2, 0, 0});
  }
  database().countersPrepared = true;
  const std::vector<Delivered> fromTexts = walkWithLookAhead();

  database().recordTextsCompactable = true;
  EXPECT_EQ(walkWithLookAhead(), fromTexts);  // this walk compacts the lines it parses
  EXPECT_EQ(walkWithLookAhead(), fromTexts);  // and this one reads them compacted
  auto compacted = [&file](size_t index) {
    return static_cast<unsigned char>(lineText(file.descriptionLines[index]).front()) >= 0x80;
  };
  EXPECT_TRUE(compacted(3));
  EXPECT_TRUE(compacted(4));   // the text keeps its trailing blank for the look-ahead
  EXPECT_TRUE(compacted(5));   // no text at all
  EXPECT_TRUE(compacted(14));  // kind 70, delivered as 20
  EXPECT_EQ(lineText(file.descriptionLines[4]).substr(8), " 1 a < b ");  // after the compact bytes
  // The partner list, which the walk passes over, is compacted by the
  // look-ahead, which reads it as a record (the walks above read the same).
  EXPECT_TRUE(compacted(13));
  // Texts the look-ahead finds elsewhere (more white space than one blank,
  // a sign), numbers that do not fit and the include line stay texts.
  for (size_t index : {2u, 6u, 7u, 8u, 9u, 10u, 11u}) EXPECT_FALSE(compacted(index)) << index;
}

TEST_F(RecordReaderTest, RecordLinesStayTextsUnlessCompactingIsAllowed) {
  MonitoredFile& file = addFile("t.c", {"@t.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "%2,1,0,0,0,0"});
  database().countersPrepared = true;
  walk();
  walk();
  EXPECT_EQ(lineText(file.descriptionLines[2]), "0 1 0 0 0 f");
}

}  // namespace
}  // namespace qar

namespace qar {
namespace {

struct WalkedRecord {
  Delivered record;
  size_t lineIndex;  // of the line the record came from in its file
  bool operator==(const WalkedRecord&) const = default;
};

// A prepared walk's records and the lines they came from; with `lookAhead`
// the statement look-ahead runs after every function record, so that the
// walk takes the records it kept. `moveAfterFunction` moves the cursor to
// that line of the file after the look-ahead of the first function.
std::vector<WalkedRecord> walkRecords(bool lookAhead, size_t moveAfterFunction = 0) {
  std::vector<WalkedRecord> records;
  resetRecordCursor();  // the walk before ended at the bad line
  Probe probe;
  bool moved = false;
  for (RecordCategory category = nextRecord(probe); category != RecordCategory::EndOfRecords;
       category = nextRecord(probe)) {
    const DescriptionLine* line = currentDescriptionLine();
    const size_t index =
        line == nullptr ? 0 : static_cast<size_t>(line - currentLineFile()->descriptionLines.data());
    records.push_back({Delivered{category, probe.kind, probe.line, probe.statementCount, probe.nesting,
                                 std::string(probe.text), probe.counter1, probe.counter2, probe.timeTotal,
                                 probe.timeMax},
                       index});
    if (category == RecordCategory::BadRecord) break;
    if (category != RecordCategory::FunctionRecord) continue;
    if (lookAhead) {
      saveRecordCursor();
      Probe look;
      while (peekRecord(look) == RecordCategory::ProbeRecord) {
      }
      restoreRecordCursor();
    }
    if (moveAfterFunction != 0 && !moved) {
      moved = true;
      moveRecordCursorTo(&currentLineFile()->descriptionLines[moveAfterFunction]);
    }
  }
  return records;
}

// The walk takes what the look-ahead read instead of reading the lines
// again: every record, its counters and the cursor must be those of reading.
TEST_F(RecordReaderTest, WalkTakesTheLookAheadsRecordsAsReadingTheLinesGivesThem) {
  // Sum lists with their partners (one that does not parse), kinds 70 to 74,
  // texts with blanks around them, blank lines, line and include records
  // inside a function, records after the count line, a bad line.
  addFile("t.c", {"@t.c", "15 100 00000001 0 0", "0 1 0 0 0 f", "50 2 0 0 0 \"x.h\"", "  ", "20 3 1 0 1 a < b ",
                  "13 4 2 0 2  two  blanks ", "78 5 1 0 1 0,1", "79 5 1 2 1 0", "70 5 1 0 1 c", "80 6 1 0 1 1", "",
                  "81 6 1 2 1 1", "74 6 1 0 1 d", "79 7 1 2 1 0", "#include \"in.h\"", "3 8 3 0 1",
                  "51 9 0 0 0 \"t.c\"", "0 10 0 1 0 g", "13 11 1 1 1 r", "2 12 2 0 0", "%12,2,3,1,4,1",
                  "13 13 1 2 1 after the count line", "0 14 0 3 0 h", "3 15 1 0 1"});
  addFile("u.c", {"@u.c", "15 100 00000002 0 0", "0 1 0 0 0 k", "13 2 1 0 1 ", "78 3 1 0 1 0",
                  "99 a partner that does not parse", "72 3 1 0 1 e", "3 4 1 0 1", "bad line"});
  uint32_t value = 1;
  for (MonitoredFile& each : database().monitoredFiles) {
    for (DescriptionLine& line : each.descriptionLines) {
      setLineValues(each, line, LineValues{value, value + 1, value + 2, value + 3});
      value += 4;
    }
  }
  database().countersPrepared = true;
  const std::vector<WalkedRecord> reading = walkRecords(false);
  ASSERT_EQ(reading.back().record.category, RecordCategory::BadRecord);
  EXPECT_EQ(walkRecords(true), reading);
  database().recordTextsCompactable = true;
  EXPECT_EQ(walkRecords(true), reading);  // the look-ahead compacts the lines
  EXPECT_EQ(walkRecords(true), reading);  // and reads them compacted
  EXPECT_EQ(walkRecords(false), reading);

  // Moved within a function after its look-ahead (the untested listing
  // passing over a body), the walk goes on from the line moved to.
  const std::vector<WalkedRecord> moved = walkRecords(false, 13);
  EXPECT_EQ(walkRecords(true, 13), moved);
  ASSERT_GT(moved.size(), 2u);
  EXPECT_EQ(moved[2].lineIndex, 13u);
  EXPECT_EQ(moved[2].record.kind, 24u);  // kind 74 delivered as 24

  // A walk after the file the look-ahead kept from is gone starts over.
  resetRecordCursor();
  Probe probe;
  nextRecord(probe);
  nextRecord(probe);
  saveRecordCursor();
  Probe look;
  peekRecord(look);
  restoreRecordCursor();
  removeMonitoredFile(database().monitoredFiles.begin());
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(currentFileName(), "u.c");
  ASSERT_EQ(nextRecord(probe), RecordCategory::FunctionRecord);
  EXPECT_EQ(probe.text, "k");
}

}  // namespace
}  // namespace qar
