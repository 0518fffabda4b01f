#include "export/change/json_tree.h"

#include <charconv>

namespace qar {

const JsonNode* JsonNode::member(std::string_view name) const {
  for (const JsonMember& m : members) {
    if (m.key == name) return &m.value;
  }
  return nullptr;
}

namespace {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  bool parseDocument(JsonNode& root) {
    if (!value(root, 0)) return false;
    skipSpace();
    if (at_ != text_.size()) return fail("text after the document");
    return true;
  }
  const std::string& error() const { return error_; }

 private:
  static constexpr int kMaxDepth = 64;

  bool fail(std::string_view what) {
    if (error_.empty()) error_ = std::string(what) + " at byte " + std::to_string(at_);
    return false;
  }
  void skipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }
  bool literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return fail("malformed JSON");
    at_ += word.size();
    return true;
  }
  bool value(JsonNode& node, int depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    skipSpace();
    if (at_ >= text_.size()) return fail("unexpected end");
    const char c = text_[at_];
    if (c == '{') return object(node, depth);
    if (c == '[') return array(node, depth);
    if (c == '"') {
      node.kind = JsonNode::Kind::String;
      return string(node.text);
    }
    if (c == 't' || c == 'f') {
      node.kind = JsonNode::Kind::Bool;
      node.boolean = c == 't';
      return literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return literal("null");
    if (c == '-' || (c >= '0' && c <= '9')) return number(node);
    return fail("malformed JSON");
  }
  bool number(JsonNode& node) {
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
    node.kind = JsonNode::Kind::Number;
    node.text = std::string(text_.substr(start, at_ - start));
    return true;
  }
  bool hex4(uint32_t& code) {
    if (at_ + 4 > text_.size()) return fail("malformed escape");
    auto [end, ec] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
    if (ec != std::errc() || end != text_.data() + at_ + 4) return fail("malformed escape");
    at_ += 4;
    return true;
  }
  static void appendUtf8(std::string& out, uint32_t code) {
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
  bool string(std::string& out) {
    ++at_;  // the opening quote
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
  bool array(JsonNode& node, int depth) {
    node.kind = JsonNode::Kind::Array;
    ++at_;
    skipSpace();
    if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
    while (true) {
      node.items.emplace_back();
      if (!value(node.items.back(), depth + 1)) return false;
      skipSpace();
      if (at_ >= text_.size()) return fail("unexpected end");
      if (text_[at_] == ']') return ++at_, true;
      if (text_[at_++] != ',') return fail("malformed JSON");
    }
  }
  bool object(JsonNode& node, int depth) {
    node.kind = JsonNode::Kind::Object;
    ++at_;
    skipSpace();
    if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
    while (true) {
      skipSpace();
      if (at_ >= text_.size() || text_[at_] != '"') return fail("malformed JSON");
      std::string key;
      if (!string(key)) return false;
      skipSpace();
      if (at_ >= text_.size() || text_[at_++] != ':') return fail("malformed JSON");
      node.members.push_back(JsonMember{std::move(key), JsonNode{}});
      if (!value(node.members.back().value, depth + 1)) return false;
      skipSpace();
      if (at_ >= text_.size()) return fail("unexpected end");
      if (text_[at_] == '}') return ++at_, true;
      if (text_[at_++] != ',') return fail("malformed JSON");
    }
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

bool parseJson(std::string_view text, JsonNode& root, std::string& error) {
  JsonParser parser(text);
  if (parser.parseDocument(root)) return true;
  error = parser.error();
  return false;
}

bool toCount(const JsonNode* node, uint32_t& out) {
  if (node == nullptr || node->kind != JsonNode::Kind::Number) return false;
  const std::string& t = node->text;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

}  // namespace qar
