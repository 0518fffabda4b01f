// Carrying an earlier version's lines through a change's hunks.
#include "export/change/line_moves.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

FileMove build(void (*hunks)(LineRunBuilder&)) {
  LineRunBuilder builder;
  hunks(builder);
  return FileMove{"a.c", false, builder.finish()};
}

TEST(LineMoves, KeptLinesShiftRemovedLinesVanish) {
  // @@ -2,3 +2,4 @@: line 2 kept, 3 rewritten as two lines, 4 kept.
  const FileMove move = build([](LineRunBuilder& b) {
    b.hunk(2, 3, 2, 4);
    b.kept();
    b.removed();
    b.added();
    b.added();
    b.kept();
  });
  EXPECT_EQ(movedLine(move, 1), 1u);
  EXPECT_EQ(movedLine(move, 2), 2u);
  EXPECT_EQ(movedLine(move, 3), std::nullopt);
  EXPECT_EQ(movedLine(move, 4), 5u);
  EXPECT_EQ(movedLine(move, 100), 101u);
}

TEST(LineMoves, HunksWithAnEmptySideNameTheLineBefore) {
  // @@ -3,0 +4,2 @@ adds two lines after line 3; @@ -10,2 +11,0 @@ removes 10 and 11.
  const FileMove move = build([](LineRunBuilder& b) {
    b.hunk(3, 0, 4, 2);
    b.added();
    b.added();
    b.hunk(10, 2, 11, 0);
    b.removed();
    b.removed();
  });
  EXPECT_EQ(movedLine(move, 3), 3u);
  EXPECT_EQ(movedLine(move, 4), 6u);
  EXPECT_EQ(movedLine(move, 9), 11u);
  EXPECT_EQ(movedLine(move, 10), std::nullopt);
  EXPECT_EQ(movedLine(move, 11), std::nullopt);
  EXPECT_EQ(movedLine(move, 12), 12u);
}

TEST(LineMoves, DeletedFileKeepsNothing) {
  FileMove move{"", true, {}};
  EXPECT_EQ(movedLine(move, 1), std::nullopt);
}

}  // namespace
}  // namespace qar
