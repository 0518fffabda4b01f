// The prolog, header block and notices of the XML report.
#include <string>
#include <vector>

#include "config/configuration.h"
#include "coverage/database.h"
#include "cmdline/postcmdl.h"
#include "base/posterr.h"
#include "base/version.h"
#include "base/clock.h"
#include "xml/xml_output.h"
#include "xml/xml_report.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

void writeInputFiles(const char* list, const char* item, const std::vector<InputFileEntry>& files) {
  printXml("\t\t<%s>\n", list);
  std::string name;
  std::string stamp;
  for (const InputFileEntry& entry : files) {
    printXml("\t\t\t<%s>\n\t\t\t\t<name>%s</name>\n\t\t\t\t<modified>%s</modified>\n\t\t\t</%s>\n", item,
             escapeInto(name, entry.name), escapeInto(stamp, entry.stamp), item);
  }
  printXml("\t\t</%s>\n", list);
}

// Both containers are written always, empty when the option was not given.
void writePatterns(const char* list, const OptionalList& patterns) {
  printXml("\t\t<%s>\n", list);
  if (patterns) {
    std::string escaped;
    for (const std::string& pattern : *patterns) printXml("\t\t\t<name>%s</name>\n", escapeInto(escaped, pattern));
  }
  printXml("\t\t</%s>\n", list);
}

void writeTextElement(const char* element, std::string_view text) {
  std::string escaped;
  printXml("\t\t<%s>%s</%s>\n", element, escapeInto(escaped, text), element);
}

}  // namespace

void writeXmlDocumentHead() {
  const OptionSettings& settings = options();
  const CoverageDatabase& db = database();

  writeXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n<qar_xml_report>\n\n");

  printXml("\t<header_info>\n\t\t<qarpost_version>%s</qarpost_version>\n", programVersion().c_str());
  writeTextElement("copyright", kRightsNotice);
  writeTextElement("copyright", copyrightNotice());
  writeInputFiles("symbolfiles", "symbolfile", db.symbolFilesRead);
  writeInputFiles("datafiles", "datafile", db.dataFilesRead);
  writePatterns("chosen_source_files", settings.chosenFiles);
  writePatterns("unchosen_source_files", settings.unchosenFiles);
  writeTextElement("report_generated", currentTimeText());
  writeTextElement("requested_coverage_view", coverageViewText(settings.coverageView));
  writeTextElement("qarpost_options", settings.commandLineText);
  writeTextElement("execution_cost_function", configValue(ConfigParameter::Timer));
  writeTextElement("execution_cost_type", configValue(ConfigParameter::ExecutionCostType));
  writeTextElement("execution_cost_scaling", configValue(ConfigParameter::Tick));
  writeXml("\t</header_info>\n\n");

  writeXml("\t<qarpost_notices>\n");
  std::string escaped;
  for (const std::string& notice : noticeTexts()) printXml("\t\t<notice>%s</notice>\n", escapeInto(escaped, notice));
  writeXml("\t</qarpost_notices>\n\n");
}

}  // namespace qar
