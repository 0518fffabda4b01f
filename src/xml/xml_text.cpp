#include "xml/xml_text.h"

#include "xml/postxml.h"

namespace qar {

// One pass gives the same result as replacing "&" first and the other
// characters after it: no replacement produces a character that a later
// replacement would touch again.
void appendEscapedXml(std::string& out, std::string_view text) {
  size_t plainStart = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::string_view replacement;
    switch (c) {
      case '&': replacement = "&amp;"; break;
      case '<': replacement = "&lt;"; break;
      case '>': replacement = "&gt;"; break;
      case '\'': replacement = "&apos;"; break;
      case '"': replacement = "&quot;"; break;
      default:
        if (c >= 0x01 && c <= 0x1F) replacement = "?";
        break;
    }
    if (replacement.empty()) continue;
    out.append(text.substr(plainStart, i - plainStart));
    out.append(replacement);
    plainStart = i + 1;
  }
  out.append(text.substr(plainStart));
}

const char* escapeInto(std::string& buffer, std::string_view text) {
  buffer.clear();
  appendEscapedXml(buffer, text);
  return buffer.c_str();
}

std::string escapeXmlText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  appendEscapedXml(escaped, text);
  return escaped;
}

}  // namespace qar
