// Telling code lines from blank and comment-only lines of a C or C++ source.
#include "export/change/code_lines.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

std::string marks(std::string_view source) {
  std::string text;
  for (bool code : codeLines(source)) text += code ? 'C' : '.';
  return text;
}

TEST(CodeLines, CommentsAndBlanksAreNotCode) {
  EXPECT_EQ(marks("int a;\n"
                  "\n"
                  "   \t\n"
                  "// note\n"
                  "/* one\n"
                  "   two */\n"
                  "int b; /* tail\n"
                  "*/ int c;\n"
                  "/* a */ /* b */\n"
                  "// continued \\\n"
                  "still the comment\n"
                  "x;"),
            "C....." "CC..." "C");
}

TEST(CodeLines, LiteralsHideCommentMarkersAndSpanLines) {
  EXPECT_EQ(marks("s = \"/* not a comment\";\n"
                  "c = '\"'; // the quote in a character\n"
                  "t = \"two \\\n"
                  "lines\";\n"
                  "r = R\"x(\n"
                  "// inside a raw string\n"
                  ")x\";\n"
                  "n = 1'000; // a digit separator\n"
                  "/* after */\n"),
            "CCCCCCCC.");
}

TEST(CodeLines, CrlfLinesAndMissingLastNewline) {
  EXPECT_EQ(marks("a;\r\n\r\n// c\r\nb;"), "C..C");
  EXPECT_EQ(marks(""), "");
}

}  // namespace
}  // namespace qar
