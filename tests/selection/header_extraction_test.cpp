#include "selection/header_extraction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "base/file_names.h"
#include "selection/header_file_index.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;

constexpr std::string_view kInfo = "1 100 0000000A 0 0";

// An entry record (kind 50) or a return record (kind 51) naming `file`.
std::string enter(const std::string& file) { return "50 1 0 0 0 \"" + file + "\""; }
std::string back(const std::string& file) { return "51 1 0 0 0 \"" + file + "\""; }

class HeaderExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    setOptions(OptionSettings{});
  }

  // A source as the preparation pass leaves it: name line, info line, the
  // given record lines, closing count line. A record line may end in
  // "|v1,v2,v3,v4" (leading values only) to give its values.
  void addSource(const std::string& name, const std::vector<std::string>& records, std::string_view info = kInfo) {
    MonitoredFile& file = appendMonitoredFile(name);
    file.instrumentationTime = 100;
    file.fingerprint = 0xA;
    appendDescriptionLine(file, "@" + name);
    appendDescriptionLine(file, info);
    for (const std::string& record : records) {
      size_t bar = record.find('|');
      DescriptionLine& line = appendDescriptionLine(file, record.substr(0, bar));
      LineValues given;
      uint32_t* values[] = {&given.value1, &given.value2, &given.value3, &given.value4};
      for (size_t i = 0, at = bar; at != std::string::npos; ++i) {
        *values[i] = static_cast<uint32_t>(std::stoll(record.substr(at + 1)));
        at = record.find(',', at + 1);
      }
      setLineValues(file, line, given);
    }
    appendDescriptionLine(file, "%40,2,2,0,0,0");
  }

  Outcome extract() { return captureRun([] { extractHeaders(); }); }

  static std::vector<std::string> names() {
    std::vector<std::string> result;
    for (const MonitoredFile& file : database().monitoredFiles) {
      result.push_back((file.isHeaderFile != 0 ? "H:" : "S:") + file.name);
    }
    return result;
  }
  static const MonitoredFile& fileAt(size_t index) { return *std::next(database().monitoredFiles.begin(), index); }
  // The lines between the info line and the closing count line.
  static std::vector<std::string> body(const MonitoredFile& file) {
    std::vector<std::string> result;
    for (size_t i = 2; i + 1 < file.descriptionLines.size(); ++i) result.emplace_back(lineText(file.descriptionLines[i]));
    return result;
  }
  static std::vector<uint32_t> bodyValues(const MonitoredFile& file) {
    std::vector<uint32_t> result;
    for (size_t i = 2; i + 1 < file.descriptionLines.size(); ++i) result.push_back(lineValues(file, file.descriptionLines[i]).value1);
    return result;
  }
};

using Texts = std::vector<std::string>;
using Values = std::vector<uint32_t>;

std::string noticeText(const std::string& header, const std::string& source) {
  return "QARPost notice: Header file \"" + header + "\" included at or via source file \"" + source +
         "\" is different from what it was when it was extracted previously (this header file was not "
         "extracted).\n";
}

TEST_F(HeaderExtractionTest, NamesWrittenDifferentlyMeetInTheHeaderNamedByTheFirstSource) {
  addSource("one.c", {enter("inc\\A.h"), "0 2 0 0 0 f|1", enter("one.c")});
  addSource("two.c", {enter("project/inc/a.h"), "0 2 0 7 0 f|2", enter("two.c")});
  EXPECT_EQ(extract().err, "");
  ASSERT_EQ(names(), (Texts{"H:inc\\A.h", "S:one.c", "S:two.c"}));
  EXPECT_EQ(bodyValues(fileAt(0)), (Values{3}));
  // Each source names the header as its own entry record wrote it.
  EXPECT_EQ(body(fileAt(1)), (Texts{"#include \"inc\\A.h\""}));
  EXPECT_EQ(body(fileAt(2)), (Texts{"#include \"project/inc/a.h\""}));
}

