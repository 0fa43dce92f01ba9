#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The engine's UTF-8 forms, shared by the UTF-8 codec and the fused
// Shift_JIS <-> UTF-8 paths so that both write and read exactly alike.
namespace utf8_forms {

// One 16-bit unit as one, two or three bytes; surrogates are written as they
// are, like any other unit.
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

// Decodes the form at p[i] (i < n) into *pUnit and returns the position after
// it: leads E0-FF take two more bytes, C0-DF one, anything else stands alone
// (a stray continuation byte gives b & 0x7F). Nothing is checked; a form cut
// off by the end of the text reads its missing bytes as zero bits.
inline std::int64_t DecodeForm(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint16_t* pUnit)
{
    const std::uint8_t b = p[i];
    const unsigned c1 = i + 1 < n ? p[i + 1] : 0;
    if ((b & 0xE0) == 0xE0) {
        const unsigned c2 = i + 2 < n ? p[i + 2] : 0;
        *pUnit = static_cast<std::uint16_t>(((b & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu));
        return i + 3;
    }
    if ((b & 0xC0) == 0xC0) {
        *pUnit = static_cast<std::uint16_t>(((b & 0x1Fu) << 6) | (c1 & 0x3Fu));
        return i + 2;
    }
    *pUnit = b & 0x7Fu;
    return i + 1;
}

} // namespace utf8_forms
