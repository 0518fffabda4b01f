#include "export/gates/gate_settings.h"

#include <iterator>

namespace qar {
namespace {

constexpr std::string_view kMeasureNames[] = {"line", "branch", "function", "statement", "ter", "mcdc"};

}  // namespace

std::string_view gateMeasureName(GateMeasure measure) { return kMeasureNames[static_cast<int>(measure)]; }

std::optional<CoverageGate> parseCoverageGate(std::string_view text) {
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view measure = text.substr(0, equals);
  std::string_view percent = text.substr(equals + 1);
  CoverageGate gate;
  bool known = false;
  for (size_t m = 0; m < std::size(kMeasureNames); ++m) {
    if (measure == kMeasureNames[m]) {
      gate.measure = static_cast<GateMeasure>(m);
      known = true;
    }
  }
  if (!known) return std::nullopt;
  if (percent.ends_with('%')) percent.remove_suffix(1);
  gate.thresholdText = std::string(percent);

  // Digits, then optionally "." and one to nine digits.
  uint64_t whole = 0;
  uint64_t fraction = 0;
  size_t i = 0;
  size_t wholeDigits = 0;
  for (; i < percent.size() && percent[i] >= '0' && percent[i] <= '9'; ++i, ++wholeDigits) {
    if (whole > 100) return std::nullopt;
    whole = whole * 10 + static_cast<uint64_t>(percent[i] - '0');
  }
  if (wholeDigits == 0) return std::nullopt;
  if (i < percent.size()) {
    if (percent[i] != '.') return std::nullopt;
    ++i;
    uint64_t scale = kThresholdScale;
    size_t fractionDigits = 0;
    for (; i < percent.size() && percent[i] >= '0' && percent[i] <= '9'; ++i, ++fractionDigits) {
      if (fractionDigits == 9) return std::nullopt;
      scale /= 10;
      fraction += static_cast<uint64_t>(percent[i] - '0') * scale;
    }
    if (fractionDigits == 0 || i < percent.size()) return std::nullopt;
  }
  gate.threshold = whole * kThresholdScale + fraction;
  if (gate.threshold > 100 * kThresholdScale) return std::nullopt;
  return gate;
}

}  // namespace qar
