#include <cstring>

#include "text_converter.h"

// UTF-16 <-> UTF-8 one 16-bit unit at a time: surrogates are neither paired
// nor checked, and only one- to three-byte forms exist, so every UTF-16 text
// survives the round trip exactly.

namespace {

inline std::int64_t AsciiRun(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

} // namespace

bool UnicodeToUtf8(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // An odd last byte is no unit and is ignored, as in UnicodeToShiftJis.
    const std::int64_t nUnits = n / 2;
    CByteBuffer work = CByteBuffer::Allocate(3 * nUnits);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    for (std::int64_t k = 0; k < nUnits; ++k) {
        const unsigned u = pSource[2 * k] | (pSource[2 * k + 1] << 8);
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
    }
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}

bool Utf8ToUnicode(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = AsciiRun(pSource + i, n - i);
        for (std::int64_t k = 0; k < run; ++k) {
            q[2 * k] = pSource[i + k];
            q[2 * k + 1] = 0;
        }
        q += 2 * run;
        i += run;
        if (i >= n)
            break;
        const std::uint8_t b = pSource[i];
        // A form cut off by the end of the text decodes as if the missing
        // continuation bytes carried zero bits.
        const std::uint8_t c1 = i + 1 < n ? pSource[i + 1] : 0;
        unsigned u;
        if ((b & 0xE0) == 0xE0) {
            const std::uint8_t c2 = i + 2 < n ? pSource[i + 2] : 0;
            u = ((b & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu);
            i += 3;
        } else if ((b & 0xC0) == 0xC0) {
            u = ((b & 0x1Fu) << 6) | (c1 & 0x3Fu);
            i += 2;
        } else {
            u = b & 0x7Fu; // a stray continuation byte
            i += 1;
        }
        q[0] = static_cast<std::uint8_t>(u & 0xFF);
        q[1] = static_cast<std::uint8_t>(u >> 8);
        q += 2;
    }
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}
