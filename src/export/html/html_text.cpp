#include "export/html/html_text.h"

#include <array>
#include <bit>
#include <cstring>

#include "export/output/export_text.h"

namespace qar {

namespace {

// The entity of an ASCII byte, "?" for a control character other than tab,
// nullptr for a byte written as it is.
constexpr const char* asciiEntity(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    case '\t': return nullptr;
    default: return static_cast<unsigned char>(c) < 0x20 ? "?" : nullptr;
  }
}

// Text from its first byte above ASCII on: read as UTF-8 (or Latin-1) first.
void appendConvertedText(std::string& out, std::string_view text) {
  std::string utf8;
  appendUtf8(utf8, text);
  for (char c : utf8) {
    if (const char* entity = asciiEntity(c)) {
      out += entity;
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

void appendHtmlText(std::string& out, std::string_view text) {
  // Runs of plain ASCII are copied whole. ASCII bytes are whole characters,
  // so the text from the first other byte on converts as it would in the
  // whole text.
  size_t plain = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (static_cast<unsigned char>(c) >= 0x80) {
      out.append(text.data() + plain, at - plain);
      appendConvertedText(out, text.substr(at));
      return;
    }
    if (const char* entity = asciiEntity(c)) {
      out.append(text.data() + plain, at - plain);
      out += entity;
      plain = at + 1;
    }
  }
  out.append(text.data() + plain, text.size() - plain);
}

namespace {

// The ASCII bytes written as they are.
constexpr std::array<bool, 256> kPlainByte = [] {
  std::array<bool, 256> plain{};
  for (size_t c = 0x20; c < 0x80; ++c) plain[c] = asciiEntity(static_cast<char>(c)) == nullptr;
  plain['\t'] = true;
  return plain;
}();

// The high bit of the bytes of `x` that may need more than a copy: control
// characters (tab included, which is then copied), bytes above ASCII and
// & < > " '. Exact up to the first such byte in memory order on a
// little-endian machine (the borrows of the tests run upwards), which is
// all that is read of it; zero when no byte needs care.
constexpr uint64_t carefulBytes(uint64_t x) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  constexpr uint64_t kHighs = 0x8080808080808080;
  const auto equal = [](uint64_t bytes, char c) {
    const uint64_t y = bytes ^ (kOnes * static_cast<unsigned char>(c));
    return (y - kOnes) & ~y & kHighs;
  };
  return (x & kHighs) | ((x - kOnes * 0x20) & ~x & kHighs) | equal(x, '&') | equal(x, '<') | equal(x, '>') |
         equal(x, '"') | equal(x, '\'');
}

// How many bytes of an eight with careful bytes come before the first.
size_t plainBefore(uint64_t careful) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(careful)) / 8;
  } else {
    return 0;  // the bytewise test decides
  }
}

}  // namespace

char* writeHtmlText(char* at, std::string_view text) {
  // Eight bytes at a time: copied whole, the output kept up to the first
  // byte that needs care, which is then written on its own. Descriptions
  // of conditions have one every few bytes ("a->b < 3 && c"). Writing all
  // eight stays within the room: six bytes are kept for each byte, so
  // while eight are left to read eight more fit after what was written.
  size_t i = 0;
  while (i + 8 <= text.size()) {
    uint64_t eight = 0;
    std::memcpy(&eight, text.data() + i, 8);
    std::memcpy(at, &eight, 8);
    const uint64_t careful = carefulBytes(eight);
    if (careful == 0) {
      at += 8;
      i += 8;
      continue;
    }
    const size_t plain = plainBefore(careful);
    at += plain;
    i += plain;
    const char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) break;
    if (const char* entity = asciiEntity(c)) {
      const size_t size = std::strlen(entity);
      std::memcpy(at, entity, size);
      at += size;
    } else {
      *at++ = c;
    }
    ++i;
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (kPlainByte[static_cast<unsigned char>(c)]) {
      *at++ = c;
      continue;
    }
    if (static_cast<unsigned char>(c) >= 0x80) {
      // Rare: converted as appendHtmlText does. A Latin-1 byte becomes two
      // bytes, within the room of six.
      std::string rest;
      appendConvertedText(rest, text.substr(i));
      std::memcpy(at, rest.data(), rest.size());
      return at + rest.size();
    }
    const char* entity = asciiEntity(c);
    const size_t size = std::strlen(entity);
    std::memcpy(at, entity, size);
    at += size;
  }
  return at;
}

uint64_t htmlSortKey(uint64_t covered, uint64_t items) {
  if (items == 0) return 1'000'000;
  return covered * 1'000'000 / items;
}

void appendHtmlPath(std::string& out, std::string_view path) {
  size_t start = 0;
  for (size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', start)) {
    appendHtmlText(out, path.substr(start, slash + 1 - start));
    if (slash + 1 < path.size()) out += "<wbr>";
    start = slash + 1;
  }
  appendHtmlText(out, path.substr(start));
}

}  // namespace qar
