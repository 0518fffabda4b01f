#include "base/aside_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace qar {
namespace {

// Many short pieces, each waited for before the next is handed over, with
// and without the sides waiting awake: every piece is done once, in order,
// and what it leaves is there after the wait; a piece in flight at the stop
// is still done.
TEST(AsideWorkerTest, PiecesAreDoneInOrderWhetherTheSidesSleepOrSpin) {
  for (bool spins : {false, true}) {
    AsideWorker worker;
    worker.spinBeforeSleeping(spins);
    std::vector<int> done;
    int left = 0;
    for (int piece = 0; piece < 2000; ++piece) {
      worker.hand([&done, &left, piece] {
        done.push_back(piece);
        left = piece;
      });
      if (piece % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the thread sleeps
      worker.wait();
      ASSERT_EQ(left, piece) << spins;
      EXPECT_FALSE(worker.busy());
    }
    bool last = false;
    worker.hand([&last] {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      last = true;
    });
    worker.stop();
    EXPECT_TRUE(last) << spins;
    ASSERT_EQ(done.size(), 2000u);
    for (int piece = 0; piece < 2000; ++piece) ASSERT_EQ(done[static_cast<size_t>(piece)], piece);
  }
}

}  // namespace
}  // namespace qar
