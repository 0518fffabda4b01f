#include "coverage/record_head.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

namespace qar {
namespace {

// The usual form read character by character: five runs of one to nine
// digits, the first at the start, each of the others after one blank.
std::optional<UsualRecordHead> readCharByChar(const std::string& line) {
  UsualRecordHead head;
  size_t at = 0;
  uint32_t values[5] = {};
  for (int run = 0; run < 5; ++run) {
    if (run > 0) {
      if (at == line.size() || line[at] != ' ') return std::nullopt;
      ++at;
    }
    const size_t start = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') values[run] = values[run] * 10 + (line[at++] - '0');
    if (at == start || at - start > 9) return std::nullopt;
  }
  head.kind = values[0];
  head.counterIndex = values[3];
  head.numbersEnd = at;
  return head;
}

// What the head scan must give: the usual form, for lines of at least 8
// bytes whose numbers end within 16 bytes or at the line's end.
std::optional<UsualRecordHead> expectedHead(const std::string& line) {
  std::optional<UsualRecordHead> head = readCharByChar(line);
  if (!head || line.size() < 8 || (line.size() > 16 && head->numbersEnd >= 16)) return std::nullopt;
  return head;
}

void expectSameAsCharByChar(const std::string& line) {
  const std::optional<UsualRecordHead> expected = expectedHead(line);
  UsualRecordHead head;
  const bool usual = scanUsualRecordHead(line, head);
  ASSERT_EQ(usual, expected.has_value()) << '"' << line << '"';
  if (!usual) return;
  EXPECT_EQ(head.kind, expected->kind) << line;
  EXPECT_EQ(head.counterIndex, expected->counterIndex) << line;
  EXPECT_EQ(head.numbersEnd, expected->numbersEnd) << line;
}

TEST(RecordHeadTest, ReadsTheKindCounterIndexAndEndOfTheUsualForm) {
  UsualRecordHead head;
  ASSERT_TRUE(scanUsualRecordHead("20 16 2 7 1 index <= 51", head));
  EXPECT_EQ(head.kind, 20u);
  EXPECT_EQ(head.counterIndex, 7u);
  EXPECT_EQ(head.numbersEnd, 11u);
  ASSERT_TRUE(scanUsualRecordHead("007 1 1 000042 9", head));  // leading zeros, ending at the 16th byte
  EXPECT_EQ(std::make_pair(head.kind, head.counterIndex), std::make_pair(7u, 42u));
  EXPECT_EQ(head.numbersEnd, 16u);
  // Numbers running past the 16th byte of a longer line are left to the
  // general reading.
  EXPECT_FALSE(scanUsualRecordHead("007 123456789 1 000000042 9", head));
}

// Every length where the loads change (8 and 16 bytes), numbers ending
// right at the line's end or at byte 16, runs of nine and ten digits, and
// the forms the general reading takes instead (signs, tabs, double blanks,
// a blank first, fewer than five runs).
TEST(RecordHeadTest, AgreesWithReadingCharacterByCharacterAtTheEdges) {
  const char* lines[] = {
      "", "1 2 3 4", "1 2 3 4 5", "1 2 3 4 56", "1 2 3 4 5 text",
      "13 1234 15 123 3", "13 1234 15 123 34", "13 1234 15 123 3 ", "13 1234 15 1234 3x",
      "1 2 3 4 123456789", "1 2 3 4 1234567890", "1234567890 2 3 4 5", "1 2 3 1234567890 5",
      "12345678 23456789 3 4 5", "12345678 23456789 34567890 4 5", "123456789 123456789 123456789 12 45",
      "123456789 123456789 123456789 1 3", "123456789 123456789 123456789 1 34 text beyond",
      "1 2  3 4 5 x", " 1 2 3 4 5 x", "1\t2 3 4 5 x", "+1 2 3 4 5 x", "1 2 3 4 x5", "1 2 3 4 -5 text",
      "@src/a.c", "%0,0,0,0,0,0", "#include \"a.h\"", "END OF SYMBOLFILE", "1 2 3 4 5\xe9\xe9 text",
  };
  for (const char* line : lines) expectSameAsCharByChar(line);
}

// Lines built from digits, blanks and a few other bytes, of every length up
// to 48: the masks and their bit tricks against the plain reading.
TEST(RecordHeadTest, AgreesWithReadingCharacterByCharacterOnGeneratedLines) {
  std::mt19937 random(22);
  const std::string alphabet = "0123456789 0123456789 0123456789 \t+x\x80/:";
  for (int round = 0; round < 200000; ++round) {
    std::string line;
    const size_t length = random() % 49;
    // Most lines start in the usual form so that its edges are met often.
    if (random() % 2 == 0) {
      for (int run = 0; run < 5; ++run) {
        if (run > 0) line += ' ';
        line += std::to_string(random() % (run == 1 ? 1000000000u : 20000u));
      }
    }
    while (line.size() < length) line += alphabet[random() % alphabet.size()];
    expectSameAsCharByChar(line);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace qar
