#include "export/output/export_text.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

std::string utf8(std::string_view text) {
  std::string out;
  appendUtf8(out, text);
  return out;
}

TEST(ExportText, ValidUtf8PassesAndOtherBytesAreLatin1) {
  EXPECT_EQ(utf8("plain ascii"), "plain ascii");
  EXPECT_EQ(utf8("\xc3\xb6" "ffne \xe2\x82\xac \xf0\x9f\x98\x80"), "\xc3\xb6" "ffne \xe2\x82\xac \xf0\x9f\x98\x80");
  // Latin-1 bytes: é and ß.
  EXPECT_EQ(utf8("caf\xe9 gro\xdf"), "caf\xc3\xa9 gro\xc3\x9f");
  // Not UTF-8: an overlong form, a surrogate, a code point above U+10FFFF, a
  // lone continuation byte and a sequence cut by the end of the text. Each
  // of their bytes is read as Latin-1.
  EXPECT_EQ(utf8("\xc0\xaf"), "\xc3\x80\xc2\xaf");
  EXPECT_EQ(utf8("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");
  EXPECT_EQ(utf8("\xf4\x90\x80\x80"), "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80");
  EXPECT_EQ(utf8("\x80x"), "\xc2\x80x");
  EXPECT_EQ(utf8("ab\xe2\x82"), "ab\xc3\xa2\xc2\x82");
}

TEST(ExportText, JsonStringsAreQuotedAndEscaped) {
  std::string out;
  appendJsonString(out, "a\"b\\c\nd\te\x01\x1f\xe9");
  EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\te\\u0001\\u001f\xc3\xa9\"");
}

// Written into room as appended, plain or escaped, and within the room it
// names even when every byte takes its longest escape.
TEST(ExportText, JsonStringsWrittenInPlaceAreThoseAppended) {
  for (std::string_view text : {std::string_view(""), std::string_view("plain_name(int)"),
                                std::string_view("a\"b\\c\nd\te\x01\x1f\xe9"), std::string_view("\x01\x02\x03\x04")}) {
    std::string appended;
    appendJsonString(appended, text);
    std::string written(jsonStringRoom(text.size()) + 1, '#');
    const char* end = writeJsonString(written.data(), text);
    const size_t length = static_cast<size_t>(end - written.data());
    EXPECT_EQ(written.substr(0, length), appended);
    EXPECT_LE(length, jsonStringRoom(text.size()));
    EXPECT_EQ(written.back(), '#');
  }
}

TEST(ExportText, XmlTextHasEntitiesAndNoCharacterXmlCannotHold) {
  std::string out;
  appendXmlText(out, "a<b & 'c' \"d\">\t\x7f\xef\xbf\xbe\xef\xbf\xbd");
  EXPECT_EQ(out, "a&lt;b &amp; &apos;c&apos; &quot;d&quot;&gt;?\x7f?\xef\xbf\xbd");
}

TEST(ExportText, LcovTextStaysOnItsLine) {
  std::string out;
  appendLcovText(out, "f\r\n(int, int)\xe4");
  EXPECT_EQ(out, "f?" "?(int, int)\xc3\xa4");
}

}  // namespace
}  // namespace qar
