// What the profile listing keeps of each function for the untested code
// listing: found in walk order, functions of dropped files passed over, and
// nothing answered once a function was missing or nothing was kept.
#include <gtest/gtest.h>

#include "listings/kept_statements.h"

namespace qar {
namespace {

KeptFunction function(const DescriptionLine* line, uint32_t hits, uint32_t total) {
  KeptFunction kept;
  kept.function = line;
  kept.statements.figures = {hits, total};
  kept.statements.finalStatementCount = total;
  kept.ter = {total, total - hits};
  return kept;
}

TEST(KeptFunctions, LaterWalkFindsItsFunctionsInOrderAndSkipsThoseOfDroppedFiles) {
  DescriptionLine lines[4];
  keepStatementFigures(true);
  EXPECT_TRUE(keepingStatementFigures());
  for (uint32_t i = 0; i < 4; ++i) {
    KeptFunction kept = function(&lines[i], i, 10 + i);
    if (i == 2) kept.lastProbeFrom = &lines[3];
    rememberFunction(kept);
  }
  KeptFunction bad = function(&lines[0], 9, 9);
  bad.statements.badRecordMet = true;
  DescriptionLine badLine;
  bad.function = &badLine;
  rememberFunction(bad);

  const KeptFunction* first = keptFunction(&lines[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->statements.figures, (StatementFigures{0, 10}));
  EXPECT_EQ(first->lastProbeFrom, nullptr);
  const KeptFunction* third = keptFunction(&lines[2]);  // lines[1] was in a dropped file
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->statements.figures, (StatementFigures{2, 12}));
  EXPECT_EQ(third->statements.finalStatementCount, 12u);
  EXPECT_EQ(third->ter, (TerFigures{12, 10}));
  EXPECT_EQ(third->lastProbeFrom, &lines[3]);
  EXPECT_EQ(keptFunction(&badLine), nullptr);  // not kept: the walk that met it ended the run
  EXPECT_EQ(keptFunction(&lines[3]), nullptr);  // after a miss nothing more is answered
  forgetStatementFigures();
  EXPECT_FALSE(keepingStatementFigures());
}

TEST(KeptFunctions, NothingIsKeptUnlessAskedAndForgettingFreesAll) {
  DescriptionLine line;
  keepStatementFigures(false);
  rememberFunction(function(&line, 1, 1));
  EXPECT_EQ(keptFunction(&line), nullptr);

  keepStatementFigures(true);
  rememberFunction(function(&line, 1, 2));
  forgetStatementFigures();
  rememberFunction(function(&line, 1, 3));  // no longer keeping
  EXPECT_EQ(keptFunction(&line), nullptr);
}

}  // namespace
}  // namespace qar
