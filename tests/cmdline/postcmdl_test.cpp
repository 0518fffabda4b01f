#include "cmdline/postcmdl.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "cmdline/file_arguments.h"
#include "cmdline/options_file.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;
using test::Outcome;
using Strings = std::vector<std::string>;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDiagnostics();
    setOptions(OptionSettings{});
  }

  // Parses `arguments` (without the program name) from inside `dir_`.
  Outcome parse(std::initializer_list<std::string> arguments) {
    Strings texts{"qarpost"};
    texts.insert(texts.end(), arguments);
    std::vector<const char*> argv;
    for (const std::string& text : texts) argv.push_back(text.c_str());
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    Outcome outcome = captureRun([&] { parseCommandLine(static_cast<int>(argv.size()), argv.data()); });
    std::filesystem::current_path(previous);
    return outcome;
  }

  static std::string commandLineError(const std::string& first, const std::string& second) {
    return "QARPost error 9: Erroneous command line, " + first + " " + second +
           "\nType 'qarpost -h' for usage information\n";
  }

  test::TempDir dir_;
};

TEST_F(CommandLineTest, FileArgumentsAreSortedIntoSymbolAndDataFiles) {
  Outcome outcome = parse({"prog", "PROG.DAT", "prog.SYM", ".dat", "-p", "-"});
  ASSERT_FALSE(outcome.ended) << outcome.err;
  EXPECT_EQ(*options().symbolFiles, (Strings{"prog.sym", "prog.SYM"}));
  EXPECT_EQ(*options().dataFiles, (Strings{"PROG.DAT", ".dat"}));
  EXPECT_EQ(*options().profileFile, "-");
  EXPECT_EQ(options().commandLineText, "prog PROG.DAT prog.SYM .dat -p -");
}

TEST_F(CommandLineTest, AddTargetsTakeTheirKindFromTheEnding) {
  ASSERT_FALSE(parse({"a.sym", "-a", "total"}).ended);
  EXPECT_EQ(*options().addTargetSymbolFile, "total.sym");
  ASSERT_FALSE(parse({"a.dat", "-a", "TOTAL.DAT"}).ended);
  EXPECT_EQ(*options().addTargetDataFile, "TOTAL.DAT");
  ASSERT_FALSE(parse({"a.sym", "-a", ".sym"}).ended);  // too short to count as an ending
  EXPECT_EQ(*options().addTargetSymbolFile, ".sym.sym");
  ASSERT_FALSE(parse({"a.sym", "-a", "x", "-a", "y.SYM"}).ended);
  EXPECT_EQ(*options().addTargetSymbolFile, "y.SYM");
}

TEST_F(CommandLineTest, ListingWidthAndLists) {
  ASSERT_FALSE(parse({"-w", "080", "-p", "r.txt"}).ended);
  EXPECT_EQ(options().listingWidth, 80u);
  EXPECT_TRUE(options().widthGiven);
  ASSERT_FALSE(parse({"-w", "", "-p", "r.txt"}).ended);
  EXPECT_EQ(options().listingWidth, 0u);
  ASSERT_FALSE(parse({"-w", "99999999999999999999", "-p", "r.txt"}).ended);
  EXPECT_EQ(options().listingWidth, 4294967295u);

  Outcome outcome = parse({"-w", "8x", "-p", "r.txt"});
  EXPECT_EQ(outcome.err, commandLineError("bad listing width", "8x"));

  ASSERT_FALSE(parse({"-c", "a.ini", "-c", "b.ini", "-f", "a.c;;b.c", "-f", "", "-nf", "x.c", "-p", "r"}).ended);
  EXPECT_EQ(*options().configFileText, "a.ini;b.ini");
  EXPECT_EQ(*options().chosenFiles, (Strings{"a.c", "b.c"}));
  EXPECT_EQ(*options().unchosenFiles, (Strings{"x.c"}));
  EXPECT_FALSE(options().configOverrides.has_value());

  ASSERT_FALSE(parse({"-C", "TICK=5", "-fd", "-fc", "-p", "r"}).ended);
  EXPECT_EQ(*options().configOverrides, (Strings{"TICK=5"}));
  EXPECT_EQ(options().coverageView, CoverageView::Condition);
  EXPECT_TRUE(options().viewGiven);
}

