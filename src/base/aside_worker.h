#pragma once
// One piece of work at a time done by a second thread while the caller goes
// on: writing a report's text or a page while the next one is made. The
// caller hands a piece over, goes on, and waits for it before handing the
// next; what the piece leaves behind is read after the wait. The thread
// lives from start() to stop() (or the worker's end); a fork first ends it
// (after the piece in flight), and start() gives a new one in either
// process.
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
  bool busy();

  // Waits for the piece in flight and ends the thread.
  void stop();

 private:
  void run();

  std::mutex lock_;
  std::condition_variable changed_;
  std::thread thread_;
  std::function<void()> work_;
  bool waiting_ = false;  // handed over, not taken yet
  bool busy_ = false;     // handed over, not done yet
  bool stopping_ = false;
};

}  // namespace qar
