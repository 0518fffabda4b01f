// Work done in parts on two threads and taken up in order: every part once,
// in order, nothing after the part that ends the work, and an error met on
// either thread reported where doing the parts in turn reports it.
#include "base/parts_in_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/posterr.h"
#include "test_support.h"

namespace qar {
namespace {

// Parts of uneven length, so that the two threads finish them out of order.
void unevenWork(size_t index) { std::this_thread::sleep_for(std::chrono::microseconds((index * 7919) % 400)); }

struct Record {
  std::mutex lock;
  std::vector<size_t> done;
  std::vector<size_t> taken;
  std::atomic<size_t> doneCount{0};
  size_t mostAhead = 0;
};

PartsWork recordingWork(Record& record, size_t endsAt = SIZE_MAX) {
  PartsWork work;
  work.doPart = [&record, endsAt](size_t index) {
    unevenWork(index);
    std::lock_guard<std::mutex> guard(record.lock);
    record.done.push_back(index);
    ++record.doneCount;
    return index != endsAt;
  };
  work.takePart = [&record](size_t index) {
    std::lock_guard<std::mutex> guard(record.lock);
    record.mostAhead = std::max(record.mostAhead, record.doneCount - record.taken.size());
    record.taken.push_back(index);
  };
  return work;
}

std::vector<size_t> upTo(size_t count) {
  std::vector<size_t> indices(count);
  for (size_t i = 0; i < count; ++i) indices[i] = i;
  return indices;
}

TEST(PartsInOrderTest, EveryPartIsDoneOnceAndTakenUpInOrder) {
  for (const bool second : {true, false}) {
    Record record;
    PartsWork work = recordingWork(record);
    EXPECT_EQ(doPartsInOrder(60, work, second), 60u);
    EXPECT_EQ(record.taken, upTo(60));
    std::sort(record.done.begin(), record.done.end());
    EXPECT_EQ(record.done, upTo(60));
    // What is done waits in memory until its turn: never much of it.
    EXPECT_LE(record.mostAhead, 8u);
  }
  Record none;
  PartsWork work = recordingWork(none);
  EXPECT_EQ(doPartsInOrder(0, work), 0u);
  EXPECT_TRUE(none.taken.empty());
}

TEST(PartsInOrderTest, NothingAfterThePartThatEndsTheWorkIsTakenUp) {
  for (const size_t endsAt : {size_t{0}, size_t{1}, size_t{17}, size_t{39}}) {
    Record record;
    PartsWork work = recordingWork(record, endsAt);
    EXPECT_EQ(doPartsInOrder(40, work), endsAt + 1);
    EXPECT_EQ(record.taken, upTo(endsAt + 1));
  }
}

// The second thread takes the run's settings before its first part.
TEST(PartsInOrderTest, TheSecondThreadStartsFromTheRunsSettings) {
  static thread_local int setting = 0;
  setting = 7;
  std::atomic<bool> allSeen{true};
  PartsWork work;
  work.startThread = [] { setting = 7; };
  work.doPart = [&allSeen](size_t index) {
    unevenWork(index);
    if (setting != 7) allSeen = false;
    return true;
  };
  work.takePart = [](size_t) {};
  EXPECT_EQ(doPartsInOrder(30, work), 30u);
  EXPECT_TRUE(allSeen);
}

// A part that fails, on whichever thread: the parts before it and the
// failing part itself are taken up, then its error is reported with the
// arguments it was given there, and the run ends.
TEST(PartsInOrderTest, AnErrorIsReportedWhereItsPartIsTakenUp) {
  for (const size_t failsAt : {size_t{0}, size_t{5}, size_t{6}, size_t{23}}) {
    std::vector<size_t> taken;
    PartsWork work;
    work.doPart = [failsAt](size_t index) {
      unevenWork(index);
      if (index == failsAt) {
        setErrorArguments("part " + std::to_string(index) + ".sym");
        failWith(kSymbolFileError);
      }
      return true;
    };
    work.takePart = [&taken](size_t index) {
      taken.push_back(index);
      writeDiagnostic("taken " + std::to_string(index) + "\n");
    };
    const test::Outcome outcome = test::captureRun([&] {
      resetDiagnostics();
      doPartsInOrder(30, work);
    });
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(taken, upTo(failsAt + 1));
    std::string expected;
    for (size_t i = 0; i <= failsAt; ++i) expected += "taken " + std::to_string(i) + "\n";
    expected += "QARPost error 5: Error in symbol file part " + std::to_string(failsAt) + ".sym\n";
    EXPECT_EQ(outcome.err, expected);
  }
}

// Whatever a part throws (a failed allocation) comes out where the part is
// taken up.
TEST(PartsInOrderTest, OtherFailuresComeOutAtTheirPart) {
  std::vector<size_t> taken;
  PartsWork work;
  work.doPart = [](size_t index) {
    unevenWork(index);
    if (index == 9) throw std::bad_alloc();
    return true;
  };
  work.takePart = [&taken](size_t index) { taken.push_back(index); };
  EXPECT_THROW(doPartsInOrder(20, work), std::bad_alloc);
  EXPECT_EQ(taken, upTo(10));
}

// Taking a part up may end the run (a failed write): the second thread is
// ended first, and nothing more is taken up.
TEST(PartsInOrderTest, ARunEndedWhileTakingUpStopsTheOtherThread) {
  std::atomic<size_t> done{0};
  std::vector<size_t> taken;
  PartsWork work;
  work.doPart = [&done](size_t index) {
    unevenWork(index);
    ++done;
    return true;
  };
  work.takePart = [&taken](size_t index) {
    taken.push_back(index);
    if (index == 3) throw ProgramExit{1};
  };
  EXPECT_THROW(doPartsInOrder(50, work), ProgramExit);
  EXPECT_EQ(taken, upTo(4));
  const size_t doneWhenEnded = done;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(done, doneWhenEnded);
  EXPECT_LT(doneWhenEnded, 50u);
}

}  // namespace
}  // namespace qar
