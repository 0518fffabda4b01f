#pragma once
// Transparent huge pages for the memory of a large run, as long as they pay.
#include <chrono>
#include <cstddef>

namespace qar {

// Grows the heap by about `bytes` ahead of use and advises that stretch for
// transparent huge pages, so that the allocations of a large database fault
// in 2 MiB at a time instead of 4 KiB. Memory that is not touched costs
// nothing; without huge pages, or with another allocator, it is only advice.
// Freed memory at the top of the heap is no longer given back while the run
// lasts.
void reserveHugePageHeap(size_t bytes);

// Advises a new block of `size` bytes (2 MiB aligned, a multiple of 2 MiB)
// for huge pages and touches its first byte, timing that first fault: a
// huge page is zeroed whole there. On some machines (virtual ones whose host
// takes back the memory their guest frees) a huge page touched for the first
// time costs several times what its 512 small pages cost; once two blocks
// have been that slow, new blocks and the untouched rest of the heap's
// stretch are advised against huge pages for the rest of the run.
void adviseNewBlock(char* block, size_t size);

// Whether new blocks are still advised for huge pages.
bool hugePagesAdvised();

// The decision of adviseNewBlock from one first fault's time (tests).
void noteFirstFault(std::chrono::nanoseconds took);

// Huge pages advised again, no slow fault counted (tests).
void resetHugePageChoice();

}  // namespace qar
