#include "coverage/preparation_pipeline.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/posterr.h"
#include "coverage/database.h"
#include "coverage/record_reader.h"

namespace qar {
namespace {

// Line number of this module's consistency check.
constexpr unsigned long kCheckPreparationErrorEnds = 1830;

// Below this many description lines the pass takes a few milliseconds: no
// second thread for it.
constexpr size_t kPrepareAlongsideFromLines = 50000;

// Units of about this share of the lines, and at most this many lines: small
// enough that neither thread waits long for the other near the end or for
// the unit that header extraction needs next, large enough that handing
// them out costs nothing measurable.
constexpr size_t kUnitsPerPass = 512;
constexpr size_t kMaxUnitLines = 4096;

// The values of the file being prepared grow in one store reused from file
// to file, and the file then keeps a copy of exactly their size: grown in
// its own store they cost a reallocation at every doubling and one more to
// give back the reserve.
struct PreparedFileValues {
  std::vector<uint32_t> spare;

  void start(MonitoredFile& file) {
    spare.assign(file.lineValueStore.begin(), file.lineValueStore.end());
    file.lineValueStore.swap(spare);
  }

  // Once a file's values are in its lines, its counter arrays are not read
  // again. Freeing them file by file lets the heap hand their memory to the
  // value stores of the files after it, so the two are not held in full at
  // the same time. The block's header stays.
  void finish(MonitoredFile& file) {
    if (file.counterData) {
      CounterArrays& counters = *file.counterData;
      for (std::vector<uint32_t>* array :
           {&counters.functionCounts, &counters.jumpCounts, &counters.decisionTrueCounts,
            &counters.decisionFalseCounts, &counters.conditionCounts, &counters.timeTotals, &counters.timeMaxima}) {
        std::vector<uint32_t>().swap(*array);
      }
    }
    std::vector<uint32_t> values(file.lineValueStore.begin(), file.lineValueStore.end());
    file.lineValueStore.swap(values);
    spare.swap(values);
  }
};

enum class Sharing { Never, Always, BySize };

Sharing sharingChoice() {
  const char* choice = std::getenv("QARPOST_PREPARATION_ALONGSIDE");
  const std::string_view setting = choice != nullptr ? choice : "";
  if (setting == "never") return Sharing::Never;
  // "ahead" shares the pass as "always" does; header extraction reads it too.
  return setting == "always" || setting == "ahead" ? Sharing::Always : Sharing::BySize;
}

}  // namespace

// A thread's record reader state (the run's thread prepares with a copy of
// its own too: the state that the run keeps is the one of the thread that
// prepared the last unit) and its value store.
struct PreparingThread {
  RecordReaderState state;
  PreparedFileValues values;
};

PreparationPipeline::PreparationPipeline(std::function<void(const std::stop_token&)> afterPass)
    : afterPass_(std::move(afterPass)) {
  CoverageDatabase& db = database();
  const Sharing choice = sharingChoice();
  if (choice == Sharing::Never) return;
  size_t lines = 0;
  for (const MonitoredFile& file : db.monitoredFiles) lines += file.descriptionLines.size();
  if (choice == Sharing::BySize && lines < kPrepareAlongsideFromLines) return;

  files_.reserve(db.monitoredFiles.size());
  for (auto it = db.monitoredFiles.begin(); it != db.monitoredFiles.end(); ++it) files_.push_back(it);
  formUnits(lines);
  run_ = std::make_unique<PreparingThread>();
  second_ = std::make_unique<PreparingThread>();
  // Texts stored from here on (header extraction's) must not move the
  // table the second thread finds the lines' texts through.
  db.lineTexts.keepTableInPlace();
  deferring_.emplace();
  try {
    thread_ = std::jthread([this](std::stop_token stop) { runSecondThread(stop); });
  } catch (const std::system_error&) {
    // No thread to be had: the pass in turn.
    deferring_.reset();
    return;
  }
  shared_ = true;
}

PreparationPipeline::~PreparationPipeline() = default;

void PreparationPipeline::formUnits(size_t lines) {
  const size_t unitLines = std::clamp<size_t>(lines / kUnitsPerPass, 1, kMaxUnitLines);
  units_ = std::make_unique<Unit[]>(files_.size());
  unitOfFile_.resize(files_.size());
  size_t inUnit = 0;
  for (size_t i = 0; i < files_.size(); ++i) {
    // A unit ends once it is large enough, at a file that does not depend
    // on the ones before it (asked of few files: only at those places).
    if (i == 0 || (inUnit >= unitLines && !preparationTakesPendingSums(*files_[i]))) {
      if (i != 0) units_[unitCount_ - 1].end = i;
      units_[unitCount_++].begin = i;
      inUnit = 0;
    }
    unitOfFile_[i] = unitCount_ - 1;
    inUnit += files_[i]->descriptionLines.size();
  }
  if (unitCount_ != 0) units_[unitCount_ - 1].end = files_.size();
}

PreparationPipeline::Unit* PreparationPipeline::takeUnit() {
  if (failed_.load(std::memory_order_relaxed)) return nullptr;
  const size_t taken = nextUnit_.fetch_add(1, std::memory_order_relaxed);
  return taken < unitCount_ ? &units_[taken] : nullptr;
}

void PreparationPipeline::prepareUnit(Unit& unit, PreparingThread& thread) {
  // One buffer for the unit: it carries the pending sums from one record
  // (and file) to the next. A unit's first file takes none.
  Probe record;
  try {
    for (size_t i = unit.begin; i < unit.end; ++i) {
      MonitoredFile& file = *files_[i];
      thread.values.start(file);
      prepareFileLines(thread.state, files_[i], record);
      thread.values.finish(file);
    }
  } catch (...) {
    unit.failure = std::current_exception();
    unit.preparedBy = &thread;
    failed_.store(true, std::memory_order_relaxed);
    unit.state.store(kFailed, std::memory_order_release);
    unit.state.notify_all();
    return;
  }
  unit.preparedBy = &thread;
  unit.state.store(kPrepared, std::memory_order_release);
  unit.state.notify_all();
}

void PreparationPipeline::runSecondThread(const std::stop_token& stop) {
  DeferringErrors deferring;
  while (!stop.stop_requested()) {
    Unit* unit = takeUnit();
    if (unit == nullptr) break;
    prepareUnit(*unit, *second_);
  }
  // Also after a failure: the run's thread ends that work once it meets the
  // failure, and may be waiting for it until then.
  if (afterPass_ && !stop.stop_requested()) afterPass_(stop);
}

bool PreparationPipeline::prepareThrough(size_t last) {
  if (!shared_) return true;
  const size_t needed = unitOfFile_[last];
  while (preparedUnits_ <= needed) {
    Unit& unit = units_[preparedUnits_];
    int state = unit.state.load(std::memory_order_acquire);
    if (state == 0) {
      if (Unit* other = takeUnit()) {
        prepareUnit(*other, *run_);
        continue;
      }
      // Nothing handed out: every unit has been taken, the one needed too
      // (it is being prepared), or a failure in a unit before it stopped the
      // hand-out before it.
      if (nextUnit_.load(std::memory_order_relaxed) <= preparedUnits_) return false;
      unit.state.wait(0, std::memory_order_acquire);
      state = unit.state.load(std::memory_order_acquire);
    }
    if (state == kFailed) return false;
    ++preparedUnits_;
  }
  return true;
}

void PreparationPipeline::settle() {
  if (settled_) return;
  settled_ = true;
  CoverageDatabase& db = database();
  if (!shared_) {
    // One buffer for the whole walk: it carries the pending sums from one
    // record (and file) to the next.
    Probe record;
    PreparedFileValues values;
    for (auto file = db.monitoredFiles.begin(); file != db.monitoredFiles.end(); ++file) {
      values.start(*file);
      prepareFileLines(file, record);
      values.finish(*file);
    }
    db.countersPrepared = true;
    return;
  }
  while (Unit* unit = takeUnit()) prepareUnit(*unit, *run_);
  thread_.join();
  deferring_.reset();
  // Every unit before the first that failed was taken before it, and every
  // unit taken has been prepared: its error is the one the pass in turn meets.
  for (size_t u = 0; u < unitCount_; ++u) {
    if (units_[u].state.load(std::memory_order_acquire) == kFailed) {
      reportThreadFailure(units_[u].failure);
      failInternal("postsym", kCheckPreparationErrorEnds);
    }
  }
  if (unitCount_ != 0) adoptRecordReaderState(units_[unitCount_ - 1].preparedBy->state);
  db.countersPrepared = true;
}

}  // namespace qar
