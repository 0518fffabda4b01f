#include "export/export_settings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "cmdline/postcmdl.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;

class ExportCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    setOptions(OptionSettings{});
    setExportSettings(ExportSettings{});
  }
  void TearDown() override { resetDiagnostics(); }

  Outcome parse(std::initializer_list<std::string> arguments) {
    std::vector<std::string> texts{"qarpost-export"};
    texts.insert(texts.end(), arguments);
    std::vector<const char*> argv;
    for (const std::string& text : texts) argv.push_back(text.c_str());
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    Outcome outcome = captureRun([&] { parseExportCommandLine(static_cast<int>(argv.size()), argv.data()); });
    std::filesystem::current_path(previous);
    return outcome;
  }

  static std::string usageError(const std::string& first, const std::string& second) {
    return "QARPost error 9: Erroneous command line, " + first + " " + second +
           "\nType 'qarpost-export --help' for usage information\n";
  }

  test::TempDir dir_;
};

TEST_F(ExportCommandLineTest, InputsAndSelectionAsQarpostReadsThem) {
  dir_.write("ci.opt", "--lcov ci.info\n-f \"src/*.c\"\n--fail-under line=75\n");
  Outcome outcome = parse({"prog", "run1.dat", "-fmcdc", "-nhe", "-nf", "*/gen/*", "@ci.opt", "--json", "-",
                           "--root", "/home/ci/repo", "--fail-under", "ter=90.5"});
  ASSERT_FALSE(outcome.ended) << outcome.err;
  const OptionSettings& settings = options();
  EXPECT_EQ(*settings.symbolFiles, (std::vector<std::string>{"prog.sym"}));
  EXPECT_EQ(*settings.dataFiles, (std::vector<std::string>{"run1.dat"}));
  EXPECT_EQ(settings.coverageView, CoverageView::Mcdc);
  EXPECT_TRUE(settings.noHeaderExtraction);
  EXPECT_EQ(*settings.chosenFiles, (std::vector<std::string>{"src/*.c"}));
  const ExportSettings& exports = exportSettings();
  EXPECT_EQ(*exports.outputs[static_cast<int>(ExportFormat::Lcov)], "ci.info");
  EXPECT_EQ(*exports.outputs[static_cast<int>(ExportFormat::Json)], "-");
  EXPECT_FALSE(exports.outputs[static_cast<int>(ExportFormat::Cobertura)]);
  EXPECT_EQ(*exports.root, "/home/ci/repo");
  ASSERT_EQ(exports.gates.size(), 2u);
  EXPECT_EQ(exports.gates[0].measure, GateMeasure::Line);
  EXPECT_EQ(exports.gates[1].measure, GateMeasure::Ter);
}

TEST_F(ExportCommandLineTest, UsageErrorsNameTheArgument) {
  struct Case {
    std::initializer_list<std::string> arguments;
    std::string first;
    std::string second;
  };
  const Case cases[] = {
      {{"a.sym", "--xml", "x"}, "unknown option", "--xml"},
      {{"a.sym", "--json", "j", "-x", "r.xml"}, "option not available in qarpost-export", "-x"},
      {{"a.sym", "--json", "j", "-w", "80"}, "option not available in qarpost-export", "-w"},
      {{"a.sym", "--json", "j", "-L"}, "option not available in qarpost-export", "-L"},
      {{"a.sym", "--lcov", "-", "--sonarqube", "-"}, "standard output named twice, again by", "--sonarqube"},
      {{"a.sym", "--lcov", "out", "--cobertura", "out"}, "output file named twice, again by", "--cobertura"},
      {{"a.sym", "--json"}, "argument missing for option", "--json"},
      {{"a.sym", "--json", "--lcov", "x"}, "argument missing for option", "--json"},
      {{"a.sym", "--json", "a.SYM"}, "argument missing for option", "--json"},
      {{"a.sym", "--fail-under", "line=200"}, "malformed gate", "line=200"},
      {{"a.sym", "-fd"}, "output or gate option missing", "--lcov|--cobertura|--sonarqube|--json|--html|--markdown|--fail-under"},
  };
  for (const Case& c : cases) {
    Outcome outcome = parse(c.arguments);
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, usageError(c.first, c.second));
  }
}

TEST_F(ExportCommandLineTest, HelpAndVersionEndTheRunWithStatusZero) {
  for (std::initializer_list<std::string> arguments :
       {std::initializer_list<std::string>{"--help"}, {"a.sym", "-h"}, {"--json", "x", "-?"}}) {
    Outcome outcome = parse(arguments);
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find("qarpost-export [general-options]"), std::string::npos);
    EXPECT_EQ(outcome.err, "");
  }
  Outcome version = parse({"--version"});
  EXPECT_TRUE(version.ended);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "9.1.4.1\n");
}

}  // namespace
}  // namespace qar
