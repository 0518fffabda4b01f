#include "export/output/export_text.h"

#include <cstdint>
#include <cstring>

namespace qar {
namespace {

// The length of the valid UTF-8 sequence at `at` (1 to 4), or 0 when the
// bytes there are not one: no overlong forms, no surrogates, nothing above
// U+10FFFF.
size_t utf8SequenceLength(const unsigned char* at, const unsigned char* end) {
  const unsigned char lead = at[0];
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - at) < length) return 0;
  if (at[1] < low || at[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (at[i] < 0x80 || at[i] > 0xBF) return 0;
  }
  return length;
}

void appendLatin1(std::string& out, unsigned char byte) {
  out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
  out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
}

// Walks `text` as characters: ASCII bytes go to `ascii`, which appends them
// (escaped as its format needs); longer characters are appended as UTF-8,
// `nonCharacter` standing for U+FFFE and U+FFFF when given.
template <typename Ascii, typename Plain>
void appendConverted(std::string& out, std::string_view text, Ascii ascii, const char* nonCharacter, Plain plain) {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = at + text.size();
  while (at < end) {
    // Most texts are plain ASCII that needs no escape: appended in one go.
    const auto* run = at;
    while (run < end && plain(*run)) ++run;
    if (run > at) {
      out.append(reinterpret_cast<const char*>(at), static_cast<size_t>(run - at));
      at = run;
      continue;
    }
    if (*at < 0x80) {
      ascii(out, static_cast<char>(*at));
      ++at;
      continue;
    }
    size_t length = utf8SequenceLength(at, end);
    if (length == 0) {
      appendLatin1(out, *at);
      ++at;
      continue;
    }
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (nonCharacter != nullptr && length == 3 && at[0] == 0xEF && at[1] == 0xBF && at[2] >= 0xBE) {
      out += nonCharacter;
    } else {
      out.append(reinterpret_cast<const char*>(at), length);
    }
    at += length;
  }
}

// Which bytes a format takes as they stand.
constexpr auto printableAscii = [](unsigned char c) { return c >= 0x20 && c < 0x80; };
constexpr auto anyAscii = [](unsigned char c) { return c < 0x80; };
constexpr auto plainJson = [](unsigned char c) { return printableAscii(c) && c != '"' && c != '\\'; };
constexpr auto plainXml = [](unsigned char c) {
  return printableAscii(c) && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
};

}  // namespace

void appendUtf8(std::string& out, std::string_view text) {
  appendConverted(out, text, [](std::string& o, char c) { o.push_back(c); }, nullptr, anyAscii);
}

void appendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  appendConverted(
      out, text,
      [](std::string& o, char c) {
        switch (c) {
          case '"': o += "\\\""; return;
          case '\\': o += "\\\\"; return;
          case '\n': o += "\\n"; return;
          case '\t': o += "\\t"; return;
          case '\r': o += "\\r"; return;
          default: break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          o += "\\u00";
          o.push_back(kHex[(c >> 4) & 0xF]);
          o.push_back(kHex[c & 0xF]);
          return;
        }
        o.push_back(c);
      },
      nullptr, plainJson);
  out.push_back('"');
}

char* writeJsonString(char* at, std::string_view text) {
  *at++ = '"';
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t plain = 0;
  while (plain < text.size() && plainJson(bytes[plain])) ++plain;
  if (plain == text.size()) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
    *at++ = '"';
    return at;
  }
  // A text to escape or convert is rare: put together as appendJsonString
  // does, in a buffer kept for the next one.
  static thread_local std::string escaped;
  escaped.clear();
  appendJsonString(escaped, text);
  std::memcpy(at - 1, escaped.data(), escaped.size());
  return at - 1 + escaped.size();
}

void appendXmlText(std::string& out, std::string_view text) {
  appendConverted(
      out, text,
      [](std::string& o, char c) {
        switch (c) {
          case '&': o += "&amp;"; return;
          case '<': o += "&lt;"; return;
          case '>': o += "&gt;"; return;
          case '"': o += "&quot;"; return;
          case '\'': o += "&apos;"; return;
          default: break;
        }
        o.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
      },
      "?", plainXml);
}

void appendLcovText(std::string& out, std::string_view text) {
  appendConverted(
      out, text, [](std::string& o, char c) { o.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c); },
      nullptr, printableAscii);
}

}  // namespace qar
