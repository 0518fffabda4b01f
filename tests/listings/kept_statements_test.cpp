// What the profile listing keeps of each function for the untested code
// listing: found in walk order, functions of dropped files passed over, and
// nothing answered once a function was missing or nothing was kept.
#include <gtest/gtest.h>

#include "listings/kept_statements.h"

#include <iterator>

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

// A profile listing walked in parts keeps its functions part by part: an
// untested listing walked in the very same parts gets each part's own; any
// other walk finds them all, joined in walk order.
TEST(KeptFunctions, PartsHandTheirFunctionsOnlyToTheSameParts) {
  MonitoredFileList files(3);
  const auto fileAt = [&files](int i) { return std::next(files.begin(), i); };
  const std::vector<WalkPart> walked = {{fileAt(0), fileAt(2)}, {fileAt(2), files.end()}};
  DescriptionLine lines[3];
  const auto keptInParts = [&] {
    std::vector<KeptPart> parts(2);
    parts[0].files = walked[0];
    parts[0].functions = {function(&lines[0], 0, 1), function(&lines[1], 1, 1)};
    parts[1].files = walked[1];
    parts[1].functions = {function(&lines[2], 2, 2)};
    keepStatementFigures(true);
    keepFunctionsOfParts(std::move(parts));
  };

  keptInParts();
  EXPECT_TRUE(hasKeptFunctions());
  std::vector<std::deque<KeptFunction>> given = takeKeptFunctionsOfParts(walked);
  ASSERT_EQ(given.size(), 2u);
  ASSERT_EQ(given[0].size(), 2u);
  EXPECT_EQ(given[0][1].function, &lines[1]);
  ASSERT_EQ(given[1].size(), 1u);
  EXPECT_EQ(given[1][0].function, &lines[2]);
  EXPECT_FALSE(hasKeptFunctions());  // all handed out

  // Other parts (a file dropped in between): nothing handed out, and a walk
  // in one piece finds every function in order.
  keptInParts();
  const std::vector<WalkPart> other = {{fileAt(0), fileAt(1)}, {fileAt(1), files.end()}};
  EXPECT_TRUE(takeKeptFunctionsOfParts(other).empty());
  EXPECT_TRUE(takeKeptFunctionsOfParts({walked[0]}).empty());
  ASSERT_TRUE(hasKeptFunctions());
  for (const DescriptionLine& line : lines) {
    const KeptFunction* kept = keptFunction(&line);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->function, &line);
  }
  // Once joined for such a walk, they are no longer handed out by part.
  EXPECT_TRUE(takeKeptFunctionsOfParts(walked).empty());
  forgetStatementFigures();
  EXPECT_FALSE(hasKeptFunctions());
}

}  // namespace
}  // namespace qar
