// Reading unified diffs as git and diff -u write them: names, statuses,
// changed lines, old-to-new line mapping, and refusals that name the line.
#include "export/change/unified_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qar {
namespace {

UnifiedDiff parsed(std::string_view text) {
  DiffReadResult read = parseUnifiedDiff(text);
  EXPECT_TRUE(read.diff) << read.error;
  return read.diff ? *read.diff : UnifiedDiff{};
}

constexpr std::string_view kTwoHunks =
    "diff --git a/src/main.c b/src/main.c\n"
    "index 1111111..2222222 100644\n"
    "--- a/src/main.c\n"
    "+++ b/src/main.c\n"
    "@@ -2,4 +2,5 @@ int main(void)\n"
    " int a;\n"
    "-int b;\n"
    "+int b2;\n"
    "+int b3;\n"
    " int c;\n"
    " int d;\n"
    "@@ -20,3 +21,2 @@\n"
    " x\n"
    "-y\n"
    " z\n";

TEST(UnifiedDiff, ReadsHunksWithAddedAndRemovedLines) {
  UnifiedDiff diff = parsed(kTwoHunks);
  ASSERT_EQ(diff.files.size(), 1u);
  const DiffFile& f = diff.files[0];
  EXPECT_EQ(f.oldPath, "src/main.c");
  EXPECT_EQ(f.newPath, "src/main.c");
  EXPECT_EQ(f.status, DiffStatus::Modified);
  ASSERT_EQ(f.hunks.size(), 2u);
  EXPECT_EQ(f.hunks[0].oldStart, 2u);
  EXPECT_EQ(f.hunks[0].newCount, 5u);
  const auto lines = [](std::span<const uint32_t> span) { return std::vector<uint32_t>(span.begin(), span.end()); };
  EXPECT_EQ(lines(f.removed(f.hunks[0])), std::vector<uint32_t>{3});
  EXPECT_EQ(lines(f.removed(f.hunks[1])), std::vector<uint32_t>{21});
  EXPECT_EQ(lines(f.added(f.hunks[0])), (std::vector<uint32_t>{3, 4}));
  EXPECT_TRUE(f.added(f.hunks[1]).empty());
  EXPECT_EQ(f.hunks[1].headerLine, 12u);
  EXPECT_EQ(changedLines(f), (std::vector<uint32_t>{3, 4}));
}

TEST(UnifiedDiff, MapsOldLinesToNewOnes) {
  const DiffFile f = parsed(kTwoHunks).files.at(0);
  EXPECT_EQ(newLineOf(f, 1), 1u);             // before every hunk
  EXPECT_EQ(newLineOf(f, 2), 2u);             // context before the change
  EXPECT_EQ(newLineOf(f, 3), std::nullopt);   // removed
  EXPECT_EQ(newLineOf(f, 4), 5u);             // context after two added lines
  EXPECT_EQ(newLineOf(f, 5), 6u);
  EXPECT_EQ(newLineOf(f, 10), 11u);           // between the hunks
  EXPECT_EQ(newLineOf(f, 20), 21u);
  EXPECT_EQ(newLineOf(f, 21), std::nullopt);
  EXPECT_EQ(newLineOf(f, 22), 22u);
  EXPECT_EQ(newLineOf(f, 100), 100u);         // after every hunk
}

// Every old line of a file changed by four kinds of hunk maps to where the
// same line stands in the new file, or to nothing where it was removed.
TEST(UnifiedDiff, EveryOldLineFoundInTheNewFile) {
  const DiffFile f = parsed(
                         "--- a/f.c\n+++ b/f.c\n"
                         "@@ -2,0 +3,2 @@\n+n1\n+n2\n"                      // inserted after o2
                         "@@ -5,1 +6,0 @@\n-o5\n"                           // o5 removed
                         "@@ -9,3 +10,4 @@\n o9\n-o10\n+n3\n+n4\n o11\n"  // o10 rewritten
                         "@@ -15,2 +17,1 @@\n-o15\n-o16\n+n5\n")          // two lines into one
                         .files.at(0);
  std::vector<std::string> newFile;
  for (int k = 1; k <= 20; ++k) newFile.push_back("o" + std::to_string(k));
  const auto replace = [&newFile](const std::string& at, int count, std::vector<std::string> with) {
    auto from = std::find(newFile.begin(), newFile.end(), at);
    from = newFile.erase(from, from + count);
    newFile.insert(from, with.begin(), with.end());
  };
  replace("o15", 2, {"n5"});
  replace("o10", 1, {"n3", "n4"});
  replace("o5", 1, {});
  replace("o3", 0, {"n1", "n2"});
  for (uint32_t old = 1; old <= 20; ++old) {
    const auto at = std::find(newFile.begin(), newFile.end(), "o" + std::to_string(old));
    const std::optional<uint32_t> expected =
        at == newFile.end() ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(at - newFile.begin() + 1));
    EXPECT_EQ(newLineOf(f, old), expected) << "old line " << old;
  }
  EXPECT_EQ(newLineOf(f, 25), 26u);  // past the file's old end
}

