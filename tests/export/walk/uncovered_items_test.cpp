#include "export/walk/uncovered_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <memory>
#include <utility>

#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "export/walk/export_walk.h"
#include "listings/mcdc.h"
#include "listings/statement_analysis.h"
#include "test_support.h"

namespace qar {
namespace {

bool sameItems(const std::vector<UncoveredItem>& a, const std::vector<UncoveredItem>& b) {
  const auto fields = [](const UncoveredItem& i) {
    return std::tie(i.line, i.lastLine, i.kind, i.path, i.function, i.missing, i.firstLine);
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&fields](const UncoveredItem& x, const UncoveredItem& y) { return fields(x) == fields(y); });
}

struct Counters {
  std::vector<uint32_t> f, j, dTrue, dFalse, c;
};

// Walks one small database file through the export walk and lists what it
// leaves uncovered, as the change's figures will.
class UncoveredItemsTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void reset() {
    resetDiagnostics();
    resetDatabase();
    resetRecordReader();
    resetConfiguration();
    resetMcdc();
    resetStatementAnalysis();
    setOptions(OptionSettings{});
  }
  void TearDown() override {
    resetDatabase();
    resetRecordReader();
  }

  std::vector<UncoveredItem> itemsOf(uint32_t mode, std::initializer_list<const char*> records,
                                     const Counters& counters, CoverageView view,
                                     const ItemSelector& select = {}) {
    reset();
    MonitoredFile& file = appendMonitoredFile("u.c");
    file.sourceLineCount = 40;
    appendDescriptionLine(file, "@u.c");
    appendDescriptionLine(file, std::to_string(mode) + " 1764900000 0000BEEF 0 0");
    for (const char* record : records) appendDescriptionLine(file, record);
    appendDescriptionLine(file, "%40,0,0,0,0,0");
    auto data = std::make_unique<CounterArrays>();
    data->functionCounts = counters.f;
    data->jumpCounts = counters.j;
    data->decisionTrueCounts = counters.dTrue;
    data->decisionFalseCounts = counters.dFalse;
    data->conditionCounts = counters.c;
    file.counterData = std::move(data);

    std::vector<UncoveredItem> items;
    test::Outcome outcome = test::captureRun([&] {
      prepareCounters();
      UncoveredCollector collector;
      ExportWalkSinks sinks;
      sinks.record = [&](const Probe& p, const std::string& place) { collectRecord(collector, p, place); };
      sinks.recordStatements = [](const std::string&) { return true; };
      sinks.file = [&](const FileResult& result) {
        items = uncoveredItems(collector, result, view, select);
        // The same items made into a list that held more others, with longer
        // texts, whose room they take (without a selector, which notes what
        // it is asked).
        if (!select) {
          std::vector<UncoveredItem> reused(items.size() + 3,
                                            UncoveredItem{9, 9, UncoveredKind::Combination, std::string(40, 'p'),
                                                          std::string(40, 'f'), std::string(90, 'm'), 7});
          uncoveredItems(collector, result, view, reused);
          EXPECT_TRUE(sameItems(reused, items));
        }
        clearCollector(collector);
      };
      walkDatabaseForExport(std::nullopt, sinks);
    });
    EXPECT_FALSE(outcome.ended) << outcome.err;
    return items;
  }
};

struct Seen {
  uint32_t line, lastLine;
  std::string missing;
  friend bool operator==(const Seen&, const Seen&) = default;
};
std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << s.line << "-" << s.lastLine << " " << s.missing;
}
std::vector<Seen> seen(const std::vector<UncoveredItem>& items) {
  std::vector<Seen> out;
  for (const UncoveredItem& item : items) out.push_back({item.line, item.lastLine, item.missing});
  return out;
}

// The bundled example's a && b, where b was never false: under the MC/DC
// view only b's missing pair is left, spanning the decision's lines up to
// the return on line 9 (so a change to the continuation line 6..8 is in it).
TEST_F(UncoveredItemsTest, McdcConditionNamedWithItsMissingPair) {
  const auto records = {"0 3 0 0 0 both", "78 5 0 0 1 0", "79 5 0 0 1 1,2", "70 5 0 0 1 a && b",
                        "75 5 0 0 1 TT", "76 5 0 1 1 TF", "76 5 0 2 1 F_", "80 5 0 0 1 0,1", "81 5 0 0 1 2",
                        "77 5 0 0 1 a", "80 5 0 0 1 0", "81 5 0 0 1 1", "77 5 0 0 1 b", "13 9 1 0 2 1",
                        "3 9 1 0 1", "13 10 2 1 1 0", "2 11 2 0 0"};
  const Counters counters{{7}, {5, 2}, {}, {}, {5, 0, 2}};
  EXPECT_EQ(seen(itemsOf(7, records, counters, CoverageView::Mcdc)),
            (std::vector<Seen>{{5, 8,
                                "condition 2 (`b`) has no independence pair: needs runs where only `b` "
                                "changes the outcome"}}));
}

TEST_F(UncoveredItemsTest, AsInstrumentedNamesTheMissingCombinationToo) {
  const auto records = {"0 3 0 0 0 both", "78 5 0 0 1 0", "79 5 0 0 1 1,2", "70 5 0 0 1 a && b",
                        "75 5 0 0 1 TT", "76 5 0 1 1 TF", "76 5 0 2 1 F_", "80 5 0 0 1 0,1", "81 5 0 0 1 2",
                        "77 5 0 0 1 a", "80 5 0 0 1 0", "81 5 0 0 1 1", "77 5 0 0 1 b", "13 6 1 0 2 1",
                        "3 6 1 0 1", "13 7 2 1 1 0", "2 8 2 0 0"};
  const Counters counters{{7}, {5, 2}, {}, {}, {5, 0, 2}};
  const std::vector<Seen> items = seen(itemsOf(7, records, counters, CoverageView::AsInstrumented));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], (Seen{5, 5, "combination TF (FALSE) never occurred"}));
  EXPECT_EQ(items[1].missing.substr(0, 27), "condition 2 (`b`) has no in");
}

