#pragma once
// The probe elements of the XML report. Each is written on two lines: the
// first names the type and the counters, the second (indented by tabs and
// three blanks) the position, any numbering or reachability attribute and
// the description.
#include <cstdint>
#include <string>
#include <string_view>

namespace qar {

// What every probe element carries besides its counters.
struct XmlProbeFields {
  const char* type = "";
  uint32_t line = 0;
  uint32_t statementCount = 0;
  uint32_t nesting = 0;
  std::string_view descr;  // escaped when written
};

// The exepassed attribute: absent, exepassed="1" or exepassed="0".
enum class Exepassed { Absent, Reached, NotReached };

// count1="%u", with alarmed="1" when the count is 0.
void writeCount1Element(const XmlProbeFields& fields, uint32_t count1,
                        Exepassed exepassed = Exepassed::Absent);

// count2="%u", never alarmed (a constant decision seen only false).
void writeCount2Element(const XmlProbeFields& fields, uint32_t count2);

// count1="%u" count2="%u", alarmed when either is 0.
void writeCount1Count2Element(const XmlProbeFields& fields, uint32_t count1, uint32_t count2);

// No counter.
void writePlainElement(const XmlProbeFields& fields, Exepassed exepassed = Exepassed::Absent);

// A multicondition row: its one count as count1 (true row) or count2 (false
// row), with its evaluation number.
void writeEvalElement(const XmlProbeFields& fields, bool trueRow, uint32_t count, bool alarmed,
                      uint32_t evalNo);

// An MC/DC condition with its number.
void writeSubcondElement(const XmlProbeFields& fields, bool alarmed, uint32_t subcondNo);

// Writes `before`, `text` escaped (up to a NUL byte, as a C text ends) and
// `after` in one call, putting them together in `buffer`.
void writeEscapedBetween(std::string& buffer, std::string_view before, std::string_view text,
                         std::string_view after);

// A line directive before a function start tag (statement count and nesting
// 0) and one inside a function body.
void writeFileLineDirective(uint32_t line, std::string_view text);
void writeLineDirectiveInFunction(uint32_t line, uint32_t statementCount, uint32_t nesting,
                                  std::string_view text);

}  // namespace qar
