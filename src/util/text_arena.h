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
  struct BlockRelease {
    void operator()(char* block) const;
  };
  using Block = std::unique_ptr<char, BlockRelease>;
  static Block allocateBlock(size_t size);

  // Two megabytes: one huge page where the system offers them, which spares
  // the page faults of filling a large database with small pages.
  size_t blockSize_ = size_t{1} << 21;
  std::vector<Block> blocks_;
  char* cursor_ = nullptr;
  size_t left_ = 0;
  size_t reserved_ = 0;
};

}  // namespace qar
