#include "cmdline/postcmdl.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "cmdline/file_arguments.h"
#include "cmdline/options_file.h"
#include "test_support.h"

namespace qar {
namespace {

using test::Outcome;
using Strings = std::vector<std::string>;
using Arguments = std::initializer_list<std::string>;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { resetDiagnostics(); }

  // Parses `arguments` (without the program name) from inside `dir_`.
  Outcome parse(Arguments arguments) {
    Strings texts{"qarpost"};
    texts.insert(texts.end(), arguments);
    std::vector<const char*> argv;
    for (const std::string& text : texts) argv.push_back(text.c_str());
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    Outcome outcome = test::captureRun([&] { parseCommandLine(static_cast<int>(argv.size()), argv.data()); });
    std::filesystem::current_path(previous);
    return outcome;
  }

  static std::string commandLineError(const std::string& first, const std::string& second = "") {
    return "QARPost error 9: Erroneous command line, " + first + " " + second +
           "\nType 'qarpost -h' for usage information\n";
  }

  test::TempDir dir_;
};

TEST_F(CommandLineTest, FileArgumentsTargetsWidthsAndLists) {
  ASSERT_EQ(parse({"prog", "PROG.DAT", "prog.SYM", ".dat", "-p", ".dat", "-w", "080"}).err, "");
  EXPECT_EQ(*options().symbolFiles, (Strings{"prog.sym", "prog.SYM"}));
  EXPECT_EQ(*options().dataFiles, (Strings{"PROG.DAT", ".dat"}));
  EXPECT_EQ(*options().profileFile, ".dat");  // four characters: no ending
  EXPECT_EQ(options().listingWidth, 80u);
  EXPECT_EQ(options().commandLineText, "prog PROG.DAT prog.SYM .dat -p .dat -w 080");

  ASSERT_EQ(parse({"a.sym", "-a", ".sym"}).err, "");
  EXPECT_EQ(*options().addTargetSymbolFile, ".sym.sym");
  ASSERT_EQ(parse({"a.dat", "-a", "TOTAL.DAT"}).err, "");
  EXPECT_EQ(*options().addTargetDataFile, "TOTAL.DAT");
  ASSERT_EQ(parse({"-w", "", "-p", "r"}).err, "");
  EXPECT_EQ(options().listingWidth, 0u);
  ASSERT_EQ(parse({"-w", "99999999999999999999", "-p", "r"}).err, "");
  EXPECT_EQ(options().listingWidth, 4294967295u);

  ASSERT_EQ(parse({"-c", "a.ini", "-c", "b.ini", "-f", "a.c;;b.c;", "-f", "", "-nf", "x.c", "-C", "TICK=5", "-fd",
                   "-fc", "-p", "r"}).err, "");
  EXPECT_EQ(*options().configFileText, "a.ini;b.ini");
  EXPECT_EQ(*options().chosenFiles, (Strings{"a.c", "b.c"}));
  EXPECT_EQ(*options().unchosenFiles, (Strings{"x.c"}));
  EXPECT_EQ(*options().configOverrides, (Strings{"TICK=5"}));
  EXPECT_EQ(options().coverageView, CoverageView::Condition);
}

TEST_F(CommandLineTest, OptionArgumentsAndConsistencyChecks) {
  struct Refused {
    Arguments arguments;
    std::string error;
  };
  const Refused refused[] = {
      {{"-x", "a.sym"}, commandLineError("argument missing for option", "-x")},
      {{"-u", "-q"}, commandLineError("argument missing for option", "-u")},
      {{"-t"}, commandLineError("argument missing for option", "-t")},
      {{"-f", "-p", "x"}, commandLineError("argument missing for option", "-f")},
      {{"-c", "-"}, commandLineError("argument missing for option", "-c")},
      {{"-P", "x"}, commandLineError("unknown option", "-P")},
      {{"a.sym", "-", "-p", "x"}, commandLineError("unknown option", "-")},
      {{"a.dat", "-a", "t.dat", "-l"}, commandLineError("options -l and -a cannot be used simultaneously")},
      {{"a.sym", "a.dat", "-a", "t.dat"}, commandLineError("no symfiles are needed while adding datafiles")},
      {{"a.sym", "a.dat", "-a", "t"}, commandLineError("no datafiles are needed while adding symbolfiles")},
      {{"-a", "t.dat"}, commandLineError("adding datafiles requires dat-file argument(s)")},
      {{"-a", "t"}, commandLineError("adding symbolfiles requires sym-file argument(s)")},
      {{"a.dat", "-a", "t.dat", "-fd"}, commandLineError("cannot write listings while adding datafiles")},
      {{"a.sym", "-a", "t", "-w", "80"}, commandLineError("cannot write listings while adding symbolfiles")},
      {{"-L"}, commandLineError("-l option requires sym- or dat-file argument(s)")},
      {{"a.sym", "-l", "-p", "r"}, commandLineError("cannot write listings with -l option")},
      {{"a.sym"}, commandLineError("listing or adding option missing")},
      {{"-C", "TICK=1"}, commandLineError("listing or adding option missing")},
      {{"-c", "x.ini"}, commandLineError("listing or adding option missing")},
      {{"-f", "a.c"}, commandLineError("listing or adding option missing")},
  };
  for (const auto& [arguments, error] : refused) {
    Outcome outcome = parse(arguments);
    EXPECT_EQ(outcome.status, 1) << error;
    EXPECT_EQ(outcome.err, error);
  }
  for (Arguments arguments : {Arguments{"-V"}, {"-onlycf"}, {"-c", "x.ini", "-V"}, {"a.dat", "-a", "t.dat"},
                              {"a.sym", "-nhe", "-x", "r.xml"}, {"-p", "-"}}) {
    EXPECT_EQ(parse(arguments).err, "");
  }
}

TEST_F(CommandLineTest, OptionsFilesExpandWhereTheyStandAndMayNotIncludeThemselves) {
  dir_.write("inner.txt", "x.sym");
  dir_.write("outer.txt", "-p r.txt @inner.txt");
  ASSERT_EQ(parse({"@", "outer.txt", "@@y.sym"}).err, "");
  EXPECT_EQ(*options().symbolFiles, (Strings{"x.sym", "@y.sym"}));
  EXPECT_EQ(*options().profileFile, "r.txt");
  EXPECT_EQ(options().commandLineText, "@ @@y.sym");

  dir_.write("a.txt", "-p r.txt @b.txt");
  dir_.write("b.txt", "@./a.txt");
  EXPECT_EQ(parse({"@a.txt"}).err, commandLineError("options file includes itself:", "./a.txt"));
  std::filesystem::create_directory(dir_.path() / "adir");
  EXPECT_EQ(parse({"@adir"}).err, "QARPost error 16: Cannot read file adir: Is a directory\n");
}

TEST(OptionsFileTokens, QuotesCommentsAndWhiteSpace) {
  const std::pair<std::string, Strings> cases[] = {
      {"-p prof.txt\n# comment\n  # not a comment\n", {"-p", "prof.txt", "#", "not", "a", "comment"}},
      {"\"a b\"c d", {"a b", "d"}},  // the character after a closing quote is passed over
      {"\"\" x", {"", "x"}},
      {"x \"", {"x"}},
      {"\"open\nended", {"open\nended"}},
      {"a\"b c", {"a\"b", "c"}},
      {"# one\n#two\r\n-V\f-l\v\tx", {"-V", "-l", "x"}},
      {"a#b #c", {"a#b", "#c"}},
      {"\"q\"\n#c\nz", {"q", "z"}},
  };
  for (const auto& [text, tokens] : cases) EXPECT_EQ(tokenizeOptionsText(text), tokens) << text;
}

TEST(FileArgumentPatterns, WildcardsInTheLastComponentOnly) {
  EXPECT_TRUE(matchSearchPattern("a?c*", "abc"));
  EXPECT_FALSE(matchSearchPattern("a?c", "ac"));
  EXPECT_TRUE(matchSearchPattern("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(matchSearchPattern("*.sym", "a.SYM"));

  test::TempDir dir;
  for (const char* name : {"runs/b.dat", "runs/a.dat", "runs/c.sym"}) dir.write(name, "");
  const std::string runs = dir.path().string() + "/runs/";
  EXPECT_EQ(expandFileArgument(runs + "*.dat"), (Strings{runs + "a.dat", runs + "b.dat"}));
  EXPECT_EQ(expandFileArgument(runs + "?.*"), (Strings{runs + "a.dat", runs + "b.dat", runs + "c.sym"}));
  EXPECT_EQ(expandFileArgument(runs + "*.none"), (Strings{runs + "*.none"}));
  EXPECT_EQ(expandFileArgument(dir.path().string() + "/r*/a.dat"), (Strings{dir.path().string() + "/r*/a.dat"}));
  EXPECT_TRUE(expandFileArgument("").empty());
}

}  // namespace
}  // namespace qar
