#include "listings/statement_analysis.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qar {
namespace {

// One stored record of a function: kind, statement count, counters, text.
struct Rec {
  Rec(uint32_t k, uint32_t sc, uint32_t c1 = 0, uint32_t c2 = 0, std::string t = {})
      : kind(k), statementCount(sc), counter1(c1), counter2(c2), text(std::move(t)) {}
  uint32_t kind;
  uint32_t statementCount;
  uint32_t counter1;
  uint32_t counter2;
  std::string text;
};

class StatementAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override { resetStatementAnalysis(); }
  void TearDown() override { resetStatementAnalysis(); }

  static StatementFigures analyse(const std::vector<Rec>& records) {
    beginStatementTree();
    for (const Rec& r : records) addStatementProbe(r.kind, r.statementCount, r.counter1, r.counter2, r.text);
    return computeStatementFigures();
  }

  // Asks for as many flags as expected, then checks that no marked node is
  // left.
  static void expectFlags(std::initializer_list<bool> expected) {
    std::vector<bool> got;
    for (size_t i = 0; i < expected.size(); ++i) got.push_back(nextReachedFlag());
    EXPECT_EQ(got, std::vector<bool>(expected));
    EXPECT_FALSE(nextReachedFlag());
    EXPECT_FALSE(nextReachedFlag());
  }
};

StatementFigures figures(uint32_t hits, uint32_t total) { return {hits, total}; }

// if (x) { a(); } else { b(); } return x;  -- the else never ran.
TEST_F(StatementAnalysisTest, IfElseFlowReachesTheEndOfTheChainOnly) {
  // A preceding function whose tree was inconsistent must not leak into the next.
  analyse({{0, 0, 1}, {13, 1, 1}, {40, 1}, {3, 2}, {2, 2}});
  ASSERT_FALSE(statementAnalysisEnabled());

  EXPECT_EQ(analyse({{0, 0, 1}, {20, 0, 1, 0}, {3, 1}, {40, 1}, {3, 2}, {13, 3, 1}, {2, 3}}),
            figures(3, 4));
  EXPECT_TRUE(statementAnalysisEnabled());
  expectFlags({false, true, false});
}

// Kinds 70 and 71 (outcomes from condition counters) keep their own codes and
// behave as if / else if; the else-if body never ran.
TEST_F(StatementAnalysisTest, ElseIfChainFromConditionCounters) {
  EXPECT_EQ(analyse({{0, 0, 1},
                     {70, 0, 1, 1}, {3, 1},
                     {71, 1, 0, 1}, {3, 2},
                     {40, 2}, {3, 3},
                     {13, 4, 1},
                     {2, 4}}),
            figures(5, 6));
  expectFlags({true, true, true, false});
}

// switch (k) { case 1: a(); break; case 2: b(); default: c(); }
TEST_F(StatementAnalysisTest, SwitchWithCasesBreakAndDefault) {
  EXPECT_EQ(analyse({{0, 0, 3},
                     {42, 0},
                     {14, 0, 2, 0, "1"},
                     {12, 2, 2},
                     {14, 2, 0, 0, "2"},
                     {15, 3, 1},
                     {3, 4},
                     {2, 4}}),
            figures(4, 5));
  expectFlags({false, false, false, true, false});
}

// switch (k) { case 1: a(); case 2: b(); return; } return;  -- no default:
// whether control left the switch is read from the record after it.
TEST_F(StatementAnalysisTest, SwitchWithoutDefaultFallsThroughAndLooksPastItsEnd) {
  auto run = [&](uint32_t afterCount) {
    return analyse({{0, 0, 1},
                    {42, 0},
                    {14, 0, 1, 0, "1"},
                    {14, 1, 0, 0, "2"},
                    {13, 3, 1},
                    {3, 3},
                    {13, 4, afterCount},
                    {2, 4}});
  };
  EXPECT_EQ(run(1), figures(5, 5));
  expectFlags({false, true, true, false});
  EXPECT_EQ(run(0), figures(4, 5));
  expectFlags({false, true, false, false});
}

