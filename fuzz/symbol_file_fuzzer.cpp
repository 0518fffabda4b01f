// A symbol file read into the database, prepared with header extraction, and
// walked by every coverage report under every coverage view; then the same
// file added twice into a new symbol file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "coverage/adding.h"
#include "coverage/loading.h"
#include "cmdline/postcmdl.h"
#include "driver/program.h"
#include "fuzz_support.h"

namespace {

constexpr qar::CoverageView kViews[] = {qar::CoverageView::AsInstrumented, qar::CoverageView::Function,
                                        qar::CoverageView::Decision, qar::CoverageView::Condition,
                                        qar::CoverageView::Mcdc};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qarfuzz::quietStandardStreams(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string symbolFile = qarfuzz::scratchPath("input.sym");
  qarfuzz::writeScratchFile(symbolFile, data, size);
  qarfuzz::resetProgramState();

  qarfuzz::runGuarded([] {
    qar::applyConfigLine("TICK=1", qar::configTable());
    qar::OptionSettings settings;
    settings.symbolFiles = std::vector<std::string>{symbolFile};
    settings.dataFiles = std::vector<std::string>{};
    settings.profileFile = "/dev/null";
    settings.untestedFile = "/dev/null";
    settings.timingFile = "/dev/null";
    settings.xmlFile = "/dev/null";
    qar::setOptions(settings);
    qar::loadInputFiles(settings.symbolFiles, settings.dataFiles, false);
    // The dispatcher builds and prepares the database (header extraction
    // included) before the first coverage report, once per run.
    for (qar::CoverageView view : kViews) {
      settings.coverageView = view;
      settings.viewGiven = view != qar::CoverageView::AsInstrumented;
      // The decision view also cuts the listing lines at 80 columns.
      settings.listingWidth = view == qar::CoverageView::Decision ? 80 : 4096;
      settings.widthGiven = view == qar::CoverageView::Decision;
      qar::setOptions(settings);
      qar::dispatchReport(qar::ReportKind::Profile, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Untested, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Timing, "/dev/null");
      qar::dispatchReport(qar::ReportKind::Xml, "/dev/null");
    }
  });

  static const std::string target = qarfuzz::scratchPath("added.sym");
  qarfuzz::resetProgramState();
  qarfuzz::runGuarded([] {
    qar::applyConfigLine("TICK=1", qar::configTable());
    qar::OptionSettings settings;
    settings.symbolFiles = std::vector<std::string>{symbolFile, symbolFile};
    settings.addTargetSymbolFile = target;
    qar::setOptions(settings);
    qar::addSymbolFiles(*settings.symbolFiles, target);
  });
  return 0;
}
