#pragma once

#include <cstdint>

#include "line_endings.h"

// The line-ending walks one unit at a time: the readable definition the
// fast walks must match. Only the tests and the fuzzer use them.
namespace reference {

// The line-ending walk of a charset; null outside 0..4.
line_endings::Walk LineEndingWalk(CharsetId nCharset);

} // namespace reference
