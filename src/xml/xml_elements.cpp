#include "xml/xml_elements.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/quick_format.h"
#include "xml/xml_output.h"
#include "xml/xml_text.h"

namespace qar {
namespace {

// One element at a time is put together here with a plain pointer and
// written with one call: the report writes millions of them, and appending
// them piece by piece to a string cost more than the rest of the report's
// work on an element.
std::vector<char>& elementStorage() {
  static thread_local std::vector<char> storage;
  return storage;
}

// Room for everything but the description: indents, attribute names and
// five numbers of at most 20 digits take less than 300 bytes.
constexpr size_t kFixedRoom = 512;

// A description ends at its first NUL byte, as a C text would.
std::string_view upToNul(std::string_view text) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul == nullptr ? text : text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
}

char* put(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

// `name="number"`, with the blank before it.
char* putNumberAttribute(char* at, std::string_view name, uint32_t number) {
  *at++ = ' ';
  at = put(at, name);
  at = put(at, "=\"");
  at = putDecimal(at, number);
  *at++ = '"';
  return at;
}

// The first line's start, `<probe type="TYPE"`, in a buffer with room for
// the whole element with `descr`.
char* startElement(std::string_view indent, std::string_view type, std::string_view descr) {
  std::vector<char>& storage = elementStorage();
  const size_t room = kFixedRoom + type.size() + descr.size() * kLongestEscape;
  if (storage.size() < room) storage.resize(room);
  char* at = put(storage.data(), indent);
  at = put(at, "<probe type=\"");
  at = put(at, type);
  *at++ = '"';
  return at;
}

// The second line up to its attributes: `   line="L" sc_count="S" nesting="N"`.
char* putPosition(char* at, std::string_view indent, uint32_t line, uint32_t statementCount, uint32_t nesting) {
  *at++ = '\n';
  at = put(at, indent);
  at = put(at, "   line=\"");
  at = putDecimal(at, line);
  at = put(at, "\" sc_count=\"");
  at = putDecimal(at, statementCount);
  at = put(at, "\" nesting=\"");
  at = putDecimal(at, nesting);
  *at++ = '"';
  return at;
}

// The description (up to a NUL byte, as a C text ends), the element's end,
// and the element written.
void finishElement(char* at, std::string_view descr) {
  at = put(at, " descr=\"");
  at = putEscapedXml(at, descr);
  at = put(at, "\" />\n");
  const char* begin = elementStorage().data();
  writeXml(std::string_view(begin, static_cast<size_t>(at - begin)));
}

constexpr std::string_view kProbeIndent = "\t\t\t\t";

// The fields' element up to its counters.
struct ProbeElement {
  std::string_view descr;
  char* at;
  explicit ProbeElement(const XmlProbeFields& fields)
      : descr(fields.descr), at(startElement(kProbeIndent, fields.type, descr)) {}
  // The second line, with `attribute` between the nesting and the description.
  void finish(const XmlProbeFields& fields, std::string_view attribute) {
    at = putPosition(at, kProbeIndent, fields.line, fields.statementCount, fields.nesting);
    finishElement(put(at, attribute), descr);
  }
  void finishNumbered(const XmlProbeFields& fields, std::string_view name, uint32_t number) {
    at = putPosition(at, kProbeIndent, fields.line, fields.statementCount, fields.nesting);
    finishElement(putNumberAttribute(at, name, number), descr);
  }
};

std::string_view exepassedAttribute(Exepassed exepassed) {
  switch (exepassed) {
    case Exepassed::Reached: return " exepassed=\"1\"";
    case Exepassed::NotReached: return " exepassed=\"0\"";
    case Exepassed::Absent: break;
  }
  return "";
}

std::string_view alarm(bool alarmed) { return alarmed ? " alarmed=\"1\"" : ""; }

}  // namespace

void writeCount1Element(const XmlProbeFields& fields, uint32_t count1, Exepassed exepassed) {
  ProbeElement element(fields);
  element.at = put(putNumberAttribute(element.at, "count1", count1), alarm(count1 == 0));
  element.finish(fields, exepassedAttribute(exepassed));
}

void writeCount2Element(const XmlProbeFields& fields, uint32_t count2) {
  ProbeElement element(fields);
  element.at = putNumberAttribute(element.at, "count2", count2);
  element.finish(fields, "");
}

void writeCount1Count2Element(const XmlProbeFields& fields, uint32_t count1, uint32_t count2) {
  ProbeElement element(fields);
  element.at = putNumberAttribute(element.at, "count1", count1);
  element.at = putNumberAttribute(element.at, "count2", count2);
  element.at = put(element.at, alarm(count1 == 0 || count2 == 0));
  element.finish(fields, "");
}

void writePlainElement(const XmlProbeFields& fields, Exepassed exepassed) {
  ProbeElement element(fields);
  element.finish(fields, exepassedAttribute(exepassed));
}

void writeEvalElement(const XmlProbeFields& fields, bool trueRow, uint32_t count, bool alarmed,
                      uint32_t evalNo) {
  ProbeElement element(fields);
  element.at = put(putNumberAttribute(element.at, trueRow ? "count1" : "count2", count), alarm(alarmed));
  element.finishNumbered(fields, "eval_no", evalNo);
}

void writeSubcondElement(const XmlProbeFields& fields, bool alarmed, uint32_t subcondNo) {
  ProbeElement element(fields);
  // The unalarmed first line keeps the blank that the alarm would follow.
  element.at = put(element.at, alarmed ? " alarmed=\"1\"" : " ");
  element.finishNumbered(fields, "subcond_no", subcondNo);
}

void writeEscapedBetween(std::string& buffer, std::string_view before, std::string_view text,
                         std::string_view after) {
  buffer.assign(before);
  appendEscapedXml(buffer, upToNul(text));
  buffer += after;
  writeXml(buffer);
}

void writeFileLineDirective(uint32_t line, std::string_view descr) {
  finishElement(putPosition(startElement("\t\t", "linedir", descr), "\t\t", line, 0, 0), descr);
}

void writeLineDirectiveInFunction(uint32_t line, uint32_t statementCount, uint32_t nesting,
                                  std::string_view descr) {
  finishElement(putPosition(startElement(kProbeIndent, "linedir_in_function", descr), kProbeIndent, line,
                            statementCount, nesting),
                descr);
}

}  // namespace qar
