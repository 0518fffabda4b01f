// The clock, number formatting, the line-text arena and file-name comparison.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/file_names.h"
#include "base/quick_format.h"
#include "base/text_arena.h"

namespace qar {
namespace {

TEST(ClockTest, AsctimeFormFromSourceDateEpochAndTimeZone) {
  setenv("TZ", "UTC", 1);
  EXPECT_EQ(timeText(0), "Thu Jan  1 00:00:00 1970");
  EXPECT_EQ(timeText(1700000000), "Tue Nov 14 22:13:20 2023");
  setenv("SOURCE_DATE_EPOCH", "86399", 1);
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(currentTimeText(), "Thu Jan  1 18:59:59 1970");
  setenv("TZ", "UTC", 1);
  setenv("SOURCE_DATE_EPOCH", "12abc", 1);  // no integer: the real clock
  EXPECT_GE(currentTime(), std::time(nullptr) - 1);
  unsetenv("SOURCE_DATE_EPOCH");
}

// The text is the asctime form as printf writes it, for times far before
// 1970 and beyond the four-digit years too, and appended after what the
// line already holds.
TEST(ClockTest, TimeTextIsThePrintfForm) {
  setenv("TZ", "UTC", 1);
  for (std::time_t t : {std::time_t{-2147483648LL}, std::time_t{-1}, std::time_t{0}, std::time_t{86399},
                        std::time_t{951782400}, std::time_t{1764950400}, std::time_t{253402300799LL},
                        std::time_t{253402300800LL}, std::time_t{3155760000000LL}}) {
    std::tm parts{};
    gmtime_r(&t, &parts);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.3s %.3s%3d %.2d:%.2d:%.2d %d",
                  "SunMonTueWedThuFriSat" + 3 * parts.tm_wday, "JanFebMarAprMayJunJulAugSepOctNovDec" + 3 * parts.tm_mon,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, 1900 + parts.tm_year);
    EXPECT_EQ(timeText(t), expected) << t;
    std::string line = "   ";
    appendTimeText(line, t);
    EXPECT_EQ(line, "   " + std::string(expected));
  }
  EXPECT_EQ(timeText(951782400), "Tue Feb 29 00:00:00 2000");
}

// The zone is taken once for each value of TZ, unset included: a change
// between two texts still shows.
TEST(ClockTest, EveryChangeOfTheTimeZoneShows) {
  unsetenv("TZ");
  const std::string system = timeText(0);
  EXPECT_EQ(timeText(0), system);
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(timeText(0), "Wed Dec 31 19:00:00 1969");
  setenv("TZ", "JST-9", 1);
  EXPECT_EQ(timeText(0), "Thu Jan  1 09:00:00 1970");
  unsetenv("TZ");
  EXPECT_EQ(timeText(0), system);
  setenv("TZ", "UTC", 1);
  EXPECT_EQ(timeText(0), "Thu Jan  1 00:00:00 1970");
}

TEST(ClockTest, IsoTextKeepsItsFormBeyondTheFourDigitYears) {
  EXPECT_EQ(isoUtcText(1764950400), "2025-12-05T16:00:00Z");
  EXPECT_EQ(isoUtcText(-1), "1969-12-31T23:59:59Z");
  EXPECT_EQ(isoUtcText(-61000000000), "0036-12-26T11:33:20Z");  // a year of two digits, padded
  EXPECT_EQ(isoUtcText(kFirstFourDigitYearTime), "0000-01-01T00:00:00Z");
  EXPECT_EQ(isoUtcText(kFirstFourDigitYearTime - 1), "0000-01-01T00:00:00Z");
  EXPECT_EQ(isoUtcText(kLastFourDigitYearTime), "9999-12-31T23:59:59Z");
  EXPECT_EQ(isoUtcText(kLastFourDigitYearTime + 1), "9999-12-31T23:59:59Z");
  EXPECT_EQ(isoUtcText(std::numeric_limits<std::time_t>::max()), "9999-12-31T23:59:59Z");
  EXPECT_EQ(isoUtcText(std::numeric_limits<std::time_t>::min()), "0000-01-01T00:00:00Z");
}

std::string viaPrintf(const char* format, auto... values) {
  char buffer[512];
  int length = std::snprintf(buffer, sizeof buffer, format, values...);
  return std::string(buffer, static_cast<size_t>(length));
}

std::string viaQuick(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  bool known = appendFormattedV(out, format, args);
  va_end(args);
  return known ? out : "<unknown conversion>";
}

TEST(QuickFormatTest, NumbersAndConversionsMatchPrintf) {
  for (uint64_t value : {uint64_t{0}, uint64_t{9}, uint64_t{10}, uint64_t{42}, uint64_t{99}, uint64_t{100},
                         uint64_t{12345}, uint64_t{100000}, uint64_t{4294967295u}, UINT64_MAX}) {
    for (unsigned width : {0u, 1u, 5u, 10u, 25u, 60u}) {
      std::string out = "x";
      appendUnsigned(out, value, width);
      EXPECT_EQ(out, "x" + viaPrintf("%*llu", static_cast<int>(width), static_cast<unsigned long long>(value)));
    }
  }
  for (uint64_t value : {uint64_t{0}, uint64_t{7}, uint64_t{99}, uint64_t{4294967295u}, UINT64_MAX}) {
    for (unsigned width : {0u, 5u, 10u, 27u, 60u}) {
      char field[kNumberFieldSize];
      const std::string printed = viaPrintf("%*llu", static_cast<int>(width), static_cast<unsigned long long>(value));
      // A width beyond the field keeps only the blanks the field has room for.
      const size_t kept = std::min(printed.size(), kNumberFieldSize);
      EXPECT_EQ(formatUnsignedField(field, value, width), printed.substr(printed.size() - kept));
    }
  }
  for (uint64_t value : {uint64_t{0}, uint64_t{9}, uint64_t{10}, uint64_t{99}, uint64_t{100}, uint64_t{999},
                         uint64_t{1000}, uint64_t{4294967295u}, uint64_t{10000000000000000000u}, UINT64_MAX}) {
    char text[24] = "################";
    const char* end = putDecimal(text, value);
    EXPECT_EQ(std::string(static_cast<const char*>(text), end), viaPrintf("%llu", static_cast<unsigned long long>(value)));
  }
  for (int64_t value : {int64_t{0}, int64_t{-1}, int64_t{-10}, int64_t{-2147483648LL}, INT64_MIN, INT64_MAX}) {
    for (unsigned width : {0u, 2u, 11u, 21u, 60u}) {
      std::string out;
      appendSigned(out, value, width);
      EXPECT_EQ(out, viaPrintf("%*lld", static_cast<int>(width), static_cast<long long>(value)));
    }
  }
  const char* none = nullptr;
  EXPECT_EQ(viaQuick("<p t=\"%s\" c=\"%u\"%s/>", "a<b>", 4294967295u, ""), "<p t=\"a<b>\" c=\"4294967295\"/>");
  EXPECT_EQ(viaQuick("%d|%d", -2147483647 - 1, 2147483647), viaPrintf("%d|%d", INT_MIN, INT_MAX));
  EXPECT_EQ(viaQuick("0x%08x 0x%08x", 0u, 0xABCDEF12u), "0x00000000 0xabcdef12");
  EXPECT_EQ(viaQuick("%.1f %.1f %.1f", 0.05, -3.25, 1e300), viaPrintf("%.1f %.1f %.1f", 0.05, -3.25, 1e300));
  EXPECT_EQ(viaQuick("100%% %s", none), "100% (null)");
  EXPECT_EQ(viaQuick("%5.2f", 1.0), "<unknown conversion>");
}

TEST(TextArenaTest, EveryLengthReadsBackAcrossBlocksAndTheLimitHolds) {
  TextArena arena;
  EXPECT_EQ(arena.view(0), "");
  std::vector<std::string> texts;
  std::vector<uint32_t> references;
  // Lengths around the one-byte limit, over several blocks; odd lengths
  // shift the entries after them.
  for (size_t round = 0; round < 1200; ++round) {
    for (size_t length : {1u, 2u, 254u, 255u, 256u, 4095u}) {
      std::string text(length, static_cast<char>('a' + (round + length) % 26));
      text.front() = static_cast<char>(round % 200 + 1);
      references.push_back(arena.store(text));
      texts.push_back(std::move(text));
    }
  }
  EXPECT_GT(arena.bytesReserved(), size_t{2} << 21);
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(arena.view(references[i]), texts[i]) << i;
  EXPECT_EQ(arena.store(""), 0u);
  EXPECT_THROW(arena.store(std::string(TextArena::kMaxTextLength + 1, 'y')), std::length_error);
  arena.clear();
  EXPECT_EQ(arena.bytesReserved(), 0u);
  EXPECT_EQ(arena.view(arena.store("again")), "again");
}

TEST(FileNamesTest, SameFileNameFoldsAsciiCaseAndSeparatorsOnly) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {"C:\\Work\\A.c", "c:/work/a.C"}, {"", ""}, {"Z.c", "z.c"}, {"\xC4.c", "\xC4.C"}};
  for (const auto& [a, b] : same) EXPECT_TRUE(sameFileName(a, b)) << a << " / " << b;
  const std::vector<std::pair<std::string, std::string>> different = {
      {"a.c", "a.c "}, {"a/b.c", "a//b.c"}, {"\xC4.c", "\xE4.c"}, {"a[c", "a{c"}, {"a@c", "a`c"}};
  for (const auto& [a, b] : different) EXPECT_FALSE(sameFileName(a, b)) << a << " / " << b;
}

