#include "line_endings.h"

#include <cstring>

#include "byte_search.h"
#include "jis_escapes.h"
#include "jis_units.h"
#include "line_ending_steps.h"

// The line-ending pass walks the text in the units of its encoding so that a
// CR or LF byte inside a multibyte unit is never taken for a line ending.
// Where a unit begins too close to the end of the input to be whole, the
// bytes that remain are copied unchanged: nothing is lost, nothing is read
// beyond the input.

using namespace line_ending_steps;

namespace {

// Fast walks: copy whole stretches up to the next CR or LF byte and only then
// decide whether that byte starts a unit. Position i is always a known unit
// start.

// In Shift_JIS a position q is a unit start when the byte before it is no
// lead byte (it ends a unit: a single byte or a trail); a run of lead bytes
// from such a start pairs up, so q is a start when that run has even length.
inline bool ShiftJisUnitStart(const std::uint8_t* pIn, std::int64_t i, std::int64_t q)
{
    std::int64_t k = q;
    while (k > i && jis_units::IsShiftJisLead(pIn[k - 1]))
        --k;
    return ((q - k) & 1) == 0;
}

// In EUC-JP a byte below 0x80 may be the middle of an 8F unit, so a position
// after one is a start only when the byte before that is below 0x80 too.
// Otherwise, without an 8F since i, every high byte leads a pair, and a run
// of them pairs up from its start, which follows a byte below 0x80 (a single
// or a trail) or is i; with one, walk the units from i. *pEnd gets the end of
// the unit holding q. The walks keep in *pNext8F where the next 8F at or
// after their position is (n: none), so that text without one is searched
// once.
class CEucJpStarts {
public:
    CEucJpStarts(const std::uint8_t* pIn, std::int64_t n) : m_pIn(pIn), m_n(n) {}

    bool IsStart(std::int64_t i, std::int64_t q, std::int64_t* pEnd)
    {
        if (q == i || (m_pIn[q - 1] < 0x80 && (q - 1 == i || m_pIn[q - 2] < 0x80)))
            return true;
        if (m_nNext8F < i) {
            const void* hit = std::memchr(m_pIn + i, jis_units::kEucJisX0212, static_cast<std::size_t>(m_n - i));
            m_nNext8F = hit != nullptr ? static_cast<const std::uint8_t*>(hit) - m_pIn : m_n;
        }
        if (m_nNext8F >= q) {
            const std::int64_t k = byte_search::HighRunStart(m_pIn, i, q);
            *pEnd = q + 1; // a trail's unit ends with it
            return ((q - k) & 1) == 0;
        }
        const std::int64_t p = byte_search::EucJpUnitsTo(m_pIn, i, q);
        *pEnd = p;
        return p == q;
    }

private:
    const std::uint8_t* m_pIn;
    std::int64_t m_n;
    std::int64_t m_nNext8F = -1;
};

std::uint8_t* FastShiftJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        if (c >= n)
            break;
        if (ShiftJisUnitStart(pIn, i, c)) {
            i = LineEnding(pIn, c, n, pOut, nCode);
        } else {
            *pOut++ = pIn[c]; // the trail of a pair
            i = c + 1;
        }
    }
    return pOut;
}

std::uint8_t* FastEucJp(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    CEucJpStarts starts(pIn, n);
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        if (c >= n)
            break;
        std::int64_t end = c;
        if (starts.IsStart(i, c, &end)) {
            i = LineEnding(pIn, c, n, pOut, nCode);
        } else {
            // Inside a unit: copy to its end.
            const std::int64_t stop = end < n ? end : n;
            std::memcpy(pOut, pIn + c, static_cast<std::size_t>(stop - c));
            pOut += stop - c;
            i = end;
        }
    }
    return pOut;
}

// Every CR or LF byte of UTF-8 text is a line ending.
std::uint8_t* FastUtf8(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        if (c >= n)
            break;
        i = LineEnding(pIn, c, n, pOut, nCode);
    }
    return pOut;
}

std::uint8_t* FastUtf16(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i + 1 < n) {
        const std::int64_t c = i + byte_search::FindCrLfUnit(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        if (c + 1 >= n) {
            i = c;
            break;
        }
        pOut = PutNewLineWide(pOut, nCode);
        if (pIn[c] == CR && c + 3 < n && pIn[c + 2] == LF && pIn[c + 3] == 0)
            i = c + 4;
        else
            i = c + 2;
    }
    if (i < n)
        *pOut++ = pIn[i];
    return pOut;
}

