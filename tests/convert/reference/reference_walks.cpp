#include <cstring>

#include "line_ending_steps.h"
#include "reference_kernels.h"

// The walks of the line-ending pass one unit at a time: the readable
// definition the fast walks must match.

using namespace line_ending_steps;

namespace {

// A unit the end cuts off is copied as far as it goes.
template <std::int64_t (*UnitLength)(std::uint8_t)>
std::uint8_t* WalkByUnits(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = PlainRun(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(run));
        pOut += run;
        i += run;
        if (i >= n)
            break;
        const std::uint8_t b = pIn[i];
        if (b >= 0x80) {
            const std::int64_t step = UnitLength(b);
            const std::int64_t take = step < n - i ? step : n - i;
            std::memcpy(pOut, pIn + i, static_cast<std::size_t>(take));
            pOut += take;
            i += step;
        } else {
            i = LineEnding(pIn, i, n, pOut, nCode);
        }
    }
    return pOut;
}

std::uint8_t* WalkJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    bool bDoubleByte = false;
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pIn[i];
        if (b == ESC) {
            i = CopyEscape(pIn, i, n, pOut, &bDoubleByte);
            if (i < 0)
                break;
        } else if (b == SO || b == SI) {
            *pOut++ = b;
            bDoubleByte = false;
            i += 1;
        } else if (bDoubleByte) {
            *pOut++ = b;
            if (i + 1 < n)
                *pOut++ = pIn[i + 1];
            i += 2;
        } else if (b == CR || b == LF) {
            i = LineEnding(pIn, i, n, pOut, nCode);
        } else {
            *pOut++ = b;
            i += 1;
        }
    }
    return pOut;
}

std::uint8_t* WalkUtf16(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i + 1 < n) {
        const unsigned u = pIn[i] | (pIn[i + 1] << 8);
        if (u == CR) {
            pOut = PutNewLineWide(pOut, nCode);
            i += (i + 3 < n && pIn[i + 2] == LF && pIn[i + 3] == 0) ? 4 : 2;
        } else if (u == LF) {
            pOut = PutNewLineWide(pOut, nCode);
            i += 2;
        } else {
            *pOut++ = pIn[i];
            *pOut++ = pIn[i + 1];
            i += 2;
        }
    }
    if (i < n)
        *pOut++ = pIn[i]; // odd length: the last byte is no whole unit
    return pOut;
}

// In UTF-8 every byte below 0x80 is a character of its own, whatever comes
// before it: a lead never takes a CR, LF or ASCII byte along, as no decoder
// that follows the standard would. Bytes of forms are copied as they are.
std::uint8_t* WalkUtf8(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = PlainRun(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(run));
        pOut += run;
        i += run;
        if (i >= n)
            break;
        if (pIn[i] >= 0x80)
            *pOut++ = pIn[i++];
        else
            i = LineEnding(pIn, i, n, pOut, nCode);
    }
    return pOut;
}



constexpr line_endings::Walk kWalks[Charset::Count] = {WalkByUnits<ShiftJisUnitLength>, WalkByUnits<EucJpUnitLength>,
                                                       WalkJis, WalkUtf16, WalkUtf8};

} // namespace

namespace reference {

line_endings::Walk LineEndingWalk(CharsetId nCharset)
{
    return Charset::IsValid(nCharset) ? kWalks[nCharset] : nullptr;
}

} // namespace reference
