#include "export/html/html_natural_order.h"

namespace qar {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  int tie = 0;  // the first difference in leading zeros, for equal values
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      size_t ia = i;
      size_t jb = j;
      while (ia < a.size() && a[ia] == '0') ++ia;
      while (jb < b.size() && b[jb] == '0') ++jb;
      size_t ea = ia;
      size_t eb = jb;
      while (ea < a.size() && isDigit(a[ea])) ++ea;
      while (eb < b.size() && isDigit(b[eb])) ++eb;
      // Without leading zeros, the longer run is the larger value; of two
      // runs of one length, the first differing digit decides.
      if (ea - ia != eb - jb) return ea - ia < eb - jb;
      const int digits = a.substr(ia, ea - ia).compare(b.substr(jb, eb - jb));
      if (digits != 0) return digits < 0;
      if (tie == 0 && ea - i != eb - j) tie = ea - i < eb - j ? -1 : 1;
      i = ea;
      j = eb;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return tie < 0;
}

}  // namespace qar
