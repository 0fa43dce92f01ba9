#include "line_endings.h"

#include <cstring>

#include "byte_search.h"
#include "jis_escapes.h"
#include "text_converter.h"

// The line-ending pass walks the text in the units of its encoding so that a
// CR or LF byte inside a multibyte unit is never taken for a line ending.
// Where a unit begins too close to the end of the input to be whole, the
// bytes that remain are copied unchanged: nothing is lost, nothing is read
// beyond the input.

namespace {

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;
constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t SO = 0x0E;
constexpr std::uint8_t SI = 0x0F;

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
inline std::int64_t CopyEscape(const std::uint8_t* pIn, std::int64_t i, std::int64_t n, std::uint8_t*& pOut,
                               bool* pbDoubleByte)
{
    *pOut++ = ESC;
    if (n - i - 1 < 2)
        return -1;
    const std::uint8_t c1 = pIn[i + 1];
    const std::uint8_t c2 = pIn[i + 2];
    *pbDoubleByte = jis_escapes::SelectsDoubleByte(c1, c2);
    if (!*pbDoubleByte && !jis_escapes::SelectsSingleByte(c1, c2))
        return i + 1;
    *pOut++ = c1;
    *pOut++ = c2;
    return i + 3;
}

std::uint8_t* WalkDoubleByte(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
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
            // Every high-bit byte leads a pair; the trail is never examined.
            *pOut++ = b;
            if (i + 1 < n)
                *pOut++ = pIn[i + 1];
            i += 2;
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


// Fast walks: copy whole stretches up to the next CR or LF byte and only then
// decide whether that byte starts a unit. Position i is always a known unit
// start.

// In Shift_JIS and EUC-JP a position q is a unit start when the byte before
// it is below 0x80 (a single byte or a trail); a run of high-bit bytes from
// such a start pairs up, so q is a start when that run has even length.
inline bool DoubleByteUnitStart(const std::uint8_t* pIn, std::int64_t i, std::int64_t q)
{
    std::int64_t k = q;
    while (k > i && pIn[k - 1] >= 0x80)
        --k;
    return ((q - k) & 1) == 0;
}

std::uint8_t* FastDoubleByte(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
        std::memcpy(pOut, pIn + i, static_cast<std::size_t>(c - i));
        pOut += c - i;
        if (c >= n)
            break;
        if (DoubleByteUnitStart(pIn, i, c)) {
            i = LineEnding(pIn, c, n, pOut, nCode);
        } else {
            *pOut++ = pIn[c]; // the trail of a pair
            i = c + 1;
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

std::uint8_t* FastJis(const std::uint8_t* pIn, std::int64_t n, std::uint8_t* pOut, NLCode nCode)
{
    bool bDoubleByte = false;
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
            i = CopyEscape(pIn, i, n, pOut, &bDoubleByte);
            if (i < 0)
                break;
        } else if (b == SO || b == SI) {
            *pOut++ = b;
            bDoubleByte = false;
            i += 1;
        } else if (bDoubleByte) {
            // Pairs are copied whole, line-ending bytes included, up to the
            // next escape that begins a pair (a last odd byte is copied too).
            const std::int64_t run = byte_search::DoubleByteRun(pIn + i, n - i);
            std::memcpy(pOut, pIn + i, static_cast<std::size_t>(run));
            pOut += run;
            i += run;
        } else {
            i = LineEnding(pIn, i, n, pOut, nCode);
        }
    }
    return pOut;
}

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
    case Charset::EucJp:
        while (i < n) {
            const std::int64_t c = i + byte_search::FindCrLf(pIn + i, n - i);
            if (c >= n)
                return true;
            if (!DoubleByteUnitStart(pIn, i, c)) {
                i = c + 1;
            } else if (!EndingKept(pIn, c, n, nCode, &i)) {
                return false;
            }
        }
        return true;
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

// Indexed by CharsetId: Shift_JIS and EUC-JP share the pair walk.
constexpr Walk kReferenceWalks[Charset::Count] = {WalkDoubleByte, WalkDoubleByte, WalkJis, WalkUtf16, WalkUtf8};
constexpr Walk kFastWalks[Charset::Count] = {FastDoubleByte, FastDoubleByte, FastJis, FastUtf16, FastUtf8};

Walk ReferenceWalk(CharsetId nCharset) { return Charset::IsValid(nCharset) ? kReferenceWalks[nCharset] : nullptr; }
Walk FastWalk(CharsetId nCharset) { return Charset::IsValid(nCharset) ? kFastWalks[nCharset] : nullptr; }

} // namespace line_endings

void CTextConverter::NormalizeLineEndings(const std::uint8_t* pInput, std::int64_t nLength, CharsetId nCharset,
                                          CByteBuffer* pResult) const
{
    *pResult = CByteBuffer();
    if (nLength <= 0) {
        *pResult = CByteBuffer::Allocate(0);
        return;
    }
    // No step writes more than twice what it consumes.
    CByteBuffer work = CByteBuffer::Allocate(2 * nLength);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* pEnd = pBegin;
    if (const line_endings::Walk walk = line_endings::FastWalk(nCharset))
        pEnd = walk(pInput, nLength, pBegin, m_nNLCode);
    work.Trim(pEnd - pBegin);
    *pResult = std::move(work);
}
