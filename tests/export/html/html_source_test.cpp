#include "export/html/html_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace qar {
namespace {

namespace fs = std::filesystem;

class HtmlSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("root/src/a.c", "int a;\n");
    dir_.write("root/src/b.c", "int b;\n");
    dir_.write("outside/secret.c", "secret\n");
    dir_.write("root-old/x.c", "old\n");
    root_ = dir_.file("root");
    startSourceFinder(finder_, root_);
  }

  SourceStatus find(const std::string& path, size_t limit = kHtmlSourceLimit) {
    return findSource(finder_, path, name_, text_, limit);
  }

  test::TempDir dir_;
  std::string root_;
  SourceFinder finder_;
  std::string name_;
  std::string text_;
};

TEST_F(HtmlSourceTest, NamesBelowTheRootAreRead) {
  EXPECT_EQ(find("src/a.c"), SourceStatus::Read);
  EXPECT_EQ(name_, root_ + "/src/a.c");
  EXPECT_EQ(text_, "int a;\n");
  // ".." that stays below the root: looked for in its normal form.
  EXPECT_EQ(find("src/../src/b.c"), SourceStatus::Read);
  EXPECT_EQ(name_, root_ + "/src/b.c");
  EXPECT_EQ(text_, "int b;\n");
  // An absolute name below the root, also through "." and doubled "/".
  EXPECT_EQ(find(root_ + "/src/a.c"), SourceStatus::Read);
  EXPECT_EQ(find(root_ + "/./src//b.c"), SourceStatus::Read);
  EXPECT_EQ(text_, "int b;\n");
  EXPECT_EQ(find("src/missing.c"), SourceStatus::NotFound);
  EXPECT_EQ(find("nodir/missing.c"), SourceStatus::NotFound);
}

TEST_F(HtmlSourceTest, NamesOutsideTheRootAreNotRead) {
  EXPECT_EQ(find("../outside/secret.c"), SourceStatus::OutsideRoot);
  EXPECT_EQ(name_, root_ + "/../outside/secret.c");
  EXPECT_TRUE(text_.empty());
  EXPECT_EQ(find("src/../../outside/secret.c"), SourceStatus::OutsideRoot);
  EXPECT_EQ(find(dir_.file("outside/secret.c")), SourceStatus::OutsideRoot);
  EXPECT_EQ(name_, dir_.file("outside/secret.c"));
  // A sibling whose name starts with the root's is not below it.
  EXPECT_EQ(find(dir_.file("root-old/x.c")), SourceStatus::OutsideRoot);
  EXPECT_EQ(find(root_ + "/../outside/secret.c"), SourceStatus::OutsideRoot);
  EXPECT_EQ(find("/etc/passwd"), SourceStatus::OutsideRoot);
  EXPECT_TRUE(text_.empty());
}

TEST_F(HtmlSourceTest, TheDefaultRootIsTheWorkingDirectory) {
  const fs::path before = fs::current_path();
  fs::current_path(root_);
  startSourceFinder(finder_, ".");
  EXPECT_EQ(find("src/a.c"), SourceStatus::Read);
  EXPECT_EQ(name_, "src/a.c");
  EXPECT_EQ(find(root_ + "/src/b.c"), SourceStatus::Read);
  EXPECT_EQ(find("../outside/secret.c"), SourceStatus::OutsideRoot);
  EXPECT_EQ(find(dir_.file("outside/secret.c")), SourceStatus::OutsideRoot);
  // The file system's root as the source root takes every absolute name.
  startSourceFinder(finder_, "/");
  EXPECT_EQ(find(dir_.file("outside/secret.c")), SourceStatus::Read);
  fs::current_path(before);
}

TEST_F(HtmlSourceTest, OnlyRegularFilesUpToTheLimitAreRead) {
  startSourceFinder(finder_, "/");
  EXPECT_EQ(find("/dev/zero"), SourceStatus::NotRegular);
  EXPECT_EQ(find("/dev/null"), SourceStatus::NotRegular);
  startSourceFinder(finder_, root_);
  EXPECT_EQ(find("src"), SourceStatus::NotRegular);
  // A FIFO without a writer: refused at once, not waited on.
  ASSERT_EQ(::mkfifo(dir_.file("root/src/fifo.c").c_str(), 0600), 0);
  EXPECT_EQ(find("src/fifo.c"), SourceStatus::NotRegular);
  // A link inside the root is followed to what it names.
  fs::create_symlink("/dev/zero", dir_.path() / "root" / "src" / "zero.c");
  EXPECT_EQ(find("src/zero.c"), SourceStatus::NotRegular);
  fs::create_symlink("a.c", dir_.path() / "root" / "src" / "same.c");
  EXPECT_EQ(find("src/same.c"), SourceStatus::Read);

  dir_.write("root/src/ten.c", "0123456789");
  EXPECT_EQ(find("src/ten.c", 10), SourceStatus::Read);
  EXPECT_EQ(text_, "0123456789");
  EXPECT_EQ(find("src/ten.c", 9), SourceStatus::TooLarge);
  EXPECT_TRUE(text_.empty());
  dir_.write("root/src/empty.c", "");
  EXPECT_EQ(find("src/empty.c", 0), SourceStatus::Read);
  EXPECT_TRUE(text_.empty());
}

}  // namespace
}  // namespace qar
