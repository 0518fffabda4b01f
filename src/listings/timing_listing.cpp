// PLACEHOLDER until the execution time listing lands: fails loudly.
#include "driver/posterr.h"
#include "listings/postprof.h"

namespace qar {
void writeTimingListing() { failInternal("postprof", 102); }
}  // namespace qar
