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

// In ISO-2022-JP double-byte mode bytes go in pairs from p, and only an ESC,
// SO or SI that begins a pair ends the run: the length of the run of whole
// pairs before it (even), or of everything up to n.
inline std::int64_t DoubleByteRun(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (true) {
        const std::int64_t c = i + FindEscSoSi(p + i, n - i);
        if (c >= n)
            return n;
        if (((c - i) & 1) == 0)
            return c;
        i = c + 1; // the second byte of a pair: search on after it
    }
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

// EUC-JP from the unit start `from`: the first unit start at or after `to`.
// Sixteen bytes at a glance: a run of ASCII is so many singles, and a run of
// high bytes without an 8F so many pairs (an odd one's last lead takes the
// byte after the run).
inline std::int64_t EucJpUnitsTo(const std::uint8_t* p, std::int64_t from, std::int64_t to)
{
    std::int64_t k = from;
    while (k < to) {
#if defined(__SSE2__)
        while (to - k >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
            if ((high & 1) == 0) {
                k += high == 0 ? 16 : __builtin_ctz(high); // the ASCII up to the first high byte
                continue;
            }
            const unsigned ss3 =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0x8F)))));
            const int run = __builtin_ctz(~high | 0x10000u); // leading high bytes, 1..16
            if ((ss3 & ((1u << run) - 1)) != 0)
                break; // an 8F among them: one unit at a time
            k += run + (run & 1);
        }
#endif
        if (k >= to)
            break;
        const std::uint8_t b = p[k];
        k += b < 0x80 ? 1 : b == 0x8F ? 3 : 2;
    }
    return k;
}

// Where the run of high-bit bytes that ends at q begins (not before lo):
// sixteen bytes a step back through long runs.
inline std::int64_t HighRunStart(const std::uint8_t* p, std::int64_t lo, std::int64_t q)
{
    std::int64_t k = q;
#if defined(__SSE2__)
    while (k - lo >= 16) {
        const unsigned high =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k - 16))));
        if (high != 0xFFFF)
            return k - 16 + (32 - __builtin_clz(~high & 0xFFFF)); // after the last byte below 0x80
        k -= 16;
    }
#endif
    while (k > lo && p[k - 1] >= 0x80)
        --k;
    return k;
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

} // namespace byte_search
