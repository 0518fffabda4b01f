// The statement figures the profile listing keeps for the untested code
// listing: found in walk order, functions of dropped files passed over, and
// nothing answered once a function was missing or nothing was kept.
#include <gtest/gtest.h>

#include "listings/kept_statements.h"

namespace qar {
namespace {

FunctionStatements figures(uint32_t hits, uint32_t total) {
  FunctionStatements statements;
  statements.figures = {hits, total};
  statements.finalStatementCount = total;
  return statements;
}

TEST(KeptStatements, LaterWalkFindsItsFunctionsInOrderAndSkipsThoseOfDroppedFiles) {
  DescriptionLine lines[4];
  keepStatementFigures(true);
  for (uint32_t i = 0; i < 4; ++i) rememberStatementFigures(&lines[i], figures(i, 10 + i));
  FunctionStatements bad = figures(9, 9);
  bad.badRecordMet = true;
  DescriptionLine badLine;
  rememberStatementFigures(&badLine, bad);

  const FunctionStatements* first = keptStatementFigures(&lines[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->figures, (StatementFigures{0, 10}));
  const FunctionStatements* third = keptStatementFigures(&lines[2]);  // lines[1] was in a dropped file
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->figures, (StatementFigures{2, 12}));
  EXPECT_EQ(third->finalStatementCount, 12u);
  EXPECT_EQ(keptStatementFigures(&badLine), nullptr);  // not kept: the walk that met it ended the run
  EXPECT_EQ(keptStatementFigures(&lines[3]), nullptr);  // after a miss nothing more is answered
  forgetStatementFigures();
}

TEST(KeptStatements, NothingIsKeptUnlessAskedAndForgettingFreesAll) {
  DescriptionLine line;
  keepStatementFigures(false);
  rememberStatementFigures(&line, figures(1, 1));
  EXPECT_EQ(keptStatementFigures(&line), nullptr);

  keepStatementFigures(true);
  rememberStatementFigures(&line, figures(1, 2));
  forgetStatementFigures();
  rememberStatementFigures(&line, figures(1, 3));  // no longer keeping
  EXPECT_EQ(keptStatementFigures(&line), nullptr);
}

}  // namespace
}  // namespace qar
