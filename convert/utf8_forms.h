#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The engine's UTF-8 forms, shared by the UTF-8 codec and the fused
// Shift_JIS <-> UTF-8 paths so that both write and read exactly alike.
namespace utf8_forms {

// A code point of the Basic Multilingual Plane as one, two or three bytes.
// Callers never pass a surrogate: the code-page table holds none, and the
// UTF-16 encoder pairs or replaces them first.
inline std::uint8_t* PutUnit(std::uint8_t* q, unsigned u)
{
    if (u <= 0x7F) {
        *q++ = static_cast<std::uint8_t>(u);
    } else if (u <= 0x7FF) {
        q[0] = static_cast<std::uint8_t>(0xC0 | (u >> 6));
        q[1] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
        q += 2;
    } else {
        q[0] = static_cast<std::uint8_t>(0xE0 | (u >> 12));
        q[1] = static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F));
        q[2] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
        q += 3;
    }
    return q;
}

// Any scalar value, U+10000-U+10FFFF as four bytes.
inline std::uint8_t* PutCodePoint(std::uint8_t* q, std::uint32_t c)
{
    if (c <= 0xFFFF)
        return PutUnit(q, c);
    q[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
    q[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
    q[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    q[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return q + 4;
}

// The same, for a unit that is not ASCII, with room for four bytes at q: a
// three-byte form, by far the commonest outside ASCII, goes in one store.
inline std::uint8_t* PutWideUnit(std::uint8_t* q, unsigned u)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (u > 0x7FF) {
            const std::uint32_t form =
                (0xE0 | (u >> 12)) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
            std::memcpy(q, &form, 4);
            return q + 3;
        }
    }
    return PutUnit(q, u);
}

// A non-ASCII unit's form packed for one store: its bytes in order from the
// lowest, its length in the top byte; 0 for unit 0, which tables use for
// "no character".
inline std::uint32_t PackForm(unsigned u)
{
    std::uint8_t form[3] = {};
    const auto length = static_cast<std::uint32_t>(PutUnit(form, u) - form);
    return u == 0 ? 0 : form[0] | form[1] << 8 | form[2] << 16 | length << 24;
}

// Whether packed forms can be stored as they are: their byte order is the
// host's only on a little-endian one.
constexpr bool kPackedFormsFit = std::endian::native == std::endian::little;

// Writes a packed form with four bytes of room at q; nothing for 0.
inline std::uint8_t* PutPackedForm(std::uint8_t* q, std::uint32_t form)
{
    std::memcpy(q, &form, 4);
    return q + (form >> 24);
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// Decodes the form at p[i] (i < n) into *pCodePoint and returns the position
// after it. An ill-formed sequence gives U+FFFD for its maximal subpart: the
// lead and those continuation bytes that could still begin a well-formed
// form, at least one byte. So no overlong form, surrogate or value above
// U+10FFFF is ever decoded, and the byte that broke a form (an ASCII byte,
// a CR, a new lead) begins the next one.
inline std::int64_t DecodeForm(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint32_t* pCodePoint)
{
    const unsigned b = p[i];
    if (b < 0x80) {
        *pCodePoint = b;
        return i + 1;
    }
    // The commonest form outside ASCII first: three bytes, E0-EF.
    if ((b & 0xF0) == 0xE0 && i + 2 < n) {
        const unsigned c1 = p[i + 1];
        const unsigned c2 = p[i + 2];
        const std::uint32_t c = (b & 0x0Fu) << 12 | (c1 & 0x3Fu) << 6 | (c2 & 0x3Fu);
        if ((c1 & 0xC0) == 0x80 && (c2 & 0xC0) == 0x80 && c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
            *pCodePoint = c;
            return i + 3;
        }
    }
    *pCodePoint = kReplacement;
    if (b < 0xC2 || b > 0xF4)
        return i + 1; // a continuation byte, C0, C1 or F5-FF: never a lead
    // The second byte's range is narrower after E0, ED, F0 and F4: that is
    // what rules out overlong forms, surrogates and values above U+10FFFF.
    const unsigned lo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (i + 1 >= n || p[i + 1] < lo || p[i + 1] > hi)
        return i + 1;
    const int nMore = b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    std::uint32_t c = (b & (0x3Fu >> nMore)) << 6 | (p[i + 1] & 0x3Fu);
    std::int64_t k = i + 2;
    for (int m = 1; m < nMore; ++m, ++k) {
        if (k >= n || (p[k] & 0xC0) != 0x80)
            return k;
        c = c << 6 | (p[k] & 0x3Fu);
    }
    *pCodePoint = c;
    return k;
}

} // namespace utf8_forms
