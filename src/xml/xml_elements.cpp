#include "xml/xml_elements.h"

#include <cstdio>
#include <string>

#include "xml/xml_output.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

// Reused for every description, so elements cost no allocation.
std::string& descrBuffer() {
  static std::string buffer;
  return buffer;
}

// The second line; `attribute` (" exepassed=\"1\"", " eval_no=\"2\"", ...)
// stands between the nesting and the description.
void writeSecondLine(const XmlProbeFields& fields, const char* attribute) {
  printXml("\n\t\t\t\t   line=\"%u\" sc_count=\"%u\" nesting=\"%u\"%s descr=\"%s\" />\n", fields.line,
           fields.statementCount, fields.nesting, attribute, escapeInto(descrBuffer(), fields.descr));
}

const char* exepassedAttribute(Exepassed exepassed) {
  switch (exepassed) {
    case Exepassed::Reached: return " exepassed=\"1\"";
    case Exepassed::NotReached: return " exepassed=\"0\"";
    case Exepassed::Absent: break;
  }
  return "";
}

void writeNumberedSecondLine(const XmlProbeFields& fields, const char* name, uint32_t number) {
  char attribute[48];
  std::snprintf(attribute, sizeof attribute, " %s=\"%u\"", name, number);
  writeSecondLine(fields, attribute);
}

const char* alarm(bool alarmed) { return alarmed ? " alarmed=\"1\"" : ""; }

}  // namespace

void writeCount1Element(const XmlProbeFields& fields, uint32_t count1, Exepassed exepassed) {
  printXml("\t\t\t\t<probe type=\"%s\" count1=\"%u\"%s", fields.type, count1, alarm(count1 == 0));
  writeSecondLine(fields, exepassedAttribute(exepassed));
}

void writeCount2Element(const XmlProbeFields& fields, uint32_t count2) {
  printXml("\t\t\t\t<probe type=\"%s\" count2=\"%u\"", fields.type, count2);
  writeSecondLine(fields, "");
}

void writeCount1Count2Element(const XmlProbeFields& fields, uint32_t count1, uint32_t count2) {
  printXml("\t\t\t\t<probe type=\"%s\" count1=\"%u\" count2=\"%u\"%s", fields.type, count1, count2,
           alarm(count1 == 0 || count2 == 0));
  writeSecondLine(fields, "");
}

void writePlainElement(const XmlProbeFields& fields, Exepassed exepassed) {
  printXml("\t\t\t\t<probe type=\"%s\"", fields.type);
  writeSecondLine(fields, exepassedAttribute(exepassed));
}

void writeEvalElement(const XmlProbeFields& fields, bool trueRow, uint32_t count, bool alarmed,
                      uint32_t evalNo) {
  printXml("\t\t\t\t<probe type=\"%s\" %s=\"%u\"%s", fields.type, trueRow ? "count1" : "count2", count,
           alarm(alarmed));
  writeNumberedSecondLine(fields, "eval_no", evalNo);
}

void writeSubcondElement(const XmlProbeFields& fields, bool alarmed, uint32_t subcondNo) {
  // The unalarmed first line keeps the blank that the alarm would follow.
  printXml("\t\t\t\t<probe type=\"%s\" %s", fields.type, alarmed ? "alarmed=\"1\"" : "");
  writeNumberedSecondLine(fields, "subcond_no", subcondNo);
}

void writeFileLineDirective(uint32_t line, std::string_view text) {
  printXml("\t\t<probe type=\"linedir\"\n\t\t   line=\"%u\" sc_count=\"0\" nesting=\"0\" descr=\"%s\" />\n", line,
           escapeInto(descrBuffer(), text));
}

void writeLineDirectiveInFunction(uint32_t line, uint32_t statementCount, uint32_t nesting,
                                  std::string_view text) {
  printXml("\t\t\t\t<probe type=\"linedir_in_function\"");
  writeSecondLine(XmlProbeFields{"", line, statementCount, nesting, text}, "");
}

}  // namespace qar
