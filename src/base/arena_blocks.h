#pragma once
// The 2 MiB blocks of the line arena (text_arena.h), and a supply of the next
// ones made ready ahead of use by a thread with nothing else to do.
//
// Filling a block costs the kernel a fault, a page to clear and its
// accounting every 4 KiB: about a third of the time spent reading a large
// symbol file, on the one thread that reads it. The thread that reads the
// data files beside it is often done first, and a core is then idle: it
// then maps and touches the blocks the reading will need.
#include <cstddef>
#include <stop_token>

namespace qar {

inline constexpr size_t kArenaBlockSize = size_t{2} << 20;

// A new block, aligned to its size and advised as adviseNewBlock decides;
// nullptr when the system has no memory for it.
char* mapArenaBlock();
void unmapArenaBlock(char* block);

// While the supply is open, a thread in supplyArenaBlocks keeps `ahead`
// blocks mapped and touched. Closing it ends that loop and unmaps the blocks
// nobody took.
void openArenaBlockSupply(size_t ahead);
void closeArenaBlockSupply();

// Makes blocks ready until the supply is closed or `stop` is requested (or
// no memory is left); returns at once when the supply is not open.
void supplyArenaBlocks(std::stop_token stop);

// A block made ready, or nullptr when none is (the caller then maps its own:
// the supply never makes the arena wait).
char* takeSuppliedArenaBlock();

// Blocks taken since the supply was last opened, and blocks ready now (tests).
size_t suppliedArenaBlocksTaken();
size_t suppliedArenaBlocksReady();

// The supply open for the time of a scope.
class ArenaBlockSupply {
 public:
  explicit ArenaBlockSupply(size_t ahead) { openArenaBlockSupply(ahead); }
  ~ArenaBlockSupply() { closeArenaBlockSupply(); }
  ArenaBlockSupply(const ArenaBlockSupply&) = delete;
  ArenaBlockSupply& operator=(const ArenaBlockSupply&) = delete;
};

}  // namespace qar
