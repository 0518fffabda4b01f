// The probe elements of the XML report, byte for byte: each is put together
// by hand rather than through a format, so every attribute, blank and line
// break is pinned here.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "xml/xml_elements.h"
#include "xml/xml_output.h"

namespace qar {
namespace {

std::string written(void (*write)()) {
  resetXmlOutput();
  const test::Outcome outcome = test::captureRun([write] {
    openXmlOutput("-");
    write();
    closeXmlOutput();
  });
  EXPECT_FALSE(outcome.ended) << outcome.err;
  return outcome.out;
}

const XmlProbeFields kFields{"if", 12, 3, 2, "a < b && c"};

TEST(XmlElements, CounterElementsCarryTheirCountsAlarmsAndReachability) {
  EXPECT_EQ(written([] { writeCount1Element(kFields, 0, Exepassed::NotReached); }),
            "\t\t\t\t<probe type=\"if\" count1=\"0\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" exepassed=\"0\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writeCount1Element(kFields, 4294967295u); }),
            "\t\t\t\t<probe type=\"if\" count1=\"4294967295\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writeCount2Element(kFields, 0); }),
            "\t\t\t\t<probe type=\"if\" count2=\"0\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writeCount1Count2Element(kFields, 7, 0); }),
            "\t\t\t\t<probe type=\"if\" count1=\"7\" count2=\"0\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writePlainElement(kFields, Exepassed::Reached); }),
            "\t\t\t\t<probe type=\"if\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" exepassed=\"1\" descr=\"a &lt; b &amp;&amp; c\" />\n");
}

TEST(XmlElements, NumberedRowsAndTheUnalarmedConditionKeepTheirBlanks) {
  EXPECT_EQ(written([] { writeEvalElement(kFields, false, 0, true, 5); }),
            "\t\t\t\t<probe type=\"if\" count2=\"0\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" eval_no=\"5\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writeSubcondElement(kFields, false, 1); }),
            "\t\t\t\t<probe type=\"if\" \n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" subcond_no=\"1\" descr=\"a &lt; b &amp;&amp; c\" />\n");
  EXPECT_EQ(written([] { writeSubcondElement(kFields, true, 10); }),
            "\t\t\t\t<probe type=\"if\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"12\" sc_count=\"3\" nesting=\"2\" subcond_no=\"10\" descr=\"a &lt; b &amp;&amp; c\" />\n");
}

TEST(XmlElements, LineDirectivesAndADescriptionEndingAtANulByte) {
  EXPECT_EQ(written([] { writeFileLineDirective(1, "# 1 \"gen/parser.y\""); }),
            "\t\t<probe type=\"linedir\"\n"
            "\t\t   line=\"1\" sc_count=\"0\" nesting=\"0\" descr=\"# 1 &quot;gen/parser.y&quot;\" />\n");
  EXPECT_EQ(written([] { writeLineDirectiveInFunction(40, 9, 1, std::string_view("#line 7\0tail", 12)); }),
            "\t\t\t\t<probe type=\"linedir_in_function\"\n"
            "\t\t\t\t   line=\"40\" sc_count=\"9\" nesting=\"1\" descr=\"#line 7\" />\n");
  // A probe's description too, escaped up to the NUL byte and no further.
  EXPECT_EQ(written([] { writePlainElement(XmlProbeFields{"goto", 3, 0, 1, std::string_view("a<b\0&c", 7)}); }),
            "\t\t\t\t<probe type=\"goto\"\n"
            "\t\t\t\t   line=\"3\" sc_count=\"0\" nesting=\"1\" descr=\"a&lt;b\" />\n");
}

// A description far longer than any before it, all of it entities: the
// element's buffer grows to hold it escaped.
TEST(XmlElements, ALongDescriptionEscapedWhole) {
  static const std::string longDescr(100000, '"');
  std::string expected = "\t\t\t\t<probe type=\"while\" count1=\"1\" count2=\"2\"\n"
                         "\t\t\t\t   line=\"4294967295\" sc_count=\"0\" nesting=\"99\" descr=\"";
  for (size_t i = 0; i < longDescr.size(); ++i) expected += "&quot;";
  expected += "\" />\n";
  EXPECT_EQ(written([] { writeCount1Count2Element(XmlProbeFields{"while", 4294967295u, 0, 99, longDescr}, 1, 2); }),
            expected);
}

TEST(XmlElements, NamesAreEscapedBetweenTheirTagsUpToANulByte) {
  EXPECT_EQ(written([] {
              std::string buffer = "old";
              writeEscapedBetween(buffer, "\t\t<function name=\"", std::string_view("a<b>\"c\0d", 9), "\">\n");
            }),
            "\t\t<function name=\"a&lt;b&gt;&quot;c\">\n");
}

}  // namespace
}  // namespace qar
