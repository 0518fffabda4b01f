#include "selection/header_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "coverage/database.h"

namespace qar {
namespace {

constexpr std::string_view kInfo = "1 100 0000000A 0 0";

// Whether one line of a source's piece of header code is the header's line:
// the header holds `header` alone, the piece `piece` alone.
bool sameHeaderLine(std::string_view header, std::string_view piece) {
  resetDatabase();
  MonitoredFile& headerFile = appendMonitoredFile("h.h");
  for (std::string_view text : {std::string_view("@h.h"), kInfo, header, std::string_view("%0,0,0,0,0,0")}) {
    appendDescriptionLine(headerFile, text);
  }
  MonitoredFile& source = appendMonitoredFile("s.c");
  for (std::string_view text : {std::string_view("@s.c"), kInfo, std::string_view("50 1 0 0 0 \"h.h\""), piece,
                                std::string_view("50 9 0 0 0 \"s.c\"")}) {
    appendDescriptionLine(source, text);
  }
  return sameHeaderCode(source, 3, 4, headerFile, 2, true);
}

struct Pair {
  std::string_view header;
  std::string_view piece;
  bool same;
};

// What may differ between a header's line and the same line in a source's
// piece, and what may not.
TEST(HeaderLinesTest, APieceLineIsTheHeaderLineWhereOnlyWhatSourcesWriteDifferentlyDiffers) {
  const Pair pairs[] = {
      {"20 3 1 4 1 a < b", "20 3 1 4 1 a < b", true},
      {"20 3 1 4 1 a < b", "20 3 1 98765 1 a < b", true},           // another counter index
      {"20 123456 789 4 1 a", "20 123456 789 417 1 a", true},     // past the first eight bytes
      {"20 123456 789 4 1 a", "20 123456 788 4 1 a", false},      // the statement count
      {"20 123456 789 4 1 a", "20 123457 789 4 1 a", false},      // the line number
      {"20 123456 789 4 1 a", "21 123456 789 4 1 a", false},      // the kind
      {"20 3 1 4 1 a < b", "20 3 1 4 1 a < c", false},            // the text after the index
      {"20 3 1 4 1 a < b", "20 3 1 4 2 a < b", false},            // the number after the index
      {"20 3 1 4", "20 3 1 4 1", false},                          // one ends where the other goes on
      {"20 3 1", "20 3 1", true},                                 // no counter index at all
      {"20 3 1", "20 3 2", false},
      {"0 2 0 0 0 get", "0 2 0 7 0 get::get", true},              // a function named N is N::N
      {"0 2 0 0 0 get", "0 2 0 7 0 get::got", false},
      {"20 3 1 4 1 v<int> > x", "20 3 1 9 1 v<int>> x", true},    // template argument lists
      {"20 3 1 4 1 v<int> x", "20 3 1 9 1 v<int>x y", false},
      {"62 4 2 5 1 throw \"a\"", "62 4 2 1 1 throw b", true},     // a throw with a quoted text
      {"62 4 1 5 1 throw e", "62 4 1 5 1 throw f", false},
      {"90 5 2 0 1 anything", "91 8 9 9 9 other", true},          // records without counters
      {"51 7 3 0 1 \"inc/n.h\"", "51 7 3 0 1 \"./N.h\"", true},   // paths that meet
      {"51 7 3 0 1 \"inc/n.h\"", "51 7 3 0 1 \"inc/m.h\"", false},
      {"51 7 3 0 1 \"inc/n.h\"", "51 9 9 9 9 \"inc/n.h\"", true},  // line records by the file named
  };
  for (const Pair& pair : pairs) {
    EXPECT_EQ(sameHeaderLine(pair.header, pair.piece), pair.same) << pair.header << " | " << pair.piece;
  }
  resetDatabase();
}

TEST(HeaderLinesTest, ALineRecordIsKind50Or51WithAQuotedName) {
  const LineRecord entry = lineRecordOf("50 1 0 0 0 # 1 \"include/a.h\"");
  EXPECT_EQ(entry.kind, 50);
  EXPECT_EQ(entry.name, "include/a.h");
  EXPECT_EQ(lineRecordOf("51 11 0 0 0 \"gen/parser.y\"").kind, 51);
  EXPECT_EQ(lineRecordOf("51 11 0 0 0 \"\"").name, "");
  EXPECT_FALSE(lineRecordOf("501 1 0 0 0 \"a.h\""));  // kind 501
  EXPECT_FALSE(lineRecordOf("52 1 0 0 0 \"a.h\""));
  EXPECT_FALSE(lineRecordOf("50 1 0 0 0 no name"));
  EXPECT_FALSE(lineRecordOf("50 1 0 0 0 \"open"));
  EXPECT_FALSE(lineRecordOf("5"));
}

}  // namespace
}  // namespace qar
