#include "xml/xml_text.h"

#include <cstring>

#include "xml/postxml.h"

namespace qar {

namespace {

// Which replacement each byte has (0: none, it stands for itself): the five
// markup characters and the control bytes 0x01 to 0x1F.
constexpr std::string_view kReplacements[] = {"", "?", "&amp;", "&lt;", "&gt;", "&apos;", "&quot;"};

// For the texts written in place, a NUL byte ends the text (as a C text
// ends): found by the same lookup, without a search before.
constexpr unsigned char kEndOfText = 7;

struct EscapeTable {
  unsigned char replacement[256] = {};
  constexpr explicit EscapeTable(bool nulEndsText) {
    if (nulEndsText) replacement[0] = kEndOfText;
    for (int c = 0x01; c <= 0x1F; ++c) replacement[c] = 1;
    set('&', 2);
    set('<', 3);
    set('>', 4);
    set('\'', 5);
    set('"', 6);
  }
  constexpr void set(char c, unsigned char code) { replacement[static_cast<unsigned char>(c)] = code; }
};

constexpr EscapeTable kEscapes(false);
constexpr EscapeTable kEscapesToNul(true);

}  // namespace

// One pass gives the same result as replacing "&" first and the other
// characters after it: no replacement produces a character that a later
// replacement would touch again. Plain runs are appended whole.
void appendEscapedXml(std::string& out, std::string_view text) {
  const char* const data = text.data();
  const size_t size = text.size();
  size_t plainStart = 0;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char replacement = kEscapes.replacement[static_cast<unsigned char>(data[i])];
    if (replacement == 0) continue;
    out.append(data + plainStart, i - plainStart);
    out.append(kReplacements[replacement]);
    plainStart = i + 1;
  }
  out.append(data + plainStart, size - plainStart);
}

char* putEscapedXml(char* at, std::string_view text) {
  for (const char c : text) {
    const unsigned char replacement = kEscapesToNul.replacement[static_cast<unsigned char>(c)];
    if (replacement == 0) {
      *at++ = c;
      continue;
    }
    if (replacement == kEndOfText) break;
    const std::string_view entity = kReplacements[replacement];
    std::memcpy(at, entity.data(), entity.size());
    at += entity.size();
  }
  return at;
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
