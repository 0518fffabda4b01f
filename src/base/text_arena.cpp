#include "base/text_arena.h"

#include <cstdint>
#include <new>
#include <stdexcept>

#include "base/arena_blocks.h"

namespace qar {

static_assert(TextArena::kBlockSize == kArenaBlockSize);

void TextArena::BlockRelease::operator()(char* block) const { unmapArenaBlock(block); }

// Blocks are mappings of their own, not heap memory: the heap of a large run
// lies in huge pages (base/heap_pages.h), where the slack around an aligned
// heap block would be made resident with the page it falls in. A large run
// has them made ready on another thread (arena_blocks.h).
TextArena::Block TextArena::allocateBlock() {
  char* block = takeSuppliedArenaBlock();
  if (block == nullptr) block = mapArenaBlock();
  if (block == nullptr) throw std::bad_alloc();
  return Block(block);
}

uint32_t TextArena::storeInNewPlace(std::string_view text) {
  if (text.empty()) return 0;
  if (text.size() > kMaxTextLength) throw std::length_error("text longer than an arena entry");
  const size_t prefixSize = text.size() < kLongLength ? 1 : 1 + sizeof(uint16_t);
  const size_t entrySize = (prefixSize + text.size() + 1) & ~size_t{1};
  if (!blocks_) makeTable();
  if (entrySize > kBlockSize - used_) {
    if (blockCount_ == kMaxBlocks) throw std::bad_alloc();
    // Not zero-filled: every byte handed out is written first.
    blocks_[blockCount_] = allocateBlock();
    ++blockCount_;
    used_ = 0;
  }
  char* entry = blocks_[blockCount_ - 1].get() + used_;
  if (prefixSize == 1) {
    entry[0] = static_cast<char>(text.size());
  } else {
    entry[0] = static_cast<char>(kLongLength);
    const auto length = static_cast<uint16_t>(text.size());
    std::memcpy(entry + 1, &length, sizeof length);
  }
  std::memcpy(entry + prefixSize, text.data(), text.size());
  const uint32_t reference =
      static_cast<uint32_t>(((blockCount_ - 1) << kUnitsPerBlockBits) | (used_ >> 1));
  used_ += entrySize;
  return reference;
}

void TextArena::makeTable() {
  // The first block is made before the table is published, so that a view
  // of reference 0 always finds it.
  Block first = allocateBlock();
  first.get()[0] = 0;  // reference 0: the empty text
  auto table = std::make_unique<Block[]>(kMaxBlocks);
  table[0] = std::move(first);
  blocks_ = std::move(table);
  blockCount_ = 1;
  used_ = 2;
}

void TextArena::keepTableInPlace() {
  if (!blocks_) makeTable();
}

void TextArena::clear() {
  blocks_.reset();
  blockCount_ = 0;
  used_ = 0;
}

}  // namespace qar
