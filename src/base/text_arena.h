#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace qar {

// Keeps many short texts in 2 MiB blocks and names each by a 32-bit
// reference, so that a stored line costs its text, a one-byte length (three
// bytes from 255 on) and four bytes wherever it is referred to. A text stays
// valid until the arena is cleared. Reference 0 is the empty text, also in
// an empty arena.
//
// A text is at most 65,535 bytes (symbol-file lines are at most 4,095); the
// references count two-byte units and reach 8 GiB of stored text, more
// gives std::bad_alloc.
//
// Its table of blocks is made once, at its full size, with the first block:
// a block never moves and the table never grows. Once the table is made
// (keepTableInPlace), other threads may view the texts stored so far while
// this one stores more, rewrites its own texts in place or views them.
class TextArena {
 public:
  static constexpr size_t kMaxTextLength = 65535;

  uint32_t store(std::string_view text) {
    // Inline for the usual text: short, and room left in the last block.
    const size_t size = text.size();
    const size_t entrySize = (size + 2) & ~size_t{1};
    if (size == 0 || size >= kLongLength || blockCount_ == 0 || entrySize > kBlockSize - used_) {
      return storeInNewPlace(text);
    }
    char* entry = blocks_[blockCount_ - 1].get() + used_;
    entry[0] = static_cast<char>(size);
    std::memcpy(entry + 1, text.data(), size);
    const auto reference = static_cast<uint32_t>(((blockCount_ - 1) << kUnitsPerBlockBits) | (used_ >> 1));
    used_ += entrySize;
    return reference;
  }
  std::string_view view(uint32_t reference) const {
    // Only the table's place is read here, never the count of blocks, which
    // the storing thread changes.
    if (!blocks_) return std::string_view();
    const char* entry = blocks_[reference >> kUnitsPerBlockBits].get() + (size_t{reference & kUnitMask} << 1);
    const auto shortLength = static_cast<unsigned char>(entry[0]);
    if (shortLength != kLongLength) return std::string_view(entry + 1, shortLength);
    uint16_t length;
    std::memcpy(&length, entry + 1, sizeof length);
    return std::string_view(entry + 1 + sizeof length, length);
  }
  // The bytes of a stored text, for rewriting it in place (same length).
  char* editable(uint32_t reference) { return const_cast<char*>(view(reference).data()); }
  // Makes the table and the first block if there are none yet: from then on
  // views from other threads read nothing that storing changes.
  void keepTableInPlace();
  void clear();
  size_t bytesReserved() const { return blockCount_ << kBlockBits; }

  // References count two-byte units: entries start on even offsets.
  static constexpr unsigned kBlockBits = 21;
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;

 private:
  static constexpr unsigned kUnitsPerBlockBits = kBlockBits - 1;
  static constexpr uint32_t kUnitMask = (uint32_t{1} << kUnitsPerBlockBits) - 1;
  static constexpr size_t kMaxBlocks = size_t{1} << (32 - kUnitsPerBlockBits);
  static constexpr unsigned char kLongLength = 255;  // a two-byte length follows

  // Blocks are aligned and advised for transparent huge pages, as long as
  // they pay (adviseNewBlock): filling a large database with small pages
  // costs a page fault every 4 KiB.
  struct BlockRelease {
    void operator()(char* block) const;
  };
  using Block = std::unique_ptr<char, BlockRelease>;
  static Block allocateBlock();
  void makeTable();
  // store for the empty text, long texts and a full (or no) last block.
  uint32_t storeInNewPlace(std::string_view text);

  std::unique_ptr<Block[]> blocks_;  // kMaxBlocks entries, the first blockCount_ in use
  size_t blockCount_ = 0;
  size_t used_ = 0;  // bytes used in the last block
};

}  // namespace qar
