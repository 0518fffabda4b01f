#include "export/walk/export_paths.h"

#include <gtest/gtest.h>

namespace qar {
namespace {

TEST(ExportPaths, WithoutRootNamesStayAsRead) {
  EXPECT_EQ(exportPath("C:\\Work\\a.c", std::nullopt), "C:\\Work\\a.c");
  EXPECT_EQ(exportPath("./src//a.c", std::nullopt), "./src//a.c");
}

TEST(ExportPaths, NamesBelowTheRootBecomeRelativeWithSlashes) {
  const std::optional<std::string> root = "C:\\work\\proj\\";
  EXPECT_EQ(exportPath("C:\\Work\\Proj\\src\\app.c", root), "src/app.c");
  EXPECT_EQ(exportPath("c:/work/proj/lib/util.c", root), "lib/util.c");
  // Outside the root, or only sharing a prefix of a component: slashes only.
  EXPECT_EQ(exportPath("D:\\other\\ext.c", root), "D:/other/ext.c");
  EXPECT_EQ(exportPath("C:\\work\\project\\x.c", root), "C:/work/project/x.c");
  // The root itself is no file below it.
  EXPECT_EQ(exportPath("C:\\work\\proj", root), "C:/work/proj");

  EXPECT_EQ(exportPath("/home/ci/repo/src/a.c", std::string("/home/ci/repo")), "src/a.c");
  EXPECT_EQ(exportPath("/a/b.c", std::string("/")), "a/b.c");
  EXPECT_EQ(exportPath("./src/a.c", std::string(".")), "src/a.c");
}

TEST(ExportPaths, KeysMeetWhereConsumersWouldSeeOneFile) {
  EXPECT_EQ(exportPathKey("Src\\Inc/A.h"), "src/inc/a.h");
  EXPECT_EQ(exportPathKey("./src//inc/./a.h"), "src/inc/a.h");
  EXPECT_EQ(exportPathKey("/abs/a.h"), "/abs/a.h");
  EXPECT_NE(exportPathKey("/abs/a.h"), exportPathKey("abs/a.h"));
}

TEST(ExportPaths, DirectoryPart) {
  EXPECT_EQ(exportDirectory("src/module_000/unit.c"), "src/module_000");
  EXPECT_EQ(exportDirectory("C:\\x\\y.c"), "C:\\x");
  EXPECT_EQ(exportDirectory("main.c"), "");
}

}  // namespace
}  // namespace qar
