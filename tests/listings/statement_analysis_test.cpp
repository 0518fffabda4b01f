#include "listings/statement_analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qar {
namespace {

// One stored record of a function: kind, statement count, counters, text.
struct Rec {
  uint32_t kind, statementCount, counter1 = 0, counter2 = 0;
  std::string text = {};
};

struct Case {
  const char* what;
  std::vector<Rec> records;
  StatementFigures figures;
  std::vector<bool> flags;  // the reached flags in listing order; none: disabled
};

StatementFigures analyse(const std::vector<Rec>& records) {
  beginStatementTree();
  for (const Rec& r : records) addStatementProbe(r.kind, r.statementCount, r.counter1, r.counter2, r.text);
  return computeStatementFigures();
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"if (x) { a(); } else { b(); } return x;  -- the else never ran",
       {{0, 0, 1}, {20, 0, 1, 0}, {3, 1}, {40, 1}, {3, 2}, {13, 3, 1}, {2, 3}}, {3, 4}, {false, true, false}},
      {"else-if chain from condition counters (70, 71); the else-if body never ran",
       {{0, 0, 1}, {70, 0, 1, 1}, {3, 1}, {71, 1, 0, 1}, {3, 2}, {40, 2}, {3, 3}, {13, 4, 1}, {2, 4}}, {5, 6},
       {true, true, true, false}},
      {"switch (k) { case 1: a(); break; case 2: b(); default: c(); }",
       {{0, 0, 3}, {42, 0}, {14, 0, 2, 0, "1"}, {12, 2, 2}, {14, 2, 0, 0, "2"}, {15, 3, 1}, {3, 4}, {2, 4}},
       {4, 5}, {false, false, false, true, false}},
      {"switch without default, left: the record after it ran",
       {{0, 0, 1}, {42, 0}, {14, 0, 1, 0, "1"}, {14, 1, 0, 0, "2"}, {13, 3, 1}, {3, 3}, {13, 4, 1}, {2, 4}},
       {5, 5}, {false, true, true, false}},
      {"switch without default, not left: the record after it never ran",
       {{0, 0, 1}, {42, 0}, {14, 0, 1, 0, "1"}, {14, 1, 0, 0, "2"}, {13, 3, 1}, {3, 3}, {13, 4, 0}, {2, 4}},
       {4, 5}, {false, true, false, false}},
      {"a missing default that was taken marks the switch end",
       {{0, 0, 2}, {42, 0}, {14, 0, 1, 0, "1"}, {13, 1, 1}, {16, 1, 1}, {3, 1}, {13, 2, 1}, {2, 2}}, {3, 3},
       {false, true, false}},
      {"a missing default never taken leaves the end unmarked although the code after it ran",
       {{0, 0, 2}, {42, 0}, {14, 0, 1, 0, "1"}, {13, 1, 1}, {16, 1, 0}, {3, 1}, {13, 2, 1}, {2, 2}}, {3, 3},
       {false, false, false}},
      {"while (more()) { if (done()) { break; } step(); } finish();",
       {{0, 0, 1}, {22, 0, 3, 0}, {20, 0, 1, 2}, {12, 1, 1}, {3, 1}, {3, 2}, {2, 3}}, {5, 5}, {true, true, false}},
      {"the same break never ran and the loop never ended",
       {{0, 0, 1}, {22, 0, 3, 0}, {20, 0, 0, 3}, {12, 1, 0}, {3, 1}, {3, 2}, {2, 3}}, {3, 5}, {true, false, false}},
      {"outer: for (;;) { while (x) { break outer; } } done();",
       {{0, 0, 1}, {45, 0, 0, 0, "outer"}, {23, 0, 2, 0}, {22, 0, 1, 1}, {12, 1, 1, 0, "outer"}, {3, 1}, {3, 1},
        {2, 2}}, {4, 4}, {false, true, true, false}},
      {"the same break without its label leaves only the inner loop",
       {{0, 0, 1}, {45, 0, 0, 0, "outer"}, {23, 0, 2, 0}, {22, 0, 1, 1}, {12, 1, 1}, {3, 1}, {3, 1}, {2, 2}},
       {3, 4}, {false, true, false, false}},
      {"if (e) { goto fail; } return; fail: cleanup();",
       {{0, 0, 2}, {20, 0, 1, 1}, {10, 1, 1, 0, "fail"}, {3, 1}, {13, 2, 1}, {45, 2, 0, 0, "fail"}, {2, 3}},
       {4, 4}, {true, true, false}},
      {"the goto never ran: its statement is not hit and the label is dead",
       {{0, 0, 2}, {20, 0, 0, 2}, {10, 1, 0, 0, "fail"}, {3, 1}, {13, 2, 1}, {45, 2, 0, 0, "fail"}, {2, 3}},
       {2, 4}, {true, false, false}},
      {"try { risky(); } catch (A) { } catch (B) { } return;  -- only B ran",
       {{0, 0, 1}, {60, 0, 2}, {3, 1}, {63, 1, 0, 0, "A"}, {3, 2}, {63, 2, 1, 0, "B"}, {3, 3}, {13, 4, 2}, {2, 4}},
       {4, 5}, {false, true, true, false}},
      {"auto f = [] { work(); return; }; use();  -- the lambda was never called",
       {{0, 0, 1}, {4, 1, 0}, {13, 3, 0}, {5, 3, 0}, {2, 4}}, {2, 4}, {true, false}},
      {"while (more()) { do { step(); } while (again()); } return;",
       {{0, 0, 1}, {22, 0, 2, 0}, {41, 0}, {3, 1}, {24, 1, 3, 2}, {3, 1}, {13, 2, 0}, {2, 2}}, {2, 3},
       {false, true, false}},
      {"if (x > 0) return x; return 0;  -- the if was never false",
       {{0, 0, 1}, {20, 0, 3, 0}, {13, 1, 3}, {3, 1}, {13, 2, 0}, {2, 2}}, {2, 3}, {false, false}},
      {"a return that never ran after code that ran", {{0, 0, 1}, {13, 2, 0}, {2, 2}}, {1, 2}, {false}},
      {"for (x : v) { counted(); }  -- an empty range", {{0, 0, 1}, {102, 1, 0}, {55, 2, 0}, {3, 2}, {2, 2}},
       {2, 3}, {true, false}},
      {"records after the closing brace are ignored", {{0, 0, 1}, {13, 1, 1}, {2, 1}, {13, 5, 0}, {3, 6}}, {1, 1},
       {false}},
      {"a try block followed by no handler stops the walk",
       {{0, 0, 1}, {60, 0, 1}, {3, 1}, {13, 2, 1}, {2, 2}}, {0, 0}, {false}},
      {"a break that ran outside any loop stops the walk", {{0, 0, 1}, {12, 1, 1}, {2, 1}}, {0, 0}, {false}},
      {"the same break that never ran is an unreached jump", {{0, 0, 1}, {12, 1, 0}, {2, 1}}, {1, 1}, {false}},
      {"else after a return", {{0, 0, 1}, {13, 1, 1}, {40, 1}, {3, 2}, {2, 2}}, {0, 0}, {}},
      {"catch without try", {{0, 0, 1}, {63, 0, 1}, {3, 1}, {2, 1}}, {0, 0}, {}},
      {"block end inside a lambda", {{0, 0, 1}, {4, 0, 1}, {3, 1}, {6, 1}, {2, 1}}, {0, 0}, {}},
      {"lambda end inside an if", {{0, 0, 1}, {20, 0, 1, 0}, {5, 1, 1}, {2, 1}}, {0, 0}, {}},
      {"function end inside an if", {{0, 0, 1}, {20, 0, 1, 0}, {2, 1}}, {0, 0}, {}},
      {"empty function", {{0, 0, 1}, {2, 0}}, {0, 0}, {}},
      {"no function record", {{13, 1, 1}, {2, 1}}, {0, 0}, {}},
  };
  return all;
}

