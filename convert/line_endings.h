#pragma once

#include <cstdint>

#include "charset.h"

// The walks of the line-ending pass. Each writes into a buffer of twice the
// input length and returns the end of what it wrote. The reference walks step
// one unit at a time and are the readable definition; the fast walks jump
// between line-ending candidates and must give identical bytes.
namespace line_endings {

using Walk = std::uint8_t* (*)(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode);

// Null for a charset outside 0..4 (the pass then writes nothing).
Walk ReferenceWalk(CharsetId nCharset);
Walk FastWalk(CharsetId nCharset);

// True when the pass would write exactly its input (every line ending
// already in the requested form). May answer false when unsure.
bool IsUnchanged(const std::uint8_t* pIn, std::int64_t n, CharsetId nCharset, NLCode nCode);

} // namespace line_endings
