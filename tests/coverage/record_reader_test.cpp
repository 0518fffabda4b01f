#include "coverage/record_reader.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "base/posterr.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

MonitoredFile& addFile(const std::string& name, std::initializer_list<const char*> lines,
                       uint32_t sourceLines = 0) {
  MonitoredFile& file = appendMonitoredFile(name);
  file.sourceLineCount = sourceLines;
  for (const char* line : lines) appendDescriptionLine(file, line);
  return file;
}

void attachCounters(MonitoredFile& file, std::vector<uint32_t> f, std::vector<uint32_t> j,
                    std::vector<uint32_t> dTrue, std::vector<uint32_t> dFalse, std::vector<uint32_t> c,
                    std::vector<uint32_t> tTotal = {}, std::vector<uint32_t> tMax = {}) {
  auto counters = std::make_unique<CounterArrays>();
  counters->rwrCount = 21;
  counters->updCount = 22;
  counters->functionCounts = std::move(f);
  counters->jumpCounts = std::move(j);
  counters->decisionTrueCounts = std::move(dTrue);
  counters->decisionFalseCounts = std::move(dFalse);
  counters->conditionCounts = std::move(c);
  counters->timeTotals = std::move(tTotal);
  counters->timeMaxima = std::move(tMax);
  file.counterData = std::move(counters);
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
  Probe probe;
  for (;;) {
    RecordCategory category = nextRecord(probe);
    if (category == RecordCategory::EndOfRecords) return records;
    records.push_back(Delivered{category, probe.kind, probe.line, probe.statementCount, probe.nesting, std::string(probe.text),
                                probe.counter1, probe.counter2, probe.timeTotal, probe.timeMax});
    if (category == RecordCategory::BadRecord) return records;
  }
}

class RecordReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDatabase();
    resetDiagnostics();
  }
  void TearDown() override { resetDatabase(); }
};

TEST_F(RecordReaderTest, FileStartSetsCurrentFileValuesFromInfoLineAndCounterData) {
  MonitoredFile& a = addFile("src/a.c", {"@src/a.c", "7 1700000000 0000ABCD 3 4", "%10,0,0,0,0,0"}, 10);
  addFile("inc/b.h", {"@inc/b.h", "17 -5 FFFFFFFF 0 0", "%20,0,0,0,0,0"}, 20).isHeaderFile = 1;
  attachCounters(a, {}, {}, {}, {}, {});

  Probe probe;
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(currentFileName(), "src/a.c");
  InstrumentationMode mode = currentInstrumentationMode();
  EXPECT_TRUE(mode.function && mode.decision && mode.multicondition);
  EXPECT_FALSE(mode.hasTiming());
  EXPECT_EQ(currentInstrumentationTime(), 1700000000);
  EXPECT_EQ(currentFingerprint(), 0xABCDu);
  EXPECT_EQ(currentRwrCount(), 3u);
  EXPECT_EQ(currentUpdCount(), 4u);
  EXPECT_EQ(currentCounterRwrCount(), 21u);
  EXPECT_EQ(currentCounterUpdCount(), 22u);
  EXPECT_EQ(currentIsHeaderFile(), 0u);

  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(previousFileSourceLines(), 10u);
  EXPECT_EQ(currentFileName(), "inc/b.h");
  EXPECT_TRUE(currentInstrumentationMode().function);  // set even when the bit is clear
  EXPECT_TRUE(currentInstrumentationMode().exclusiveTiming);
  EXPECT_EQ(currentInstrumentationTime(), -5);
  EXPECT_EQ(currentFingerprint(), 0xFFFFFFFFu);
  EXPECT_EQ(currentCounterRwrCount(), 0u);  // no counter data
  EXPECT_EQ(currentIsHeaderFile(), 1u);

  std::string longName(300, 'n');
  addFile(longName, {("@" + longName).c_str(), "1 1 0 0 0"});
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
  EXPECT_EQ(records[4].counter1, 17u);  // 75: condition count in counter 1
  EXPECT_EQ(records[4].counter2, 0u);
  EXPECT_EQ(records[5].counter1, 0u);  // 76: condition count in counter 2
  EXPECT_EQ(records[5].counter2, 14u);
  EXPECT_EQ(records[6].counter1, 0u);  // 42: no counters, index not looked up
  EXPECT_EQ(records[7].counter1, 7u);

  // Without a timing bit the T counters are not looked up.
  resetDatabase();
  MonitoredFile& untimed = addFile("u.c", {"@u.c", "3 100 00000001 0 0", "0 10 0 0 0 f", "%20,1,0,0,0,1"});
  attachCounters(untimed, {4}, {}, {}, {}, {}, {100}, {300});
  records = walk();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], (Delivered{RecordCategory::FunctionRecord, 0, 10, 0, 0, "f", 4, 0, 0, 0}));
}

