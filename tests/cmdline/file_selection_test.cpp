#include "cmdline/file_selection.h"

#include <gtest/gtest.h>

#include "cmdline/postcmdl.h"
#include "base/file_names.h"

namespace qar {
namespace {

TEST(FileSelectionTest, SuffixFormLooksOnlyAtTheEndOfLongerNames) {
  EXPECT_TRUE(matchFilePattern("*.c", "c:\\work\\a.c"));
  EXPECT_TRUE(matchFilePattern("*.c", "A.C"));
  EXPECT_FALSE(matchFilePattern("*.c", "a.cpp"));
  EXPECT_FALSE(matchFilePattern("*.c", "a.c.bak"));
  EXPECT_TRUE(matchFilePattern("*.c", "x.c.c"));
  EXPECT_TRUE(matchFilePattern("*", "anything/at\\all"));
}

TEST(FileSelectionTest, NamesNotLongerThanAStarPatternTakeTheWalk) {
  EXPECT_TRUE(matchFilePattern("*.c", ".c"));
  EXPECT_FALSE(matchFilePattern("*.c", "c"));
  EXPECT_TRUE(matchFilePattern("*", ""));
  EXPECT_FALSE(matchFilePattern("**", ""));
  EXPECT_TRUE(matchFilePattern("**", "ab"));
  EXPECT_FALSE(matchFilePattern("*.c", ""));
}

TEST(FileSelectionTest, SegmentsAreTiedToTheirFirstOccurrence) {
  EXPECT_FALSE(matchFilePattern("x*.c", "x.c.c"));
  EXPECT_FALSE(matchFilePattern("x*c", "x.c.c"));
  EXPECT_TRUE(matchFilePattern("x*.c", "xy.c"));
  EXPECT_TRUE(matchFilePattern("a*", "a"));
  EXPECT_TRUE(matchFilePattern("a*b*c", "a__b__c"));
  EXPECT_FALSE(matchFilePattern("a*b*c", "a__c__b"));
  EXPECT_TRUE(matchFilePattern("a*bc", "abxbc"));  // the search skips the "b" not followed by "c"
  EXPECT_FALSE(matchFilePattern("a*b", "abab"));   // a later "b" would match, but is never tried
}

TEST(FileSelectionTest, CaseAndSeparatorsFoldButOtherBytesCompareExactly) {
  EXPECT_TRUE(matchFilePattern("src/*.h", "SRC\\util.h"));
  EXPECT_TRUE(matchFilePattern("src/*.h", "src\\sub\\x.h"));
  EXPECT_TRUE(matchFilePattern("C:/Work/A.c", "c:\\work\\a.c"));
  EXPECT_FALSE(matchFilePattern("a?c", "abc"));  // "?" is no wildcard
  EXPECT_TRUE(matchFilePattern("a?c", "A?C"));
  EXPECT_FALSE(matchFilePattern("\xC4.c", "\xE4.c"));  // no case folding outside ASCII
  EXPECT_TRUE(matchFilePattern("\xC4.c", "\xC4.C"));
  EXPECT_FALSE(matchFilePattern("abc", "ab"));
  EXPECT_FALSE(matchFilePattern("ab", "abc"));
}

TEST(FileSelectionTest, ListsAndExclusionFollowTheRunSettings) {
  EXPECT_FALSE(matchesAnyPattern(std::nullopt, "a.c"));
  EXPECT_FALSE(matchesAnyPattern(std::vector<std::string>{}, "a.c"));
  EXPECT_TRUE(matchesAnyPattern(std::vector<std::string>{"*.h", "*.c"}, "a.c"));

  OptionSettings settings;
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("a.c"));

  settings.chosenFiles = std::vector<std::string>{"*.c", "lib/*"};
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("x.c"));
  EXPECT_FALSE(isFileExcluded("lib\\y.h"));
  EXPECT_TRUE(isFileExcluded("x.h"));

  settings.unchosenFiles = std::vector<std::string>{"*test*"};
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("x.c"));
  EXPECT_TRUE(isFileExcluded("x_test.c"));
  EXPECT_TRUE(isFileExcluded("x.h"));

  settings.chosenFiles.reset();
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("x.h"));
  EXPECT_TRUE(isFileExcluded("x_test.c"));
  setOptions(OptionSettings{});
}

TEST(SameFileNameTest, EqualLengthsFoldCaseAndSeparatorsOnly) {
  EXPECT_TRUE(sameFileName("C:\\Work\\A.c", "c:/work/a.C"));
  EXPECT_TRUE(sameFileName("", ""));
  EXPECT_FALSE(sameFileName("a.c", "a.c "));
  EXPECT_FALSE(sameFileName("a/b.c", "a//b.c"));
  EXPECT_FALSE(sameFileName("a.c", "a.d"));
  EXPECT_FALSE(sameFileName("\xC4.c", "\xE4.c"));
  EXPECT_FALSE(sameFileName("a[c", "a{c"));  // letters only: '[' and '{' differ by the case bit
}

}  // namespace
}  // namespace qar
