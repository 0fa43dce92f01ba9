#include "unicode_forms.h"

#include <bit>
#include <cstring>

#include "byte_search.h"
#include "replacement_tally.h"
#include "unicode_vectors.h"
#include "utf16_units.h"
#include "utf8_forms.h"

using namespace utf16_units;

namespace unicode_forms {

std::int64_t Utf16Cut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t c = n & ~std::int64_t{1};
    if (c >= 2 && p[c - 1] >= 0xD8 && p[c - 1] <= 0xDB)
        c -= 2;
    return c;
}

std::int64_t Utf8Cut(const std::uint8_t* p, std::int64_t n)
{
    for (std::int64_t k = 1; k <= 3 && k <= n; ++k) {
        const std::uint8_t b = p[n - k];
        if (b < 0x80)
            break;
        if (b >= 0xC0) {
            const std::int64_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            return k < length ? n - k : n;
        }
    }
    return n;
}

std::int64_t Utf16ToUtf8(const std::uint8_t* p, std::int64_t n, std::uint8_t* pOut, CReplacementTally* pTally)
{
    const std::int64_t nUnits = n / 2;
    std::uint8_t* q = pOut;
    std::int64_t k = 0;
    const byte_search::Path path = byte_search::KernelPath();
    [[maybe_unused]] const bool bWide = path == byte_search::Path::Avx2;
    while (k < nUnits) {
#if defined(MOJIRO_X86_KERNELS)
        if (bWide && nUnits - k >= unicode_vectors::kUtf16Block)
            k += unicode_vectors::Utf16ToUtf8Avx2(p + 2 * k, nUnits - k, &q);
#endif
        // Eight units below 0x80 at a time.
        const std::int64_t nAscii = byte_search::NarrowAscii(p + 2 * k, nUnits - k, q, path);
        q += nAscii;
        k += nAscii;
        // Then one unit at a time up to the next stretch of eight; only a
        // unit that would make a three-byte form is looked at once more, in
        // case it is a surrogate.
        const std::int64_t stop = k + 8 < nUnits ? k + 8 : nUnits;
        for (; k < stop; ++k) {
            const unsigned u = UnitAt(p, k);
            if (u <= 0x7FF || !IsSurrogate(u)) {
                q = utf8_forms::PutUnit(q, u);
            } else {
                const std::int64_t next = PutSurrogates(p, k, nUnits, &q);
                if (next == k + 1 && pTally != nullptr)
                    pTally->IllFormed(p + 2 * k, p[2 * k]); // a lone surrogate
                k = next - 1;
            }
        }
    }
    if (n & 1) {
        q = utf8_forms::PutUnit(q, utf8_forms::kReplacement); // an odd last byte
        if (pTally != nullptr)
            pTally->IllFormed(p + n - 1, p[n - 1]);
    }
    return q - pOut;
}

std::int64_t Utf8ToUtf16(const std::uint8_t* p, std::int64_t n, std::uint8_t* pOut, CReplacementTally* pTally)
{
    std::uint8_t* q = pOut;
    std::int64_t i = 0;
    const byte_search::Path path = byte_search::KernelPath();
    // The vector loop takes runs of forms; the pairs below then go no
    // further than they must to reach it again.
    const bool bWide = path == byte_search::Path::Avx2;
    while (i < n) {
#if defined(MOJIRO_X86_KERNELS)
        if (bWide && n - i >= unicode_vectors::kUtf8Reach)
            i += unicode_vectors::Utf8ToUtf16Avx2(p + i, n - i, &q);
#endif
        // Sixteen ASCII bytes widen to sixteen units at once.
        const std::int64_t nAscii = byte_search::WidenAscii(p + i, n - i, q, path);
        q += 2 * nAscii;
        i += nAscii;
        const std::int64_t stop = i + 16 < n ? i + 16 : n;
        const std::int64_t pairsEnd = bWide ? stop : n;
        while (i < stop) {
            // ASCII and three-byte forms, nearly all of Japanese text, take
            // a few instructions; the rest goes out of line.
            const unsigned b = p[i];
            std::uint32_t c;
            if (b < 0x80) {
                q = PutUtf16Unit(q, b);
                i += 1;
            } else if (i + 4 <= n && utf8_forms::WholeThreeByteForm(p + i, &c)) {
                q = PutUtf16Unit(q, c);
                i += 3;
                std::uint32_t c2;
                while (i + 8 <= pairsEnd && utf8_forms::TwoThreeByteForms(p + i, &c, &c2)) {
                    q = PutUtf16Unit(PutUtf16Unit(q, c), c2);
                    i += 6;
                }
            } else {
                const std::int64_t at = i;
                i = utf8_forms::DecodeRareForm(p, i, n, &c);
                if (pTally != nullptr && utf8_forms::IsIllFormed(p + at, i - at, c))
                    pTally->IllFormed(p + at, p[at]);
                q = PutUtf16(q, c);
            }
        }
    }
    return q - pOut;
}

} // namespace unicode_forms
