#include "selection/file_names.h"

namespace qar {

bool sameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!sameFileNameChar(a[i], b[i])) return false;
  }
  return true;
}

}  // namespace qar
