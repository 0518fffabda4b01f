// Reading a coverage history of many runs back, as qarpost-export does for
// the trend before every run that keeps one: the goal is under 50 ms for
// 10,000 entries.
#include <benchmark/benchmark.h>

#include <string>

#include "export/change/coverage_history.h"

namespace {

std::string historyText(int entries) {
  qar::RunResult run;
  std::string text;
  for (int i = 0; i < entries; ++i) {
    run.lineCoverage.lines = {150000u + static_cast<uint32_t>(i), 120000u + static_cast<uint32_t>(i)};
    run.lineCoverage.branches = {80000, 51234};
    run.lineCoverage.functions = {9000, 8123};
    run.statements.total = 400000;
    run.statements.hits = 312345;
    run.mcdc = {3000, 2100};
    const std::string label = "commit " + std::to_string(1000000 + i);
    text += qar::historyLine(1764950400 + i * 3600, &label, run);
  }
  return text;
}

void BM_ReadHistory(benchmark::State& state) {
  const std::string text = historyText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    qar::HistoryRead read = qar::parseHistory(text);
    benchmark::DoNotOptimize(read.entries.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["entries"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ReadHistory)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
