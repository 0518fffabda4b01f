#include "base/text_arena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

namespace qar {

void TextArena::BlockRelease::operator()(char* block) const { std::free(block); }

TextArena::Block TextArena::allocateBlock() {
  constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  Block block(static_cast<char*>(std::aligned_alloc(kBlockSize, kBlockSize)));
  if (!block) throw std::bad_alloc();
  // Only advice: without transparent huge pages the block is used as it is.
  ::madvise(block.get(), kBlockSize, MADV_HUGEPAGE);
  return block;
}

uint32_t TextArena::store(std::string_view text) {
  if (text.empty()) return 0;
  if (text.size() > kMaxTextLength) throw std::length_error("text longer than an arena entry");
  constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  const size_t prefixSize = text.size() < kLongLength ? 1 : 1 + sizeof(uint16_t);
  const size_t entrySize = (prefixSize + text.size() + 1) & ~size_t{1};
  if (blocks_.empty()) {
    blocks_.push_back(allocateBlock());
    blocks_.back().get()[0] = 0;  // reference 0: the empty text
    used_ = 2;
  }
  if (entrySize > kBlockSize - used_) {
    if (blocks_.size() == kMaxBlocks) throw std::bad_alloc();
    // Not zero-filled: every byte handed out is written first.
    blocks_.push_back(allocateBlock());
    used_ = 0;
  }
  char* entry = blocks_.back().get() + used_;
  if (prefixSize == 1) {
    entry[0] = static_cast<char>(text.size());
  } else {
    entry[0] = static_cast<char>(kLongLength);
    const auto length = static_cast<uint16_t>(text.size());
    std::memcpy(entry + 1, &length, sizeof length);
  }
  std::memcpy(entry + prefixSize, text.data(), text.size());
  const uint32_t reference =
      static_cast<uint32_t>(((blocks_.size() - 1) << kUnitsPerBlockBits) | (used_ >> 1));
  used_ += entrySize;
  return reference;
}

void TextArena::clear() {
  blocks_.clear();
  used_ = 0;
}

}  // namespace qar
