#include "base/file_names.h"

namespace qar {
namespace {

// Reads a header name backwards in its compared form: cut to
// kHeaderPathLength characters, folded, each run of "/" read as one.
class HeaderPathFromEnd {
 public:
  explicit HeaderPathFromEnd(std::string_view name)
      : text_(name.substr(0, kHeaderPathLength)), end_(text_.size()) {}

  bool usedUp() const { return end_ == 0; }
  char current() const { return foldFileNameChar(text_[end_ - 1]); }
  void step() {
    --end_;
    // A "/" directly followed by another "/" is not part of the compared form.
    while (end_ > 0 && current() == '/' && foldFileNameChar(text_[end_]) == '/') --end_;
  }
  // The current character is the "." of a "./".
  bool onDotOfDotSlash() const {
    return current() == '.' && end_ < text_.size() && foldFileNameChar(text_[end_]) == '/';
  }

 private:
  std::string_view text_;
  size_t end_;  // one past the current character; 0 when used up
};

}  // namespace

bool sameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Names compared are nearly always written alike: one memory compare.
  if (a == b) return true;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!sameFileNameChar(a[i], b[i])) return false;
  }
  return true;
}

bool sameHeaderPath(std::string_view a, std::string_view b) {
  if (sameFileName(a, b)) return true;
  HeaderPathFromEnd left(a);
  HeaderPathFromEnd right(b);
  while (!left.usedUp() && !right.usedUp() && left.current() == right.current()) {
    left.step();
    right.step();
  }
  if (left.usedUp()) return right.usedUp() || right.current() == '/';
  if (right.usedUp()) return left.current() == '/';
  return left.onDotOfDotSlash() || right.onDotOfDotSlash();
}

void normaliseHeaderPath(std::string_view name, std::string& out) {
  std::string_view cut = name.substr(0, kHeaderPathLength);
  out.clear();
  for (size_t i = 0; i < cut.size(); ++i) {
    char c = foldFileNameChar(cut[i]);
    if (c == '/' && i + 1 < cut.size() && foldFileNameChar(cut[i + 1]) == '/') continue;
    out.push_back(c);
  }
}

std::string_view headerPathFinalComponent(std::string_view name) {
  std::string_view cut = name.substr(0, kHeaderPathLength);
  size_t slash = cut.find_last_of("/\\");
  return slash == std::string_view::npos ? cut : cut.substr(slash + 1);
}

}  // namespace qar
