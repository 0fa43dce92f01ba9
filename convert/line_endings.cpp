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

// No unit of Shift_JIS, EUC-JP or UTF-8 holds a CR or LF byte: every one is
// a line ending.
std::uint8_t* FastBytes(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode, std::int64_t* pnLines)
{
    // Each copy may write up to the end of the input past where it stops:
    // the walk's room, twice the input, holds that.
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::CopyToCrLf(pIn + i, n - i, pOut);
        pOut += c - i;
        if (c >= n)
            break;
        i = LineEnding(pIn, c, n, pOut, nCode);
        ++*pnLines;
    }
    return pOut;
}

std::uint8_t* FastUtf16(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode, std::int64_t* pnLines)
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
        ++*pnLines;
        if (pIn[c] == CR && c + 3 < n && pIn[c + 2] == LF && pIn[c + 3] == 0)
            i = c + 4;
        else
            i = c + 2;
    }
    if (i < n)
        *pOut++ = pIn[i];
    return pOut;
}

// The ISO-2022-JP walk over a piece of a longer text. CR and LF are line
// endings in every mode, so the walk needs none. Unless bFinal it stops
// before what the next piece decides: an escape cut off, or a CR. Returns
// the bytes taken.
std::int64_t FastJisPart(const std::uint8_t* pIn, std::int64_t n, bool bFinal, std::uint8_t** ppOut, NLCode nCode,
                         std::int64_t* pnLines)
{
    std::uint8_t* pOut = *ppOut;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::FindJisSpecial(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        i = c;
        if (i >= n)
            break;
        const std::uint8_t b = pIn[i];
        if (b == ESC) {
            if (!bFinal && n - i < 3)
                break;
            const std::int64_t next = CopyEscape(pIn, i, n, pOut);
            if (next < 0) {
                i = n; // the pass ends at a cut-off escape
                break;
            }
            i = next;
        } else if (b == SO || b == SI) {
            *pOut++ = b;
            i += 1;
        } else {
            if (!bFinal && b == CR && i + 1 == n)
                break;
            i = LineEnding(pIn, i, n, pOut, nCode);
            ++*pnLines;
        }
    }
    *ppOut = pOut;
    return i;
}

std::uint8_t* FastJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode, std::int64_t* pnLines)
{
    FastJisPart(pIn, n, true, &pOut, nCode, pnLines);
    return pOut;
}

// Where a piece of a longer text may end so that the walk over it writes
// what the walk over the whole would: after a whole unit, and not after a CR
// whose LF may come next.
std::int64_t Utf16Cut(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t c = n & ~std::int64_t{1};
    if (c >= 2 && p[c - 2] == CR && p[c - 1] == 0)
        c -= 2;
    return c;
}

std::int64_t ByteCut(const std::uint8_t* p, std::int64_t n) { return n > 0 && p[n - 1] == CR ? n - 1 : n; }

// Nor before an escape its piece cuts off: the walk leaves that to the next
// piece too.
std::int64_t JisCut(const std::uint8_t* p, std::int64_t n)
{
    const std::int64_t c = ByteCut(p, n);
    for (std::int64_t k = c - 1; k >= 0 && k >= c - 2; --k)
        if (p[k] == ESC)
            return k;
    return c;
}

// Whether the walk would give the text back as it is. No unit of Shift_JIS,
// EUC-JP or UTF-8 holds a CR or LF byte, nor does an escape the ISO-2022-JP
// walk copies whole; that walk only drops what follows an escape the text's
// end cuts off.
bool Unchanged(const std::uint8_t* pIn, std::int64_t n, CharsetId nCharset, NLCode nCode, std::int64_t* pnLines)
{
    if (nCode != NewLine::CrLf && nCode != NewLine::Lf && nCode != NewLine::Cr)
        return false;
    const byte_search::EndForm form = nCode == NewLine::CrLf ? byte_search::EndForm::CrLf
                                      : nCode == NewLine::Lf  ? byte_search::EndForm::Lf
                                                              : byte_search::EndForm::Cr;
    std::int64_t i = 0;
    switch (nCharset) {
    case Charset::ShiftJis:
    case Charset::EucJp:
    case Charset::Utf8:
        return byte_search::LineEndsAre(pIn, n, form, pnLines);
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
            ++*pnLines;
            i = c + (crlf ? 4 : 2);
        }
        return true;
    case Charset::Jis:
        if ((n >= 1 && pIn[n - 1] == ESC) || (n >= 2 && pIn[n - 2] == ESC))
            return false;
        return byte_search::LineEndsAre(pIn, n, form, pnLines);
    default:
        return false;
    }
}

// Indexed by CharsetId.
using CountingWalk = std::uint8_t* (*)(const std::uint8_t*, std::int64_t, std::uint8_t*, NLCode, std::int64_t*);
constexpr CountingWalk kFastWalks[Charset::Count] = {FastBytes, FastBytes, FastJis, FastUtf16, FastBytes};

template <CountingWalk Counting>
std::uint8_t* Uncounted(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t nLines = 0;
    return Counting(pIn, n, pOut, nCode, &nLines);
}

constexpr line_endings::Walk kUncountedWalks[Charset::Count] = {Uncounted<FastBytes>, Uncounted<FastBytes>, Uncounted<FastJis>,
                                                  Uncounted<FastUtf16>, Uncounted<FastBytes>};

} // namespace

namespace line_endings {

bool IsUnchanged(const std::uint8_t* pIn, std::int64_t n, CharsetId nCharset, NLCode nCode, std::int64_t* pnLines)
{
    std::int64_t nLines = 0;
    const bool bUnchanged = Unchanged(pIn, n, nCharset, nCode, &nLines);
    if (bUnchanged && pnLines != nullptr)
        *pnLines += nLines;
    return bUnchanged;
}

Walk FastWalk(CharsetId nCharset) { return Charset::IsValid(nCharset) ? kUncountedWalks[nCharset] : nullptr; }

std::int64_t PartLength(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal)
{
    using Cut = std::int64_t (*)(const std::uint8_t*, std::int64_t);
    constexpr Cut kCuts[Charset::Count] = {ByteCut, ByteCut, JisCut, Utf16Cut, ByteCut};
    return bFinal || !Charset::IsValid(nCharset) ? n : kCuts[nCharset](pIn, n);
}

std::int64_t WalkPart(CharsetId nCharset, const std::uint8_t* pIn, std::int64_t n, bool bFinal,
                      std::uint8_t** ppOut, NLCode nCode, std::int64_t* pnLines)
{
    std::int64_t nLines = 0;
    if (pnLines == nullptr)
        pnLines = &nLines;
    if (!Charset::IsValid(nCharset))
        return n;
    if (nCharset == Charset::Jis)
        return FastJisPart(pIn, n, bFinal, ppOut, nCode, pnLines);
    const std::int64_t c = PartLength(nCharset, pIn, n, bFinal);
    *ppOut = kFastWalks[nCharset](pIn, c, *ppOut, nCode, pnLines);
    return c;
}

} // namespace line_endings
