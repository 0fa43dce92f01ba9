#pragma once

#include <cstdint>

#include "charset.h"
#include "jis_escapes.h"
#include "jis_units.h"
#include "text_constants.h"

// The steps every walk of the line-ending pass takes, the fast walks and the
// one-unit-at-a-time ones the tests hold them against: writing a line
// ending, recognising one, copying an escape, the length of a unit.
namespace line_ending_steps {

using text::CR;
using text::ESC;
using text::LF;
using text::SI;
using text::SO;

inline std::uint8_t* PutNewLine(std::uint8_t* pOut, NLCode nCode)
{
    switch (nCode) {
    case NewLine::CrLf:
        *pOut++ = CR;
        *pOut++ = LF;
        break;
    case NewLine::Lf:
        *pOut++ = LF;
        break;
    case NewLine::Cr:
        *pOut++ = CR;
        break;
    default: // any other code drops line endings
        break;
    }
    return pOut;
}

inline std::uint8_t* PutNewLineWide(std::uint8_t* pOut, NLCode nCode)
{
    switch (nCode) {
    case NewLine::CrLf:
        *pOut++ = CR;
        *pOut++ = 0;
        *pOut++ = LF;
        *pOut++ = 0;
        break;
    case NewLine::Lf:
        *pOut++ = LF;
        *pOut++ = 0;
        break;
    case NewLine::Cr:
        *pOut++ = CR;
        *pOut++ = 0;
        break;
    default:
        break;
    }
    return pOut;
}

// Length of the run at p of bytes below 0x80 that are neither CR nor LF, the
// bytes every byte-oriented walk copies one for one.
inline std::int64_t PlainRun(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b >= 0x80 || b == CR || b == LF)
            break;
        ++i;
    }
    return i;
}

// Handles the CR / CR LF / LF at pIn[i]; returns the new input position.
inline std::int64_t LineEnding(const std::uint8_t* pIn, std::int64_t i, std::int64_t n, std::uint8_t*& pOut,
                               NLCode nCode)
{
    pOut = PutNewLine(pOut, nCode);
    if (pIn[i] == CR && i + 1 < n && pIn[i + 1] == LF)
        return i + 2;
    return i + 1;
}

// Copies the escape at pIn[i] and returns the position after it, or -1 when
// fewer than two bytes follow it: the pass then ends with the ESC written and
// the rest dropped. An unknown escape switches to single-byte mode and lets
// its two bytes be walked as text.
inline std::int64_t CopyEscape(const std::uint8_t* pIn, std::int64_t i, std::int64_t n, std::uint8_t*& pOut)
{
    *pOut++ = ESC;
    if (n - i - 1 < 2)
        return -1;
    const std::uint8_t c1 = pIn[i + 1];
    const std::uint8_t c2 = pIn[i + 2];
    if (!jis_escapes::SelectsDoubleByte(c1, c2) && !jis_escapes::SelectsSingleByte(c1, c2))
        return i + 1;
    *pOut++ = c1;
    *pOut++ = c2;
    return i + 3;
}

} // namespace line_ending_steps
