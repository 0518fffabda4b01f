#include "export/formats/json_parts.h"

#include "export/walk/export_numbers.h"
#include "listings/measures.h"

namespace qar {

void appendJsonKey(std::string& text, std::string_view name) {
  text.push_back('"');
  text.append(name);
  text.append("\": ", 3);
}

void appendJsonCount(std::string& text, std::string_view name, uint64_t value) {
  appendJsonKey(text, name);
  appendDecimal(text, value);
}

void appendJsonCoverageCount(std::string& text, std::string_view name, const CoverageCount& count) {
  appendJsonKey(text, name);
  text += "{";
  appendJsonCount(text, "found", count.found);
  text += ", ";
  appendJsonCount(text, "hit", count.hit);
  text += ", ";
  appendJsonCount(text, "percent", terPercent(count.found, count.found - count.hit));
  text += "}";
}

}  // namespace qar