TEST_F(CommandLineTest, OptionArgumentsAreChecked) {
  EXPECT_EQ(parse({"-p", "out.dat"}).err, commandLineError("argument missing for option", "-p"));
  EXPECT_EQ(parse({"-x", "a.sym"}).err, commandLineError("argument missing for option", "-x"));
  EXPECT_EQ(parse({"-u", "-q"}).err, commandLineError("argument missing for option", "-u"));
  EXPECT_EQ(parse({"-t"}).err, commandLineError("argument missing for option", "-t"));
  EXPECT_EQ(parse({"-f", "-p", "x"}).err, commandLineError("argument missing for option", "-f"));
  EXPECT_EQ(parse({"-c", "-"}).err, commandLineError("argument missing for option", "-c"));
  EXPECT_EQ(parse({"-P", "x"}).err, commandLineError("unknown option", "-P"));
  EXPECT_EQ(parse({"a.sym", "-", "-p", "x"}).err, commandLineError("unknown option", "-"));
  Outcome outcome = parse({"-p", ".dat"});  // four characters: not refused
  EXPECT_FALSE(outcome.ended) << outcome.err;
}

TEST_F(CommandLineTest, HelpEndsParsingWithUsageAndStatusZero) {
  Outcome outcome = parse({"-x", "report", "-h", "-bogus"});
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out.rfind("\nThis is Tarvo (v9.1.4.1) Postprocessor", 0), 0u);

  outcome = parse({});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.out.find("Usage:\nqarpost [general-options]"), std::string::npos);
}

TEST_F(CommandLineTest, ConsistencyChecksInTheirOrder) {
  struct Case {
    std::initializer_list<std::string> arguments;
    const char* text;
  };
  const Case cases[] = {
      {{"a.dat", "-a", "t.dat", "-l"}, "options -l and -a cannot be used simultaneously"},
      {{"a.sym", "a.dat", "-a", "t.dat"}, "no symfiles are needed while adding datafiles"},
      {{"a.sym", "a.dat", "-a", "t"}, "no datafiles are needed while adding symbolfiles"},
      {{"-a", "t.dat"}, "adding datafiles requires dat-file argument(s)"},
      {{"-a", "t"}, "adding symbolfiles requires sym-file argument(s)"},
      {{"a.dat", "-a", "t.dat", "-fd"}, "cannot write listings while adding datafiles"},
      {{"a.sym", "-a", "t", "-w", "80"}, "cannot write listings while adding symbolfiles"},
      {{"-L"}, "-l option requires sym- or dat-file argument(s)"},
      {{"a.sym", "-l", "-p", "r"}, "cannot write listings with -l option"},
      {{"a.sym", "-nhe", "-l"}, "-nhe option requires also -p|-u|-t|-x|-j"},
      {{"-v"}, "listing or adding option missing"},
      {{"a.sym"}, "listing or adding option missing"},
      {{"-C", "TICK=1"}, "listing or adding option missing"},
      {{"-c", "x.ini"}, "listing or adding option missing"},
      {{"-f", "a.c"}, "listing or adding option missing"},
  };
  for (const Case& c : cases) {
    Outcome outcome = parse(c.arguments);
    EXPECT_EQ(outcome.status, 1) << c.text;
    EXPECT_EQ(outcome.err, commandLineError(c.text, "")) << c.text;
  }
  for (auto arguments : {std::initializer_list<std::string>{"-V"}, {"-onlycf"}, {"-c", "x.ini", "-V"},
                         {"a.dat", "-a", "t.dat"}, {"a.sym", "-nhe", "-x", "r.xml"}}) {
    Outcome outcome = parse(arguments);
    EXPECT_FALSE(outcome.ended) << outcome.err;
  }
}