TEST_F(HeaderExtractionTest, DifferingHeaderCodeStaysInTheLaterSourceWithNotice) {
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 f|1", "20 3 1 0 1 x > 0|4,5", enter("one.c")});
  addSource("two.c", {"0 1 0 0 0 main", enter("h.h"), "0 2 0 1 0 f|2", "20 3 1 0 1 x > 1|6,7", enter("two.c"),
                      "1 12 1 0 0 main"});
  // Another instrumentation mode in the info line differs as well.
  addSource("three.c", {enter("h.h"), "0 2 0 0 0 f|1", "20 3 1 0 1 x > 0|4,5", enter("three.c")},
            "3 100 0000000A 0 0");
  Outcome outcome = extract();
  EXPECT_EQ(outcome.err, noticeText("h.h", "two.c") + noticeText("h.h", "three.c"));
  EXPECT_EQ(noticeCount(), 2u);
  ASSERT_EQ(names(), (Texts{"H:h.h", "S:one.c", "S:two.c", "S:three.c"}));
  EXPECT_EQ(bodyValues(fileAt(0)), (Values{1, 4}));
  EXPECT_EQ(lineValues(fileAt(0), fileAt(0).descriptionLines[3]).value2, 5u);
  // No include line; the entry record and the return to the source stay
  // around the kept code, which keeps its counters.
  EXPECT_EQ(body(fileAt(2)), (Texts{"0 1 0 0 0 main", enter("h.h"), "0 2 0 1 0 f", "20 3 1 0 1 x > 1",
                                    enter("two.c"), "1 12 1 0 0 main"}));
  EXPECT_EQ(lineValues(fileAt(2), fileAt(2).descriptionLines[4]).value1, 2u);
}

TEST_F(HeaderExtractionTest, SeveralPiecesOfOneHeaderInOneSource) {
  // The header entered twice in a row, then again after a piece of another
  // header: all of h.h's code goes into one header file, in source order.
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 f|1", enter("h.h"), "0 6 0 1 0 g|2", enter("one.c"),
                      "0 10 0 2 0 main", enter("k.h"), "0 1 0 3 0 k", enter("h.h"), "0 20 0 4 0 tail|5",
                      enter("one.c")});
  // The same code in two pieces merges piece by piece into the header's lines.
  addSource("two.c", {enter("h.h"), "0 2 0 0 0 f|10", "0 6 0 1 0 g|20", enter("two.c"), "0 30 0 2 0 other",
                      enter("h.h"), "0 20 0 4 0 tail|50", enter("two.c")});
  // Only the start of the header merges into its first lines.
  addSource("three.c", {enter("h.h"), "0 2 0 0 0 f|100", enter("three.c")});
  // Once the header exists, further pieces are searched from the line after
  // the first piece's end line: a piece opened by that very line stays.
  addSource("four.c", {enter("h.h"), "0 2 0 0 0 f|1000", enter("h.h"), "0 6 0 1 0 g|2000", enter("four.c")});
  EXPECT_EQ(extract().err, "");
  ASSERT_EQ(names(), (Texts{"H:h.h", "H:k.h", "S:one.c", "S:two.c", "S:three.c", "S:four.c"}));
  EXPECT_EQ(body(fileAt(0)), (Texts{"0 2 0 0 0 f", "0 6 0 1 0 g", "0 20 0 4 0 tail"}));
  EXPECT_EQ(bodyValues(fileAt(0)), (Values{1111, 22, 55}));
  EXPECT_EQ(body(fileAt(2)), (Texts{"#include \"h.h\"", "#include \"k.h\"", "0 10 0 2 0 main"}));
  EXPECT_EQ(body(fileAt(3)), (Texts{"#include \"h.h\"", "0 30 0 2 0 other"}));
  EXPECT_EQ(body(fileAt(5)), (Texts{"#include \"h.h\"", enter("h.h"), "0 6 0 1 0 g", enter("four.c")}));
}

