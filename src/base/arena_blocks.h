#pragma once
// The 2 MiB blocks of the line arena (text_arena.h), and a thread that maps
// and touches the next ones ahead of use while a large database is filled.
//
// Filling a block costs the kernel a fault, a page to clear and its
// accounting every 4 KiB: about a third of the time spent reading a large
// symbol file, on the one thread that reads it. The thread that reads the
// data files beside it is often done first, and a core is then idle; the
// supply does that work there instead.
#include <cstddef>

namespace qar {

inline constexpr size_t kArenaBlockSize = size_t{2} << 20;

// A new block, aligned to its size and advised as adviseNewBlock decides;
// nullptr when the system has no memory for it.
char* mapArenaBlock();
void unmapArenaBlock(char* block);

// Starts a thread that keeps `ahead` blocks mapped and touched; nothing when
// one is running or no thread can be had. The blocks it made and nobody took
// are unmapped by stopArenaBlockSupply.
void startArenaBlockSupply(size_t ahead);
void stopArenaBlockSupply();

// A block the supply made ready, or nullptr when none is (the caller then
// maps its own: the supply never makes the arena wait).
char* takeSuppliedArenaBlock();

// Blocks taken from the supply since it was last started, and blocks it
// holds ready now (tests).
size_t suppliedArenaBlocksTaken();
size_t suppliedArenaBlocksReady();

// Starts the supply for the time of a scope.
class ArenaBlockSupply {
 public:
  explicit ArenaBlockSupply(size_t ahead) { startArenaBlockSupply(ahead); }
  ~ArenaBlockSupply() { stopArenaBlockSupply(); }
  ArenaBlockSupply(const ArenaBlockSupply&) = delete;
  ArenaBlockSupply& operator=(const ArenaBlockSupply&) = delete;
};

}  // namespace qar
