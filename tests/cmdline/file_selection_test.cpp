#include "cmdline/file_selection.h"

#include <gtest/gtest.h>

#include "cmdline/postcmdl.h"

namespace qar {
namespace {

TEST(FileSelectionTest, PatternsMatchWholeNamesWithoutBacktracking) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      // Suffix form: a lone leading star against a longer name.
      {"*.c", "c:\\work\\a.c", true}, {"*.c", "A.C", true}, {"*.c", "a.cpp", false}, {"*.c", "a.c.bak", false},
      {"*.c", "x.c.c", true}, {"*", "any/at\\all", true},
      // Names not longer than the pattern take the walk.
      {"*.c", ".c", true}, {"*.c", "c", false}, {"*", "", true}, {"**", "", false}, {"**", "ab", true},
      {"*.c", "", false}, {"*aa", "aaa", false},
      // Each segment is tied to its first occurrence.
      {"x*.c", "x.c.c", false}, {"x*c", "x.c.c", false}, {"x*.c", "xy.c", true}, {"a*", "a", true},
      {"a*b*c", "a__b__c", true}, {"a*b*c", "a__c__b", false}, {"a*bc", "abxbc", true}, {"a*b", "abab", false},
      // Case and separators fold; "?" and other bytes stand for themselves.
      {"src/*.h", "SRC\\util.h", true}, {"src/*.h", "src\\sub\\x.h", true}, {"C:/Work/A.c", "c:\\work\\a.c", true},
      {"a?c", "abc", false}, {"a?c", "A?C", true}, {"\xC4.c", "\xE4.c", false}, {"\xC4.c", "\xC4.C", true},
      {"abc", "ab", false}, {"ab", "abc", false},
  };
  for (const Case& c : cases) EXPECT_EQ(matchFilePattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST(FileSelectionTest, ChosenAndUnchosenListsDecideExclusion) {
  EXPECT_FALSE(matchesAnyPattern(std::nullopt, "a.c"));
  EXPECT_TRUE(matchesAnyPattern(std::vector<std::string>{"*.h", "*.c"}, "a.c"));
  OptionSettings settings;
  settings.chosenFiles = std::vector<std::string>{"*.c", "lib/*"};
  settings.unchosenFiles = std::vector<std::string>{"*test*"};
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("lib\\y.h"));
  EXPECT_TRUE(isFileExcluded("x.h"));
  EXPECT_TRUE(isFileExcluded("x_test.c"));
  settings.chosenFiles.reset();
  setOptions(settings);
  EXPECT_FALSE(isFileExcluded("x.h"));
  setOptions(OptionSettings{});
}

}  // namespace
}  // namespace qar
