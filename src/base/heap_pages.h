#pragma once
// Transparent huge pages for the heap of a large run.
#include <cstddef>

namespace qar {

// Grows the heap by about `bytes` ahead of use and advises that stretch for
// transparent huge pages, so that the allocations of a large database fault
// in 2 MiB at a time instead of 4 KiB. Memory that is not touched costs
// nothing; without huge pages, or with another allocator, it is only advice.
// Freed memory at the top of the heap is no longer given back while the run
// lasts.
void reserveHugePageHeap(size_t bytes);

}  // namespace qar