TEST(StatementAnalysisTest, FiguresAndReachedFlagsOfEachFunction) {
  // Every case runs after a disabled one: nothing may leak from it.
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    analyse({{0, 0, 1}, {13, 1, 1}, {40, 1}, {3, 2}, {2, 2}});
    ASSERT_FALSE(statementAnalysisEnabled());
    EXPECT_EQ(analyse(c.records), c.figures);
    EXPECT_EQ(statementAnalysisEnabled(), !c.flags.empty());
    std::vector<bool> flags;
    for (size_t i = 0; i < c.flags.size(); ++i) flags.push_back(nextReachedFlag());
    EXPECT_EQ(flags, c.flags);
    EXPECT_FALSE(nextReachedFlag());  // no further marked node
  }
}

TEST(StatementAnalysisTest, OpenNodeStackHoldsFiveHundredEntries) {
  for (uint32_t depth : {499u, 500u}) {
    std::vector<Rec> records{{0, 0, 1}};
    for (uint32_t i = 0; i < depth; ++i) records.push_back({20, 0, 1, 0});
    for (uint32_t i = 0; i < depth; ++i) records.push_back({3, 0});
    records.push_back({2, 1});
    EXPECT_EQ(analyse(records), (depth == 499 ? StatementFigures{500, 500} : StatementFigures{0, 0}));
    EXPECT_EQ(statementAnalysisEnabled(), depth == 499);
  }
  resetStatementAnalysis();
}

}  // namespace
}  // namespace qar
