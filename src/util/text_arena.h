#pragma once
#include <memory>
#include <string_view>
#include <vector>

namespace qar {

// Keeps many small texts in large blocks so that storing a line costs one
// copy and no heap allocation of its own. Stored texts stay valid, at the same
// address, until the arena is cleared.
class TextArena {
 public:
  TextArena() = default;
  explicit TextArena(size_t blockSize) : blockSize_(blockSize) {}
  std::string_view store(std::string_view text);
  void clear();
  size_t bytesReserved() const { return reserved_; }

 private:
  size_t blockSize_ = 1 << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* cursor_ = nullptr;
  size_t left_ = 0;
  size_t reserved_ = 0;
};

}  // namespace qar
