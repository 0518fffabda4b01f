// postxml: the XML report, one document streamed in a single pass over the
// CoverageDatabase.
#include "xml/postxml.h"

#include "xml/xml_output.h"
#include "xml/xml_report.h"

namespace qar {
namespace {

void writeXmlDocument() {
  writeXmlDocumentHead();
  XmlTotals overall;
  XmlModesSeen seen;
  writeXmlFileBlocks(overall, seen);
  writeXmlOverallSummary(overall, seen);
  writeXml("</qar_xml_report>\n");
  closeXmlOutput();
}

}  // namespace

void writeXmlReport(std::string_view outputName) {
  openXmlOutput(outputName);
  writeXmlDocument();
}

}  // namespace qar
