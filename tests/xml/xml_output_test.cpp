// Escaping and the output stream of the XML report; the end-to-end cases
// pin the documents themselves.
#include <gtest/gtest.h>

#include "config/configuration.h"
#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "test_support.h"
#include "xml/postxml.h"
#include "xml/xml_output.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

TEST(XmlEscape, MarkupCharactersBecomeEntitiesOnceAndControlBytesQuestionMarks) {
  EXPECT_EQ(escapeXmlText("a<b & 'c'"), "a&lt;b &amp; &apos;c&apos;");
  EXPECT_EQ(escapeXmlText("x > \"y\""), "x &gt; &quot;y&quot;");
  EXPECT_EQ(escapeXmlText("&amp;"), "&amp;amp;");
  EXPECT_EQ(escapeXmlText("a\tb\nc\x01\x1f"), "a?b?c??");
  EXPECT_EQ(escapeXmlText("\xe4\x7f\xff"), "\xe4\x7f\xff");
  std::string buffer = "old";
  EXPECT_STREQ(escapeInto(buffer, "<"), "&lt;");
  // Written at a pointer, every byte but NUL as appended to a string, within
  // six bytes a byte; there a NUL byte ends the text, as a C text ends.
  std::string every;
  for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
  std::string room(every.size() * kLongestEscape, '#');
  const char* end = putEscapedXml(room.data(), every);
  EXPECT_EQ(std::string(static_cast<const char*>(room.data()), end), escapeXmlText(every));
  end = putEscapedXml(room.data(), std::string_view("a&\0<b", 5));
  EXPECT_EQ(std::string(static_cast<const char*>(room.data()), end), "a&amp;");
  EXPECT_EQ(escapeXmlText(std::string_view("\0<", 2)), std::string_view("\0&lt;", 5));
}

TEST(XmlOutput, DashWritesToStandardOutputAndAFailedWriteEndsTheRun) {
  resetDiagnostics();
  resetDatabase();
  resetConfiguration();
  resetXmlOutput();
  setOptions(OptionSettings{});
  test::Outcome outcome = test::captureRun([] { writeXmlReport("-"); });
  EXPECT_FALSE(outcome.ended) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n<qar_xml_report>\n\n", 0), 0u);
  EXPECT_TRUE(outcome.out.ends_with("\t</overall_summary>\n\n</qar_xml_report>\n"));
  outcome = test::captureRun([] { writeXmlReport("/dev/full"); });
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
  resetXmlOutput();
}

}  // namespace
}  // namespace qar
