#include "driver/report_alongside.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "base/checked_write.h"
#include "base/posterr.h"

namespace qar {
namespace {

class ReportAlongsideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("qarpost-alongside-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    resetDiagnostics();
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  std::string target(const char* name) const { return (directory / name).string(); }

  static std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path directory;
};

void writeText(int into, std::string_view text) {
  ASSERT_EQ(::write(into, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

void writeTwoLines(int into) {
  writeText(into, "<report>\n");
  writeText(into, "</report>\n");
  ::close(into);
}

TEST_F(ReportAlongsideTest, CleanCopyIsTakenOverIntoTheTargetCreatedAtItsTurn) {
  ReportAlongside report;
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(startReportAlongside(report, writeTwoLines, target("report.xml")));
  // Nothing exists before the report's turn.
  EXPECT_FALSE(std::filesystem::exists(target("report.xml")));
  EXPECT_TRUE(takeReportAlongside(report, target("report.xml")));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(contents(target("report.xml")), "<report>\n</report>\n");
  EXPECT_EQ(report.child, -1);
  // Nothing else is left in the directory, and the file has the mode of a
  // file created for writing.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()), 1);
  std::FILE* created = std::fopen(target("created").c_str(), "w");
  ASSERT_NE(created, nullptr);
  std::fclose(created);
  EXPECT_EQ(std::filesystem::status(target("report.xml")).permissions(),
            std::filesystem::status(target("created")).permissions());
}

// A file of the target's name is written over in place, as the report's own
// writer does: its other names keep seeing it.
TEST_F(ReportAlongsideTest, ExistingTargetIsWrittenOverInPlace) {
  {
    std::ofstream old(target("report.xml"));
    old << "an older and longer report text\n";
  }
  std::filesystem::create_hard_link(target("report.xml"), target("other-name.xml"));
  ReportAlongside report;
  ASSERT_TRUE(startReportAlongside(report, writeTwoLines, target("report.xml")));
  EXPECT_TRUE(takeReportAlongside(report, target("report.xml")));
  EXPECT_EQ(contents(target("report.xml")), "<report>\n</report>\n");
  EXPECT_EQ(contents(target("other-name.xml")), "<report>\n</report>\n");
}

// Whatever the copy says, or however it ends short of status 0, the caller
// writes the report itself; nothing of the copy reaches standard error.
TEST_F(ReportAlongsideTest, CopyThatSaysAnythingOrFailsIsDropped) {
  const AlongsideWriter writers[] = {
      [](int into) {
        writeText(into, "partial");
        std::fputs("QARPost notice: something\n", stderr);
        ::close(into);
      },
      [](int into) {
        writeText(into, "partial");
        throw ProgramExit{3};
      },
      [](int) { throw ProgramExit{0}; },
      [](int) { raise(SIGKILL); },
  };
  for (size_t i = 0; i < std::size(writers); ++i) {
    SCOPED_TRACE(i);
    ReportAlongside report;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(startReportAlongside(report, writers[i], target("report.xml")));
    const bool taken = takeReportAlongside(report, target("report.xml"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(taken);
    EXPECT_FALSE(std::filesystem::exists(target("report.xml")));
  }
}

TEST_F(ReportAlongsideTest, TargetThatCannotBeCreatedIsTheReportsOwnError) {
  ReportAlongside report;
  ASSERT_TRUE(startReportAlongside(report, writeTwoLines, target("missing/report.xml")));
  ::testing::internal::CaptureStderr();
  try {
    takeReportAlongside(report, target("missing/report.xml"));
    ADD_FAILURE() << "no error";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.status, 1);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "QARPost error 8: Cannot create file " + target("missing/report.xml") + ": No such file or directory\n");
}

TEST_F(ReportAlongsideTest, RunEndingBeforeTheTurnStopsTheCopy) {
  pid_t child = -1;
  {
    ReportAlongside report;
    ASSERT_TRUE(startReportAlongside(
        report, [](int) {
          for (;;) pause();
        },
        target("report.xml")));
    child = report.child;
    ASSERT_GT(child, 0);
  }  // the run ends here, as a fatal error in an earlier report ends it
  // The copy is gone and reaped: it is no longer our child, and its unnamed
  // file left nothing behind.
  errno = 0;
  EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_TRUE(std::filesystem::is_empty(directory));
}

// A write of the run that finds the disk full while the copy runs takes the
// copy's room: the copy is stopped, its text dropped, and the report is
// left to be written in its turn.
TEST_F(ReportAlongsideTest, FullDiskStopsTheCopyAndLeavesTheReportToItsTurn) {
  ReportAlongside report;
  ASSERT_TRUE(startReportAlongside(
      report, [](int) {
        for (;;) pause();
      },
      target("report.xml")));
  const pid_t child = report.child;
  EXPECT_TRUE(reclaimSpace());
  EXPECT_EQ(report.child, -1);
  EXPECT_EQ(report.text, -1);
  errno = 0;
  EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // Nothing more to reclaim, and nothing to take over at the turn.
  EXPECT_FALSE(reclaimSpace());
  EXPECT_FALSE(takeReportAlongside(report, target("report.xml")));
  EXPECT_TRUE(std::filesystem::is_empty(directory));
}

// After the turn the copy holds nothing: a full disk later is the write's own.
TEST_F(ReportAlongsideTest, NoClaimOnSpaceAfterTheTurn) {
  ReportAlongside report;
  ASSERT_TRUE(startReportAlongside(report, writeTwoLines, target("report.xml")));
  EXPECT_TRUE(takeReportAlongside(report, target("report.xml")));
  EXPECT_FALSE(reclaimSpace());
}

}  // namespace
}  // namespace qar
