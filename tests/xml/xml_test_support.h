#pragma once
// Set-up shared by the XML report tests: clean process-wide state, a fixed
// clock, MonitoredFiles built from description lines with their counters,
// and the report written to a temporary file and read back whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "coverage/database.h"
#include "coverage/loading.h"
#include "coverage/record_reader.h"
#include "cmdline/postcmdl.h"
#include "listings/mcdc.h"
#include "listings/statement_analysis.h"
#include "test_support.h"
#include "xml/postxml.h"
#include "xml/xml_output.h"

namespace qar::test {

// The counter arrays of one file, set by name: Counters().F({1}).J({2, 0}).
struct Counters {
  std::vector<uint32_t> f, j, dTrue, dFalse, c, tTotal, tMax;
  Counters& F(std::vector<uint32_t> v) { f = std::move(v); return *this; }
  Counters& J(std::vector<uint32_t> v) { j = std::move(v); return *this; }
  Counters& D(std::vector<uint32_t> t, std::vector<uint32_t> f2) {
    dTrue = std::move(t);
    dFalse = std::move(f2);
    return *this;
  }
  Counters& C(std::vector<uint32_t> v) { c = std::move(v); return *this; }
  Counters& T(std::vector<uint32_t> total, std::vector<uint32_t> maximum) {
    tTotal = std::move(total);
    tMax = std::move(maximum);
    return *this;
  }
};

class XmlTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    resetDatabase();
    resetRecordReader();
    resetConfiguration();
    resetMcdc();
    resetStatementAnalysis();
    resetXmlOutput();
    setOptions(OptionSettings{});
    setenv("TZ", "UTC", 1);
    setenv("SOURCE_DATE_EPOCH", "1764950400", 1);  // Fri Dec  5 16:00:00 2025
    config("TICK=1");
  }

  void TearDown() override {
    resetXmlOutput();
    resetDatabase();
    resetRecordReader();
    setOptions(OptionSettings{});
    unsetenv("SOURCE_DATE_EPOCH");
  }

  void config(std::string_view line) { ASSERT_EQ(applyConfigLine(line, configTable()), kNoError); }

  void setView(CoverageView view) {
    OptionSettings settings = options();
    settings.coverageView = view;
    settings.viewGiven = true;
    setOptions(settings);
  }

  // A MonitoredFile of `mode` holding the records `records` (their counter
  // indices point into `counters`), with its name, info and count lines.
  MonitoredFile& addFile(const std::string& name, uint32_t mode, std::initializer_list<const char*> records,
                         const Counters& counters = {}, uint32_t sourceLines = 30) {
    MonitoredFile& file = appendMonitoredFile(name);
    file.instrumentationTime = 1764900000;
    file.fingerprint = 0xBEEF;
    file.sourceLineCount = sourceLines;
    appendDescriptionLine(file, "@" + name);
    appendDescriptionLine(file, std::to_string(mode) + " 1764900000 0000BEEF 3 4");
    for (const char* record : records) appendDescriptionLine(file, record);
    appendDescriptionLine(file, "%" + std::to_string(sourceLines) + ",0,0,0,0,0");
    auto data = std::make_unique<CounterArrays>();
    data->rwrCount = 5;
    data->updCount = 6;
    data->functionCounts = counters.f;
    data->jumpCounts = counters.j;
    data->decisionTrueCounts = counters.dTrue;
    data->decisionFalseCounts = counters.dFalse;
    data->conditionCounts = counters.c;
    data->timeTotals = counters.tTotal;
    data->timeMaxima = counters.tMax;
    file.counterData = std::move(data);
    return file;
  }

  // The preparation pass, which the report needs before it.
  void prepare() {
    Outcome outcome = captureRun([] { prepareCounters(); });
    ASSERT_FALSE(outcome.ended) << outcome.err;
  }

  // Inserts a line (include lines, which header extraction writes after the
  // preparation pass) before line `index` of `file`.
  static void insertLine(MonitoredFile& file, size_t index, std::string_view literal) {
    file.descriptionLines.insert(file.descriptionLines.begin() + static_cast<std::ptrdiff_t>(index),
                                 storedDescriptionLine(literal));
  }

  // Runs the preparation pass (once) and writes the report to a file.
  Outcome run(std::string* document = nullptr) {
    std::string path = dir_.file("report.xml");
    Outcome outcome = captureRun([&] {
      if (!database().countersPrepared) prepareCounters();
      writeXmlReport(path);
    });
    if (document != nullptr) *document = readFile(path);
    return outcome;
  }

  // The whole report of a run that must succeed; it must be well-formed.
  std::string report() {
    std::string document;
    Outcome outcome = run(&document);
    EXPECT_FALSE(outcome.ended) << outcome.err;
    expectWellFormed(dir_.file("report.xml"));
    return document;
  }

  static void expectWellFormed(const std::string& path) {
    std::string command = "xmllint --noout '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << "xmllint rejects " << path;
  }

  // The text of the function block named `name`, from its start tag to its
  // end tag inclusive.
  static std::string functionBlock(const std::string& document, const std::string& name) {
    size_t start = document.find("\t\t<function name=\"" + name + "\">\n");
    if (start == std::string::npos) return "<no function " + name + ">";
    const std::string end = "\t\t</function>\n";
    return document.substr(start, document.find(end, start) + end.size() - start);
  }

  // The elements between <body> and </body> of a function block.
  static std::string bodyOf(const std::string& document, const std::string& name) {
    std::string block = functionBlock(document, name);
    const std::string open = "\t\t\t<body>\n";
    size_t start = block.find(open);
    if (start == std::string::npos) return "<no body>";
    start += open.size();
    return block.substr(start, block.find("\t\t\t</body>\n") - start);
  }

  // The text between the open and close tags of the first `element` at or
  // after `from`.
  static std::string valueOf(const std::string& text, const std::string& element, size_t from = 0) {
    const std::string open = "<" + element + ">";
    size_t start = text.find(open, from);
    if (start == std::string::npos) return "<no " + element + ">";
    start += open.size();
    return text.substr(start, text.find("</" + element + ">", start) - start);
  }

  TempDir dir_;
};

}  // namespace qar::test
