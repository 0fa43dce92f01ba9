#pragma once

#include <cstdint>

#include "byte_buffer.h"

// Deterministic Shift_JIS texts for the benchmarks: the same kind and size
// always give the same bytes, on every machine. Lines are 40-80 characters
// and end in CR LF.
namespace corpus {

enum class Kind { Prose, Ascii, HalfWidthKana };
constexpr int kKindCount = 3;
// Indexed by Kind; used in benchmark names.
constexpr const char* const kKindNames[kKindCount] = {"prose", "ascii", "kana"};

// At least nMinBytes, ending after a whole line. Prose mixes kanji, hiragana,
// katakana, ASCII words and full-width punctuation; Ascii is English-like
// text; HalfWidthKana is mostly single-byte katakana (A1-DF) with ASCII.
// Throws std::runtime_error when the engine cannot round-trip the word list.
CByteBuffer MakeShiftJis(Kind kind, std::int64_t nMinBytes);

} // namespace corpus
