#include "export/formats/json_parts.h"

#include "export/walk/export_numbers.h"

namespace qar {

void appendJsonKey(std::string& text, std::string_view name) {
  TextRoom(text, name.size() + 4).put('"').put(name).put("\": ");
}

void appendJsonCount(std::string& text, std::string_view name, uint64_t value) {
  TextRoom(text, name.size() + 4 + kDecimalRoom).put('"').put(name).put("\": ").number(value);
}

void appendJsonPercent(std::string& text, uint64_t hit, uint64_t found, EmptyPercent empty) {
  appendJsonKey(text, "percent");
  if (found == 0) {
    text += empty == EmptyPercent::Null ? "null" : "100";
  } else {
    appendDecimal(text, hit * 100 / found);
  }
}

void appendJsonCoverageCount(std::string& text, std::string_view name, const CoverageCount& count,
                             EmptyPercent empty) {
  appendJsonKey(text, name);
  text += "{";
  appendJsonCount(text, "found", count.found);
  text += ", ";
  appendJsonCount(text, "hit", count.hit);
  text += ", ";
  appendJsonPercent(text, count.hit, count.found, empty);
  text += "}";
}

}  // namespace qar