// Decisions, switch labels, jumps and a function never called; extents stop
// at the next record and at the function's end record.
TEST_F(UncoveredItemsTest, EachKindInWordsWithItsExtent) {
  const auto records = {"0 1 0 0 0 pick", "20 3 0 0 1 x > 0", "13 6 1 0 2 1", "42 8 1 0 1",
                        "14 9 1 1 2 4", "13 10 2 2 3 A", "15 12 2 3 2", "13 13 3 4 3 B", "3 14 3 0 2",
                        "13 15 4 5 1 0", "2 16 4 0 0", "0 20 0 1 0 unused", "13 21 1 6 1 0",
                        "2 22 1 0 0"};
  // pick called 3 times, always x > 0 and never case 4.
  const Counters counters{{3, 0}, {3, 0, 0, 3, 3, 3, 0}, {3}, {0}, {}};
  EXPECT_EQ(seen(itemsOf(3, records, counters, CoverageView::Decision)),
            (std::vector<Seen>{{3, 5, "FALSE outcome never taken"},
                               {9, 9, "case 4 never taken"},
                               {10, 11, "return never reached"},
                               {20, 22, "never called"},
                               {21, 21, "return never reached"}}));
  // Under the function view only the function is missed.
  EXPECT_EQ(seen(itemsOf(3, records, counters, CoverageView::Function)),
            (std::vector<Seen>{{20, 22, "never called"}}));
}

// Under the function view no outcome or jump is an item: the statements
// never reached are, each where it stands (a jump with those before it, a
// block's statements before its end), but not inside a function never called.
TEST_F(UncoveredItemsTest, StatementsNeverReachedWhereNoOtherItemSpansThem) {
  const auto records = {"0 1 0 0 0 f", "20 3 0 0 1 x > 0", "3 7 3 0 1", "13 9 4 0 1 0", "2 10 4 0 0",
                        "0 12 0 1 0 g", "13 13 1 1 1 0", "2 14 1 0 0"};
  // f called twice, x > 0 never true; g never called.
  const Counters counters{{2, 0}, {2, 0}, {0}, {2}, {}};
  const std::vector<UncoveredItem> items = itemsOf(3, records, counters, CoverageView::Function);
  EXPECT_EQ(seen(items), (std::vector<Seen>{{4, 7, "3 statements never reached"}, {12, 14, "never called"}}));
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].kind, UncoveredKind::Statement);
  EXPECT_EQ(items[0].extentStart(), 4u);
  // Under the decision view the outcome never taken spans the block already.
  EXPECT_EQ(seen(itemsOf(3, records, counters, CoverageView::Decision)),
            (std::vector<Seen>{{3, 6, "TRUE outcome never taken"}, {12, 14, "never called"},
                               {13, 13, "return never reached"}}));
}

// A selector makes only the items it accepts; an outcome it passes over
// still spans the statements of its block, so they never become an item of
// their own because the outcome was not asked for.
TEST_F(UncoveredItemsTest, SelectedItemsOnlyWithTheSameSpans) {
  const auto records = {"0 1 0 0 0 f", "20 3 0 0 1 x > 0", "3 7 3 0 1", "13 9 4 0 1 0", "2 10 4 0 0",
                        "0 12 0 1 0 g", "13 13 1 1 1 0", "2 14 1 0 0"};
  const Counters counters{{2, 0}, {2, 0}, {0}, {2}, {}};
  std::vector<std::pair<uint32_t, uint32_t>> asked;
  const auto onLine = [&asked](uint32_t changed) {
    return [&asked, changed](std::string_view path, uint32_t first, uint32_t last) {
      EXPECT_TRUE(path.empty()) << path;
      asked.emplace_back(first, last);
      return first <= changed && changed <= last;
    };
  };
  EXPECT_TRUE(itemsOf(3, records, counters, CoverageView::Decision, onLine(7)).empty());
  EXPECT_EQ(asked, (std::vector<std::pair<uint32_t, uint32_t>>{{3, 6}, {12, 14}, {13, 13}}));
  EXPECT_EQ(seen(itemsOf(3, records, counters, CoverageView::Decision, onLine(13))),
            (std::vector<Seen>{{12, 14, "never called"}, {13, 13, "return never reached"}}));
  // Under the function view nothing spans the block: its statements are asked for.
  asked.clear();
  EXPECT_EQ(seen(itemsOf(3, records, counters, CoverageView::Function, onLine(7))),
            (std::vector<Seen>{{4, 7, "3 statements never reached"}}));
  EXPECT_EQ(asked, (std::vector<std::pair<uint32_t, uint32_t>>{{4, 7}, {12, 14}}));
}

TEST_F(UncoveredItemsTest, NothingMissedGivesNoItems) {
  EXPECT_TRUE(itemsOf(3, {"0 1 0 0 0 f", "20 2 0 0 1 c", "2 4 0 0 0"}, {{2}, {}, {1}, {1}, {}},
                      CoverageView::AsInstrumented)
                  .empty());
}

}  // namespace
}  // namespace qar
