#include "coverage/preparation_pipeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "coverage/record_reader.h"
#include "test_support.h"

namespace qar {
namespace {

using test::captureRun;

// Sets QARPOST_PREPARATION_ALONGSIDE for one scope.
class SharingChoice {
 public:
  explicit SharingChoice(const char* way) { setenv("QARPOST_PREPARATION_ALONGSIDE", way, 1); }
  ~SharingChoice() { unsetenv("QARPOST_PREPARATION_ALONGSIDE"); }
  SharingChoice(const SharingChoice&) = delete;
  SharingChoice& operator=(const SharingChoice&) = delete;
};

// Files of a few records each with their counters. Every third file starts
// with a record that takes the sums the file before it leaves pending (kind
// 77 after 78/79 at the end of the previous file), so units must keep it
// with that file; every fifth has timing, whose mode comes from its own info
// line. `bad` (a file index) gets a record the pass cannot read.
void addFiles(size_t count, size_t bad = SIZE_MAX) {
  for (size_t i = 0; i < count; ++i) {
    const std::string name = "f" + std::to_string(i) + ".c";
    MonitoredFile& file = appendMonitoredFile(name);
    file.sourceLineCount = static_cast<uint32_t>(10 + i);
    appendDescriptionLine(file, "@" + name);
    appendDescriptionLine(file, i % 5 == 0 ? "9 100 00000001 0 0" : "3 100 00000001 0 0");
    if (i % 3 == 0) appendDescriptionLine(file, "77 1 0 0 0 takes the pending sums");
    appendDescriptionLine(file, "0 1 0 0 0 f");
    appendDescriptionLine(file, "20 2 1 0 1 x > 0");
    if (i == bad) appendDescriptionLine(file, "13 1 2 0");
    appendDescriptionLine(file, "78 3 1 0 1 0,1");
    appendDescriptionLine(file, "79 3 1 2 1 0");
    appendDescriptionLine(file, "%3,0,1,4,1,1");
    const auto n = static_cast<uint32_t>(i);
    file.counterData = std::make_unique<CounterArrays>(CounterArrays{
        name, 0, 0, 0, 0, {}, {n + 1}, {}, {n + 2}, {n + 3}, {n, n + 4, 2 * n, 7}, {n + 5}, {n + 6}});
  }
}

struct Prepared {
  std::vector<LineValues> values;
  std::string fileName;
  uint32_t previousLines = 0;
  std::string err;
};

Prepared valuesAndState() {
  Prepared result;
  for (const MonitoredFile& file : database().monitoredFiles) {
    for (const DescriptionLine& line : file.descriptionLines) result.values.push_back(lineValues(file, line));
  }
  result.fileName = currentFileName();
  result.previousLines = previousFileSourceLines();
  return result;
}

Prepared prepareWith(const char* way, size_t count, size_t bad = SIZE_MAX) {
  resetDatabase();
  resetDiagnostics();
  addFiles(count, bad);
  SharingChoice choice(way);
  const std::string err = captureRun([] {
                            PreparationPipeline pass;
                            pass.settle();
                          }).err;
  Prepared result = valuesAndState();
  result.err = err;
  return result;
}

class PreparationPipelineTest : public ::testing::Test {
 protected:
  void TearDown() override {
    resetDatabase();
    resetDiagnostics();
  }
};

// Shared between two threads unit by unit, the pass stores what it stores in
// turn, and the run's reader is left on the last file as in turn, whichever
// thread prepared it. Repeated: which thread takes which unit varies.
TEST_F(PreparationPipelineTest, SharedPassStoresWhatThePassInTurnStores) {
  const Prepared inTurn = prepareWith("never", 300);
  EXPECT_EQ(inTurn.fileName, "f299.c");
  for (int round = 0; round < 20; ++round) {
    const Prepared shared = prepareWith("always", 300);
    ASSERT_EQ(shared.values, inTurn.values) << round;
    EXPECT_EQ(shared.fileName, inTurn.fileName);
    EXPECT_EQ(shared.previousLines, inTurn.previousLines);
    EXPECT_EQ(shared.err, "");
  }
}

// Asked for a file, the pipeline returns once that file and every one before
// it is prepared, whatever the other thread does meanwhile; the list may
// grow before prepared files while the pass goes on.
TEST_F(PreparationPipelineTest, PrepareThroughGivesEveryFileUpToTheOneAskedFor) {
  const Prepared inTurn = prepareWith("never", 200);
  resetDatabase();
  addFiles(200);
  SharingChoice choice("always");
  PreparationPipeline pass;
  ASSERT_TRUE(pass.shared());
  const std::vector<MonitoredFileIt> files = pass.files();
  size_t line = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    ASSERT_TRUE(pass.prepareThrough(i));
    for (const DescriptionLine& text : files[i]->descriptionLines) {
      EXPECT_EQ(lineValues(*files[i], text), inTurn.values[line++]) << i;
    }
    MonitoredFile inserted;
    appendDescriptionLine(inserted, "@inserted.h");
    insertMonitoredFileBefore(files[i], std::move(inserted));
  }
  pass.settle();
  EXPECT_TRUE(database().countersPrepared);
  EXPECT_EQ(currentFileName(), "f199.c");
}

// A failure stops the hand-over: asking for a file at or after it gives
// false, and settle reports it.
TEST_F(PreparationPipelineTest, PrepareThroughStopsAtAFailure) {
  resetDatabase();
  addFiles(50, 20);
  SharingChoice choice("always");
  const test::Outcome outcome = captureRun([] {
    PreparationPipeline pass;
    EXPECT_TRUE(pass.prepareThrough(19));
    EXPECT_FALSE(pass.prepareThrough(49));
    pass.settle();
  });
  EXPECT_TRUE(outcome.ended);
  EXPECT_NE(outcome.err.find("line 1820, module postsym"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace qar
