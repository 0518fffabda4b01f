#pragma once
// The preparation pass (every record's counters copied into its line) over
// the files of the list as it stands when the pass begins, shared by the
// run's thread and a second one. The files are handed out in list order, in
// units that start at a file whose preparation does not depend on the files
// before it; each thread takes the next unit when it is free. Meanwhile the
// run's thread may work on the files already prepared (header extraction):
// it asks for them with prepareThrough, and prepares units itself rather
// than wait while there are any left.
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "base/deferred_errors.h"
#include "coverage/model.h"
#include "coverage/record_reader_state.h"

namespace qar {

// What each thread keeps from unit to unit (preparation_pipeline.cpp).
struct PreparingThread;

class PreparationPipeline {
 public:
  // Chooses between one thread and two: QARPOST_PREPARATION_ALONGSIDE=never
  // keeps the pass on the run's thread, as the pass in turn, =always shares
  // it whatever the number of lines (the tests compare the two); otherwise
  // small databases are prepared in turn. Shared, the second thread starts
  // here and the run's errors are deferred until settle.
  //
  // `afterPass`, when given, is what the second thread does once no unit is
  // left to take (also when one failed); it must end by itself before
  // settle joins the thread, or when a stop is requested.
  explicit PreparationPipeline(std::function<void(const std::stop_token&)> afterPass = {});
  // Stops and joins the second thread when settle was not reached.
  ~PreparationPipeline();
  PreparationPipeline(const PreparationPipeline&) = delete;
  PreparationPipeline& operator=(const PreparationPipeline&) = delete;

  // Whether a second thread shares the pass (and the run defers its errors).
  bool shared() const { return shared_; }

  // The files of the pass, in list order: the list may grow around them
  // (header files inserted before a source) while the pass goes on.
  const std::vector<MonitoredFileIt>& files() const { return files_; }

  // Makes sure the files up to files()[last] are prepared: prepares units on
  // this thread while the one it waits for is still being prepared and there
  // are units left, else waits for it. False when the preparation of a file
  // up to there failed (settle reports it). Always true when not shared
  // (settle prepares everything first).
  bool prepareThrough(size_t last);

  // Prepares what is left, joins the second thread, ends the deferring and
  // reports the first preparation error in list order, as the pass in turn
  // would, which ends the run. When not shared, the whole pass in turn.
  void settle();

 private:
  struct Unit {
    size_t begin = 0;  // in files_
    size_t end = 0;
    // 0 waiting or being prepared, 1 prepared, 2 failed
    std::atomic<int> state{0};
    std::exception_ptr failure;
    PreparingThread* preparedBy = nullptr;
  };
  static constexpr int kPrepared = 1;
  static constexpr int kFailed = 2;

  void formUnits(size_t lines);
  Unit* takeUnit();
  void prepareUnit(Unit& unit, PreparingThread& thread);
  void runSecondThread(const std::stop_token& stop);

  bool shared_ = false;
  bool settled_ = false;
  std::vector<MonitoredFileIt> files_;
  std::unique_ptr<Unit[]> units_;
  size_t unitCount_ = 0;
  std::vector<size_t> unitOfFile_;
  std::atomic<size_t> nextUnit_{0};
  // No unit is taken once one has failed: the pass in turn stops at it.
  std::atomic<bool> failed_{false};
  size_t preparedUnits_ = 0;  // units known prepared from the first on (this thread's view)
  std::unique_ptr<PreparingThread> run_;
  std::unique_ptr<PreparingThread> second_;
  std::optional<DeferringErrors> deferring_;
  std::function<void(const std::stop_token&)> afterPass_;
  std::jthread thread_;  // last: joined before the units go
};

}  // namespace qar
