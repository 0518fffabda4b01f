#include "export/gates/lost_gates.h"

#include <string>

#include "base/posterr.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

constexpr std::string_view kWords[kChangeMeasureCount] = {"line", "branch", "function", "mcdc"};

}  // namespace

std::optional<ChangeMeasure> parseLostGateMeasure(std::string_view text) {
  for (size_t m = 0; m < kChangeMeasureCount; ++m) {
    if (text == kWords[m]) return static_cast<ChangeMeasure>(m);
  }
  return std::nullopt;
}

bool applyLostGates(const std::vector<ChangeMeasure>& gates, const BaselineComparison& comparison) {
  bool anyMissed = false;
  for (ChangeMeasure measure : gates) {
    const uint32_t lost = comparison.totals[static_cast<int>(measure)].lost;
    if (lost == 0) continue;
    anyMissed = true;
    std::string line = "QARPost gate missed: ";
    appendDecimal(line, lost);
    line += ' ';
    line += kWords[static_cast<int>(measure)];
    line += lost == 1 ? " item" : " items";
    line += " covered in the baseline not covered now\n";
    writeDiagnostic(line);
  }
  return anyMissed;
}

}  // namespace qar
