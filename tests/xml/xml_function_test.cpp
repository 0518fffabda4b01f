// Function blocks of the XML report: the head, the probe elements under each
// coverage view, line directives, multiconditions and the exepassed rules.
#include <gtest/gtest.h>

#include "xml/xml_test_support.h"

namespace qar {
namespace {

using test::Counters;

class XmlFunction : public test::XmlTestBase {
 protected:
  // A decision-instrumented function with one probe of most kinds; its
  // constant decisions are not closed, as a real description would.
  void addKindsFile() {
    addFile("k.c", 3,
        {"0 1 0 0 0 kinds", "20 2 0 0 1 a<b", "13 3 1 0 2 x", "3 3 1 0 1", "31 4 1 1 1 K", "30 5 1 2 1 N",
         "40 6 1 0 1", "56 7 1 0 1 note", "1 8 2 1 0"},
        Counters().F({1}).J({3, 1}).D({3, 0, 0}, {0, 5, 0}));
  }

  // One multicondition of two conditions: combinations TT (true, 5), TF
  // (false, 0) and F_ (false, 2), under an if; kind 70 takes the sums of its
  // 78/79 lines.
  void addMulticonditionFile() {
    addFile("m.c", 7,
        {"0 1 0 0 0 mc", "78 2 0 0 1 0", "79 2 0 0 1 1,2", "70 2 0 0 1 a && b", "75 2 0 0 1 TT", "76 2 0 1 1 TF",
         "76 2 0 2 1 F_", "78 2 0 0 2 0",
         "79 2 0 0 2 2", "77 2 0 0 2 a", "13 3 1 0 2 x", "1 4 1 1 0"},
        Counters().F({1}).J({5, 1}).C({5, 0, 2}));
  }
};

TEST_F(XmlFunction, ParametersRecordOpensTheHeadAndCostsAreScaledByTick) {
  config("TICK=10");
  addFile("t.c", 1 | 16, {"0 4 0 0 0 timed", "90 4 0 0 0 int a, char* b", "2 9 1 0 0", "0 12 0 1 0 never"},
          Counters().F({2, 0}).T({95, 7}, {19, 0xFFFFFFF6u}));
  std::string document = report();
  EXPECT_EQ(valueOf(document, "instrumentation_mode"), "function+exclusive_timing");
  std::string timed = functionBlock(document, "timed");
  EXPECT_NE(timed.find("\t\t<function name=\"timed\">\n"
                       "\t\t\t<parameters>int a, char* b</parameters>\n"
                       "\t\t\t<defined_at_line>4</defined_at_line>\n"
                       "\t\t\t<call_count>2</call_count>\n"
                       "\t\t\t<total_execution_cost>9</total_execution_cost>\n"
                       "\t\t\t<average_execution_cost>4.5</average_execution_cost>\n"
                       "\t\t\t<max_execution_cost>1</max_execution_cost>\n"
                       "\t\t\t<body>\n"),
            std::string::npos)
      << timed;
  // Kind 90 writes nothing in the body; a plain function end follows.
  EXPECT_EQ(bodyOf(document, "timed"),
            "\t\t\t\t<probe type=\"function\" count1=\"2\"\n"
            "\t\t\t\t   line=\"4\" sc_count=\"0\" nesting=\"0\" descr=\"FUNCTION timed()\" />\n"
            "\t\t\t\t<probe type=\"function_end_nr\"\n"
            "\t\t\t\t   line=\"9\" sc_count=\"1\" nesting=\"0\" descr=\"}\" />\n");
  // Times are signed; a call count of 0 leaves the average undivided.
  std::string never = functionBlock(document, "never");
  EXPECT_EQ(valueOf(never, "total_execution_cost"), "0");
  EXPECT_EQ(valueOf(never, "max_execution_cost"), "-1");

  resetDatabase();
  resetConfiguration();
  config("TICK=1");
  addFile("t.c", 1 | 8, {"0 4 0 0 0 once"}, Counters().F({0}).T({7}, {7}));
  std::string once = functionBlock(report(), "once");
  EXPECT_EQ(valueOf(once, "total_execution_cost"), "7");
  EXPECT_EQ(valueOf(once, "average_execution_cost"), "7.0");
}

TEST_F(XmlFunction, DecisionViewWritesEveryKindWithItsCountersAndTer) {
  addKindsFile();
  setView(CoverageView::Decision);
  std::string document = report();
  EXPECT_EQ(bodyOf(document, "kinds"),
            "\t\t\t\t<probe type=\"function\" count1=\"1\"\n"
            "\t\t\t\t   line=\"1\" sc_count=\"0\" nesting=\"0\" descr=\"FUNCTION kinds()\" />\n"
            "\t\t\t\t<probe type=\"if\" count1=\"3\" count2=\"0\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"1\" descr=\"if (a&lt;b)\" />\n"
            "\t\t\t\t<probe type=\"return\" count1=\"3\"\n"
            "\t\t\t\t   line=\"3\" sc_count=\"1\" nesting=\"2\" descr=\"return x\" />\n"
            "\t\t\t\t<probe type=\"block_end\"\n"
            "\t\t\t\t   line=\"3\" sc_count=\"1\" nesting=\"1\" descr=\"}\" />\n"
            "\t\t\t\t<probe type=\"const_else_if\" count2=\"5\"\n"
            "\t\t\t\t   line=\"4\" sc_count=\"1\" nesting=\"1\" descr=\"const-else if (K)\" />\n"
            "\t\t\t\t<probe type=\"const_if\" count1=\"0\" alarmed=\"1\"\n"
            "\t\t\t\t   line=\"5\" sc_count=\"1\" nesting=\"1\" descr=\"const-if (N)\" />\n"
            "\t\t\t\t<probe type=\"else\"\n"
            "\t\t\t\t   line=\"6\" sc_count=\"1\" nesting=\"1\" descr=\"else\" />\n"
            "\t\t\t\t<probe type=\"user_annotation\"\n"
            "\t\t\t\t   line=\"7\" sc_count=\"1\" nesting=\"1\" descr=\"User annotation: note\" />\n"
            "\t\t\t\t<probe type=\"function_end\" count1=\"1\"\n"
            "\t\t\t\t   line=\"8\" sc_count=\"2\" nesting=\"0\" descr=\"}\" />\n");
  // function 1/0, if 2/1, return 1/0, const-else-if 1/0, const-if 1/1, end 1/0.
  // The constant decisions left open make the statement analysis give up:
  // no statement figures, so no exepassed on the block end.
  std::string summary = functionBlock(document, "kinds");
  EXPECT_EQ(valueOf(summary, "statement_available"), "no");
  EXPECT_EQ(valueOf(summary, "all"), "7");
  EXPECT_EQ(valueOf(summary, "hits"), "5");
  EXPECT_EQ(valueOf(summary, "ter"), "71");
}

TEST_F(XmlFunction, LineRecordsBecomeDirectivesBeforeFunctionsAndProbesOnly) {
  MonitoredFile& file =
      addFile("l.c", 1,
              {"50 1 0 0 0 # 1 \"x.c\"", "51 2 0 0 0 # 2 \"first.h\"", "50 3 0 0 0 # 3 \"l.c\"", "0 4 0 0 0 f",
               "50 5 0 0 3 # 5", "13 6 0 0 1 r", "50 7 0 0 2 # 7", "91 8 0 0 1", "0 9 0 1 0 g",
               "50 10 0 0 0 # 10 at the end"},
              Counters().F({1, 1}).J({1}));
  prepare();
  insertLine(file, 3, "#include \"dropped.h\"");
  std::string document = report();
  // The directive before the include is dropped; of a run only the last counts.
  EXPECT_NE(document.find("\t\t<include name=\"#include &quot;dropped.h&quot;\" />\n"
                          "\t\t<probe type=\"linedir\"\n"
                          "\t\t   line=\"3\" sc_count=\"0\" nesting=\"0\" descr=\"# 3 &quot;l.c&quot;\" />\n"
                          "\t\t<function name=\"f\">\n"),
            std::string::npos)
      << document;
  EXPECT_NE(bodyOf(document, "f").find("\t\t\t\t<probe type=\"linedir_in_function\"\n"
                                       "\t\t\t\t   line=\"5\" sc_count=\"0\" nesting=\"3\" descr=\"# 5\" />\n"
                                       "\t\t\t\t<probe type=\"return\" count1=\"1\"\n"),
            std::string::npos);
  // The directive of a record that writes nothing moves in front of the next
  // function; the one at the end of the file is dropped.
  EXPECT_NE(document.find("\t\t</function>\n"
                          "\t\t<probe type=\"linedir\"\n"
                          "\t\t   line=\"7\" sc_count=\"0\" nesting=\"0\" descr=\"# 7\" />\n"
                          "\t\t<function name=\"g\">\n"),
            std::string::npos);
  EXPECT_EQ(document.find("at the end"), std::string::npos);
  EXPECT_EQ(document.find("first.h"), std::string::npos);
}

TEST_F(XmlFunction, MulticonditionRowsAsInstrumentedCountEachCombination) {
  addMulticonditionFile();
  std::string document = report();
  std::string body = bodyOf(document, "mc");
  EXPECT_NE(body.find("\t\t\t\t<probe type=\"if\" count1=\"5\" count2=\"2\"\n"
                      "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"1\" descr=\"if (a &amp;&amp; b)\" />\n"
                      "\t\t\t\t<probe type=\"multi_cond_t\" count1=\"5\"\n"
                      "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"1\" eval_no=\"1\" descr=\"TT\" />\n"
                      "\t\t\t\t<probe type=\"multi_cond_f\" count2=\"0\" alarmed=\"1\"\n"
                      "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"1\" eval_no=\"2\" descr=\"TF\" />\n"
                      "\t\t\t\t<probe type=\"multi_cond_f\" count2=\"2\"\n"
                      "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"1\" eval_no=\"3\" descr=\"F_\" />\n"
                      "\t\t\t\t<probe type=\"return\""),
            std::string::npos)
      << body;
  EXPECT_EQ(body.find("sub_cond"), std::string::npos);
  EXPECT_EQ(body.find("mcdc"), std::string::npos);
  // function 1, if 2, rows 3 (1 missed), return 1, end 1.
  EXPECT_EQ(valueOf(functionBlock(document, "mc"), "all"), "8");
  EXPECT_EQ(valueOf(functionBlock(document, "mc"), "hits"), "7");
}

TEST_F(XmlFunction, ConditionViewWritesTheConditionInsteadOfTheRows) {
  addMulticonditionFile();
  setView(CoverageView::Condition);
  std::string document = report();
  std::string body = bodyOf(document, "mc");
  EXPECT_EQ(body.find("multi_cond"), std::string::npos);
  // Kind 77 takes the sums of its 78/79 lines: 5 true, 2 false.
  EXPECT_NE(body.find("\t\t\t\t<probe type=\"sub_cond\" count1=\"5\" count2=\"2\"\n"
                      "\t\t\t\t   line=\"2\" sc_count=\"0\" nesting=\"2\" descr=\"COND (a)\" />\n"),
            std::string::npos)
      << body;
  // function 1, if 2, condition 2, return 1, end 1.
  EXPECT_EQ(valueOf(document, "all"), "7");
  EXPECT_EQ(valueOf(document, "hits"), "7");
}

TEST_F(XmlFunction, ExepassedRulesAskTheStatementAnalysis) {
  addFile("e.c", 3,
          {// switch whose second case is reached by falling through, and its block end
           "0 1 0 0 0 sw", "42 2 1 0 1 v", "14 3 1 0 2 1", "14 4 2 1 2 2", "12 5 3 2 3", "3 6 3 0 1", "2 7 3 0 0",
           // a lambda, reached because its function ran
           "0 10 0 1 0 lam", "4 11 1 3 1 [] {", "5 12 2 4 1", "2 13 2 0 0",
           // a function try block: its end asks, and is not reached
           "0 20 0 2 0 tryf", "43 21 0 0 1", "13 22 1 5 1 x", "1 23 1 6 0",
           // a function file has no statement figures and so no exepassed
           "0 30 0 3 0 empty", "15 31 0 7 1"},
          Counters().F({1, 1, 1, 1}).J({2, 0, 2, 1, 1, 1, 1, 0}));
  std::string document = report();
  std::string sw = bodyOf(document, "sw");
  EXPECT_NE(sw.find("type=\"case\" count1=\"2\"\n"
                    "\t\t\t\t   line=\"3\" sc_count=\"1\" nesting=\"2\" descr=\"case 1:\" />\n"),
            std::string::npos)
      << sw;
  EXPECT_NE(sw.find("type=\"case\" count1=\"0\" alarmed=\"1\"\n"
                    "\t\t\t\t   line=\"4\" sc_count=\"2\" nesting=\"2\" exepassed=\"1\" descr=\"case 2:\" />\n"),
            std::string::npos)
      << sw;
  EXPECT_NE(sw.find("line=\"6\" sc_count=\"3\" nesting=\"1\" exepassed=\"1\" descr=\"}\""), std::string::npos);
  EXPECT_NE(sw.find("line=\"7\" sc_count=\"3\" nesting=\"0\" descr=\"}\""), std::string::npos);

  EXPECT_NE(bodyOf(document, "lam").find("\t\t\t\t<probe type=\"lambda_end\" count1=\"1\"\n"
                                         "\t\t\t\t   line=\"12\" sc_count=\"2\" nesting=\"1\" exepassed=\"1\""),
            std::string::npos);
  std::string tryf = bodyOf(document, "tryf");
  EXPECT_NE(tryf.find("<probe type=\"function_try_block\"\n"), std::string::npos);
  EXPECT_NE(tryf.find("\t\t\t\t<probe type=\"function_end\" count1=\"1\"\n"
                      "\t\t\t\t   line=\"23\" sc_count=\"1\" nesting=\"0\" exepassed=\"0\" descr=\"}\" />\n"),
            std::string::npos)
      << tryf;
  EXPECT_EQ(bodyOf(document, "empty").find("exepassed"), std::string::npos);
  EXPECT_EQ(valueOf(functionBlock(document, "empty"), "statement_available"), "no");
}

}  // namespace
}  // namespace qar