// The ISO-2022-JP walk over a piece of a longer text, from mode
// *pbDoubleByte. Unless bFinal it stops before what the next piece decides:
// an escape cut off, a CR, or a lone byte of a pair. Returns the bytes taken.
std::int64_t FastJisPart(const std::uint8_t* pIn, std::int64_t n, bool bFinal, bool* pbDoubleByte,
                         std::uint8_t** ppOut, NLCode nCode)
{
    std::uint8_t* pOut = *ppOut;
    bool bDoubleByte = *pbDoubleByte;
    std::int64_t i = 0;
    while (i < n) {
        if (!bDoubleByte) {
            const std::int64_t c = i + byte_search::FindJisSpecial(pIn + i, n - i);
            std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
            pOut += c - i;
            i = c;
            if (i >= n)
                break;
        }
        const std::uint8_t b = pIn[i];
        if (b == ESC) {
            if (!bFinal && n - i < 3)
                break;
            const std::int64_t next = CopyEscape(pIn, i, n, pOut, &bDoubleByte);
            if (next < 0) {
                i = n; // the pass ends at a cut-off escape
                break;
            }
            i = next;
        } else if (b == SO || b == SI) {
            *pOut++ = b;
            bDoubleByte = false;
            i += 1;
        } else if (bDoubleByte) {
            // Pairs are copied whole, line-ending bytes included, up to the
            // next escape that begins a pair (a last odd byte is copied too).
            std::int64_t run = byte_search::DoubleByteRun(pIn + i, n - i);
            if (!bFinal && i + run == n)
                run &= ~std::int64_t{1};
            std::memcpy(pOut, pIn + i, static_cast<std::size_t>(run));
            pOut += run;
            i += run;
            if (run == 0)
                break;
        } else {
            if (!bFinal && b == CR && i + 1 == n)
                break;
            i = LineEnding(pIn, i, n, pOut, nCode);
        }
    }
    *pbDoubleByte = bDoubleByte;
    *ppOut = pOut;
    return i;
}

std::uint8_t* FastJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    bool bDoubleByte = false;
    FastJisPart(pIn, n, true, &bDoubleByte, &pOut, nCode);
    return pOut;
}

// Where a piece of a longer text may end so that the walk over it writes
// what the walk over the whole would: after a whole unit, and not after a CR
// whose LF may come next. The piece starts at a unit start.
std::int64_t ShiftJisCut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t c = n;
    if (c > 0 && jis_units::IsShiftJisLead(p[c - 1]) && ShiftJisUnitStart(p, 0, c - 1))
        --c;
    if (c > 0 && p[c - 1] == CR && ShiftJisUnitStart(p, 0, c - 1))
        --c;
    return c;
}

std::int64_t EucJpCut(const std::uint8_t* p, std::int64_t n)
{
    // Back to a known start (two bytes below 0x80 before it) at least three
    // bytes from the end, then forward by units to the last one.
    std::int64_t j = n > 3 ? n - 3 : 0;
    while (j > 0 && !(p[j - 1] < 0x80 && (j == 1 || p[j - 2] < 0x80)))
        --j;
    std::int64_t prev = -1;
    std::int64_t last = -1;
    for (std::int64_t k = j; k < n; k += p[k] < 0x80 ? 1 : EucJpUnitLength(p[k])) {
        prev = last;
        last = k;
    }
    std::int64_t c = n;
    std::int64_t before = last; // the start of the unit that ends at c
    if (last >= 0 && p[last] >= 0x80 && last + EucJpUnitLength(p[last]) > n) {
        c = last;
        before = prev;
    }
    if (before >= 0 && before == c - 1 && p[before] == CR)
        --c;
    return c;
}

std::int64_t Utf16Cut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t c = n & ~std::int64_t{1};
    if (c >= 2 && p[c - 2] == CR && p[c - 1] == 0)
        c -= 2;
    return c;
}

// Every byte below 0x80 is a unit of its own in UTF-8.
std::int64_t Utf8Cut(const std::uint8_t* p, std::int64_t n) { return n > 0 && p[n - 1] == CR ? n - 1 : n; }

