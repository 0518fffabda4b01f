#include "base/text_arena.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>
#include <stdexcept>

#include "base/heap_pages.h"

namespace qar {

void TextArena::BlockRelease::operator()(char* block) const { ::munmap(block, kBlockSize); }

// Blocks are mappings of their own, not heap memory: the heap of a large run
// lies in huge pages (base/heap_pages.h), where the slack around an aligned
// heap block would be made resident with the page it falls in.
TextArena::Block TextArena::allocateBlock() {
  // Twice the size mapped, to cut an aligned block out of it.
  void* mapped = ::mmap(nullptr, 2 * kBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kBlockSize - 1) & ~(kBlockSize - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  if (const uintptr_t tail = start + 2 * kBlockSize - (aligned + kBlockSize); tail > 0) {
    ::munmap(reinterpret_cast<void*>(aligned + kBlockSize), tail);
  }
  Block block(reinterpret_cast<char*>(aligned));
  adviseNewBlock(block.get(), kBlockSize);
  return block;
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
