#pragma once
// A small JSON document tree: enough to read this system's own JSON back
// (an earlier run's export, the history's lines), strict on syntax so that a
// cut or foreign text is named as such.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qar {

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