TEST_F(HeaderExtractionTest, LaterPieceThatDiffersStopsTakingThatHeader) {
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 f|1", "0 6 0 1 0 g|1", enter("one.c")});
  addSource("two.c", {enter("h.h"), "0 2 0 0 0 f|10", enter("two.c"), enter("h.h"), "0 6 0 1 0 changed",
                      enter("two.c"), enter("h.h"), "0 6 0 1 0 g|30", enter("two.c")});
  EXPECT_EQ(extract().err, noticeText("h.h", "two.c"));
  EXPECT_EQ(bodyValues(fileAt(0)), (Values{11, 1}));
  // The first piece went; the differing one and the one after it stay.
  EXPECT_EQ(body(fileAt(2)), (Texts{"#include \"h.h\"", enter("h.h"), "0 6 0 1 0 changed", enter("h.h"),
                                    "0 6 0 1 0 g", enter("two.c")}));
}

TEST_F(HeaderExtractionTest, ReturnToTheSourceInsideAPieceCancelsIt) {
  addSource("s.c", {enter("h.h"), "0 2 0 0 0 f", back("S.C"), "0 4 0 1 0 own", enter("h.h"), "0 6 0 2 0 g",
                    enter("s.c")});
  EXPECT_EQ(extract().err, "");
  ASSERT_EQ(names(), (Texts{"H:h.h", "S:s.c"}));
  EXPECT_EQ(body(fileAt(0)), (Texts{"0 6 0 2 0 g"}));
  EXPECT_EQ(body(fileAt(1)), (Texts{"#include \"h.h\"", enter("h.h"), "0 2 0 0 0 f", back("S.C"), "0 4 0 1 0 own"}));
}

TEST_F(HeaderExtractionTest, MergedValuesSaturateWrapAndKeepTheSignedMaximum) {
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 f|4294967295,0,4294967295,5", "20 3 1 0 1 x|4294967290,1",
                      enter("one.c")});
  addSource("two.c", {enter("h.h"), "0 2 0 0 0 f|1,0,2,4294967293", "20 3 1 0 1 x|10,2", enter("two.c")});
  addSource("three.c", {enter("h.h"), "0 2 0 0 0 f|0,0,0,4294967289", "20 3 1 0 1 x|0,4294967295",
                        enter("three.c")});
  EXPECT_EQ(extract().err, "");
  const LineValues function = lineValues(fileAt(0), fileAt(0).descriptionLines[2]);
  const LineValues decision = lineValues(fileAt(0), fileAt(0).descriptionLines[3]);
  EXPECT_EQ(function.value1, 4294967295u);
  EXPECT_EQ(function.value3, 1u);  // wrapped
  EXPECT_EQ(function.value4, 5u);  // 5 beats -3 and -7
  EXPECT_EQ(decision.value1, 4294967295u);
  EXPECT_EQ(decision.value2, 4294967295u);
}

TEST_F(HeaderExtractionTest, ComparisonPassesOverWhatSourcesWriteDifferently) {
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 get|1", "20 3 1 4 1 v<int> > x|1", "62 4 2 5 1 throw \"a\"|1",
                      "90 5 2 0 1 anything|1", back("inc/n.h"), enter("one.c")});
  addSource("two.c", {enter("h.h"), "0 2 0 7 0 get::get|2", "20 3 1 9 1 v<int>> x|2", "62 4 2 1 1 throw b|2",
                      "91 8 9 9 9 other|2", "51 7 3 0 1 \"./N.h\"",
                      "3 8 3 0 1 one line past the header's end is not compared|5", enter("two.c")});
  EXPECT_EQ(extract().err, "");
  EXPECT_EQ(bodyValues(fileAt(0)), (Values{3, 3, 3, 3, 0}));
  EXPECT_EQ(body(fileAt(2)), (Texts{"#include \"h.h\""}));
}

