// Loading benchmark: reads the symbol file and data files written by
// qarpost_generate_load_input into the coverage database and runs the
// preparation pass, as the first report of a run does.
//
//   QARPOST_BENCH_DIR=DIR qarpost_load_benchmark
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "coverage/database.h"
#include "coverage/loading.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"

namespace {

struct Inputs {
  std::vector<std::string> symbolFiles;
  std::vector<std::string> dataFiles;
  double symbolBytes = 0;
  double dataBytes = 0;
};

Inputs findInputs() {
  const char* dir = std::getenv("QARPOST_BENCH_DIR");
  Inputs inputs;
  if (dir == nullptr) return inputs;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string path = entry.path().string();
    if (entry.path().extension() == ".sym") {
      inputs.symbolFiles.push_back(path);
      inputs.symbolBytes += static_cast<double>(entry.file_size());
    } else if (entry.path().extension() == ".dat") {
      inputs.dataFiles.push_back(path);
      inputs.dataBytes += static_cast<double>(entry.file_size());
    }
  }
  std::sort(inputs.symbolFiles.begin(), inputs.symbolFiles.end());
  std::sort(inputs.dataFiles.begin(), inputs.dataFiles.end());
  return inputs;
}

double peakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

void LoadAndPrepare(benchmark::State& state) {
  static const Inputs inputs = findInputs();
  if (inputs.symbolFiles.empty()) {
    state.SkipWithError("set QARPOST_BENCH_DIR to a folder made by qarpost_generate_load_input");
    return;
  }
  qar::OptionSettings settings;
  settings.symbolFiles = inputs.symbolFiles;
  settings.dataFiles = inputs.dataFiles;
  qar::setOptions(settings);
  double baseline = peakResidentBytes();
  for (auto _ : state) {
    qar::resetDatabase();
    try {
      qar::loadInputFiles(settings.symbolFiles, settings.dataFiles, false);
      qar::buildCoverageDatabase(false);
      qar::prepareCounters();
    } catch (const qar::ProgramExit&) {
      state.SkipWithError("loading failed");
      return;
    }
    benchmark::DoNotOptimize(qar::database().monitoredFiles.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(inputs.symbolBytes) * state.iterations());
  state.counters["symbol_MB"] = inputs.symbolBytes / 1e6;
  state.counters["data_MB"] = inputs.dataBytes / 1e6;
  state.counters["files"] = static_cast<double>(qar::database().monitoredFiles.size());
  state.counters["peak_over_symbol_text"] = (peakResidentBytes() - baseline) / inputs.symbolBytes;
}
BENCHMARK(LoadAndPrepare)->Unit(benchmark::kMillisecond)->Iterations(3);

// The symbol text alone: reading it into MonitoredFiles.
void LoadSymbolFiles(benchmark::State& state) {
  static const Inputs inputs = findInputs();
  if (inputs.symbolFiles.empty()) {
    state.SkipWithError("set QARPOST_BENCH_DIR to a folder made by qarpost_generate_load_input");
    return;
  }
  qar::OptionSettings settings;
  settings.symbolFiles = inputs.symbolFiles;
  qar::setOptions(settings);
  for (auto _ : state) {
    qar::resetDatabase();
    try {
      qar::loadInputFiles(settings.symbolFiles, std::vector<std::string>{}, false);
      qar::buildCoverageDatabase(false);
    } catch (const qar::ProgramExit&) {
      state.SkipWithError("loading failed");
      return;
    }
    benchmark::DoNotOptimize(qar::database().monitoredFiles.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(inputs.symbolBytes) * state.iterations());
}
BENCHMARK(LoadSymbolFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
