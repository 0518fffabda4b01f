#include "base/aside_worker.h"

#include <chrono>
#include <system_error>
#include <utility>

#include <pthread.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qar {
namespace {

// The workers that may run a thread. A fork copies only the thread that
// forks: every worker's thread is ended before, and started again when it
// is next needed, in either process. A plain array: it outlives every
// worker, whatever the order in which the process ends them.
constexpr size_t kMaxWorkers = 8;
AsideWorker* registeredWorkers[kMaxWorkers] = {};

void stopWorkersBeforeFork() {
  for (AsideWorker* worker : registeredWorkers) {
    if (worker != nullptr) worker->stop();
  }
}

bool registerWorker(AsideWorker* worker) {
  for (AsideWorker* registered : registeredWorkers) {
    if (registered == worker) return true;
  }
  for (AsideWorker*& slot : registeredWorkers) {
    if (slot == nullptr) {
      slot = worker;
      return true;
    }
  }
  return false;
}

// How long a side waits awake for the other before it sleeps.
constexpr auto kSpinning = std::chrono::microseconds(50);

// A hint to the core that this thread is waiting awake.
inline void pauseWhileWaiting() {
#if defined(__SSE2__)
  _mm_pause();
#endif
}

}  // namespace

bool AsideWorker::spinUntil(const std::atomic<bool>& flag, bool value) const {
  if (!spins_.load(std::memory_order_relaxed)) return false;
  const auto until = std::chrono::steady_clock::now() + kSpinning;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (flag.load(std::memory_order_acquire) == value) return true;
      pauseWhileWaiting();
    }
    if (std::chrono::steady_clock::now() >= until) return false;
  }
}

AsideWorker::~AsideWorker() {
  stop();
  for (AsideWorker*& slot : registeredWorkers) {
    if (slot == this) slot = nullptr;
  }
}

bool AsideWorker::start() {
  if (thread_.joinable()) return true;
  static const bool forkHandled = pthread_atfork(stopWorkersBeforeFork, nullptr, nullptr) == 0;
  // A worker the fork handler does not know of runs no thread.
  if (!forkHandled || !registerWorker(this)) return false;
  stopping_ = false;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void AsideWorker::hand(std::function<void()> work) {
  // No thread (none could be had, or a fork ended it and none could be had
  // again): done here.
  if (!start()) {
    work();
    return;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    work_ = std::move(work);
    waiting_ = true;
    busy_ = true;
    waitingNow_.store(true, std::memory_order_release);
    busyNow_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

void AsideWorker::wait() {
  spinUntil(busyNow_, false);
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [this] { return !busy_; });
}

bool AsideWorker::busy() {
  std::lock_guard<std::mutex> guard(lock_);
  return busy_;
}

void AsideWorker::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void AsideWorker::run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (!waiting_ && !stopping_) {
      guard.unlock();
      spinUntil(waitingNow_, true);
      guard.lock();
    }
    changed_.wait(guard, [this] { return stopping_ || waiting_; });
    // A piece handed over before the stop is still done.
    if (!waiting_) return;
    waiting_ = false;
    waitingNow_.store(false, std::memory_order_release);
    std::function<void()> work = std::move(work_);
    guard.unlock();
    work();
    guard.lock();
    busy_ = false;
    busyNow_.store(false, std::memory_order_release);
    changed_.notify_all();
  }
}

}  // namespace qar