TEST_F(HeaderExtractionTest, ComparisonFindsRealDifferences) {
  const Texts header = {"0 2 0 0 0 get", "20 3 1 4 1 a < b", "62 4 1 5 1 throw e"};
  const std::pair<size_t, std::string> changes[] = {
      {0, "0 2 0 0 0 got"},     {1, "20 4 1 4 1 a < b"}, {1, "20 3 1 4 2 a < b"},   {1, "20 3 1 4 1 a < c"},
      {0, "0 2 0 0 0 get::got"}, {2, "62 4 1 5 1 throw f"},  // a throw without a quoted text is compared
      {3, "3 9 9 0 0"},  // two lines longer
  };
  for (const auto& [index, text] : changes) {
    resetDatabase();
    resetDiagnostics();
    addSource("one.c", {enter("h.h"), header[0] + "|1", header[1], header[2], enter("one.c")});
    Texts piece = header;
    if (index < piece.size()) {
      piece[index] = text;
    } else {
      piece.insert(piece.end(), {text, "3 10 9 0 0"});
    }
    piece.insert(piece.begin(), enter("h.h"));
    addSource("two.c", piece);
    EXPECT_EQ(extract().err, noticeText("h.h", "two.c")) << text;
    EXPECT_EQ(bodyValues(fileAt(0))[0], 1u) << text;
  }
}

// Texts compared eight bytes at a time: a different counter index is passed
// over, a difference at any byte after it is found, and texts of every
// length around the eight-byte steps match themselves.
TEST_F(HeaderExtractionTest, ComparisonOfLongLinesFindsADifferenceAtAnyByte) {
  const std::string head = "20 3 1 4 1 ";
  const std::string text = "level > 2 && state == limit_of_it";
  for (size_t length = 0; length <= text.size(); ++length) {
    for (size_t changed = 0; changed <= length; ++changed) {
      resetDatabase();
      resetDiagnostics();
      std::string pieceText = text.substr(0, length);
      if (changed < length) pieceText[changed] = '#';
      addSource("one.c", {enter("h.h"), head + text.substr(0, length) + "|1", enter("one.c")});
      addSource("two.c", {enter("h.h"), "20 3 1 417 1 " + pieceText + "|1", enter("two.c")});
      const bool same = changed == length;
      ASSERT_EQ(extract().err, same ? "" : noticeText("h.h", "two.c")) << length << " " << changed;
      ASSERT_EQ(bodyValues(fileAt(0))[0], same ? 2u : 1u) << length << " " << changed;
    }
  }
}

// The kind, line number and statement count must be the same in both, also
// where they run past the first eight bytes; the counter index after them
// may differ, and so may its length.
TEST_F(HeaderExtractionTest, ComparisonOfLongHeadsFindsADifferenceBeforeTheCounterIndex) {
  const std::string heads[] = {"20 3 1 ", "20 41 7 ", "20 123456 789 ", "20 1234567890 12345 "};
  for (const std::string& head : heads) {
    const std::string line = head + "5 1 x > 0";
    for (size_t changed = 0; changed <= head.size(); ++changed) {
      resetDatabase();
      resetDiagnostics();
      std::string pieceLine = head + "98765 1 x > 0";  // another counter index
      const bool inHead = changed < head.size() && head[changed] != ' ';
      if (inHead) pieceLine[changed] = head[changed] == '9' ? '8' : static_cast<char>(head[changed] + 1);
      addSource("one.c", {enter("h.h"), line + "|1", enter("one.c")});
      addSource("two.c", {enter("h.h"), pieceLine + "|1", enter("two.c")});
      ASSERT_EQ(extract().err, inHead ? noticeText("h.h", "two.c") : "") << pieceLine;
      ASSERT_EQ(bodyValues(fileAt(0))[0], inHead ? 1u : 2u) << pieceLine;
    }
  }
}

// A piece line without values leaves its header line as it is, but for a
// time maximum below zero, which merging raises to zero.
TEST_F(HeaderExtractionTest, MergingALineWithoutValues) {
  addSource("one.c", {enter("h.h"), "0 2 0 0 0 f|1,0,7,4294967289", "0 3 0 1 0 g|1,0,7,5", "20 4 1 0 1 x|3,4",
                      enter("one.c")});
  addSource("two.c", {enter("h.h"), "0 2 0 0 0 f", "0 3 0 1 0 g", "20 4 1 0 1 x", enter("two.c")});
  EXPECT_EQ(extract().err, "");
  const MonitoredFile& header = fileAt(0);
  EXPECT_EQ(lineValues(header, header.descriptionLines[2]), (LineValues{1, 0, 7, 0}));
  EXPECT_EQ(lineValues(header, header.descriptionLines[3]), (LineValues{1, 0, 7, 5}));
  EXPECT_EQ(lineValues(header, header.descriptionLines[4]), (LineValues{3, 4, 0, 0}));
}

