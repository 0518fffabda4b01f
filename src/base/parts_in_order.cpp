#include "base/parts_in_order.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/deferred_errors.h"

namespace qar {
namespace {

// How far the parts done may run ahead of those taken up: what they hold
// waits in memory until its turn.
constexpr size_t kMostAhead = 4;

struct PartOutcome {
  bool done = false;
  bool goesOn = true;
  std::exception_ptr failure;
};

class PartsRun {
 public:
  PartsRun(size_t count, PartsWork& work) : count_(count), work_(work), outcomes_(count), wanted_(count) {}
  PartsRun(const PartsRun&) = delete;
  PartsRun& operator=(const PartsRun&) = delete;

  // The second thread ends (after the part in hand) before anything of the
  // run goes, whichever way the caller leaves.
  ~PartsRun() { stopSecondThread(); }

  void startSecondThread() {
    try {
      thread_ = std::thread([this] { secondThread(); });
    } catch (const std::system_error&) {
      // No thread to be had: every part is done here.
    }
  }

  size_t run() {
    size_t taken = 0;
    std::unique_lock<std::mutex> guard(lock_);
    while (taken < count_) {
      if (outcomes_[taken].done) {
        PartOutcome outcome = std::move(outcomes_[taken]);
        guard.unlock();
        work_.takePart(taken);
        ++taken;
        if (outcome.failure || !outcome.goesOn) {
          stopSecondThread();
          if (outcome.failure) reportThreadFailure(outcome.failure);
          return taken;
        }
        guard.lock();
        taken_ = taken;
        changed_.notify_all();
        continue;
      }
      if (mayTake(taken)) {
        const size_t index = next_++;
        guard.unlock();
        PartOutcome outcome = doPart(index);
        guard.lock();
        settle(index, std::move(outcome));
        continue;
      }
      changed_.wait(guard);
    }
    return taken;
  }

 private:
  PartOutcome doPart(size_t index) {
    PartOutcome outcome;
    try {
      DeferringErrors deferring;
      outcome.goesOn = work_.doPart(index);
    } catch (...) {
      outcome.failure = std::current_exception();
    }
    outcome.done = true;
    return outcome;
  }

  void secondThread() {
    try {
      DeferringErrors deferring;
      if (work_.startThread) work_.startThread();
    } catch (...) {
      // The thread could not take the run's settings: the calling thread
      // does every part.
      return;
    }
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      changed_.wait(guard, [this] { return stopping_ || mayTake(taken_); });
      if (stopping_) return;
      const size_t index = next_++;
      guard.unlock();
      PartOutcome outcome = doPart(index);
      guard.lock();
      settle(index, std::move(outcome));
      changed_.notify_all();
    }
  }

  // Whether a thread may start the next part: it is wanted (no part before
  // it ended the work) and not too far ahead of those taken up.
  bool mayTake(size_t taken) const { return next_ < wanted_ && next_ < taken + kMostAhead; }

  void settle(size_t index, PartOutcome outcome) {
    // A part that ends the work or fails: nothing after it is wanted.
    if ((outcome.failure || !outcome.goesOn) && index + 1 < wanted_) wanted_ = index + 1;
    outcomes_[index] = std::move(outcome);
  }

  void stopSecondThread() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  const size_t count_;
  PartsWork& work_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<PartOutcome> outcomes_;
  size_t wanted_;     // the parts before the first that ended the work
  size_t next_ = 0;   // the first part nobody does yet
  size_t taken_ = 0;  // the parts taken up
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace

size_t doPartsInOrder(size_t count, PartsWork& work, bool secondThread) {
  if (count == 0) return 0;
  PartsRun run(count, work);
  if (secondThread && count > 1) run.startSecondThread();
  return run.run();
}

}  // namespace qar
