// Escaping and the output stream of the XML report.
#include <gtest/gtest.h>

#include "xml/xml_test_support.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;

TEST(XmlEscape, MarkupCharactersBecomeEntitiesOnceAndControlBytesQuestionMarks) {
  EXPECT_EQ(escapeXmlText("a<b & 'c'"), "a&lt;b &amp; &apos;c&apos;");
  EXPECT_EQ(escapeXmlText("x > \"y\""), "x &gt; &quot;y&quot;");
  EXPECT_EQ(escapeXmlText("&amp;"), "&amp;amp;");
  EXPECT_EQ(escapeXmlText("a\tb\nc\x01\x1f"), "a?b?c??");
  EXPECT_EQ(escapeXmlText("\xe4\x7f\xff"), "\xe4\x7f\xff");
  EXPECT_EQ(escapeXmlText(""), "");

  std::string buffer = "old";
  EXPECT_STREQ(escapeInto(buffer, "<"), "&lt;");
}

class XmlOutput : public test::XmlTestBase {};

TEST_F(XmlOutput, DashAndStdoutWriteToStandardOutputOtherNamesCreateFiles) {
  for (const char* name : {"-", "stdout"}) {
    Outcome outcome = captureRun([&] { writeXmlReport(name); });
    EXPECT_FALSE(outcome.ended) << outcome.err;
    EXPECT_EQ(outcome.out.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n<qar_xml_report>\n\n", 0), 0u);
    EXPECT_TRUE(outcome.out.ends_with("</qar_xml_report>\n"));
  }
  std::string path = dir_.file("stdout.xml");
  Outcome outcome = captureRun([&] { writeXmlReport(path); });
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(test::readFile(path).ends_with("\t</overall_summary>\n\n</qar_xml_report>\n"));
}

TEST_F(XmlOutput, FailedWriteEndsTheRunNamingTheOutput) {
  // Cannot create: see the end-to-end case xml_create_error.
  Outcome outcome = captureRun([&] { writeXmlReport("/dev/full"); });
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "QARPost error 17: Cannot write file /dev/full: No space left on device\n");
}

}  // namespace
}  // namespace qar
