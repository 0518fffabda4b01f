// The texts qarpost-export reads besides qarpost's inputs: an earlier run's
// JSON export (--baseline), a coverage history (--history) and a unified
// diff (--diff). The first byte chooses the reader; none may crash, hang or
// read out of bounds on any text, and what is refused is refused with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "export/change/baseline_reader.h"
#include "export/change/coverage_history.h"
#include "export/change/unified_diff.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qarfuzz::quietStandardStreams(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      const qar::BaselineResult read = qar::parseBaseline(text);
      if (!read.baseline && read.error.empty()) std::abort();
      break;
    }
    case 1: {
      const qar::HistoryRead read = qar::parseHistory(text);
      for (const qar::HistoryEntry& entry : read.entries) {
        for (const qar::HistoryFigure& f : entry.measures) {
          if (f.hit > f.found) std::abort();
        }
      }
      break;
    }
    default: {
      const qar::DiffReadResult read = qar::parseUnifiedDiff(text);
      if (!read.diff && read.error.empty()) std::abort();
      if (read.diff) {
        for (const qar::DiffFile& file : read.diff->files) {
          for (uint32_t line : qar::changedLines(file)) (void)qar::newLineOf(file, line);
        }
      }
    }
  }
  return 0;
}
