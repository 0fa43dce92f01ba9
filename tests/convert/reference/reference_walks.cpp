#include <cstring>

#include "line_ending_steps.h"
#include "reference_kernels.h"

// The walks of the line-ending pass one unit at a time: the readable
// definition the fast walks must match.

using namespace line_ending_steps;

namespace {

// CR and LF are line endings in every mode: no two-byte unit holds one.
std::uint8_t* WalkJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pIn[i];
        if (b == ESC) {
            i = CopyEscape(pIn, i, n, pOut);
            if (i < 0)
                break;
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

// In Shift_JIS, EUC-JP and UTF-8 every byte below 0x80 but a Shift_JIS
// trail is a character of its own: a lead never takes a CR or LF along.
// Bytes of other units are copied as they are.
std::uint8_t* WalkBytes(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
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



constexpr line_endings::Walk kWalks[Charset::Count] = {WalkBytes, WalkBytes, WalkJis, WalkUtf16, WalkBytes};

} // namespace

namespace reference {

line_endings::Walk LineEndingWalk(CharsetId nCharset)
{
    return Charset::IsValid(nCharset) ? kWalks[nCharset] : nullptr;
}

} // namespace reference
