// Reading an earlier run's JSON export back: its sources, and a clear
// refusal of anything else.
#include "export/change/baseline_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace qar {
namespace {

std::string exportText(std::string_view version, std::string_view sources) {
  return std::string("{\"format_version\": ") + std::string(version) +
         ", \"generator\": {\"name\": \"qarpost-export\", \"version\": \"9\"}, \"files\": [], \"sources\": [" +
         std::string(sources) + "], \"summary\": {}}";
}

constexpr std::string_view kSource =
    "{\"path\": \"src/a\\u00e9.c\", \"functions\": [{\"name\": \"main\", \"line\": 3, \"calls\": 1}],"
    " \"lines\": [[3, 1], [5, 0]], \"branches\": [[5, 0, 0, 0, \"true\"], [5, 0, 1, 2, \"false\"]],"
    " \"line_coverage\": {}}";

TEST(BaselineReader, ReadsSourcesOfVersionsOneAndTwo) {
  for (std::string_view version : {"1", "2"}) {
    BaselineResult read = parseBaseline(exportText(version, kSource));
    ASSERT_TRUE(read.baseline) << read.error;
    const Baseline& b = *read.baseline;
    ASSERT_EQ(b.sources.size(), 1u);
    const BaselineSource& s = b.sources[0];
    EXPECT_EQ(s.path, "src/a\xc3\xa9.c");
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[1].line, 5u);
    EXPECT_EQ(s.lines[1].hits, 0u);
    ASSERT_EQ(s.branches.size(), 2u);
    EXPECT_EQ(s.branches[1].kind, BranchKind::False);
    EXPECT_EQ(s.branches[1].taken, 2u);
    ASSERT_EQ(s.functions.size(), 1u);
    EXPECT_EQ(s.functions[0].name, "main");
  }
}

TEST(BaselineReader, ReadsLineCountsStatementsAndConditionsOfFiles) {
  std::string text = exportText("1", kSource);
  const std::string files =
      "\"files\": [{\"path\": \"src/a.c\", \"source_lines\": 40, \"statements\": {\"hits\": 7, \"total\": 9},"
      " \"functions\": [{\"multiconditions\": [{\"line\": 12, \"conditions\": [{\"condition\": 1, \"covered\": true},"
      " {\"condition\": 2, \"covered\": false}]}]}, {\"multiconditions\": []}]}]";
  text.replace(text.find("\"files\": []"), 11, files);
  BaselineResult read = parseBaseline(text);
  ASSERT_TRUE(read.baseline) << read.error;
  ASSERT_EQ(read.baseline->files.size(), 1u);
  const BaselineFile& f = read.baseline->files[0];
  EXPECT_EQ(f.path, "src/a.c");
  EXPECT_EQ(f.sourceLines, 40u);
  EXPECT_EQ(f.statementHits, 7u);
  EXPECT_EQ(f.statementTotal, 9u);
  ASSERT_EQ(f.conditions.size(), 2u);
  EXPECT_EQ(f.conditions[1].line, 12u);
  EXPECT_EQ(f.conditions[1].number, 2u);
  EXPECT_FALSE(f.conditions[1].covered);
  // A condition without its flag is a malformed file entry.
  const std::string flag = "\"covered\": false";
  text.replace(text.find(flag), flag.size(), "\"covered\": 0");
  read = parseBaseline(text);
  EXPECT_FALSE(read.baseline);
  EXPECT_NE(read.error.find("entry 1 of files"), std::string::npos) << read.error;
}

TEST(BaselineReader, RefusesWhatIsNotSuchAnExport) {
  const std::string good = exportText("1", kSource);
  struct Case {
    std::string text;
    std::string_view reason;
  } cases[] = {
      {good.substr(0, good.size() / 2), "not a JSON document"},  // cut short
      {good + "x", "not a JSON document"},
      {"", "not a JSON document"},
      {"{\"a\": [1, 2,]}", "not a JSON document"},
      {"[1, 2]", "not a JSON export"},
      {"{\"format_version\": 1, \"generator\": {\"name\": \"other\"}, \"sources\": []}", "not a JSON export"},
      {exportText("3", ""), "format_version"},
      {exportText("1.5", ""), "format_version"},
      {exportText("1", "{\"path\": \"a\", \"functions\": [], \"lines\": [[1]], \"branches\": []}"), "entry 1"},
      {exportText("1", "{\"path\": \"a\", \"functions\": [], \"lines\": [[-1, 2]], \"branches\": []}"), "entry 1"},
      {exportText("1", "{\"path\": \"a\", \"functions\": [], \"lines\": [], \"branches\": [[1, 0, 0, 1, \"maybe\"]]}"),
       "entry 1"},
  };
  for (const Case& c : cases) {
    BaselineResult read = parseBaseline(c.text);
    EXPECT_FALSE(read.baseline) << c.text;
    EXPECT_NE(read.error.find(c.reason), std::string::npos) << c.text << " -> " << read.error;
  }
}

TEST(BaselineReader, DeepNestingIsRefusedNotRecursedInto) {
  BaselineResult read = parseBaseline(std::string(100000, '['));
  EXPECT_FALSE(read.baseline);
}

}  // namespace
}  // namespace qar
