#include "export/formats/sonar_export.h"

#include "export/walk/export_numbers.h"
#include "export/output/export_text.h"

namespace qar {

void beginSonarDocument(ExportStream& out) {
  out.buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<coverage version=\"1\">\n";
}

void writeSonarFile(ExportStream& out, const PathTable& table) {
  std::string& text = out.buffer;
  text += "  <file path=\"";
  appendXmlText(text, table.path);
  text += "\">\n";
  forEachLine(table, [&](const LineHits& line, const LineBranches& branches) {
    text += "    <lineToCover lineNumber=\"";
    appendDecimal(text, line.line);
    text += line.hits > 0 ? "\" covered=\"true\"" : "\" covered=\"false\"";
    if (branches.found > 0) {
      text += " branchesToCover=\"";
      appendDecimal(text, branches.found);
      text += "\" coveredBranches=\"";
      appendDecimal(text, branches.hit);
      text.push_back('"');
    }
    text += "/>\n";
    settleExportBuffer(out);
  });
  text += "  </file>\n";
  settleExportBuffer(out);
}

void endSonarDocument(ExportStream& out) { out.buffer += "</coverage>\n"; }

}  // namespace qar