TEST_F(CommandLineTest, OptionsFilesExpandWhereTheyStand) {
  dir_.write("opts.txt", "-p prof.txt\n# comment\n  # not a comment\n");
  Outcome outcome = parse({"@opts.txt"});
  EXPECT_EQ(outcome.err, "");  // "#", "not", "a", "comment" are symbol files
  EXPECT_EQ(*options().profileFile, "prof.txt");
  EXPECT_EQ(*options().symbolFiles, (Strings{"#.sym", "not.sym", "a.sym", "comment.sym"}));
  EXPECT_EQ(options().commandLineText, "@opts.txt");

  dir_.write("inner.txt", "x.sym");
  dir_.write("outer.txt", "-p r.txt @inner.txt");
  ASSERT_FALSE(parse({"@", "outer.txt", "@@y.sym"}).ended);
  EXPECT_EQ(*options().symbolFiles, (Strings{"x.sym", "@y.sym"}));
  EXPECT_EQ(options().commandLineText, "@ @@y.sym");

  EXPECT_EQ(parse({"-p", "r", "@"}).err, commandLineError("argument missing for option", "@"));
}

TEST_F(CommandLineTest, OptionsFileErrors) {
  Outcome outcome = parse({"@missing.txt"});
  EXPECT_EQ(outcome.err, "QARPost error 14: Cannot open file missing.txt: No such file or directory\n");

  dir_.write("a.txt", "-p r.txt @b.txt");
  dir_.write("b.txt", "@./a.txt");
  outcome = parse({"@a.txt"});
  EXPECT_EQ(outcome.err, commandLineError("options file includes itself:", "./a.txt"));

  std::filesystem::create_directory(dir_.path() / "adir");
  outcome = parse({"@adir"});
  EXPECT_EQ(outcome.err, "QARPost error 16: Cannot read file adir: Is a directory\n");
}

TEST(OptionsFileTokens, QuotesCommentsAndWhiteSpace) {
  EXPECT_EQ(tokenizeOptionsText("-p prof.txt\n# comment\n  # not a comment\n"),
            (Strings{"-p", "prof.txt", "#", "not", "a", "comment"}));
  EXPECT_EQ(tokenizeOptionsText("\"a b\"c d"), (Strings{"a b", "d"}));
  EXPECT_EQ(tokenizeOptionsText("\"\" x"), (Strings{"", "x"}));
  EXPECT_EQ(tokenizeOptionsText("x \""), (Strings{"x"}));
  EXPECT_EQ(tokenizeOptionsText("\"open\nended"), (Strings{"open\nended"}));
  EXPECT_EQ(tokenizeOptionsText("a\"b c"), (Strings{"a\"b", "c"}));
  EXPECT_EQ(tokenizeOptionsText("# one\n#two\r\n-V\f-l\v\tx"), (Strings{"-V", "-l", "x"}));
  EXPECT_EQ(tokenizeOptionsText("a#b #c"), (Strings{"a#b", "#c"}));
  // The character after a closing quote is passed over: a line end there
  // still makes the next "#" a comment.
  EXPECT_EQ(tokenizeOptionsText("\"q\"\n#c\nz"), (Strings{"q", "z"}));
  std::string huge(100000, 'k');
  EXPECT_EQ(tokenizeOptionsText(huge + " y"), (Strings{huge, "y"}));
}

TEST(FileArgumentPatterns, WildcardsInTheLastComponentOnly) {
  EXPECT_TRUE(matchSearchPattern("*.sym", "a.sym"));
  EXPECT_TRUE(matchSearchPattern("a?c*", "abc"));
  EXPECT_FALSE(matchSearchPattern("a?c", "ac"));
  EXPECT_TRUE(matchSearchPattern("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(matchSearchPattern("*.sym", "a.SYM"));

  test::TempDir dir;
  dir.write("runs/b.dat", "");
  dir.write("runs/a.dat", "");
  dir.write("runs/c.sym", "");
  std::string base = dir.path().string();
  EXPECT_EQ(expandFileArgument(base + "/runs/*.dat"), (Strings{base + "/runs/a.dat", base + "/runs/b.dat"}));
  EXPECT_EQ(expandFileArgument(base + "/runs/?.*"),
            (Strings{base + "/runs/a.dat", base + "/runs/b.dat", base + "/runs/c.sym"}));
  EXPECT_EQ(expandFileArgument(base + "/runs/*.none"), (Strings{base + "/runs/*.none"}));
  EXPECT_EQ(expandFileArgument(base + "/r*/a.dat"), (Strings{base + "/r*/a.dat"}));
  EXPECT_EQ(expandFileArgument("plain"), (Strings{"plain"}));
  EXPECT_TRUE(expandFileArgument("").empty());
}

}  // namespace
}  // namespace qar
