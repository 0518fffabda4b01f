#pragma once
// postxml: the XML report.
#include <string>
#include <string_view>

namespace qar {

// Writes the XML report to `outputName` ("-" and "stdout": standard output),
// opening and closing its own output.
void writeXmlReport(std::string_view outputName);

// `text` with the characters XML gives a meaning escaped.
std::string escapeXmlText(std::string_view text);

}  // namespace qar
