#include "util/text_arena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace qar {

void TextArena::BlockRelease::operator()(char* block) const { std::free(block); }

TextArena::Block TextArena::allocateBlock(size_t size) {
  constexpr size_t kHugePage = size_t{1} << 21;
  if (size % kHugePage != 0) {
    Block block(static_cast<char*>(std::malloc(size)));
    if (!block) throw std::bad_alloc();
    return block;
  }
  Block block(static_cast<char*>(std::aligned_alloc(kHugePage, size)));
  if (!block) throw std::bad_alloc();
  // Only advice: without transparent huge pages the block is used as it is.
  ::madvise(block.get(), size, MADV_HUGEPAGE);
  return block;
}

std::string_view TextArena::store(std::string_view text) {
  if (text.empty()) return std::string_view(cursor_ != nullptr ? cursor_ : "", 0);
  if (text.size() > left_) {
    // A text larger than a block gets a block of its own, so the unused rest of
    // the current block is not thrown away for it.
    size_t size = text.size() > blockSize_ / 4 ? text.size() : blockSize_;
    // Not zero-filled: every byte handed out is written first.
    blocks_.push_back(allocateBlock(size));
    reserved_ += size;
    if (size != blockSize_) {
      std::memcpy(blocks_.back().get(), text.data(), text.size());
      return std::string_view(blocks_.back().get(), text.size());
    }
    cursor_ = blocks_.back().get();
    left_ = size;
  }
  std::memcpy(cursor_, text.data(), text.size());
  std::string_view stored(cursor_, text.size());
  cursor_ += text.size();
  left_ -= text.size();
  return stored;
}

void TextArena::clear() {
  blocks_.clear();
  cursor_ = nullptr;
  left_ = 0;
  reserved_ = 0;
}

}  // namespace qar
