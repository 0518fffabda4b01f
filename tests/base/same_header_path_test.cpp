#include <gtest/gtest.h>

#include <string>

#include "base/file_names.h"

namespace qar {
namespace {

void expectMatch(std::string_view a, std::string_view b, bool expected) {
  EXPECT_EQ(sameHeaderPath(a, b), expected) << a << " / " << b;
  EXPECT_EQ(sameHeaderPath(b, a), expected) << b << " / " << a;
  if (expected) {
    // Matching names always meet under one index key.
    EXPECT_TRUE(sameFileName(headerPathFinalComponent(a), headerPathFinalComponent(b))) << a << " / " << b;
  }
}

TEST(SameHeaderPathTest, NormalisedNamesCompareFromTheirEnds) {
  expectMatch("inc/a.h", "A.H", true);
  expectMatch("C:\\src\\inc\\a.h", "inc/a.h", true);
  expectMatch("INC\\A.h", "inc/a.h", true);
  expectMatch("src//inc\\\\a.h", "inc/a.h", true);  // doubled separators count once
  expectMatch("a.h", "a.h", true);
  expectMatch("xa.h", "a.h", false);  // used up inside a component
  expectMatch("inc/a.h", "lib/a.h", false);
  expectMatch("a.h", "a.hpp", false);
  expectMatch("inc/a.h", "a.h/", false);
  expectMatch("", "", true);
  expectMatch("", "a.h", false);
}

TEST(SameHeaderPathTest, DotSlashAtTheFirstDifferenceMatches) {
  expectMatch("./a.h", "src/a.h", true);
  expectMatch("../inc/a.h", "/usr/include/inc/a.h", true);
  expectMatch("src/./a.h", "src/lib/a.h", true);
  expectMatch(".\\a.h", "x\\a.h", true);
  expectMatch(".a.h", "xa.h", false);  // a "." not followed by "/"
  expectMatch("./b.h", "src/a.h", false);
}

TEST(SameHeaderPathTest, OnlyTheFirst261CharactersAreCompared) {
  std::string stem(255, 'd');
  std::string a = stem + "/x.h";  // 259 characters
  // Equal up to character 261, different after it: the same header.
  std::string longA = a + "xx" + "/one/tail.h";
  std::string longB = a + "xx" + "/two/other.h";
  expectMatch(longA, longB, true);
  // A difference within the first 261 characters still counts.
  std::string otherStem(255, 'e');
  expectMatch(longA, otherStem + "/x.h" + "xx" + "/one/tail.h", false);
  // The cut name ends in "x.hxx": a short name must match that component.
  expectMatch(longA, "X.HXX", true);
  expectMatch(longA, "tail.h", false);
  EXPECT_EQ(headerPathFinalComponent(longA), "x.hxx");
  EXPECT_EQ(headerPathFinalComponent("C:\\inc\\A.h"), "A.h");
}

}  // namespace
}  // namespace qar