// A missing default that was taken marks the switch's end; one that was not
// taken keeps the end unmarked even though the code after the switch ran.
TEST_F(StatementAnalysisTest, MissingDefaultDecidesTheSwitchEnd) {
  auto run = [&](uint32_t missingDefaultCount) {
    return analyse({{0, 0, 2},
                    {42, 0},
                    {14, 0, 1, 0, "1"},
                    {13, 1, 1},
                    {16, 1, missingDefaultCount},
                    {3, 1},
                    {13, 2, 1},
                    {2, 2}});
  };
  EXPECT_EQ(run(1), figures(3, 3));
  expectFlags({false, true, false});
  EXPECT_EQ(run(0), figures(3, 3));
  expectFlags({false, false, false});
}

// while (more()) { if (done()) { break; } step(); } finish();
TEST_F(StatementAnalysisTest, BreakCarriesFlowPastTheLoop) {
  EXPECT_EQ(analyse({{0, 0, 1},
                     {22, 0, 3, 0},
                     {20, 0, 1, 2},
                     {12, 1, 1},
                     {3, 1},
                     {3, 2},
                     {2, 3}}),
            figures(5, 5));
  expectFlags({true, true, false});

  // The break never ran and the loop condition was never false: nothing
  // after the loop was reached.
  EXPECT_EQ(analyse({{0, 0, 1},
                     {22, 0, 3, 0},
                     {20, 0, 0, 3},
                     {12, 1, 0},
                     {3, 1},
                     {3, 2},
                     {2, 3}}),
            figures(3, 5));
  expectFlags({true, false, false});
}

// outer: for (;;) { while (x) { break outer; } } done();
TEST_F(StatementAnalysisTest, LabelledBreakLeavesTheLoopAfterItsLabel) {
  auto run = [&](const std::string& breakText) {
    return analyse({{0, 0, 1},
                    {45, 0, 0, 0, "outer"},
                    {23, 0, 2, 0},
                    {22, 0, 1, 1},
                    {12, 1, 1, 0, breakText},
                    {3, 1},
                    {3, 1},
                    {2, 2}});
  };
  EXPECT_EQ(run("outer"), figures(4, 4));
  expectFlags({false, true, true, false});
  // Without the label the break only leaves the inner loop.
  EXPECT_EQ(run(""), figures(3, 4));
  expectFlags({false, true, false, false});
}

// if (e) { goto fail; } return; fail: cleanup();
TEST_F(StatementAnalysisTest, LabelIsReachedByAGotoThatRan) {
  EXPECT_EQ(analyse({{0, 0, 2},
                     {20, 0, 1, 1},
                     {10, 1, 1, 0, "fail"},
                     {3, 1},
                     {13, 2, 1},
                     {45, 2, 0, 0, "fail"},
                     {2, 3}}),
            figures(4, 4));
  expectFlags({true, true, false});

  // The goto never ran: its own statement is not hit and the label is dead.
  EXPECT_EQ(analyse({{0, 0, 2},
                     {20, 0, 0, 2},
                     {10, 1, 0, 0, "fail"},
                     {3, 1},
                     {13, 2, 1},
                     {45, 2, 0, 0, "fail"},
                     {2, 3}}),
            figures(2, 4));
  expectFlags({true, false, false});
}

// try { risky(); } catch (A) { ... } catch (B) { ... } return;  -- only the
// second handler ran.
TEST_F(StatementAnalysisTest, TryWithAChainOfHandlers) {
  EXPECT_EQ(analyse({{0, 0, 1},
                     {60, 0, 2}, {3, 1},
                     {63, 1, 0, 0, "A"}, {3, 2},
                     {63, 2, 1, 0, "B"}, {3, 3},
                     {13, 4, 2},
                     {2, 4}}),
            figures(4, 5));
  expectFlags({false, true, true, false});
}

TEST_F(StatementAnalysisTest, StopsGiveNoFigures) {
  // A try block followed by no handler.
  EXPECT_EQ(analyse({{0, 0, 1}, {60, 0, 1}, {3, 1}, {13, 2, 1}, {2, 2}}), figures(0, 0));
  // A break that ran outside any loop or switch.
  EXPECT_EQ(analyse({{0, 0, 1}, {12, 1, 1}, {2, 1}}), figures(0, 0));
  // The same break that never ran is just an unreached jump.
  EXPECT_EQ(analyse({{0, 0, 1}, {12, 1, 0}, {2, 1}}), figures(1, 1));
}

