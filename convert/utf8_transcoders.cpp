#include <cstring>

#include "byte_search.h"
#include "utf8_forms.h"
#include "reference_kernels.h"
#include "text_converter.h"

// UTF-16 <-> UTF-8 one 16-bit unit at a time: surrogates are neither paired
// nor checked, and only one- to three-byte forms exist, so every UTF-16 text
// survives the round trip exactly. An odd last UTF-16 byte is no unit and is
// ignored, as the Shift_JIS encoder does. A UTF-8 form cut off by the end of
// the text decodes as if its missing continuation bytes carried zero bits.

namespace {

using utf8_forms::DecodeForm;

inline std::uint8_t* PutUtf16Unit(std::uint8_t* q, unsigned u)
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
        q = utf8_forms::PutUnit(q, pSource[2 * k] | (pSource[2 * k + 1] << 8));
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
        std::uint16_t u;
        i = DecodeForm(pSource, i, n, &u);
        q = PutUtf16Unit(q, u);
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
            q = utf8_forms::PutUnit(q, pSource[2 * k] | (pSource[2 * k + 1] << 8));
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
            std::uint16_t u;
            i = DecodeForm(pSource, i, n, &u);
            q = PutUtf16Unit(q, u);
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}
