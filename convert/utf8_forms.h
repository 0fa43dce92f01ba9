#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "text_constants.h"

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

constexpr std::uint32_t kReplacement = text::kReplacementCharacter;

// How many bytes follow a lead and the range of the one right after it:
// narrower after E0, ED, F0 and F4, which is what rules out overlong forms,
// surrogates and values above U+10FFFF. nMore is 0 for a byte that leads
// nothing (a continuation byte, C0, C1, F5-FF).
struct LeadRule {
    int nMore;
    std::uint8_t lo;
    std::uint8_t hi;
};

constexpr LeadRule RuleOfLead(unsigned b)
{
    if (b < 0xC2 || b > 0xF4)
        return {0, 0, 0};
    return {b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3, static_cast<std::uint8_t>(b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80),
            static_cast<std::uint8_t>(b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF)};
}

// Whether the U+FFFD decoded from the nLength bytes at p stands for an
// ill-formed sequence, not for the character itself (EF BF BD).
inline bool IsIllFormed(const std::uint8_t* p, std::int64_t nLength, std::uint32_t c)
{
    return c == kReplacement && !(nLength == 3 && p[0] == 0xEF);
}

// The careful half of DecodeForm: every form but ASCII and a three-byte one
// with a byte after it, and every ill-formed sequence. Out of line, so that
// the common forms stay a few instructions.
[[gnu::noinline]] inline std::int64_t DecodeRareForm(const std::uint8_t* p, std::int64_t i, std::int64_t n,
                                                   std::uint32_t* pCodePoint)
{
    const unsigned b = p[i];
    *pCodePoint = kReplacement;
    const LeadRule rule = RuleOfLead(b);
    if (rule.nMore == 0)
        return i + 1; // a continuation byte, C0, C1 or F5-FF: never a lead
    if (i + 1 >= n || p[i + 1] < rule.lo || p[i + 1] > rule.hi)
        return i + 1;
    const int nMore = rule.nMore;
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

// Whether the bytes at p (four of them readable) begin a well-formed
// three-byte form, the bulk of Japanese text; if so *pCodePoint is its
// value. The lead must be E0-EF and the next two bytes 80-BF, and the value
// neither overlong (below U+0800) nor a surrogate: of the 32 blocks of 2048
// that the top five bits name, blocks 0 and 27 (U+D800-U+DFFF) are out.
inline bool WholeThreeByteForm(const std::uint8_t* p, std::uint32_t* pCodePoint)
{
    std::uint32_t c;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        if ((w & 0xC0C0F0) != 0x8080E0)
            return false;
        c = (w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w >> 16 & 0x3F);
    } else {
        if ((p[0] & 0xF0) != 0xE0 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
            return false;
        c = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    }
    *pCodePoint = c;
    return (0xF7FFFFFEu >> (c >> 11) & 1) != 0;
}

// Whether the eight bytes at p begin two well-formed three-byte forms, as
// WholeThreeByteForm checks them, on a little-endian host (elsewhere: no).
// Kanji and kana come in runs: one load and one mask for two of them.
inline bool TwoThreeByteForms(const std::uint8_t* p, std::uint32_t* pFirst, std::uint32_t* pSecond)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if ((w & 0xC0C0F0C0C0F0ULL) != 0x8080E08080E0ULL)
            return false;
        const auto a = static_cast<std::uint32_t>(w);
        const auto b = static_cast<std::uint32_t>(w >> 24);
        const std::uint32_t c0 = (a & 0x0F) << 12 | (a & 0x3F00) >> 2 | (a >> 16 & 0x3F);
        const std::uint32_t c1 = (b & 0x0F) << 12 | (b & 0x3F00) >> 2 | (b >> 16 & 0x3F);
        *pFirst = c0;
        *pSecond = c1;
        return ((0xF7FFFFFEu >> (c0 >> 11)) & (0xF7FFFFFEu >> (c1 >> 11)) & 1) != 0;
    } else {
        (void)p;
        (void)pFirst;
        (void)pSecond;
        return false;
    }
}

// Decodes the form at p[i] (i < n) into *pCodePoint and returns the position
// after it. An ill-formed sequence gives U+FFFD for its maximal subpart: the
// lead and those continuation bytes that could still begin a well-formed
// form, at least one byte. So no overlong form, surrogate or value above
// U+10FFFF is ever decoded, and the byte that broke a form (an ASCII byte,
// a CR, a new lead) begins the next one.
inline std::int64_t DecodeForm(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint32_t* pCodePoint)
{
    if (p[i] < 0x80) {
        *pCodePoint = p[i];
        return i + 1;
    }
    if (i + 4 <= n && WholeThreeByteForm(p + i, pCodePoint))
        return i + 3;
    return DecodeRareForm(p, i, n, pCodePoint);
}

} // namespace utf8_forms