// auto f = [] { work(); return; }; use();  -- the lambda was never called.
TEST_F(StatementAnalysisTest, LambdaEndTakesTheFlowOfItsDefinition) {
  EXPECT_EQ(analyse({{0, 0, 1}, {4, 1, 0}, {13, 3, 0}, {5, 3, 0}, {2, 4}}), figures(2, 4));
  expectFlags({true, false});
}

// while (more()) { do { step(); } while (again()); } return;
TEST_F(StatementAnalysisTest, DoWhileThatEndsMarksTheNextNode) {
  EXPECT_EQ(analyse({{0, 0, 1},
                     {22, 0, 2, 0},
                     {41, 0},
                     {3, 1},
                     {24, 1, 3, 2},
                     {3, 1},
                     {13, 2, 0},
                     {2, 2}}),
            figures(2, 3));
  expectFlags({false, true, false});
}

// if (x > 0) return x; return 0;  -- the if was never false.
TEST_F(StatementAnalysisTest, UnreachedSecondReturn) {
  EXPECT_EQ(analyse({{0, 0, 1}, {20, 0, 3, 0}, {13, 1, 3}, {3, 1}, {13, 2, 0}, {2, 2}}), figures(2, 3));
  expectFlags({false, false});
}

TEST_F(StatementAnalysisTest, ReturnThatNeverRanAfterCodeThatRan) {
  EXPECT_EQ(analyse({{0, 0, 1}, {13, 2, 0}, {2, 2}}), figures(1, 2));
}

// for (x : v) { counted(); }  -- a range loop over an empty range.
TEST_F(StatementAnalysisTest, RangeLoopCountsItselfAndMarksItsEnd) {
  EXPECT_EQ(analyse({{0, 0, 1}, {102, 1, 0}, {55, 2, 0}, {3, 2}, {2, 2}}), figures(2, 3));
  expectFlags({true, false});
}

TEST_F(StatementAnalysisTest, InconsistentTreesDisableTheAnalysis) {
  const std::vector<std::vector<Rec>> broken = {
      {{0, 0, 1}, {13, 1, 1}, {40, 1}, {3, 2}, {2, 2}},        // else after a return
      {{0, 0, 1}, {63, 0, 1}, {3, 1}, {2, 1}},                 // catch without try
      {{0, 0, 1}, {4, 0, 1}, {3, 1}, {6, 1}, {2, 1}},          // block end inside a lambda
      {{0, 0, 1}, {20, 0, 1, 0}, {5, 1, 1}, {2, 1}},           // lambda end inside an if
      {{0, 0, 1}, {20, 0, 1, 0}, {2, 1}},                      // function end inside an if
      {{0, 0, 1}, {2, 0}},                                     // empty function
      {{13, 1, 1}, {2, 1}},                                    // no function record
  };
  for (size_t i = 0; i < broken.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(analyse(broken[i]), figures(0, 0));
    EXPECT_FALSE(statementAnalysisEnabled());
    EXPECT_FALSE(nextReachedFlag());
  }
}

TEST_F(StatementAnalysisTest, OpenNodeStackHoldsFiveHundredEntries) {
  auto nested = [&](uint32_t depth) {
    std::vector<Rec> records{{0, 0, 1}};
    for (uint32_t i = 0; i < depth; ++i) records.push_back({20, 0, 1, 0});
    for (uint32_t i = 0; i < depth; ++i) records.push_back({3, 0});
    records.push_back({2, 1});
    return analyse(records);
  };
  EXPECT_EQ(nested(499), figures(500, 500));  // the function node and 499 ifs
  EXPECT_TRUE(statementAnalysisEnabled());
  EXPECT_EQ(nested(500), figures(0, 0));
  EXPECT_FALSE(statementAnalysisEnabled());
}

TEST_F(StatementAnalysisTest, RecordsAfterTheClosingBraceAreIgnored) {
  EXPECT_EQ(analyse({{0, 0, 1}, {13, 1, 1}, {2, 1}, {13, 5, 0}, {3, 6}}), figures(1, 1));
  EXPECT_TRUE(statementAnalysisEnabled());
  EXPECT_EQ(lastStatementCount(), 6u);
}

}  // namespace
}  // namespace qar
