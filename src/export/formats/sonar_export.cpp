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
    {
      // The longest line: both attributes of branches, every number at its widest.
      TextRoom room(text, 128 + 3 * kDecimalRoom);
      room.put("    <lineToCover lineNumber=\"")
          .number(line.line)
          .put(line.hits > 0 ? std::string_view("\" covered=\"true\"") : std::string_view("\" covered=\"false\""));
      if (branches.found > 0) {
        room.put(" branchesToCover=\"").number(branches.found).put("\" coveredBranches=\"").number(branches.hit).put('"');
      }
      room.put("/>\n");
    }  // the room is trimmed before the buffer may go to the file
    settleExportBuffer(out);
  });
  text += "  </file>\n";
  settleExportBuffer(out);
}

void endSonarDocument(ExportStream& out) { out.buffer += "</coverage>\n"; }

}  // namespace qar
