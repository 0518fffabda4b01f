// The document frame of the XML report: header, notices, file blocks and
// the summaries.
#include <gtest/gtest.h>

#include "xml/xml_test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::Counters;
using test::Outcome;

class XmlDocument : public test::XmlTestBase {};

TEST_F(XmlDocument, EmptyDatabaseGivesHeaderNoticesAndAZeroSummary) {
  OptionSettings settings;
  settings.commandLineText = "-x r.xml -f a*.c -nf <b>.c";
  settings.chosenFiles = std::vector<std::string>{"a*.c"};
  settings.unchosenFiles = std::vector<std::string>{"<b>.c", "c.c"};
  settings.coverageView = CoverageView::Mcdc;
  setOptions(settings);
  config("TIMER=clock&co");
  config("EXECUTION_COST_TYPE=cycles");
  database().symbolFilesRead.push_back({"x&y.sym", "Sat Dec  5 12:00:00 2026"});
  database().dataFilesRead.push_back({"x.dat", "Thu Dec  4 08:00:00 2025"});
  captureRun([] {
    setNoticeArguments("q\"1.c", "m.dat");
    issueNotice(kNoticeUnknownFile);
  });

  EXPECT_EQ(report(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n<qar_xml_report>\n\n"
            "\t<header_info>\n"
            "\t\t<qarpost_version>9.1.4.1</qarpost_version>\n"
            "\t\t<copyright>Licensed material - all rights reserved</copyright>\n"
            "\t\t<copyright>Copyright (c) Halvorin Tarvo 2022</copyright>\n"
            "\t\t<symbolfiles>\n"
            "\t\t\t<symbolfile>\n\t\t\t\t<name>x&amp;y.sym</name>\n"
            "\t\t\t\t<modified>Sat Dec  5 12:00:00 2026</modified>\n\t\t\t</symbolfile>\n"
            "\t\t</symbolfiles>\n"
            "\t\t<datafiles>\n"
            "\t\t\t<datafile>\n\t\t\t\t<name>x.dat</name>\n"
            "\t\t\t\t<modified>Thu Dec  4 08:00:00 2025</modified>\n\t\t\t</datafile>\n"
            "\t\t</datafiles>\n"
            "\t\t<chosen_source_files>\n\t\t\t<name>a*.c</name>\n\t\t</chosen_source_files>\n"
            "\t\t<unchosen_source_files>\n\t\t\t<name>&lt;b&gt;.c</name>\n\t\t\t<name>c.c</name>\n"
            "\t\t</unchosen_source_files>\n"
            "\t\t<report_generated>Fri Dec  5 16:00:00 2025</report_generated>\n"
            "\t\t<requested_coverage_view>Reduced to MC/DC coverage</requested_coverage_view>\n"
            "\t\t<qarpost_options>-x r.xml -f a*.c -nf &lt;b&gt;.c</qarpost_options>\n"
            "\t\t<execution_cost_function>clock&amp;co</execution_cost_function>\n"
            "\t\t<execution_cost_type>cycles</execution_cost_type>\n"
            "\t\t<execution_cost_scaling>1</execution_cost_scaling>\n"
            "\t</header_info>\n\n"
            "\t<qarpost_notices>\n"
            "\t\t<notice>Counter data for an unknown file &quot;q&quot;1.c&quot; encountered coming from "
            "datafile &quot;m.dat&quot; (discarded).</notice>\n"
            "\t</qarpost_notices>\n\n"
            "\t<overall_summary>\n"
            "\t\t<shown_coverage_views></shown_coverage_views>\n"
            "\t\t<files>0</files>\n\t\t<headers>0</headers>\n"
            "\t\t<functions>0</functions>\n\t\t<lines>0</lines>\n"
            "\t\t<ter>100</ter>\n\t\t<hits>0</hits>\n\t\t<all>0</all>\n"
            "\t\t<statement_ter>100</statement_ter>\n\t\t<statement_hits>0</statement_hits>\n"
            "\t\t<statement_all>0</statement_all>\n"
            "\t\t<statement_na_functions>0</statement_na_functions>\n"
            "\t</overall_summary>\n\n"
            "</qar_xml_report>\n");
}

TEST_F(XmlDocument, FileHeadIncludesAndSummaryOfAFunctionFile) {
  MonitoredFile& file =
      addFile("a&b.c", 1 | 8, {"0 3 0 0 0 f", "0 9 0 1 0 g"}, Counters().F({4, 0}).T({0, 0}, {0, 0}), 12);
  prepare();
  insertLine(file, 2, "#include \"b.h\"");
  insertLine(file, 2, "#include \"a.h\"");
  std::string document = report();

  EXPECT_NE(document.find("\t<file name=\"a&amp;b.c\">\n"
                          "\t\t<file_type>source</file_type>\n"
                          "\t\t<instrumentation_mode>function+inclusive_timing</instrumentation_mode>\n"
                          "\t\t<instrumentation_timestamp>Fri Dec  5 02:00:00 2025</instrumentation_timestamp>\n"
                          "\t\t<instrumentation_fingerprint>0x0000beef</instrumentation_fingerprint>\n"
                          "\t\t<sym_rewrite_count>3</sym_rewrite_count>\n"
                          "\t\t<sym_update_count>4</sym_update_count>\n"
                          "\t\t<data_rewrite_count>5</data_rewrite_count>\n"
                          "\t\t<data_update_count>6</data_update_count>\n"
                          "\t\t<include name=\"#include &quot;a.h&quot;\" />\n"
                          "\t\t<include name=\"#include &quot;b.h&quot;\" />\n"
                          "\t\t<function name=\"f\">\n"),
            std::string::npos)
      << document;
  // Two functions, one never called: 1 of 2 items; no statement figures.
  EXPECT_NE(document.find("\t\t</function>\n"
                          "\t\t<file_summary>\n"
                          "\t\t\t<functions>2</functions>\n\t\t\t<lines>12</lines>\n"
                          "\t\t\t<ter>50</ter>\n\t\t\t<hits>1</hits>\n\t\t\t<all>2</all>\n"
                          "\t\t\t<statement_ter>100</statement_ter>\n\t\t\t<statement_hits>0</statement_hits>\n"
                          "\t\t\t<statement_all>0</statement_all>\n"
                          "\t\t\t<statement_na_functions>2</statement_na_functions>\n"
                          "\t\t</file_summary>\n\t</file>\n\n\t<overall_summary>\n"
                          "\t\t<shown_coverage_views>function</shown_coverage_views>\n"),
            std::string::npos)
      << document;
}

TEST_F(XmlDocument, OverallSummaryAddsFilesAndCountsHeadersApart) {
  // A decision file whose function has statement figures, a function file,
  // and a header file (no lines of its own in the summaries).
  addFile("d.c", 3, {"0 1 0 0 0 d", "13 2 1 0 1 0", "1 3 1 1 0"}, Counters().F({1}).J({1, 1}), 10);
  addFile("f.c", 1, {"0 1 0 0 0 f"}, Counters().F({0}), 20);
  addFile("h.h", 1, {"0 1 0 0 0 h"}, Counters().F({2}), 7).isHeaderFile = 1;
  std::string document = report();

  size_t header = document.find("\t<file name=\"h.h\">");
  ASSERT_NE(header, std::string::npos);
  EXPECT_EQ(valueOf(document, "file_type", header), "header");
  EXPECT_EQ(valueOf(document, "lines", header), "0");
  EXPECT_EQ(valueOf(document, "lines", document.find("\t<file name=\"f.c\">")), "20");

  size_t overall = document.find("\t<overall_summary>");
  EXPECT_EQ(document.substr(overall),
            "\t<overall_summary>\n"
            "\t\t<shown_coverage_views>mixed decision/function</shown_coverage_views>\n"
            "\t\t<files>2</files>\n\t\t<headers>1</headers>\n"
            "\t\t<functions>3</functions>\n\t\t<lines>30</lines>\n"
            "\t\t<ter>80</ter>\n\t\t<hits>4</hits>\n\t\t<all>5</all>\n"
            "\t\t<statement_ter>100</statement_ter>\n\t\t<statement_hits>1</statement_hits>\n"
            "\t\t<statement_all>1</statement_all>\n"
            "\t\t<statement_na_functions>2</statement_na_functions>\n"
            "\t</overall_summary>\n\n</qar_xml_report>\n");
}

TEST_F(XmlDocument, ShownCoverageViewsFollowTheViewAndTheModesMet) {
  addFile("m.c", 7, {"0 1 0 0 0 m"}, Counters().F({1}));
  addFile("d.c", 3, {"0 1 0 0 0 d"}, Counters().F({1}));
  addFile("f.c", 1, {"0 1 0 0 0 f"}, Counters().F({1}));
  const std::pair<CoverageView, const char*> cases[] = {
      {CoverageView::AsInstrumented, "mixed multicondition/decision/function"},
      {CoverageView::Mcdc, "mixed MC/DC/decision/function"},
      {CoverageView::Condition, "mixed condition/decision/function"},
      {CoverageView::Decision, "mixed decision/function"},
      {CoverageView::Function, "function"},
  };
  for (const auto& [view, words] : cases) {
    setView(view);
    EXPECT_EQ(valueOf(report(), "shown_coverage_views"), words);
  }
  // With only a multicondition file the decision view still says decision.
  resetDatabase();
  addFile("m.c", 7, {"0 1 0 0 0 m"}, Counters().F({1}));
  setView(CoverageView::Decision);
  EXPECT_EQ(valueOf(report(), "shown_coverage_views"), "decision");
}

TEST_F(XmlDocument, BadRecordEndsTheRunWithTheFileName) {
  addFile("bad.c", 1, {"0 1 0 0 0 f", "7 2 0 0 0 nonsense"}, Counters().F({1}));
  database().countersPrepared = true;  // the preparation pass would stop on it first
  std::string document;
  Outcome outcome = run(&document);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.err, "QARPost error 5: Error in symbol file bad.c\n");
}

}  // namespace
}  // namespace qar
