#include "base/aside_worker.h"

#include <system_error>
#include <utility>

#include <pthread.h>

#include <algorithm>
#include <vector>

namespace qar {
namespace {

// The workers that may run a thread. A fork copies only the thread that
// forks: every worker's thread is ended before, and started again when it
// is next needed, in either process.
std::vector<AsideWorker*>& workers() {
  static std::vector<AsideWorker*> all;
  return all;
}

void stopWorkersBeforeFork() {
  for (AsideWorker* worker : workers()) worker->stop();
}

}  // namespace

AsideWorker::~AsideWorker() {
  stop();
  std::vector<AsideWorker*>& all = workers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

bool AsideWorker::start() {
  if (thread_.joinable()) return true;
  static const bool forkHandled = pthread_atfork(stopWorkersBeforeFork, nullptr, nullptr) == 0;
  if (!forkHandled) return false;
  std::vector<AsideWorker*>& all = workers();
  if (std::find(all.begin(), all.end(), this) == all.end()) all.push_back(this);
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
  }
  changed_.notify_all();
}

void AsideWorker::wait() {
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
    changed_.wait(guard, [this] { return stopping_ || waiting_; });
    // A piece handed over before the stop is still done.
    if (!waiting_) return;
    waiting_ = false;
    std::function<void()> work = std::move(work_);
    guard.unlock();
    work();
    guard.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace qar