// Whether the recognised line ending at c already has the requested form;
// sets *pNext past it.
inline bool EndingKept(const std::uint8_t* pIn, std::int64_t c, std::int64_t n, NLCode nCode, std::int64_t* pNext)
{
    const bool crlf = pIn[c] == CR && c + 1 < n && pIn[c + 1] == LF;
    *pNext = c + (crlf ? 2 : 1);
    switch (nCode) {
    case NewLine::CrLf:
        return crlf;
    case NewLine::Lf:
        return pIn[c] == LF;
    case NewLine::Cr:
        return pIn[c] == CR && !crlf;
    default:
        return false;
    }
}

} // namespace

namespace line_endings {

bool IsUnchanged(const std::uint8_t* pIn, std::int64_t n, CharsetId nCharset, NLCode nCode)
{
    std::int64_t i = 0;
    switch (nCharset) {
    case Charset::ShiftJis:
    case Charset::EucJp: {
        CEucJpStarts starts(pIn, n);
        while (i < n) {
            const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
            if (c >= n)
                return true;
            std::int64_t end = c + 1;
            const bool start = nCharset == Charset::ShiftJis ? ShiftJisUnitStart(pIn, i, c)
                                                             : starts.IsStart(i, c, &end);
            if (!start) {
                i = end;
            } else if (!EndingKept(pIn, c, n, nCode, &i)) {
                return false;
            }
        }
        return true;
    }
    case Charset::Utf8:
        while (i < n) {
            const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
            if (c >= n)
                return true;
            if (!EndingKept(pIn, c, n, nCode, &i))
                return false;
        }
        return true;
    case Charset::Unicode:
        while (i + 1 < n) {
            const std::int64_t c = i + byte_search::FindCrLfUnit(pIn + i, n - i);
            if (c + 1 >= n)
                return true;
            const bool crlf = pIn[c] == CR && c + 3 < n && pIn[c + 2] == LF && pIn[c + 3] == 0;
            const bool kept = nCode == NewLine::CrLf ? crlf
                              : nCode == NewLine::Lf ? pIn[c] == LF
                              : nCode == NewLine::Cr ? pIn[c] == CR && !crlf
                                                     : false;
            if (!kept)
                return false;
            i = c + (crlf ? 4 : 2);
        }
        return true;
    case Charset::Jis: {
        bool bDoubleByte = false;
        while (i < n) {
            if (!bDoubleByte) {
                i += byte_search::FindJisSpecial(pIn + i, n - i);
                if (i >= n)
                    return true;
            }
            const std::uint8_t b = pIn[i];
            if (b == ESC) {
                if (n - i - 1 < 2)
                    return false; // the pass drops what follows a cut-off escape
                const std::uint8_t c1 = pIn[i + 1];
                const std::uint8_t c2 = pIn[i + 2];
                bDoubleByte = jis_escapes::SelectsDoubleByte(c1, c2);
                i += bDoubleByte || jis_escapes::SelectsSingleByte(c1, c2) ? 3 : 1;
            } else if (b == SO || b == SI) {
                bDoubleByte = false;
                i += 1;
            } else if (bDoubleByte) {
                i += byte_search::DoubleByteRun(pIn + i, n - i);
            } else if (!EndingKept(pIn, i, n, nCode, &i)) {
                return false;
            }
        }
        return true;
    }
    default:
        return false;
    }
}

// Indexed by CharsetId.
constexpr Walk kFastWalks[Charset::Count] = {FastShiftJis, FastEucJp, FastJis, FastUtf16, FastUtf8};

Walk FastWalk(CharsetId nCharset) { return Charset::IsValid(nCharset) ? kFastWalks[nCharset] : nullptr; }

std::int64_t PartLength(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal)
{
    using Cut = std::int64_t (*)(const std::uint8_t*, std::int64_t);
    constexpr Cut kCuts[Charset::Count] = {ShiftJisCut, EucJpCut, nullptr, Utf16Cut, Utf8Cut};
    return bFinal || !Charset::IsValid(nCharset) || kCuts[nCharset] == nullptr ? n : kCuts[nCharset](pIn, n);
}

std::int64_t WalkPart(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal, PartState* pState,
                      std::uint8_t** ppOut, NLCode nCode)
{
    if (!Charset::IsValid(nCharset))
        return n;
    if (nCharset == Charset::Jis)
        return FastJisPart(pIn, n, bFinal, &pState->bDoubleByte, ppOut, nCode);
    const std::int64_t c = PartLength(nCharset, pIn, n, bFinal);
    *ppOut = kFastWalks[nCharset](pIn, c, *ppOut, nCode);
    return c;
}

} // namespace line_endings
