#include <cstring>

#include "text_converter.h"

// Conversions among Shift_JIS, EUC-JP and ISO-2022-JP by arithmetic on the
// JIS X 0208 row and cell bytes. Nothing is validated: every byte is
// transformed modulo 256 so that malformed text comes out byte for byte
// predictable. A lead byte with no trail (the last byte) is copied unchanged.

namespace {

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t SO = 0x0E;
constexpr std::uint8_t SI = 0x0F;

struct RowCell {
    std::uint8_t j1;
    std::uint8_t j2;
};
struct LeadTrail {
    std::uint8_t s1;
    std::uint8_t s2;
};

inline RowCell ShiftJisToRowCell(std::uint8_t s1, std::uint8_t s2)
{
    std::uint8_t j1 = static_cast<std::uint8_t>(s1 <= 0x9F ? s1 - 0x71 : s1 - 0xB1);
    j1 = static_cast<std::uint8_t>(2 * j1 + 1);
    if (s2 >= 0x80)
        s2 = static_cast<std::uint8_t>(s2 - 1);
    std::uint8_t j2;
    if (s2 >= 0x9E) {
        j2 = static_cast<std::uint8_t>(s2 - 0x7D);
        j1 = static_cast<std::uint8_t>(j1 + 1);
    } else {
        j2 = static_cast<std::uint8_t>(s2 - 0x1F);
    }
    return {j1, j2};
}

inline LeadTrail RowCellToShiftJis(std::uint8_t j1, std::uint8_t j2)
{
    std::uint8_t s2 = static_cast<std::uint8_t>((j1 & 1) ? j2 + 0x1F : j2 + 0x7D);
    if (s2 >= 0x7F)
        s2 = static_cast<std::uint8_t>(s2 + 1);
    // The halving rounds toward minus infinity for rows below 0x21.
    const int half = (static_cast<int>(j1) - 0x21) >> 1;
    std::uint8_t s1 = static_cast<std::uint8_t>(half + 0x81);
    if (s1 > 0x9F)
        s1 = static_cast<std::uint8_t>(s1 + 0x40);
    return {s1, s2};
}

// Bytes below 0x80 at p, the part every routine copies one for one.
inline std::int64_t AsciiRun(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

inline void Put3(std::uint8_t*& p, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    p[0] = a;
    p[1] = b;
    p[2] = c;
    p += 3;
}

} // namespace

bool ShiftJisToEucJp(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer out = CByteBuffer::Allocate(n);
    std::uint8_t* const q = out.Data();
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = AsciiRun(pSource + i, n - i);
        std::memcpy(q + i, pSource + i, static_cast<std::size_t>(run));
        i += run;
        if (i >= n)
            break;
        if (i + 1 < n) {
            const RowCell rc = ShiftJisToRowCell(pSource[i], pSource[i + 1]);
            q[i] = rc.j1 | 0x80;
            q[i + 1] = rc.j2 | 0x80;
            i += 2;
        } else {
            q[i] = pSource[i];
            i += 1;
        }
    }
    *pOutput = std::move(out);
    return true;
}

bool EucJpToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer out = CByteBuffer::Allocate(n);
    std::uint8_t* const q = out.Data();
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = AsciiRun(pSource + i, n - i);
        std::memcpy(q + i, pSource + i, static_cast<std::size_t>(run));
        i += run;
        if (i >= n)
            break;
        if (i + 1 < n) {
            const LeadTrail lt = RowCellToShiftJis(pSource[i] & 0x7F, pSource[i + 1] & 0x7F);
            q[i] = lt.s1;
            q[i + 1] = lt.s2;
            i += 2;
        } else {
            q[i] = pSource[i];
            i += 1;
        }
    }
    *pOutput = std::move(out);
    return true;
}

bool ShiftJisToJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // A lone pair costs 8 bytes (two escapes around it) for 2 in; nothing
    // costs more per input byte, a last unpaired byte included.
    CByteBuffer work = CByteBuffer::Allocate(4 * n);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    bool bDoubleByte = false;
    std::int64_t i = 0;
    while (i < n) {
        if (!bDoubleByte) {
            const std::int64_t run = AsciiRun(pSource + i, n - i);
            std::memcpy(q, pSource + i, static_cast<std::size_t>(run));
            q += run;
            i += run;
            if (i >= n)
                break;
        }
        const std::uint8_t b = pSource[i];
        if (b >= 0x80 && i + 1 < n) {
            if (!bDoubleByte) {
                Put3(q, ESC, 0x24, 0x42);
                bDoubleByte = true;
            }
            const RowCell rc = ShiftJisToRowCell(b, pSource[i + 1]);
            q[0] = rc.j1;
            q[1] = rc.j2;
            q += 2;
            i += 2;
        } else {
            if (bDoubleByte) {
                Put3(q, ESC, 0x28, 0x42);
                bDoubleByte = false;
            }
            *q++ = b;
            i += 1;
        }
    }
    if (bDoubleByte)
        Put3(q, ESC, 0x28, 0x42);
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}

bool JisToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Escapes are dropped and pairs stay pairs, so the output never exceeds
    // the input.
    CByteBuffer work = CByteBuffer::Allocate(n);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    bool bDoubleByte = false;
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pSource[i];
        if (b == ESC) {
            if (i + 2 >= n)
                break; // a cut-off escape ends the text
            const std::uint8_t c1 = pSource[i + 1];
            const std::uint8_t c2 = pSource[i + 2];
            bDoubleByte = (c1 == 0x24 && (c2 == 0x40 || c2 == 0x42 || c2 == 0x44)) || (c1 == 0x26 && c2 == 0x40);
            i += 3;
        } else if (b == SO || b == SI) {
            bDoubleByte = false;
            i += 1;
        } else if (bDoubleByte) {
            if (i + 1 < n) {
                const LeadTrail lt = RowCellToShiftJis(b, pSource[i + 1]);
                q[0] = lt.s1;
                q[1] = lt.s2;
                q += 2;
            } else {
                *q++ = b;
            }
            i += 2;
        } else {
            *q++ = b;
            i += 1;
        }
    }
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}
