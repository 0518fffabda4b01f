#include "export/change/json_tree.h"

#include <charconv>

namespace qar {
namespace {

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

template <typename Number>
bool unsignedOf(std::string_view digits, Number& out) {
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
  return ec == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

bool JsonCursor::fail(std::string_view what) {
  if (error_.empty()) error_ = std::string(what) + " at byte " + std::to_string(at_);
  return false;
}

void JsonCursor::skipSpace() {
  while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
    ++at_;
  }
}

char JsonCursor::peek() {
  skipSpace();
  return at_ < text_.size() ? text_[at_] : '\0';
}

bool JsonCursor::atEnd() {
  skipSpace();
  return at_ == text_.size();
}

bool JsonCursor::literal(std::string_view word) {
  if (text_.substr(at_, word.size()) != word) return fail("malformed JSON");
  at_ += word.size();
  return true;
}

bool JsonCursor::beginObject() {
  if (failed()) return false;
  if (peek() != '{') return fail(at_ < text_.size() ? "an object expected" : "unexpected end");
  if (started_.size() >= kMaxDepth) return fail("nesting too deep");
  ++at_;
  started_.push_back(false);
  return true;
}

bool JsonCursor::beginArray() {
  if (failed()) return false;
  if (peek() != '[') return fail(at_ < text_.size() ? "an array expected" : "unexpected end");
  if (started_.size() >= kMaxDepth) return fail("nesting too deep");
  ++at_;
  started_.push_back(false);
  return true;
}

// Before an item or member: a separator after the first, or the end.
bool JsonCursor::separatorOrEnd(char end, bool& more) {
  more = false;
  if (failed() || started_.empty()) return false;
  const char c = peek();
  if (c == '\0') return fail("unexpected end");
  if (c == end) {
    ++at_;
    started_.pop_back();
    return true;
  }
  if (started_.back()) {
    if (c != ',') return fail("malformed JSON");
    ++at_;
    if (peek() == end) return fail("malformed JSON");
  }
  started_.back() = true;
  more = true;
  return true;
}

bool JsonCursor::nextMember(std::string& key) {
  bool more = false;
  if (!separatorOrEnd('}', more) || !more) return false;
  key.clear();
  if (peek() != '"') return fail("malformed JSON");
  if (!string(key)) return false;
  if (peek() != ':') return fail("malformed JSON");
  ++at_;
  return true;
}

bool JsonCursor::nextItem() {
  bool more = false;
  return separatorOrEnd(']', more) && more;
}

bool JsonCursor::hex4(uint32_t& code) {
  if (at_ + 4 > text_.size()) return fail("malformed escape");
  auto [end, ec] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
  if (ec != std::errc() || end != text_.data() + at_ + 4) return fail("malformed escape");
  at_ += 4;
  return true;
}

bool JsonCursor::string(std::string& out) {
  if (failed()) return false;
  if (peek() != '"') return fail(at_ < text_.size() ? "a string expected" : "unexpected end");
  ++at_;
  while (true) {
    if (at_ >= text_.size()) return fail("unexpected end in a string");
    const char c = text_[at_++];
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return fail("control character in a string");
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (at_ >= text_.size()) return fail("unexpected end in a string");
    const char e = text_[at_++];
    switch (e) {
      case '"': case '\\': case '/': out.push_back(e); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        uint32_t code = 0;
        if (!hex4(code)) return false;
        if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
          at_ += 2;
          uint32_t low = 0;
          if (!hex4(low) || low < 0xDC00 || low >= 0xE000) return fail("malformed escape");
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
        break;
      }
      default: return fail("malformed escape");
    }
  }
}

bool JsonCursor::numberText(std::string& out) {
  if (failed()) return false;
  const char first = peek();
  if (first != '-' && (first < '0' || first > '9')) return fail(first ? "a number expected" : "unexpected end");
  const size_t start = at_;
  if (text_[at_] == '-') ++at_;
  auto digits = [&] {
    const size_t from = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > from;
  };
  if (!digits()) return fail("malformed number");
  if (at_ < text_.size() && text_[at_] == '.') {
    ++at_;
    if (!digits()) return fail("malformed number");
  }
  if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
    ++at_;
    if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
    if (!digits()) return fail("malformed number");
  }
  out.assign(text_.substr(start, at_ - start));
  return true;
}

bool JsonCursor::count(uint32_t& out) {
  std::string digits;
  if (!numberText(digits)) return false;
  return unsignedOf(digits, out) || fail("a count expected");
}

bool JsonCursor::wideCount(uint64_t& out) {
  std::string digits;
  if (!numberText(digits)) return false;
  return unsignedOf(digits, out) || fail("a count expected");
}

bool JsonCursor::boolean(bool& out) {
  if (failed()) return false;
  const char c = peek();
  if (c != 't' && c != 'f') return fail(c ? "true or false expected" : "unexpected end");
  out = c == 't';
  return literal(out ? "true" : "false");
}

bool JsonCursor::null() {
  if (failed() || peek() != 'n') return false;
  return literal("null");
}

bool JsonCursor::skipValue(int depth) {
  if (depth > kMaxDepth) return fail("nesting too deep");
  std::string scratch;
  switch (peek()) {
    case '{':
      if (!beginObject()) return false;
      while (nextMember(scratch)) {
        if (!skipValue(depth + 1)) return false;
      }
      return !failed();
    case '[':
      if (!beginArray()) return false;
      while (nextItem()) {
        if (!skipValue(depth + 1)) return false;
      }
      return !failed();
    case '"': return string(scratch);
    case 't': case 'f': {
      bool ignored = false;
      return boolean(ignored);
    }
    case 'n': return null();
    case '\0': return fail("unexpected end");
    default: return numberText(scratch);
  }
}

bool JsonCursor::skip() { return skipValue(0); }

const JsonNode* JsonNode::member(std::string_view name) const {
  for (const JsonMember& m : members) {
    if (m.key == name) return &m.value;
  }
  return nullptr;
}

namespace {

bool buildNode(JsonCursor& cursor, JsonNode& node) {
  switch (cursor.peek()) {
    case '{': {
      node.kind = JsonNode::Kind::Object;
      if (!cursor.beginObject()) return false;
      std::string key;
      while (cursor.nextMember(key)) {
        node.members.push_back(JsonMember{std::move(key), JsonNode{}});
        if (!buildNode(cursor, node.members.back().value)) return false;
      }
      return !cursor.failed();
    }
    case '[':
      node.kind = JsonNode::Kind::Array;
      if (!cursor.beginArray()) return false;
      while (cursor.nextItem()) {
        if (!buildNode(cursor, node.items.emplace_back())) return false;
      }
      return !cursor.failed();
    case '"': node.kind = JsonNode::Kind::String; return cursor.string(node.text);
    case 't': case 'f': node.kind = JsonNode::Kind::Bool; return cursor.boolean(node.boolean);
    case 'n': node.kind = JsonNode::Kind::Null; return cursor.null();
    case '\0': return cursor.fail("unexpected end");
    default: node.kind = JsonNode::Kind::Number; return cursor.numberText(node.text);
  }
}

}  // namespace

bool parseJson(std::string_view text, JsonNode& root, std::string& error) {
  JsonCursor cursor(text);
  if (buildNode(cursor, root) && !cursor.atEnd()) cursor.fail("text after the document");
  if (!cursor.failed()) return true;
  error = cursor.error();
  return false;
}

bool toCount(const JsonNode* node, uint32_t& out) {
  return node != nullptr && node->kind == JsonNode::Kind::Number && unsignedOf(node->text, out);
}

}  // namespace qar
