#pragma once
// One piece of work at a time done by a second thread while the caller goes
// on: writing a report's text or a page while the next one is made. The
// caller hands a piece over, goes on, and waits for it before handing the
// next; what the piece leaves behind is read after the wait. The thread
// lives from start() to stop() (or the worker's end); a fork first ends it
// (after the piece in flight), and start() gives a new one in either
// process.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qar {

class AsideWorker {
 public:
  AsideWorker() = default;
  AsideWorker(const AsideWorker&) = delete;
  AsideWorker& operator=(const AsideWorker&) = delete;
  ~AsideWorker();

  // Starts the thread; false when none can be had (the caller then does the
  // work itself). True when it runs already.
  bool start();
  bool running() const { return thread_.joinable(); }

  // Hands `work` over; it must not throw. The piece before must have been
  // waited for. Without a thread to be had, `work` is done here.
  void hand(std::function<void()> work);
  // Waits until the piece handed over is done (at once when there is none).
  void wait();
  // Whether each side waits a few microseconds awake for the other before
  // it sleeps (off at first). Where pieces are many and short (a page per
  // file) and the two threads have a core each, it spares a switch to sleep
  // and back for most pieces; where a third thread wants a core, the waiting
  // would take it from that thread.
  void spinBeforeSleeping(bool spins) { spins_.store(spins, std::memory_order_relaxed); }
  bool busy();

  // Waits for the piece in flight and ends the thread.
  void stop();

 private:
  void run();

  // Waits a few microseconds for `flag` to become `value` when spinning.
  bool spinUntil(const std::atomic<bool>& flag, bool value) const;

  std::mutex lock_;
  std::condition_variable changed_;
  // busy_ and waiting_ as they stand, for the spinning: set under the lock.
  std::atomic<bool> busyNow_{false};
  std::atomic<bool> waitingNow_{false};
  std::atomic<bool> spins_{false};
  std::thread thread_;
  std::function<void()> work_;
  bool waiting_ = false;  // handed over, not taken yet
  bool busy_ = false;     // handed over, not done yet
  bool stopping_ = false;
};

}  // namespace qar
