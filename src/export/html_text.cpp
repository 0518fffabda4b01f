#include "export/html_text.h"

#include "export/export_text.h"

namespace qar {

void appendHtmlText(std::string& out, std::string_view text) {
  // Plain ASCII without anything to escape is the common case: copied as is.
  bool plain = true;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') {
      plain = false;
      break;
    }
  }
  if (plain) {
    out += text;
    return;
  }
  std::string utf8;
  appendUtf8(utf8, text);
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
          out.push_back('?');
        } else {
          out.push_back(c);
        }
    }
  }
}

uint64_t htmlSortKey(uint64_t covered, uint64_t items) {
  if (items == 0) return 1'000'000;
  return covered * 1'000'000 / items;
}

}  // namespace qar
