#include "export/gates/delta_gates.h"

#include "base/posterr.h"
#include "export/gates/coverage_gates.h"
#include "export/walk/export_numbers.h"

namespace qar {
namespace {

struct DeltaFigures {
  CoverageCount before;
  CoverageCount now;
  const ChangeCounts* items = nullptr;  // none for statements, which are figures only
};

DeltaFigures figuresOf(GateMeasure measure, const BaselineComparison& c) {
  auto of = [&](ChangeMeasure m) {
    const ChangeCounts& counts = c.totals[static_cast<int>(m)];
    return DeltaFigures{counts.before, counts.now, &counts};
  };
  switch (measure) {
    case GateMeasure::Line: return of(ChangeMeasure::Lines);
    case GateMeasure::Branch: return of(ChangeMeasure::Branches);
    case GateMeasure::Function: return of(ChangeMeasure::Functions);
    case GateMeasure::Mcdc: return of(ChangeMeasure::Mcdc);
    case GateMeasure::Statement: return DeltaFigures{c.statementsBefore, c.statementsNow, nullptr};
    case GateMeasure::Ter: break;
  }
  return {};
}

std::string measureLabel(GateMeasure measure) {
  switch (measure) {
    case GateMeasure::Line: return "line coverage";
    case GateMeasure::Branch: return "branch coverage";
    case GateMeasure::Function: return "function coverage";
    case GateMeasure::Statement: return "statement coverage";
    case GateMeasure::Mcdc: return "MC/DC condition coverage";
    case GateMeasure::Ter: break;
  }
  return {};
}

__extension__ typedef __int128 Wide;

// The change as every output shows it, the difference of the two
// truncated percents; a fall that this hides still shows its direction
// ("-0.00"). The gate itself compares the exact figures.
std::string changeText(const DeltaFigures& f) {
  const Wide cross = Wide{f.now.hit} * f.before.found - Wide{f.before.hit} * f.now.found;
  const int64_t hundredths = percentChangeHundredths(f.before, f.now);
  return hundredths == 0 && cross < 0 ? "-0.00" : pointsText(hundredths);
}

bool missed(const DeltaGate& gate, const DeltaFigures& f) {
  // 100 × (nh/nf − bh/bf) < points / scale, multiplied out.
  const Wide cross = Wide{f.now.hit} * f.before.found - Wide{f.before.hit} * f.now.found;
  return cross * 100 * static_cast<Wide>(kThresholdScale) < Wide{gate.points} * f.now.found * f.before.found;
}

void appendItems(std::string& line, uint32_t count, std::string_view what) {
  appendDecimal(line, count);
  line += count == 1 ? " item " : " items ";
  line += what;
}

}  // namespace

std::optional<DeltaGate> parseDeltaGate(std::string_view text) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view points = text.substr(equals + 1);
  bool negative = false;
  if (!points.empty() && (points[0] == '-' || points[0] == '+')) {
    negative = points[0] == '-';
    points.remove_prefix(1);
  }
  // The magnitude is read as a gate's percent: 0 to 100, nine decimals at most.
  std::string probe(text.substr(0, equals));
  probe += '=';
  probe += points;
  std::optional<CoverageGate> magnitude = parseCoverageGate(probe);
  if (!magnitude || points.ends_with('%') || magnitude->measure == GateMeasure::Ter) return std::nullopt;
  DeltaGate gate;
  gate.measure = magnitude->measure;
  gate.points = static_cast<int64_t>(magnitude->threshold) * (negative ? -1 : 1);
  gate.pointsText = std::string(text.substr(equals + 1));
  return gate;
}

bool applyDeltaGates(const std::vector<DeltaGate>& gates, const BaselineComparison& comparison) {
  bool anyMissed = false;
  for (const DeltaGate& gate : gates) {
    const DeltaFigures f = figuresOf(gate.measure, comparison);
    if (f.before.found == 0 || f.now.found == 0) {
      writeDiagnostic("QARPost notice: gate delta." + std::string(gateMeasureName(gate.measure)) +
                      " not applicable: nothing to count " + (f.before.found == 0 ? "in the baseline" : "now") +
                      "\n");
      continue;
    }
    if (!missed(gate, f)) continue;
    anyMissed = true;
    std::string line = "QARPost gate missed: ";
    line += measureLabel(gate.measure);
    line += " changed by ";
    line += changeText(f);
    line += " points since the baseline (";
    line += gatePercentText(GateFigure{f.before.hit, f.before.found});
    line += " % to ";
    line += gatePercentText(GateFigure{f.now.hit, f.now.found});
    line += " %";
    if (f.items) {
      line += "; ";
      appendItems(line, f.items->lost, "lost, ");
      appendDecimal(line, f.items->gained);
      line += " gained";
    }
    line += "), less than ";
    line += gate.pointsText;
    line += '\n';
    writeDiagnostic(line);
  }
  return anyMissed;
}

}  // namespace qar
