#pragma once

#include <cstdint>

#include "charset.h"

// Where a text may be cut so that each piece, converted on its own from the
// start state, gives exactly its share of the whole text's conversion: right
// after a line feed that is a whole unit of its own, at which the line-ending
// pass has nothing pending, every decoder stands between units in its first
// state and every writer is back in ASCII.
namespace text_cuts {

// Whether pieces can be cut at all for this line-ending code (one that drops
// line endings leaves the writers' states unknown at a cut).
constexpr bool Possible(CharsetId nSource, NLCode nCode)
{
    return Charset::IsValid(nSource) && nCode >= NewLine::CrLf && nCode <= NewLine::Cr;
}

// The last cut of p[0, n), which starts in the start state: the piece a
// pipeline converts while the rest waits for more text. 0 when there is none.
std::int64_t LastCut(CharsetId nSource, const std::uint8_t* p, std::int64_t n);

} // namespace text_cuts