TEST_F(HeaderExtractionTest, IncludeLinesFollowTheInfoLineInFirstTakenOrder) {
  addSource("s.c", {enter("b.h"), "0 1 0 0 0 fb", enter("a.h"), "0 1 0 1 0 fa", enter("sub/B.H"), "0 2 0 2 0 gb",
                    enter("c.h"), "0 1 0 3 0 fc", enter("s.c")});
  EXPECT_EQ(extract().err, "");
  ASSERT_EQ(names(), (Texts{"H:b.h", "H:a.h", "H:c.h", "S:s.c"}));
  EXPECT_EQ(body(fileAt(3)), (Texts{"#include \"b.h\"", "#include \"a.h\"", "#include \"c.h\""}));
  EXPECT_EQ(body(fileAt(0)), (Texts{"0 1 0 0 0 fb", "0 2 0 2 0 gb"}));  // sub/B.H is b.h
}

TEST_F(HeaderExtractionTest, CleanUpKeepsOnlyMeaningfulLineRecords) {
  // No piece here: x.h has no lines, and the return to the source inside
  // y.h's stretch cancels that one.
  addSource("s.c", {enter("s.c"), "0 2 0 0 0 main", enter("x.h"), enter("y.h"), "0 5 0 1 0 inl", back("s.c"),
                    "0 7 0 2 0 own", back("s.c"), "0 9 0 3 0 more", "50 10 0 0 0 no quotes"});
  EXPECT_EQ(extract().err, "");
  ASSERT_EQ(names(), (Texts{"S:s.c"}));
  // The leading self record goes (nothing entered before it); of x.h, y.h
  // only y.h stays, and so does the return after it; the second return
  // (nothing entered since) goes. A line record without a name is left alone.
  EXPECT_EQ(body(fileAt(0)), (Texts{"0 2 0 0 0 main", enter("y.h"), "0 5 0 1 0 inl", back("s.c"), "0 7 0 2 0 own",
                                    "0 9 0 3 0 more", "50 10 0 0 0 no quotes"}));
}

// The index must find exactly the header a walk over all headers finds.
TEST(HeaderExtractionIndexTest, FindsTheFirstMatchingHeaderLikeAWalkOverAll) {
  const std::vector<std::string> components = {"a.h", "A.H", "b.h", ".", "..", "inc", "Inc", "x", ".h", "a"};
  const std::vector<std::string> separators = {"/", "\\", "//", "/./"};
  std::mt19937 random(7);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  auto randomName = [&] {
    std::string name = random() % 4 == 0 ? pick(separators) : "";
    for (uint32_t depth = 1 + random() % 4; depth > 0; --depth) {
      name += pick(components);
      if (depth > 1) name += pick(separators);
    }
    return name;
  };
  std::list<MonitoredFile> headers;
  HeaderFileIndex index;
  int found = 0;
  // Headers are entered between the lookups, as extraction enters them: a
  // name asked for again finds what a walk over the headers entered so far
  // finds, also when it found nothing before.
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 30; ++i) {
      headers.emplace_back().name = randomName();
      addHeaderFile(index, headers.back());
    }
    for (int i = 0; i < 600; ++i) {
      std::string name = randomName();
      const MonitoredFile* expected = nullptr;
      for (const MonitoredFile& header : headers) {
        if (sameHeaderPath(header.name, name)) {
          expected = &header;
          break;
        }
      }
      found += expected != nullptr;
      ASSERT_EQ(findHeaderFile(index, name), expected) << name;
    }
  }
  EXPECT_GT(found, 300);  // the names meet often enough to mean something
}

// The preparation pass and extraction together, on two threads or in turn.
class PreparingAndExtractingTest : public HeaderExtractionTest {
 protected:
  void TearDown() override { unsetenv("QARPOST_PREPARATION_ALONGSIDE"); }