TEST(FileNamesTest, HeaderPathsCompareFromTheirEndsOnTheFirst261Characters) {
  const std::string a = std::string(255, 'd') + "/x.h" + "xx";  // cut after "x.hxx"
  struct Case {
    std::string a, b;
    bool same;
  };
  const Case cases[] = {
      {"inc/a.h", "A.H", true},          {"C:\\src\\inc\\a.h", "inc/a.h", true},
      {"src//inc\\\\a.h", "inc/a.h", true},  // doubled separators count once
      {"xa.h", "a.h", false},            {"inc/a.h", "lib/a.h", false},
      {"a.h", "a.hpp", false},           {"inc/a.h", "a.h/", false},
      {"", "", true},                    {"", "a.h", false},
      {"./a.h", "src/a.h", true},        {"../inc/a.h", "/usr/include/inc/a.h", true},
      {"src/./a.h", "src/lib/a.h", true}, {".a.h", "xa.h", false},
      {"./b.h", "src/a.h", false},
      {a + "/one/tail.h", a + "/two/other.h", true},
      {a + "/one/tail.h", std::string(255, 'e') + "/x.hxx/one/tail.h", false},
      {a + "/one/tail.h", "X.HXX", true}, {a + "/one/tail.h", "tail.h", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameHeaderPath(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(sameHeaderPath(c.b, c.a), c.same) << c.b << " / " << c.a;
    // Matching names always meet under one index key.
    if (c.same) {
      EXPECT_TRUE(sameFileName(headerPathFinalComponent(c.a), headerPathFinalComponent(c.b)));
    }
  }
  EXPECT_EQ(headerPathFinalComponent(a + "/one/tail.h"), "x.hxx");
  EXPECT_EQ(headerPathFinalComponent("C:\\inc\\A.h"), "A.h");
}

}  // namespace
}  // namespace qar
