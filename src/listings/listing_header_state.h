#pragma once
// Shared between the stream and the header writers of the listing writer.

namespace qar {

// Puts the four header lists (symbol, data, chosen, unchosen files) back in
// their first-line state.
void resetHeaderListFlags();

}  // namespace qar
