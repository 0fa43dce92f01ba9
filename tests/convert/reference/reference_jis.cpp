#include "jis_arithmetic.h"
#include "jis_units.h"
#include "reference_kernels.h"
#include "text_converter.h"

namespace {
cp932::Substitute SubstituteOf(const CTextConverter* pConverter)
{
    return pConverter ? cp932::MakeSubstitute(pConverter->m_strUnmappableDefaultChar) : cp932::Substitute{};
}
} // namespace

// The JIS-family kernels one unit at a time: the readable definition of each
// stage.

using namespace jis_arithmetic;

namespace reference {

using jis_units::IsHalfWidthKatakana;
using jis_units::IsShiftJisLead;

bool ShiftJisToEucJp(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Only katakana grow, by their 8E.
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::uint8_t* q = work.Data();
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pSource[i];
        if (IsShiftJisLead(b) && i + 1 < n) {
            const RowCell rc = ShiftJisToRowCell(b, pSource[i + 1]);
            *q++ = rc.j1 | 0x80;
            *q++ = rc.j2 | 0x80;
            i += 2;
        } else {
            if (IsHalfWidthKatakana(b))
                *q++ = jis_units::kEucKatakana;
            *q++ = b; // and every other single byte, or a last lead, as it is
            i += 1;
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

bool EucJpToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    const cp932::Substitute substitute = SubstituteOf(pConverter);
    CByteBuffer work = CByteBuffer::Allocate(n);
    std::uint8_t* q = work.Data();
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pSource[i];
        if (b == jis_units::kEucJisX0212 && i + 2 < n) {
            q = PutSubstitute(q, substitute); // Shift_JIS has no JIS X 0212
            i += 3;
        } else if (b == jis_units::kEucJisX0212) {
            while (i < n)
                *q++ = pSource[i++]; // cut off by the end
        } else if (b >= 0x80 && i + 1 < n) {
            const std::uint8_t b2 = pSource[i + 1];
            if (b == jis_units::kEucKatakana && IsHalfWidthKatakana(b2)) {
                *q++ = b2;
            } else {
                const LeadTrail lt = RowCellToShiftJis(b & 0x7F, b2 & 0x7F);
                *q++ = lt.s1;
                *q++ = lt.s2;
            }
            i += 2;
        } else {
            *q++ = b;
            i += 1;
        }
    }
    work.Trim(q - work.Data());
    *pOutput = std::move(work);
    return true;
}

bool ShiftJisToJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    using jis_escapes::Mode;
    // A unit costs at most an escape more than its own bytes, and the text
    // closes with one.
    CByteBuffer work = CByteBuffer::Allocate(4 * n + 3);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    Mode mode = Mode::Ascii;
    const auto enter = [&](Mode next) { EnterMode(q, mode, next); };
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pSource[i];
        if (IsShiftJisLead(b) && i + 1 < n) {
            enter(Mode::Kanji);
            const RowCell rc = ShiftJisToRowCell(b, pSource[i + 1]);
            q[0] = rc.j1;
            q[1] = rc.j2;
            q += 2;
            i += 2;
        } else if (IsHalfWidthKatakana(b)) {
            enter(Mode::Katakana);
            *q++ = static_cast<std::uint8_t>(b - 0x80);
            i += 1;
        } else {
            enter(Mode::Ascii);
            *q++ = b;
            i += 1;
        }
    }
    enter(Mode::Ascii);
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}

bool JisToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    using jis_escapes::Mode;
    // Escapes are dropped and units keep their length, so the output never
    // exceeds the input.
    CByteBuffer work = CByteBuffer::Allocate(n);
    std::uint8_t* const pBegin = work.Data();
    std::uint8_t* q = pBegin;
    Mode mode = Mode::Ascii;
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = pSource[i];
        if (b == ESC) {
            if (i + 2 >= n)
                break; // a cut-off escape ends the text
            mode = jis_escapes::ModeAfter(pSource[i + 1], pSource[i + 2]);
            i += 3;
        } else if (b == SO) {
            mode = Mode::Katakana;
            i += 1;
        } else if (b == SI) {
            mode = Mode::Ascii;
            i += 1;
        } else if (mode == Mode::Kanji && i + 1 < n) {
            const LeadTrail lt = RowCellToShiftJis(b, pSource[i + 1]);
            q[0] = lt.s1;
            q[1] = lt.s2;
            q += 2;
            i += 2;
        } else if (mode == Mode::Katakana && jis_units::IsJisKatakana(b)) {
            *q++ = static_cast<std::uint8_t>(b + 0x80);
            i += 1;
        } else {
            *q++ = b;
            i += 1;
        }
    }
    work.Trim(q - pBegin);
    *pOutput = std::move(work);
    return true;
}

} // namespace reference