TEST_F(RecordReaderTest, FileWithoutCounterDataDeliversZeros) {
  addFile("t.c", {"@t.c", "9 100 00000001 0 0", "0 10 0 99 0 f", "20 11 1 99 1 c", "78 12 1 99 1 0,1",
                  "70 12 1 99 1 c", "%20,1,0,0,0,1"});
  for (const Delivered& record : walk()) {
    EXPECT_EQ(record.counter1 | record.counter2 | record.timeTotal | record.timeMax, 0u) << record.text;
  }
}

TEST_F(RecordReaderTest, OffsetListSumsUpToTheFirstPieceWithoutDigit) {
  CounterArrays counters;
  counters.conditionCounts = {1, 10, 100, 1000, 10000, 100000, 1000000};
  Probe probe;
  EXPECT_EQ(parseRecordLine("78 5 1 1 0 0,2,x,5", &counters, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.counter1, 10u + 1000u);  // base 1 + offsets 0 and 2
  EXPECT_EQ(probe.counter2, 2u);
  EXPECT_EQ(parseRecordLine("81 5 1 0 0 3x,1", &counters, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.counter1, 1000u + 10u);
  EXPECT_EQ(probe.counter2, 2u);
  EXPECT_EQ(parseRecordLine("79 5 1 0 0 ,1", &counters, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.counter2, 0u);
}

TEST_F(RecordReaderTest, PendingSumsReachOnlyTheRecordDirectlyAfterTheLists) {
  MonitoredFile& file = addFile("t.c", {"@t.c", "7 100 00000001 0 0", "0 1 0 0 0 f",
                                        "78 2 1 0 1 0,1", "79 2 1 2 1 0,1", "72 2 1 0 1 a && b",
                                        "80 3 1 0 1 2", "77 3 1 0 1 a", "13 4 2 0 1 return", "85 5 2 0 1 x",
                                        "%9,1,1,0,4,0"});
  attachCounters(file, {1}, {6}, {}, {}, {1, 2, 3, 4});
  std::vector<Delivered> records = walk();
  ASSERT_EQ(records.size(), 6u);
  // 72 is delivered as a while (22) with true sum 1+2 and false sum 3+4.
  EXPECT_EQ(records[2], (Delivered{RecordCategory::ProbeRecord, 22, 2, 1, 1, "a && b", 3, 7, 0, 0}));
  // 80 sets only the true sum; the false slot still holds the 72's counter 2.
  EXPECT_EQ(records[3].kind, 77u);
  EXPECT_EQ(records[3].counter1, 3u);
  EXPECT_EQ(records[3].counter2, 7u);
  // 85 after a counted record gets that record's counters, not old sums.
  EXPECT_EQ(records[5].kind, 85u);
  EXPECT_EQ(records[5].counter1, 6u);
  EXPECT_EQ(records[5].counter2, 0u);
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
  EXPECT_EQ(after[4].kind, 20u);
  EXPECT_EQ(after[4].counter1, 3u);  // 1 + 2
  EXPECT_EQ(after[5].kind, 24u);
  EXPECT_EQ(after[5].counter2, 4u);  // C[2 + 1]; the true slot keeps the 20's counter 1
  EXPECT_EQ(after[5].counter1, 3u);
}

TEST_F(RecordReaderTest, AfterPreparationTrueListSkipsItsPartnerAndRecordsUseTheirOwnValues) {
  MonitoredFile& file = addFile("t.c", {"@t.c", "7 100 00000001 0 0", "78 2 1 0 1 0", "99 not a record",
                                        "71 2 1 0 1 c", "%9,0,0,0,1,0"});
  setLineValues(file, file.descriptionLines[3], LineValues{40, 0, 0, 0});  // the skipped partner
  setLineValues(file, file.descriptionLines[4], LineValues{5, 6, 0, 0});
  database().countersPrepared = true;
  std::vector<Delivered> records = walk();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], (Delivered{RecordCategory::ProbeRecord, 21, 2, 1, 1, "c", 5, 6, 0, 0}));
}

TEST_F(RecordReaderTest, RecordLineTextAndNumbersFollowTheScanRules) {
  Probe probe;
  EXPECT_EQ(parseRecordLine("13 1 2 0 3", nullptr, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.text, "");
  EXPECT_EQ(probe.nesting, 3u);
  // White space after the fifth number is skipped; one trailing blank goes.
  parseRecordLine("13 1 2 0 3 \t  x  y  ", nullptr, false, probe);
  EXPECT_EQ(probe.text, "x  y ");
  // Numbers may carry a sign and stand apart by any white space; a negative
  // unsigned number wraps.
  EXPECT_EQ(parseRecordLine("  +13\t-1  2 0 3 t", nullptr, false, probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.kind, 13u);
  EXPECT_EQ(probe.line, 4294967295u);
  const std::string longLine = "3 1 2 0 3" + std::string(5000, 'z');  // the text is a view into it
  parseRecordLine(longLine, nullptr, false, probe);
  EXPECT_EQ(probe.text.size(), 4095u);
  EXPECT_EQ(parseRecordLine("50 7 0 0 0 \"a.c\"", nullptr, false, probe), RecordCategory::LineRecord);
  EXPECT_EQ(parseRecordLine("#i whatever 1 2 3", nullptr, false, probe), RecordCategory::IncludeRecord);
  EXPECT_EQ(probe.kind, 50u);
  EXPECT_EQ(probe.text, "#i whatever 1 2 3");
}

TEST_F(RecordReaderTest, BadRecordsNameTheFileInErrorFive) {
  for (const char* bad : {"13 1 2 0", "7 1 2 0 0 x", "99 1 2 0 0 x", "-1 1 2 0 0", "x 1 2 3 4", "13 1 + 0 0"}) {
    resetDatabase();
    addFile("src/bad.c", {"@src/bad.c", "1 100 00000001 0 0", bad});
    Probe probe;
    ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
    ASSERT_EQ(nextRecord(probe), RecordCategory::BadRecord) << bad;
    auto outcome = captureRun([] { reportError(kSymbolFileError, ErrorSeverity::ContinueAfterReport); });
    EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file src/bad.c\n");
  }
  // A name line with nothing after it has no info line.
  resetDatabase();
  addFile("lonely.c", {"@lonely.c"});
  addFile("next.c", {"@next.c", "1 100 00000001 0 0"});
  Probe probe;
  EXPECT_EQ(nextRecord(probe), RecordCategory::BadRecord);
}

TEST_F(RecordReaderTest, CounterIndexBeyondItsArrayIsAnInternalError) {
  struct Case {
    const char* record;
    const char* mode;
    const char* expectedLine;
  };
  const Case cases[] = {
      {"0 1 0 1 0 f", "1", "line 710,"},     {"13 1 0 2 0 r", "1", "line 767,"},
      {"30 1 0 1 0 c", "1", "line 729,"},    {"75 1 0 4 0 c", "1", "line 786,"},
      {"78 1 0 3 0 0,1", "1", "line 786,"},  {"0 1 0 0 0 f", "9", "line 806,"},
  };
  for (const Case& c : cases) {
    resetDatabase();
    MonitoredFile& file = addFile("t.c", {"@t.c", (std::string(c.mode) + " 100 00000001 0 0").c_str(), c.record});
    attachCounters(file, {1}, {1, 2}, {1}, {}, {1, 2, 3, 4});
    auto outcome = captureRun([] { walk(); });
    EXPECT_TRUE(outcome.ended) << c.record;
    EXPECT_NE(outcome.err.find(std::string("** ") + c.expectedLine + " module postdata\n"), std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("QARPost error 11: Internal error\n"), std::string::npos);
  }
  CounterArrays counters;
  counters.timeTotals = {1};
  auto outcome = captureRun([&] { decisionFalseAt(0, &counters); });
  EXPECT_NE(outcome.err.find("line 748, module postdata"), std::string::npos);
  outcome = captureRun([&] { timeMaxAt(0, &counters); });
  EXPECT_NE(outcome.err.find("line 825, module postdata"), std::string::npos);
  EXPECT_EQ(timeTotalAt(0, &counters), 1u);
  EXPECT_EQ(conditionCountAt(123456, nullptr), 0u);
}

TEST_F(RecordReaderTest, StoredTerminatorLineIsAnInternalErrorOfPostsym) {
  addFile("t.c", {"@t.c", "1 100 00000001 0 0", "END OF SYMBOLFILE"});
  auto outcome = captureRun([] { walk(); });
  EXPECT_TRUE(outcome.ended);
  EXPECT_NE(outcome.err.find("module postsym"), std::string::npos);
}

TEST_F(RecordReaderTest, WalksRepeatAndPassOverCountAndBlankLines) {
  addFile("a.c", {"@a.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "  \t", "3 2 1 0 1", "%5,1,0,0,0,0"});
  addFile("empty.c", {});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "#include \"h.h\"", "0 1 0 0 0 g", "%5,1,0,0,0,0"});
  std::vector<Delivered> first = walk();
  ASSERT_EQ(first.size(), 6u);
  std::vector<RecordCategory> categories;
  for (const Delivered& record : first) categories.push_back(record.category);
  EXPECT_EQ(categories, (std::vector<RecordCategory>{RecordCategory::FileStart, RecordCategory::FunctionRecord,
                                                     RecordCategory::ProbeRecord, RecordCategory::FileStart,
                                                     RecordCategory::IncludeRecord,
                                                     RecordCategory::FunctionRecord}));
  EXPECT_EQ(walk(), first);
}

TEST_F(RecordReaderTest, PeekLooksAheadInsideTheFileAndStopsAtTheCountLine) {
  MonitoredFile& file = addFile("a.c", {"@a.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "72 2 1 12 1 -x y",
                                        "bad line", "0 9 3 1 0 g", "%5,2,0,0,0,0"});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "0 1 0 0 0 h", "%5,1,0,0,0,0"});
  setLineValues(file, file.descriptionLines[3], LineValues{1, 2, 3, 4});
  Probe probe;
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  ASSERT_EQ(nextRecord(probe), RecordCategory::FunctionRecord);
  saveRecordCursor();
  Probe look;
  ASSERT_EQ(peekRecord(look), RecordCategory::ProbeRecord);
  EXPECT_EQ(look.kind, 72u);  // kept as stored
  EXPECT_EQ(look.statementCount, 1u);
  EXPECT_EQ(look.text, "-x y");
  EXPECT_EQ(look.counter1 + look.counter2 + look.timeTotal + look.timeMax, 10u);
  EXPECT_EQ(peekRecord(look), RecordCategory::BadRecord);
  EXPECT_EQ(peekRecord(look), RecordCategory::FunctionRecord);
  EXPECT_EQ(look.text, "g");
  for (int i = 0; i < 2; ++i) {
    look.text = "unchanged";
    EXPECT_EQ(peekRecord(look), RecordCategory::FunctionRecord);
    EXPECT_EQ(look.kind, 0u);
    EXPECT_EQ(look.text, "unchanged");
  }
  restoreRecordCursor();
  EXPECT_EQ(nextRecord(probe), RecordCategory::ProbeRecord);
  EXPECT_EQ(probe.kind, 22u);
}

TEST_F(RecordReaderTest, RemovingTheFileBeingWalkedRestartsTheWalk) {
  addFile("a.c", {"@a.c", "1 100 00000001 0 0", "0 1 0 0 0 f", "%5,1,0,0,0,0"});
  addFile("b.c", {"@b.c", "1 100 00000002 0 0", "0 1 0 0 0 g", "%5,1,0,0,0,0"});
  Probe probe;
  nextRecord(probe);
  nextRecord(probe);
  removeMonitoredFile(database().monitoredFiles.begin());
  ASSERT_EQ(nextRecord(probe), RecordCategory::FileStart);
  EXPECT_EQ(currentFileName(), "b.c");
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
  // Texts the look-ahead finds elsewhere (more white space than one blank,
  // a sign), numbers that do not fit, the include line and the partner list
  // stay texts.
  for (size_t index : {2u, 6u, 7u, 8u, 9u, 10u, 11u, 13u}) EXPECT_FALSE(compacted(index)) << index;
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
