// A data file read for the reports (next to a fixed symbol file whose file
// blocks it can attach to), for the contents listing with counters, and for
// adding into a new target.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "coverage/adding.h"
#include "coverage/loading.h"
#include "cmdline/postcmdl.h"
#include "driver/program.h"
#include "fuzz_support.h"

namespace {

// The bundled example's symbol file: the seeds are data files written for it,
// so mutated counter blocks still find their MonitoredFile.
constexpr char kSymbolText[] = R"(Tarvo sym 9
Fri Dec  5 15:00:00 2025
@src/shapes.c
3 1764946800 5A17C0DE 0 0
0 3 0 0 0 classify
42 5 0 0 1 sides
14 6 0 0 1 3
13 7 1 1 2 TRIANGLE
14 8 1 2 1 4
13 9 2 3 2 QUAD
15 10 2 4 1
12 11 3 5 2
3 12 3 0 1
13 13 4 6 1 OTHER
2 14 4 0 0
0 16 0 1 0 find_first
23 19 1 0 1 i < n
20 20 1 1 2 v[i] == key
12 21 2 7 3
3 21 2 0 2
3 22 2 0 1
20 23 2 2 1 i == n
13 24 3 8 2 -1
3 24 3 0 1
40 25 3 0 1
13 26 4 9 2 i
3 26 4 0 1
2 27 4 0 0
0 29 0 2 0 shapes_reset
1 32 1 10 0
%32,3,11,3,0,0
@src/parser.cpp
11 1764946800 0BADF00D 0 0
0 3 0 0 0 parse_number
60 5 0 0 1
13 6 1 1 2 std::stoi(text)
3 7 1 0 1
63 8 1 2 1 const std::invalid_argument&
3 10 2 0 1
13 11 3 3 1 0
2 12 3 0 0
0 14 0 1 0 sum_all
102 17 1 4 1 const auto& item : items
3 19 2 0 1
13 20 3 5 1 total
2 21 3 0 0
%21,2,6,0,0,2
@src/logic.c
7 1764946800 00C0FFEE 0 0
0 3 0 0 0 both
78 5 0 0 1 0
79 5 0 0 1 1,2
70 5 0 0 1 a && b
75 5 0 0 1 TT
76 5 0 1 1 TF
76 5 0 2 1 F_
80 5 0 0 1 0,1
81 5 0 0 1 2
77 5 0 0 1 a
80 5 0 0 1 0
81 5 0 0 1 1
77 5 0 0 1 b
13 6 1 0 2 1
3 6 1 0 1
13 7 2 1 1 0
2 8 2 0 0
0 10 0 1 0 is_debug
30 12 0 0 1 DEBUG_LEVEL > 0
13 13 1 2 2 1
3 13 1 0 1
13 14 2 3 1 0
2 15 2 0 0
%15,2,4,1,3,0
@src/util.c
1 1764946800 13579BDF 0 0
0 3 0 0 0 util_init
0 8 0 1 0 util_version
%12,2,0,0,0,0
END OF SYMBOLFILE
)";

const std::string& symbolFile() {
  static const std::string path = [] {
    std::string name = qarfuzz::scratchPath("fixed.sym");
    qarfuzz::writeScratchFile(name, reinterpret_cast<const uint8_t*>(kSymbolText), sizeof kSymbolText - 1);
    return name;
  }();
  return path;
}

void readForReports(const std::string& dataFile) {
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([&] {
    qar::applyConfigLine("TICK=1", qar::configTable());
    qar::OptionSettings settings;
    settings.symbolFiles = std::vector<std::string>{symbolFile()};
    settings.dataFiles = std::vector<std::string>{dataFile};
    qar::setOptions(settings);
    qar::loadInputFiles(settings.symbolFiles, settings.dataFiles, false);
    for (qar::CoverageView view : {qar::CoverageView::AsInstrumented, qar::CoverageView::Mcdc}) {
      settings.coverageView = view;
      settings.viewGiven = view != qar::CoverageView::AsInstrumented;
      qar::setOptions(settings);
      qar::dispatchReport(qar::ReportKind::Profile, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Untested, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Timing, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Xml, "/dev/null");
    }
  });
}

void listContents(const std::string& dataFile) {
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([&] {
    qar::applyConfigLine("TICK=1", qar::configTable());
    qar::OptionSettings settings;
    settings.symbolFiles = std::vector<std::string>{symbolFile()};
    settings.dataFiles = std::vector<std::string>{dataFile};
    settings.listContentsWithCounters = true;
    qar::setOptions(settings);
    qar::loadInputFiles(settings.symbolFiles, settings.dataFiles, true);
    qar::dispatchReport(qar::ReportKind::ContentsWithCounters, "stdout");
  });
}

void addTwice(const std::string& dataFile) {
  static const std::string target = qarfuzz::scratchPath("added.dat");
  std::remove(target.c_str());
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([&] {
    qar::applyConfigLine("TICK=1", qar::configTable());
    qar::OptionSettings settings;
    settings.dataFiles = std::vector<std::string>{dataFile, dataFile};
    settings.addTargetDataFile = target;
    qar::setOptions(settings);
    qar::addDataFiles(*settings.dataFiles, target);
  });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qarfuzz::quietStandardStreams(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dataFile = qarfuzz::scratchPath("input.dat");
  qarfuzz::writeScratchFile(dataFile, data, size);
  readForReports(dataFile);
  listContents(dataFile);
  addTwice(dataFile);
  return 0;
}
