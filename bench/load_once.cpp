// Loading alone, once, as a process of its own so that its wall time and
// peak memory can be measured from outside: everything a coverage report run
// does before it writes its first line (input headers checked, symbol files
// and data files read into the database, the preparation pass, header
// extraction), and nothing after.
//
//   qarpost_load_once SYMBOLFILE... -- DATAFILE...
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/database.h"
#include "coverage/loading.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "selection/header_extraction.h"

namespace {

// The peak resident memory so far (VmHWM), to show which phase sets it.
double peakResidentMegabytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  double kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %lf kB", &kilobytes) == 1) break;
  }
  std::fclose(status);
  return kilobytes / 1024;
}

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> symbolFiles;
  std::vector<std::string> dataFiles;
  bool data = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--") data = true;
    else (data ? dataFiles : symbolFiles).emplace_back(argument);
  }
  if (symbolFiles.empty()) {
    std::fprintf(stderr, "usage: qarpost_load_once SYMBOLFILE... -- DATAFILE...\n");
    return 2;
  }
  qar::OptionSettings settings;
  settings.symbolFiles = symbolFiles;
  settings.dataFiles = dataFiles;
  qar::setOptions(settings);
  // Each phase's wall time goes to stderr, to show where loading spends it,
  // with the CPU time of the process and of this thread: on a busy machine
  // the wall time of work shared with a second thread says little, the CPU
  // time this thread spent bounds it from below on an idle one.
  using Clock = std::chrono::steady_clock;
  Clock::time_point mark = Clock::now();
  double processMark = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  double threadMark = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  auto phase = [&](const char* name) {
    const Clock::time_point now = Clock::now();
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    std::fprintf(stderr, "%-22s %8.3f s  cpu %6.3f s, this thread %6.3f s  peak %6.1f MB\n", name,
                 std::chrono::duration<double>(now - mark).count(), process - processMark, thread - threadMark,
                 peakResidentMegabytes());
    mark = now;
    processMark = process;
    threadMark = thread;
  };
  try {
    qar::loadInputFiles(settings.symbolFiles, settings.dataFiles, false);
    phase("read inputs");
    qar::buildCoverageDatabase(false);
    phase("build database");
    // The two overlap on two threads: one phase.
    qar::prepareCountersAndExtractHeaders();
    phase("prepare + extract");
  } catch (const qar::ProgramExit& exit) {
    return exit.status;
  }
  const qar::CoverageDatabase& db = qar::database();
  size_t lines = 0;
  size_t values = 0;
  for (const qar::MonitoredFile& file : db.monitoredFiles) {
    lines += file.descriptionLines.size();
    values += file.lineValueStore.size();
  }
  std::printf("%zu files loaded, %zu lines (%.1f MB), line texts %.1f MB, line values %.1f MB\n",
              db.monitoredFiles.size(), lines, static_cast<double>(lines * sizeof(qar::DescriptionLine)) / 1e6,
              static_cast<double>(db.lineTexts.bytesReserved()) / 1e6,
              static_cast<double>(values * sizeof(uint32_t)) / 1e6);
  return 0;
}
