#pragma once
// The byte layout of data files, shared by their reader and writer. Words
// are unsigned 32-bit little-endian on disk whatever the host's order.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qar::datafile {

inline constexpr std::string_view kTextPrefix = "Tarvo dat 9|";
inline constexpr size_t kStampLength = 24;
inline constexpr uint32_t kFirstMagic = 0x12345678;
inline constexpr uint32_t kSecondMagic = 0x9ABCDEF0;
inline constexpr uint32_t kBlockMagic = 0x12345678;
inline constexpr uint32_t kMaxNameLength = 261;
inline constexpr std::string_view kTrailer = "[EOF DATAFILE]";

// Positions of the words that open every counter block.
enum BlockWord : size_t {
  kWordMagic = 0,
  kWordNameLength,
  kWordTime,
  kWordFingerprint,
  kWordRwrCount,
  kWordUpdCount,
  kWordSizeF,
  kWordSizeJ,
  kWordSizeD,
  kWordSizeC,
  kWordSizeT,
  kBlockWordCount
};

inline constexpr bool kHostIsLittleEndian = std::endian::native == std::endian::little;
static_assert(kHostIsLittleEndian || std::endian::native == std::endian::big, "mixed-endian hosts are not supported");

inline uint32_t swapBytes(uint32_t w) {
  return (w >> 24) | ((w >> 8) & 0x0000FF00u) | ((w << 8) & 0x00FF0000u) | (w << 24);
}

// Converts words between the disk order and the host order, in place; a
// no-op on little-endian hosts.
inline void convertWordOrder(uint32_t* words, size_t count) {
  if constexpr (!kHostIsLittleEndian) {
    for (size_t i = 0; i < count; ++i) words[i] = swapBytes(words[i]);
  }
}

inline uint32_t loadWord(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline void storeWord(unsigned char* bytes, uint32_t word) {
  bytes[0] = static_cast<unsigned char>(word);
  bytes[1] = static_cast<unsigned char>(word >> 8);
  bytes[2] = static_cast<unsigned char>(word >> 16);
  bytes[3] = static_cast<unsigned char>(word >> 24);
}

// The writer's stamp becomes the current data file stamp, as a read one does.
void setCurrentDataFileStamp(std::string stamp);

}  // namespace qar::datafile
