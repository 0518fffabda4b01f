#include "export/formats/lcov_export.h"

#include <algorithm>

#include "export/walk/export_numbers.h"
#include "export/output/export_text.h"

namespace qar {
namespace {

void appendFunctionName(std::string& out, std::string_view name) {
  size_t start = out.size();
  appendLcovText(out, name);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), ',', ';');
}

void appendCount(std::string& out, const char* tag, uint32_t value) {
  out += tag;
  appendDecimal(out, value);
  out.push_back('\n');
}

}  // namespace

void writeLcovRecord(ExportStream& out, const PathTable& table, const std::vector<std::string>& names,
                     const LineCoverage& coverage) {
  std::string& text = out.buffer;
  text += "TN:\nSF:";
  appendLcovText(text, table.path);
  text.push_back('\n');

  for (size_t i = 0; i < table.functions.size(); ++i) {
    text += "FN:";
    appendDecimal(text, table.functions[i].line);
    text.push_back(',');
    appendFunctionName(text, names[i]);
    text.push_back('\n');
  }
  for (size_t i = 0; i < table.functions.size(); ++i) {
    text += "FNDA:";
    appendDecimal(text, table.functions[i].calls);
    text.push_back(',');
    appendFunctionName(text, names[i]);
    text.push_back('\n');
  }
  appendCount(text, "FNF:", coverage.functions.found);
  appendCount(text, "FNH:", coverage.functions.hit);

  for (const BranchCount& branch : table.branches) {
    TextRoom(text, 5 + 4 * (kDecimalRoom + 1))
        .put("BRDA:")
        .number(branch.line)
        .put(',')
        .number(branch.block)
        .put(',')
        .number(branch.branch)
        .put(',')
        .number(branch.taken)
        .put('\n');
    settleExportBuffer(out);
  }
  appendCount(text, "BRF:", coverage.branches.found);
  appendCount(text, "BRH:", coverage.branches.hit);

  for (const LineHits& line : table.lines) {
    TextRoom(text, 3 + 2 * (kDecimalRoom + 1)).put("DA:").number(line.line).put(',').number(line.hits).put('\n');
    settleExportBuffer(out);
  }
  appendCount(text, "LF:", coverage.lines.found);
  appendCount(text, "LH:", coverage.lines.hit);
  text += "end_of_record\n";
  settleExportBuffer(out);
}

}  // namespace qar
