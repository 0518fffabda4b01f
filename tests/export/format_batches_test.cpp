#include "export/format_batches.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "coverage/database.h"
#include "export/formats/sonar_export.h"
#include "test_support.h"

namespace qar {
namespace {

// A settled table of written file `i`: lines, branches on some of them and
// functions, with counts that differ from file to file.
PathTable tableOf(uint32_t i) {
  PathTable table;
  table.path = "src/m" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".c";
  table.key = table.path;
  for (uint32_t line = 1; line <= 120; ++line) {
    table.lines.push_back(LineHits{line * 2, (line + i) % 5});
    if (line % 10 == 0) {
      table.branches.push_back(BranchCount{line * 2, line, 0, (line + i) % 3, BranchKind::True});
      table.branches.push_back(BranchCount{line * 2, line, 1, 0, BranchKind::False});
    }
  }
  for (uint32_t f = 0; f < 6; ++f) {
    table.functions.push_back(LocatedFunction{"function_" + std::to_string(f % 4), 2 + f * 40, f + i, {2 + f * 40}});
  }
  return table;
}

FileResult fileOf(uint32_t i) {
  FileResult file;
  file.name = "src/m" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".c";
  file.path = file.name;
  file.sourceLines = 240 + i;
  return file;
}

struct Outputs {
  ExportStream lcov;
  ExportStream coberturaOut;
  CoberturaDocument cobertura;
  ExportStream sonar;
  ExportStream jsonOut;
  JsonDocument json;
};

// Writes `files` files' parts through FormatBatches into LCOV, Cobertura,
// SonarQube and JSON outputs named PREFIX.info, PREFIX.cobertura,
// PREFIX.xml and PREFIX.json (every other file's result taken by the batch,
// the others copied); `say` is
// written as a diagnostic after `sayAfter` files. True when every output
// opened (failures later are the point of some of the runs).
// `written`, when given, gets the bytes the LCOV output had written after
// each file.
bool writeFormats(const std::string& prefix, bool aside, uint32_t files, uint32_t sayAfter = UINT32_MAX,
                  bool* wasAside = nullptr, std::vector<long>* written = nullptr) {
  resetDiagnostics();
  resetExportOutputErrors();
  Outputs out;
  if (!openExportStream(out.lcov, prefix + ".info") || !openExportStream(out.coberturaOut, prefix + ".cobertura") ||
      !openExportStream(out.sonar, prefix + ".xml") || !openExportStream(out.jsonOut, prefix + ".json")) {
    return false;
  }
  beginCoberturaDocument(out.cobertura, out.coberturaOut, std::nullopt);
  beginSonarDocument(out.sonar);
  beginJsonDocument(out.json, out.jsonOut, CoverageView::AsInstrumented, std::nullopt);
  LineCoverage carried;
  {
    FormatBatches formats(FormatOutputs{&out.lcov, &out.cobertura, &out.sonar, &out.json}, aside);
    if (wasAside != nullptr) *wasAside = formats.aside();
    for (uint32_t i = 0; i < files; ++i) {
      if (i == sayAfter) writeDiagnostic("said after\n");
      FileResult file = fileOf(i);
      formats.addFile(file, i % 2 == 0);
      const PathTable table = tableOf(i);
      formats.addPath(table, lineCoverageOf(table), i % 5 != 0);
      carried += lineCoverageOf(table);
      if (written != nullptr) written->push_back(out.lcov.written);
    }
    formats.finish();
  }
  endCoberturaDocument(out.cobertura, carried);
  endSonarDocument(out.sonar);
  endJsonDocument(out.json, RunResult{});
  closeExportStream(out.lcov);
  closeExportStream(out.coberturaOut);
  closeExportStream(out.sonar);
  closeExportStream(out.jsonOut);
  return true;
}

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes (writes beyond fail with EFBIG, as on a full disk) and whose
// standard error goes to `errName`; returns its exit status.
template <typename Body>
int inChildWithFileSizeLimit(rlim_t limit, const std::string& errName, const Body& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const int err = ::open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const rlimit size{limit, limit};
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0 || ::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

class FormatBatchesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SOURCE_DATE_EPOCH", "1764950400", 1);
    resetDatabase();
  }
  test::TempDir dir_;
};

// Many batches: the texts are those of writing each file in its turn.
TEST_F(FormatBatchesTest, BatchesWriteTheTextsOfWritingInTurn) {
  bool aside = false;
  test::Outcome inTurn = test::captureRun([&] { ASSERT_TRUE(writeFormats(dir_.file("turn"), false, 700)); });
  test::Outcome batched = test::captureRun([&] { ASSERT_TRUE(writeFormats(dir_.file("batch"), true, 700, UINT32_MAX, &aside)); });
  ASSERT_TRUE(aside) << "no second thread: the batches were not tried";
  EXPECT_EQ(inTurn.err, "");
  EXPECT_EQ(batched.err, "");
  for (const char* extension : {".info", ".cobertura", ".xml", ".json"}) {
    const std::string text = test::readFile(dir_.file(std::string("turn") + extension));
    EXPECT_GT(text.size(), 100000u) << extension;
    EXPECT_EQ(test::readFile(dir_.file(std::string("batch") + extension)), text) << extension;
  }
}

// Outputs that fail as the disk fills: the failures come in the order and at
// the place of writing in turn (before what is said after them), and every
// output ends as it ends then. The LCOV output's first full buffer fails;
// something is said right after the file that filled it, while that file's
// part may still wait in the batch being gathered.
TEST_F(FormatBatchesTest, FailuresComeWhereWritingInTurnMeetsThem) {
  std::vector<long> written;
  ASSERT_TRUE(writeFormats(dir_.file("sizes"), false, 700, UINT32_MAX, nullptr, &written));
  uint32_t firstFlush = 0;
  while (firstFlush < written.size() && written[firstFlush] == 0) ++firstFlush;
  ASSERT_LT(firstFlush + 1, written.size());

  const std::string turnErr = dir_.file("turn.err");
  const std::string batchErr = dir_.file("batch.err");
  constexpr rlim_t kLimit = 1000;
  const uint32_t sayAfter = firstFlush + 1;
  EXPECT_EQ(inChildWithFileSizeLimit(kLimit, turnErr,
                                     [&] { return writeFormats(dir_.file("turn"), false, 700, sayAfter) ? 0 : 1; }),
            0);
  EXPECT_EQ(inChildWithFileSizeLimit(kLimit, batchErr, [&] {
              bool aside = false;
              const bool opened = writeFormats(dir_.file("batch"), true, 700, sayAfter, &aside);
              return opened && aside ? 0 : 1;
            }),
            0);
  const std::string expected = test::readFile(turnErr);
  ASSERT_NE(expected.find("turn.info: File too large\n"), std::string::npos) << expected;
  ASSERT_LT(expected.find("turn.info"), expected.find("said after\n")) << expected;
  std::string batched = test::readFile(batchErr);
  for (size_t at; (at = batched.find("batch.")) != std::string::npos;) batched.replace(at, 6, "turn.");
  EXPECT_EQ(batched, expected);
  for (const char* extension : {".info", ".cobertura", ".xml", ".json"}) {
    EXPECT_EQ(std::filesystem::exists(dir_.file(std::string("batch") + extension)),
              std::filesystem::exists(dir_.file(std::string("turn") + extension)))
        << extension;
  }
}

}  // namespace
}  // namespace qar
