#include <bit>
#include <cstring>

#include "byte_search.h"
#include "utf8_forms.h"
#include "utf16_units.h"
#include "text_converter.h"

using namespace utf16_units;
using utf8_forms::DecodeForm;

// UTF-16 <-> UTF-8 as the Unicode standard defines them: a surrogate pair is
// one four-byte form, a lone surrogate and every ill-formed UTF-8 sequence
// become U+FFFD, so both directions write only well-formed text. An odd last
// UTF-16 byte is no unit and is ignored, as the Shift_JIS encoder does.



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
        // Then one unit at a time up to the next stretch of eight; only a
        // unit that would make a three-byte form is looked at once more, in
        // case it is a surrogate.
        const std::int64_t stop = k + 8 < nUnits ? k + 8 : nUnits;
        for (; k < stop; ++k) {
            const unsigned u = UnitAt(pSource, k);
            if (u <= 0x7FF || !IsSurrogate(u))
                q = utf8_forms::PutUnit(q, u);
            else
                k = PutSurrogates(pSource, k, nUnits, &q) - 1;
        }
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
            // ASCII and three-byte forms, nearly all of Japanese text, take
            // a few instructions; the rest goes out of line.
            const unsigned b = pSource[i];
            std::uint32_t c;
            if (b < 0x80) {
                q = PutUtf16Unit(q, b);
                i += 1;
            } else if (i + 4 <= n && utf8_forms::WholeThreeByteForm(pSource + i, &c)) {
                q = PutUtf16Unit(q, c);
                i += 3;
                std::uint32_t c2;
                while (i + 8 <= n && utf8_forms::TwoThreeByteForms(pSource + i, &c, &c2)) {
                    q = PutUtf16Unit(PutUtf16Unit(q, c), c2);
                    i += 6;
                }
            } else {
                i = utf8_forms::DecodeRareForm(pSource, i, n, &c);
                q = PutUtf16(q, c);
            }
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}
