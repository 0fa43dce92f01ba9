#pragma once

#include <cstdint>

#include "byte_search.h"

// The AVX2 loops of the Unicode forms transcoders. They take whole blocks in
// which every character is one, two or three bytes of well-formed UTF-8 (a
// unit of the Basic Multilingual Plane that is no surrogate) and stop at the
// first block that is not, so that what is rare (surrogates, four-byte
// forms, ill-formed bytes, the tally, the last bytes) stays with the plain
// code; they write the bytes the plain code writes.
namespace unicode_vectors {

#if defined(MOJIRO_X86_KERNELS)
// Units a UTF-16 block holds, and the fewest bytes the UTF-8 loop reads on.
inline constexpr std::int64_t kUtf16Block = 16;
inline constexpr std::int64_t kUtf8Reach = 34;

// Converts blocks of 16 of the nUnits UTF-16LE units at p while none is a
// surrogate; returns the units taken and moves *pq past the UTF-8 written.
// Stores reach no further than two bytes past *pq for each input byte.
std::int64_t Utf16ToUtf8Avx2(const std::uint8_t* p, std::int64_t nUnits, std::uint8_t** pq);

// Converts the UTF-8 at p (a form starts there) while at least kUtf8Reach
// bytes are left and a window begins with a well-formed form of one to three
// bytes; returns the bytes taken, which end between forms, and moves *pq past
// the units written. Stores reach no further than two bytes past *pq for
// each input byte.
std::int64_t Utf8ToUtf16Avx2(const std::uint8_t* p, std::int64_t n, std::uint8_t** pq);
#endif

} // namespace unicode_vectors
