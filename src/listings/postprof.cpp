// PLACEHOLDER until the coverage listing driver lands: fails loudly.
#include "listings/postprof.h"

#include "driver/posterr.h"

namespace qar {
void writeCoverageListing(bool) { failInternal("postprof", 101); }
}  // namespace qar
