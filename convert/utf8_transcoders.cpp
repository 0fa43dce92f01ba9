#include <cstring>

#include "byte_search.h"
#include "reference_kernels.h"
#include "text_converter.h"

// UTF-16 <-> UTF-8 one 16-bit unit at a time: surrogates are neither paired
// nor checked, and only one- to three-byte forms exist, so every UTF-16 text
// survives the round trip exactly. An odd last UTF-16 byte is no unit and is
// ignored, as the Shift_JIS encoder does. A UTF-8 form cut off by the end of
// the text decodes as if its missing continuation bytes carried zero bits.

namespace {

inline std::uint8_t* PutUnitAsUtf8(std::uint8_t* q, unsigned u)
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

// Decodes the form at p[i] (i < n) into *pUnit; returns the next position.
inline std::int64_t DecodeForm(const std::uint8_t* p, std::int64_t i, std::int64_t n, unsigned* pUnit)
{
    const std::uint8_t b = p[i];
    const unsigned c1 = i + 1 < n ? p[i + 1] : 0;
    if ((b & 0xE0) == 0xE0) {
        const unsigned c2 = i + 2 < n ? p[i + 2] : 0;
        *pUnit = ((b & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu);
        return i + 3;
    }
    if ((b & 0xC0) == 0xC0) {
        *pUnit = ((b & 0x1Fu) << 6) | (c1 & 0x3Fu);
        return i + 2;
    }
    *pUnit = b & 0x7Fu; // 00-7F, or a stray continuation byte
    return i + 1;
}

inline std::uint8_t* PutUnit(std::uint8_t* q, unsigned u)
{
    q[0] = static_cast<std::uint8_t>(u & 0xFF);
    q[1] = static_cast<std::uint8_t>(u >> 8);
    return q + 2;
}

} // namespace

namespace reference {

bool UnicodeToUtf8(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    const std::int64_t nUnits = n / 2;
    CByteBuffer work = CByteBuffer::Allocate(3 * nUnits);
    std::uint8_t* q = work.Data();
    for (std::int64_t k = 0; k < nUnits; ++k)
        q = PutUnitAsUtf8(q, pSource[2 * k] | (pSource[2 * k + 1] << 8));
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

bool Utf8ToUnicode(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::uint8_t* q = work.Data();
    std::int64_t i = 0;
    while (i < n) {
        unsigned u;
        i = DecodeForm(pSource, i, n, &u);
        q = PutUnit(q, u);
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

} // namespace reference

bool UnicodeToUtf8(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    const std::int64_t nUnits = n / 2;
    CByteBuffer work = CByteBuffer::Allocate(3 * nUnits);
    std::uint8_t* q = work.Data();
    std::int64_t k = 0;
    while (k < nUnits) {
#if defined(__SSE2__)
        // Eight units below 0x80 at a time.
        while (k + 8 <= nUnits) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSource + 2 * k));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-128)), _mm_setzero_si128())) !=
                0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_packus_epi16(v, v));
            q += 8;
            k += 8;
        }
#endif
        // Then one unit at a time up to the next stretch of eight.
        const std::int64_t stop = k + 8 < nUnits ? k + 8 : nUnits;
        for (; k < stop; ++k)
            q = PutUnitAsUtf8(q, pSource[2 * k] | (pSource[2 * k + 1] << 8));
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

bool Utf8ToUnicode(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::uint8_t* q = work.Data();
    std::int64_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes widen to sixteen units at once.
        while (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSource + i));
            if (_mm_movemask_epi8(v) != 0)
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
            q += 32;
            i += 16;
        }
#endif
        const std::int64_t stop = i + 16 < n ? i + 16 : n;
        while (i < stop) {
            unsigned u;
            i = DecodeForm(pSource, i, n, &u);
            q = PutUnit(q, u);
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}