  // Every file gets counts of its own, by its place in the list:
  // a value merged into a header before the header's own are stored is lost.
  static void attachCounters() {
    uint32_t place = 0;
    for (MonitoredFile& file : database().monitoredFiles) {
      file.counterData = std::make_unique<CounterArrays>();
      ++place;
      for (uint32_t i = 0; i < 8; ++i) {
        file.counterData->functionCounts.push_back(place * 10 + i);
        file.counterData->jumpCounts.push_back(place * 1000 + i);
      }
    }
  }

  // Every file's kind, name, lines and values, and the diagnostics, after
  // the pass and extraction on `way`'s threads.
  static std::vector<std::string> run(const char* way, Outcome& outcome) {
    setenv("QARPOST_PREPARATION_ALONGSIDE", way, 1);
    outcome = captureRun([] { prepareCountersAndExtractHeaders(); });
    std::vector<std::string> result;
    for (const MonitoredFile& file : database().monitoredFiles) {
      result.push_back((file.isHeaderFile != 0 ? "H:" : "S:") + file.name);
      for (const DescriptionLine& line : file.descriptionLines) {
        const LineValues values = lineValues(file, line);
        result.push_back(std::string(lineText(line)) + "|" + std::to_string(values.value1));
      }
    }
    return result;
  }

  // Sources whose header code differs from the first one's, each raising a
  // notice, and (with `loadedHeader`) a header file read as such, last in
  // the list, into which every source merges its piece of it.
  void addSources(int count, bool loadedHeader) {
    for (int i = 0; i < count; ++i) {
      const std::string name = "s" + std::to_string(i) + ".c";
      const std::string code = i % 3 == 0 ? "0 2 0 0 0 f" : "0 2 0 0 0 f" + std::to_string(i);
      addSource(name, {"0 1 0 1 0 main", enter("h.h"), code, enter("late.h"), "0 7 0 2 0 g", "0 8 0 3 0 k",
                       enter(name), "1 12 1 4 0 main"});
    }
    if (loadedHeader) {
      addSource("late.h", {"0 7 0 0 0 g", "0 8 0 1 0 k"});
      database().monitoredFiles.back().isHeaderFile = 1;
    }
  }
};

// Extraction overlapping the pass gives the database and notices of the two
// one after the other: header files created before their sources, merges
// into a header read as such, the notices in source order.
TEST_F(PreparingAndExtractingTest, TogetherAsOneAfterTheOther) {
  addSources(120, true);
  attachCounters();
  Outcome inTurn;
  const std::vector<std::string> expected = run("never", inTurn);
  EXPECT_FALSE(inTurn.ended);
  EXPECT_EQ(noticeCount(), 80u);
  EXPECT_EQ(inTurn.err.find(noticeText("h.h", "s1.c") + noticeText("h.h", "s2.c")), 0u);
  // "ahead": every source's pieces compared on the second thread first.
  for (const char* way : {"always", "ahead"}) {
    for (int round = 0; round < 6; ++round) {
      SetUp();
      addSources(120, true);
      attachCounters();
      Outcome shared;
      ASSERT_EQ(run(way, shared), expected) << way << round;
      EXPECT_EQ(shared.err, inTurn.err) << way;
      EXPECT_FALSE(shared.ended) << way;
    }
  }
}

// A preparation error in a file after sources whose extraction raises
// notices: the error alone, as the pass in turn reports it before
// extraction begins.
TEST_F(PreparingAndExtractingTest, PreparationErrorDropsTheNoticesHeldBack) {
  auto addAll = [this] {
    addSources(120, false);
    addSource("bad.c", {"0 1 0 0 0 f", "13 1 2 0"});
    attachCounters();
  };
  addAll();
  Outcome inTurn;
  run("never", inTurn);
  ASSERT_TRUE(inTurn.ended);
  ASSERT_NE(inTurn.err.find("line 1820, module postsym"), std::string::npos) << inTurn.err;
  for (const char* way : {"always", "ahead"}) {
    for (int round = 0; round < 6; ++round) {
      SetUp();
      addAll();
      Outcome shared;
      run(way, shared);
      EXPECT_TRUE(shared.ended) << way;
      EXPECT_EQ(shared.err, inTurn.err) << way << round;
    }
  }
}

}  // namespace
}  // namespace qar
