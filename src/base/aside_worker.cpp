#include "base/aside_worker.h"

#include <system_error>
#include <utility>

namespace qar {

bool AsideWorker::start() {
  if (thread_.joinable()) return true;
  stopping_ = false;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void AsideWorker::hand(std::function<void()> work) {
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
