#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Vector searches shared by the fast kernels; each has a plain loop for
// targets without SSE2 and for the tail.
namespace byte_search {

// Offset of the first CR or LF in p[0, n), or n.
inline std::int64_t FindCrLf(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(0x0D);
    const __m128i lf = _mm_set1_epi8(0x0A);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i)
        if (p[i] == 0x0D || p[i] == 0x0A)
            return i;
    return n;
}

// Offset of the first byte that is CR, LF, ESC, SO or SI in p[0, n), or n.
inline std::int64_t FindJisSpecial(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(0x0D);
    const __m128i lf = _mm_set1_epi8(0x0A);
    const __m128i esc = _mm_set1_epi8(0x1B);
    const __m128i so = _mm_set1_epi8(0x0E);
    const __m128i si = _mm_set1_epi8(0x0F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
            _mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_or_si128(_mm_cmpeq_epi8(v, so), _mm_cmpeq_epi8(v, si))));
        const int m = _mm_movemask_epi8(hit);
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b == 0x0D || b == 0x0A || b == 0x1B || b == 0x0E || b == 0x0F)
            return i;
    }
    return n;
}

// Offset of the first ESC, SO or SI in p[0, n), or n.
inline std::int64_t FindEscSoSi(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i esc = _mm_set1_epi8(0x1B);
    const __m128i so = _mm_set1_epi8(0x0E);
    const __m128i si = _mm_set1_epi8(0x0F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i hit =
            _mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_or_si128(_mm_cmpeq_epi8(v, so), _mm_cmpeq_epi8(v, si)));
        const int m = _mm_movemask_epi8(hit);
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i)
        if (p[i] == 0x1B || p[i] == 0x0E || p[i] == 0x0F)
            return i;
    return n;
}

// Offset (even) of the first 16-bit little-endian unit 000D or 000A in
// p[0, n), or the offset past the last whole unit.
inline std::int64_t FindCrLfUnit(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(0x000D);
    const __m128i lf = _mm_set1_epi16(0x000A);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i + 1 < n; i += 2) {
        const unsigned u = p[i] | (p[i + 1] << 8);
        if (u == 0x0D || u == 0x0A)
            return i;
    }
    return i;
}

// Length of the run of bytes below 0x80 at p.
inline std::int64_t AsciiRun(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int m = _mm_movemask_epi8(v);
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i)
        if (p[i] >= 0x80)
            return i;
    return n;
}

// Length of the run of bytes below 0x80 at p that holds no ESC, SO or SI:
// ASCII that ISO-2022-JP carries as it is.
inline std::int64_t AsciiRunWithoutShifts(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i esc = _mm_set1_epi8(0x1B);
    const __m128i so = _mm_set1_epi8(0x0E);
    const __m128i si = _mm_set1_epi8(0x0F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i shift =
            _mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_or_si128(_mm_cmpeq_epi8(v, so), _mm_cmpeq_epi8(v, si)));
        const int m = _mm_movemask_epi8(_mm_or_si128(v, shift));
        if (m != 0)
            return i + __builtin_ctz(static_cast<unsigned>(m));
    }
#endif
    for (; i < n; ++i)
        if (p[i] >= 0x80 || p[i] == 0x1B || p[i] == 0x0E || p[i] == 0x0F)
            return i;
    return n;
}

} // namespace byte_search
