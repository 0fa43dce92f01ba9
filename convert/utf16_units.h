#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "utf8_forms.h"

// UTF-16LE units as the UTF-8 kernels write and read them.
namespace utf16_units {


inline std::uint8_t* PutUtf16Unit(std::uint8_t* q, unsigned u)
{
    if constexpr (std::endian::native == std::endian::little) {
        const auto unit = static_cast<std::uint16_t>(u);
        std::memcpy(q, &unit, 2);
    } else {
        q[0] = static_cast<std::uint8_t>(u & 0xFF);
        q[1] = static_cast<std::uint8_t>(u >> 8);
    }
    return q + 2;
}

inline std::uint8_t* PutUtf16(std::uint8_t* q, std::uint32_t c)
{
    if (c <= 0xFFFF)
        return PutUtf16Unit(q, c);
    c -= 0x10000;
    q = PutUtf16Unit(q, 0xD800 | (c >> 10));
    return PutUtf16Unit(q, 0xDC00 | (c & 0x3FF));
}

inline unsigned UnitAt(const std::uint8_t* p, std::int64_t k) { return p[2 * k] | (p[2 * k + 1] << 8); }

// Writes the character whose first unit, a surrogate, is unit k of nUnits
// and returns the index of the unit after it. Out of line: surrogates are
// rare, and the loops around it stay tight without them.
[[gnu::noinline]] inline std::int64_t PutSurrogates(const std::uint8_t* p, std::int64_t k, std::int64_t nUnits,
                                             std::uint8_t** pq)
{
    const unsigned u = UnitAt(p, k);
    if (u <= 0xDBFF && k + 1 < nUnits) {
        const unsigned low = UnitAt(p, k + 1);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            *pq = utf8_forms::PutCodePoint(*pq, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            return k + 2;
        }
    }
    *pq = utf8_forms::PutUnit(*pq, utf8_forms::kReplacement);
    return k + 1;
}

inline bool IsSurrogate(unsigned u) { return u - 0xD800 < 0x800; }


} // namespace utf16_units
