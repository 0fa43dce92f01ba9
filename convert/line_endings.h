#pragma once

#include <cstdint>

#include "charset.h"

// The walks of the line-ending pass. Each writes into a buffer of twice the
// input length and returns the end of what it wrote. The walks jump between
// line-ending candidates; the tests hold them against walks that step one
// unit at a time.
namespace line_endings {

using Walk = std::uint8_t* (*)(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode);

// Null for a charset outside 0..4 (the pass then writes nothing).
Walk FastWalk(CharsetId nCharset);

// The pass over one piece of a longer text, writing at *ppOut (twice the
// piece's length at most) and moving it on. Unless bFinal, it stops before
// a unit the piece cuts off and before a CR whose LF may follow; returns the
// bytes taken. The walks over the pieces write what the walk over the whole
// text writes, whatever the pieces.
// *pnLines (when given) grows by the line endings the walk passed.
std::int64_t WalkPart(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal, std::uint8_t** ppOut,
                      NLCode nCode, std::int64_t* pnLines = nullptr);

// Bytes of a piece that a walk over it writes as the walk over the whole
// text would (ISO-2022-JP's walk may take more, as it decides as it goes).
std::int64_t PartLength(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal);

// True when the pass would write exactly its input (every line ending
// already in the requested form). May answer false when unsure.
// When it answers true, *pnLines (when given) grows by the line endings.
bool IsUnchanged(const std::uint8_t* pIn, std::int64_t n, CharsetId nCharset, NLCode nCode,
                 std::int64_t* pnLines = nullptr);

} // namespace line_endings