TEST(UnifiedDiff, MapsAroundPureInsertionsAndDeletions) {
  // -U0 hunks: a count of 0 puts the start on the line before.
  const DiffFile f = parsed(
                         "--- a/x.c\n+++ b/x.c\n"
                         "@@ -3,0 +4,2 @@\n+new1\n+new2\n"
                         "@@ -10,2 +11,0 @@\n-gone1\n-gone2\n")
                         .files.at(0);
  EXPECT_EQ(changedLines(f), (std::vector<uint32_t>{4, 5}));
  EXPECT_EQ(newLineOf(f, 3), 3u);
  EXPECT_EQ(newLineOf(f, 4), 6u);
  EXPECT_EQ(newLineOf(f, 9), 11u);
  EXPECT_EQ(newLineOf(f, 10), std::nullopt);
  EXPECT_EQ(newLineOf(f, 11), std::nullopt);
  EXPECT_EQ(newLineOf(f, 12), 12u);
}

TEST(UnifiedDiff, ReadsGitStatuses) {
  UnifiedDiff diff = parsed(
      "diff --git a/new.c b/new.c\n"
      "new file mode 100644\n"
      "index 0000000..3333333\n"
      "--- /dev/null\n"
      "+++ b/new.c\n"
      "@@ -0,0 +1,2 @@\n+a\n+b\n"
      "diff --git a/old.c b/old.c\n"
      "deleted file mode 100644\n"
      "--- a/old.c\n"
      "+++ /dev/null\n"
      "@@ -1 +0,0 @@\n-a\n"
      "diff --git a/dir/one.c b/dir/two.c\n"
      "similarity index 90%\n"
      "rename from dir/one.c\n"
      "rename to dir/two.c\n"
      "--- a/dir/one.c\n"
      "+++ b/dir/two.c\n"
      "@@ -1 +1 @@\n-a\n+b\n"
      "diff --git a/p.c b/q.c\n"
      "similarity index 100%\n"
      "copy from p.c\n"
      "copy to q.c\n"
      "diff --git a/run.sh b/run.sh\n"
      "old mode 100644\n"
      "new mode 100755\n"
      "diff --git a/logo.png b/logo.png\n"
      "index 4444444..5555555 100644\n"
      "Binary files a/logo.png and b/logo.png differ\n"
      "diff --git a/empty.txt b/empty.txt\n"
      "new file mode 100644\n"
      "index 0000000..e69de29\n");
  ASSERT_EQ(diff.files.size(), 7u);
  EXPECT_EQ(diff.files[0].status, DiffStatus::New);
  EXPECT_EQ(diff.files[0].oldPath, "");
  EXPECT_EQ(diff.files[0].newPath, "new.c");
  EXPECT_EQ(changedLines(diff.files[0]), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(diff.files[1].status, DiffStatus::Deleted);
  EXPECT_EQ(diff.files[1].path(), "old.c");
  EXPECT_TRUE(changedLines(diff.files[1]).empty());
  EXPECT_EQ(diff.files[2].status, DiffStatus::Renamed);
  EXPECT_EQ(diff.files[2].oldPath, "dir/one.c");
  EXPECT_EQ(diff.files[2].newPath, "dir/two.c");
  EXPECT_EQ(diff.files[3].status, DiffStatus::Copied);
  EXPECT_EQ(diff.files[3].oldPath, "p.c");
  EXPECT_EQ(diff.files[3].newPath, "q.c");
  EXPECT_TRUE(diff.files[3].hunks.empty());
  EXPECT_TRUE(diff.files[4].modeOnly());
  EXPECT_EQ(diff.files[4].newMode, "100755");
  EXPECT_EQ(diff.files[4].newPath, "run.sh");
  EXPECT_TRUE(diff.files[5].binary);
  EXPECT_EQ(diff.files[5].newPath, "logo.png");
  EXPECT_EQ(diff.files[6].status, DiffStatus::New);
  EXPECT_EQ(diff.files[6].newPath, "empty.txt");
}

TEST(UnifiedDiff, ReadsNamesWithoutPrefixesQuotedOrWithBlanks) {
  UnifiedDiff diff = parsed(
      "diff --git src/a.c src/a.c\n"
      "--- src/a.c\n"
      "+++ src/a.c\n"
      "@@ -1 +1 @@\n-a\n+b\n"
      "diff --git \"a/my dir/caf\\303\\251.c\" \"b/my dir/caf\\303\\251.c\"\n"
      "--- \"a/my dir/caf\\303\\251.c\"\n"
      "+++ \"b/my dir/caf\\303\\251.c\"\n"
      "@@ -1 +1 @@\n-a\n+b\n"
      "diff --git a/with blank.c b/with blank.c\n"
      "--- a/with blank.c\t\n"
      "+++ b/with blank.c\t\n"
      "@@ -1 +1 @@\n-a\n+b\n"
      "diff --git a/tab\\there.c b/tab\\there.c\n"
      "old mode 100644\n"
      "new mode 100755\n"
      "diff --git \"a/q\\\"uote.c\" \"b/q\\\"uote.c\"\n"
      "old mode 100644\n"
      "new mode 100755\n"
      "diff --git a/sp ace.c b/sp ace.c\n"
      "old mode 100644\n"
      "new mode 100755\n");
  ASSERT_EQ(diff.files.size(), 6u);
  EXPECT_EQ(diff.files[0].newPath, "src/a.c");
  EXPECT_EQ(diff.files[1].newPath, "my dir/caf\xc3\xa9.c");
  EXPECT_EQ(diff.files[1].oldPath, "my dir/caf\xc3\xa9.c");
  EXPECT_EQ(diff.files[2].newPath, "with blank.c");
  EXPECT_EQ(diff.files[3].newPath, "tab\\there.c");  // unquoted: a backslash is a backslash
  EXPECT_EQ(diff.files[4].newPath, "q\"uote.c");
  EXPECT_EQ(diff.files[5].newPath, "sp ace.c");
}

TEST(UnifiedDiff, ReadsCrlfAndNoNewlineMarkers) {
  UnifiedDiff diff = parsed(
      "diff --git a/w.c b/w.c\r\n"
      "--- a/w.c\r\n"
      "+++ b/w.c\r\n"
      "@@ -1,2 +1,2 @@\r\n"
      " a\r\n"
      "-b\r\n"
      "\\ No newline at end of file\r\n"
      "+c\r\n"
      "\\ No newline at end of file\r\n");
  ASSERT_EQ(diff.files.size(), 1u);
  EXPECT_EQ(diff.files[0].newPath, "w.c");
  EXPECT_EQ(changedLines(diff.files[0]), std::vector<uint32_t>{2});
}

TEST(UnifiedDiff, ReadsPlainDiffsAndPassesOverTextAroundFiles) {
  UnifiedDiff diff = parsed(
      "From 123 Mon Sep 17 00:00:00 2001\n"
      "Subject: [PATCH] fix\n"
      "---\n"
      " a.c | 2 +-\n"
      "\n"
      "diff -ur a/a.c b/a.c\n"
      "--- a/a.c\t2024-01-01 10:00:00.000000000 +0000\n"
      "+++ b/a.c\t2024-01-02 10:00:00.000000000 +0000\n"
      "@@ -1,2 +1,2 @@\n"
      "-x\n"
      "+y\n"
      "\n"                     // an unchanged empty line that lost its blank
      "Only in b: extra.o\n"
      "--- old/lib.c\t2024-01-01\n"
      "+++ new/lib.c\t2024-01-01\n"
      "@@ -0,0 +1 @@\n"
      "+z\n"
      "Binary files a/pic.bin and b/pic.bin differ\n"
      "-- \n"
      "2.39.0\n");
  ASSERT_EQ(diff.files.size(), 3u);
  EXPECT_EQ(diff.files[0].newPath, "a.c");
  EXPECT_EQ(changedLines(diff.files[0]), std::vector<uint32_t>{1});
  EXPECT_EQ(diff.files[1].oldPath, "old/lib.c");  // not git's prefixes: kept
  EXPECT_EQ(diff.files[1].newPath, "new/lib.c");
  EXPECT_EQ(changedLines(diff.files[1]), std::vector<uint32_t>{1});
  EXPECT_TRUE(diff.files[2].binary);
  EXPECT_EQ(diff.files[2].newPath, "pic.bin");
}

TEST(UnifiedDiff, PassesOverGitBinaryPatches) {
  UnifiedDiff diff = parsed(
      "diff --git a/b.bin b/b.bin\n"
      "index 1..2 100644\n"
      "GIT binary patch\n"
      "literal 3\n"
      "KcmZ?wZ~y=S00IC2\n"
      "\n"
      "literal 0\n"
      "HcmV?d00001\n"
      "\n"
      "diff --git a/c.c b/c.c\n"
      "--- a/c.c\n+++ b/c.c\n@@ -1 +1 @@\n-a\n+b\n");
  ASSERT_EQ(diff.files.size(), 2u);
  EXPECT_TRUE(diff.files[0].binary);
  EXPECT_EQ(diff.files[1].newPath, "c.c");
}

TEST(UnifiedDiff, RefusesMalformedDiffsNamingTheLine) {
  struct Case {
    std::string_view text;
    uint32_t line;
    std::string_view reason;
  };
  const Case cases[] = {
      {"--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n a\n", 5, "ends inside the hunk on line 3"},
      {"--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n a\n+b\n+c\n", 6, "does not fit the counts of the hunk on line 3"},
      {"--- a/x\n+++ b/x\n@@ -1 +1 @@\n-a\n+b\n+c\n", 6, "more lines than its header"},
      {"--- a/x\n+++ b/x\n@@ -1 +1 @\n-a\n+b\n", 3, "hunk header"},
      {"--- a/x\n+++ b/x\n@@ -99999999999 +1 @@\n-a\n+b\n", 3, "hunk header"},
      {"--- a/x\n+++ b/x\n@@ -5 +5 @@\n-a\n+b\n@@ -1 +1 @@\n-a\n+b\n", 6, "before the hunk on line 3"},
      {"intro\n@@ -1 +1 @@\n-a\n+b\n", 2, "outside a file"},
      {"diff --cc m.c\nindex 1,2..3\n", 1, "combined diff"},
      {"diff --git \"a/x\\9\" \"b/x\"\n--- \"a/x\\9\"\n+++ b/x\n", 2, "cannot be read"},
      {"diff --git a/one b/two three\nold mode 100644\nnew mode 100755\n", 1, "cannot be read"},
  };
  for (const Case& c : cases) {
    DiffReadResult read = parseUnifiedDiff(c.text);
    EXPECT_FALSE(read.diff) << c.text;
    EXPECT_EQ(read.errorLine, c.line) << c.text << " -> " << read.error;
    EXPECT_NE(read.error.find(c.reason), std::string::npos) << read.error;
    EXPECT_EQ(read.error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << read.error;
  }
}

TEST(UnifiedDiff, EmptyTextIsAnEmptyChange) {
  UnifiedDiff diff = parsed("");
  EXPECT_TRUE(diff.files.empty());
}

}  // namespace
}  // namespace qar
