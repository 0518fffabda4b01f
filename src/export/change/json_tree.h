#pragma once
// Reading this system's own JSON back (an earlier run's export, the
// history's lines), strict on syntax so that a cut or foreign text is named
// as such. A cursor walks a document value by value without building it, so
// that an export of hundreds of megabytes is read into the few figures
// wanted; a small tree is built from it where a whole value is wanted.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) : text_(text) {}

  // Each call reads one step and returns false once the text is not what
  // was asked for (or was malformed); the first failure is kept in error().
  bool beginObject();
  // The next member's key, or false at the object's end (consumed, no error).
  bool nextMember(std::string& key);
  bool beginArray();
  // True when another item follows, false at the array's end (consumed).
  bool nextItem();
  bool string(std::string& out);
  bool count(uint32_t& out);  // an unsigned 32-bit integer
  bool wideCount(uint64_t& out);
  bool boolean(bool& out);
  // Reads `null` when it comes next; false (no error) otherwise.
  bool null();
  // Passes over one value of any kind.
  bool skip();
  // Whether only blanks are left.
  bool atEnd();

  // The first character of the next value (after blanks), 0 at the end.
  char peek();
  // A number's text as written.
  bool numberText(std::string& out);

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  bool fail(std::string_view what);

 private:
  static constexpr int kMaxDepth = 64;
  void skipSpace();
  bool literal(std::string_view word);
  bool hex4(uint32_t& code);
  bool skipValue(int depth);
  bool separatorOrEnd(char end, bool& more);

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
  // Whether the container being read has had its first item or member.
  std::vector<bool> started_;
};

struct JsonMember;

struct JsonNode {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's value, or a number's digits
  std::vector<JsonNode> items;
  std::vector<JsonMember> members;  // a member type of its own: a pair of an incomplete node does not build everywhere

  const JsonNode* member(std::string_view name) const;
};

struct JsonMember {
  std::string key;
  JsonNode value;
};

// Parses one whole document; false with `error` naming what and where
// ("unexpected end at byte 812") when the text is not one.
bool parseJson(std::string_view text, JsonNode& root, std::string& error);

// An unsigned 32-bit count, or false when the node is none.
bool toCount(const JsonNode* node, uint32_t& out);

}  // namespace qar
