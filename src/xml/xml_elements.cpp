#include "xml/xml_elements.h"

#include <cstring>
#include <string>

#include "base/quick_format.h"
#include "xml/xml_output.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

// One element at a time is put together here and written with one call: the
// report writes millions of them, and reading a format for each cost more
// than the rest of the element.
std::string& elementBuffer() {
  static std::string buffer;
  return buffer;
}

// A description ends at its first NUL byte, as a C text would.
std::string_view upToNul(std::string_view text) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul == nullptr ? text : text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
}

// `name="number"`, with the blank before it.
void appendNumberAttribute(std::string& out, std::string_view name, uint32_t number) {
  out += ' ';
  out += name;
  out += "=\"";
  appendUnsigned(out, number);
  out += '"';
}

// The first line's start: `<probe type="TYPE"`.
std::string& startElement(std::string_view indent, const char* type) {
  std::string& out = elementBuffer();
  out.clear();
  out += indent;
  out += "<probe type=\"";
  out += type;
  out += '"';
  return out;
}

// The second line, ended and written; `attribute` (" exepassed=\"1\"",
// " eval_no=\"2\"", ...) stands between the nesting and the description.
void finishElement(std::string& out, std::string_view indent, uint32_t line, uint32_t statementCount,
                   uint32_t nesting, std::string_view attribute, std::string_view descr) {
  out += '\n';
  out += indent;
  out += "   line=\"";
  appendUnsigned(out, line);
  out += "\" sc_count=\"";
  appendUnsigned(out, statementCount);
  out += "\" nesting=\"";
  appendUnsigned(out, nesting);
  out += '"';
  out += attribute;
  out += " descr=\"";
  appendEscapedXml(out, upToNul(descr));
  out += "\" />\n";
  writeXml(out);
}

constexpr std::string_view kProbeIndent = "\t\t\t\t";

void finishProbe(std::string& out, const XmlProbeFields& fields, std::string_view attribute) {
  finishElement(out, kProbeIndent, fields.line, fields.statementCount, fields.nesting, attribute, fields.descr);
}

std::string_view exepassedAttribute(Exepassed exepassed) {
  switch (exepassed) {
    case Exepassed::Reached: return " exepassed=\"1\"";
    case Exepassed::NotReached: return " exepassed=\"0\"";
    case Exepassed::Absent: break;
  }
  return "";
}

std::string_view alarm(bool alarmed) { return alarmed ? " alarmed=\"1\"" : ""; }

void finishNumberedProbe(std::string& out, const XmlProbeFields& fields, std::string_view name, uint32_t number) {
  static std::string attribute;
  attribute.clear();
  appendNumberAttribute(attribute, name, number);
  finishProbe(out, fields, attribute);
}

}  // namespace

void writeCount1Element(const XmlProbeFields& fields, uint32_t count1, Exepassed exepassed) {
  std::string& out = startElement(kProbeIndent, fields.type);
  appendNumberAttribute(out, "count1", count1);
  out += alarm(count1 == 0);
  finishProbe(out, fields, exepassedAttribute(exepassed));
}

void writeCount2Element(const XmlProbeFields& fields, uint32_t count2) {
  std::string& out = startElement(kProbeIndent, fields.type);
  appendNumberAttribute(out, "count2", count2);
  finishProbe(out, fields, "");
}

void writeCount1Count2Element(const XmlProbeFields& fields, uint32_t count1, uint32_t count2) {
  std::string& out = startElement(kProbeIndent, fields.type);
  appendNumberAttribute(out, "count1", count1);
  appendNumberAttribute(out, "count2", count2);
  out += alarm(count1 == 0 || count2 == 0);
  finishProbe(out, fields, "");
}

void writePlainElement(const XmlProbeFields& fields, Exepassed exepassed) {
  std::string& out = startElement(kProbeIndent, fields.type);
  finishProbe(out, fields, exepassedAttribute(exepassed));
}

void writeEvalElement(const XmlProbeFields& fields, bool trueRow, uint32_t count, bool alarmed,
                      uint32_t evalNo) {
  std::string& out = startElement(kProbeIndent, fields.type);
  appendNumberAttribute(out, trueRow ? "count1" : "count2", count);
  out += alarm(alarmed);
  finishNumberedProbe(out, fields, "eval_no", evalNo);
}

void writeSubcondElement(const XmlProbeFields& fields, bool alarmed, uint32_t subcondNo) {
  std::string& out = startElement(kProbeIndent, fields.type);
  // The unalarmed first line keeps the blank that the alarm would follow.
  out += alarmed ? " alarmed=\"1\"" : " ";
  finishNumberedProbe(out, fields, "subcond_no", subcondNo);
}

void writeEscapedBetween(std::string& buffer, std::string_view before, std::string_view text,
                         std::string_view after) {
  buffer.assign(before);
  appendEscapedXml(buffer, upToNul(text));
  buffer += after;
  writeXml(buffer);
}

void writeFileLineDirective(uint32_t line, std::string_view text) {
  std::string& out = startElement("\t\t", "linedir");
  finishElement(out, "\t\t", line, 0, 0, "", text);
}

void writeLineDirectiveInFunction(uint32_t line, uint32_t statementCount, uint32_t nesting,
                                  std::string_view text) {
  std::string& out = startElement(kProbeIndent, "linedir_in_function");
  finishElement(out, kProbeIndent, line, statementCount, nesting, "", text);
}

}  // namespace qar
