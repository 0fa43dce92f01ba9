#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "byte_search.h"
#include "cp932_table.h"
#include "jis_escapes.h"
#include "jis_slices.h"
#include "jis_units.h"
#include "reference_kernels.h"
#include "text_converter.h"
#include "utf8_forms.h"

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

inline void Put3(std::uint8_t*& p, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    p[0] = a;
    p[1] = b;
    p[2] = c;
    p += 3;
}

// The ISO-2022-JP writer's escape before a change of mode, and only then.
inline void EnterMode(std::uint8_t*& q, jis_escapes::Mode& mode, jis_escapes::Mode next)
{
    if (mode != next) {
        const auto& e = jis_escapes::kEscapeFor[static_cast<int>(next)];
        Put3(q, ESC, e[0], e[1]);
        mode = next;
    }
}

} // namespace

namespace {

inline cp932::Substitute SubstituteOf(const CTextConverter* pConverter)
{
    return pConverter ? cp932::MakeSubstitute(pConverter->m_strUnmappableDefaultChar) : cp932::Substitute{};
}

inline std::uint8_t* PutSubstitute(std::uint8_t* q, const cp932::Substitute& substitute)
{
    const int length = substitute.length < 0 ? 0 : (substitute.length > 2 ? 2 : substitute.length);
    for (int k = 0; k < length; ++k)
        *q++ = substitute.bytes[k];
    return q;
}

} // namespace

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

// The fast routines look pairs up in tables derived from the arithmetic
// above, so that each pair costs one load instead of data-dependent branches.
namespace {

struct PairTables {
    // Shift_JIS (s1 << 8 | s2) -> row << 8 | cell.
    std::array<std::uint16_t, 65536> toRowCell;
    // row << 8 | cell, raw bytes -> s1 << 8 | s2.
    std::array<std::uint16_t, 65536> toShiftJis;

    PairTables()
    {
        for (unsigned a = 0; a < 256; ++a) {
            for (unsigned b = 0; b < 256; ++b) {
                const RowCell rc = ShiftJisToRowCell(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
                toRowCell[a << 8 | b] = static_cast<std::uint16_t>(rc.j1 << 8 | rc.j2);
                const LeadTrail lt = RowCellToShiftJis(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
                toShiftJis[a << 8 | b] = static_cast<std::uint16_t>(lt.s1 << 8 | lt.s2);
            }
        }
    }
};

const PairTables& Tables()
{
    static const PairTables tables;
    return tables;
}

inline void PutPair(std::uint8_t* q, std::uint16_t v)
{
    q[0] = static_cast<std::uint8_t>(v >> 8);
    q[1] = static_cast<std::uint8_t>(v);
}

// The unit of each pair of 7-bit row and cell bytes where its Shift_JIS
// form decodes as one pair; 0 where it does not (a single byte, or no
// character), which sends that pair down the two stages. EUC-JP pairs index
// it without their high bits, ISO-2022-JP pairs as they are.
struct PairUnitTable {
    std::array<std::uint16_t, 128 * 128> units;

    PairUnitTable()
    {
        for (unsigned a = 0; a < 128; ++a) {
            for (unsigned b = 0; b < 128; ++b) {
                const LeadTrail lt = RowCellToShiftJis(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
                units[a << 7 | b] = cp932::table::kDoubleByte[cp932::table::kLeadRow[lt.s1]][lt.s2];
            }
        }
    }
};

const std::uint16_t* PairUnits()
{
    static const PairUnitTable table;
    return table.units.data();
}

template <bool ToUtf8>
inline std::uint8_t* PutAscii(std::uint8_t* q, const std::uint8_t* p, std::int64_t n)
{
    if constexpr (ToUtf8) {
        std::memcpy(q, p, static_cast<std::size_t>(n));
        return q + n;
    } else {
        std::int64_t k = 0;
#if defined(__SSE2__)
        for (; k + 16 <= n; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 2 * k), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 2 * k + 16), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
        }
#endif
        for (; k < n; ++k) {
            q[2 * k] = p[k];
            q[2 * k + 1] = 0;
        }
        return q + 2 * n;
    }
}

template <bool ToUtf8>
inline std::uint8_t* PutPairUnit(std::uint8_t* q, std::uint16_t u)
{
    if constexpr (ToUtf8) {
        return utf8_forms::PutWideUnit(q, u); // a pair's four bytes of room
    } else {
        q[0] = static_cast<std::uint8_t>(u);
        q[1] = static_cast<std::uint8_t>(u >> 8);
        return q + 2;
    }
}

// The same pairs' packed UTF-8 forms; 0 where the unit table has 0. A pair
// then costs one load and one four-byte store.
struct PairFormTable {
    std::array<std::uint32_t, 128 * 128> forms;

    PairFormTable()
    {
        const std::uint16_t* units = PairUnits();
        for (std::size_t k = 0; k < forms.size(); ++k)
            forms[k] = utf8_forms::PackForm(units[k]);
    }
};

constexpr bool kFormTable = utf8_forms::kPackedFormsFit;

const std::uint32_t* PairForms()
{
    static const PairFormTable table;
    return table.forms.data();
}

// The pair at index k into q, or false when it is no one character. q has
// a pair's four bytes of room.
template <bool ToUtf8>
inline bool PutPairAt(std::uint8_t*& q, const std::uint16_t* units, const std::uint32_t* forms, unsigned k)
{
    if constexpr (ToUtf8 && kFormTable) {
        const std::uint32_t form = forms[k];
        q = utf8_forms::PutPackedForm(q, form);
        return form != 0;
    } else {
        const std::uint16_t u = units[k];
        if (u == 0)
            return false;
        q = PutPairUnit<ToUtf8>(q, u);
        return true;
    }
}

// The unit a Shift_JIS katakana byte (A1-DF) decodes to.
inline std::uint16_t KatakanaUnit(std::uint8_t b) { return cp932::table::kSingleByte[b]; }

template <bool ToUtf8>
std::int64_t EucJpToUnits(const std::uint8_t* p, std::int64_t n, std::uint8_t** ppOut)
{
    const std::uint16_t* units = PairUnits();
    const std::uint32_t* forms = ToUtf8 && kFormTable ? PairForms() : nullptr;
    std::uint8_t* q = *ppOut;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = byte_search::AsciiRun(p + i, n - i);
        q = PutAscii<ToUtf8>(q, p + i, run);
        i += run;
        while (i + 1 < n && p[i] >= 0x80) {
            const std::uint8_t b = p[i];
            const std::uint8_t b2 = p[i + 1];
            if (b == jis_units::kEucKatakana && jis_units::IsHalfWidthKatakana(b2)) {
                q = PutPairUnit<ToUtf8>(q, KatakanaUnit(b2));
            } else if (b == jis_units::kEucJisX0212 ||
                       !PutPairAt<ToUtf8>(q, units, forms, (b & 0x7Fu) << 7 | (b2 & 0x7Fu))) {
                *ppOut = q;
                return i;
            }
            i += 2;
        }
        if (i + 1 == n && p[i] >= 0x80)
            break; // a lead the end cuts off
    }
    *ppOut = q;
    return i;
}

template <bool ToUtf8>
std::int64_t JisToUnits(const std::uint8_t* p, std::int64_t n, jis_slices::JisState* pState, std::uint8_t** ppOut)
{
    using jis_escapes::Mode;
    if (pState->bEnded)
        return 0;
    const std::uint16_t* units = PairUnits();
    const std::uint32_t* forms = ToUtf8 && kFormTable ? PairForms() : nullptr;
    std::uint8_t* q = *ppOut;
    Mode mode = pState->mode;
    std::int64_t i = 0;
    while (i < n) {
        if (mode != Mode::Kanji) {
            const std::int64_t k = i + byte_search::FindEscSoSi(p + i, n - i);
            if (mode == Mode::Ascii) {
                const std::int64_t run = byte_search::AsciiRun(p + i, k - i);
                q = PutAscii<ToUtf8>(q, p + i, run);
                i += run;
            } else {
                for (; i < k && p[i] < 0x80; ++i) {
                    if (jis_units::IsJisKatakana(p[i]))
                        q = PutPairUnit<ToUtf8>(q, KatakanaUnit(static_cast<std::uint8_t>(p[i] + 0x80)));
                    else
                        q = PutAscii<ToUtf8>(q, p + i, 1);
                }
            }
            if (i < k || i >= n)
                break; // a high byte, which the decoder would pair with the next
        }
        const std::uint8_t b = p[i];
        if (b == ESC) {
            if (i + 2 >= n)
                break; // cut off: the stages know what that means here
            mode = jis_escapes::ModeAfter(p[i + 1], p[i + 2]);
            i += 3;
        } else if (b == SO || b == SI) {
            mode = b == SO ? Mode::Katakana : Mode::Ascii;
            i += 1;
        } else {
            const std::int64_t end = i + (byte_search::DoubleByteRun(p + i, n - i) & ~std::int64_t{1});
            bool bPlain = true;
            for (; i < end; i += 2) {
                const unsigned j1 = p[i];
                const unsigned j2 = p[i + 1];
                bPlain = (j1 | j2) < 0x80 && PutPairAt<ToUtf8>(q, units, forms, j1 << 7 | j2);
                if (!bPlain)
                    break;
            }
            if (!bPlain || i + 1 == n)
                break; // a pair that is no one character, or a last lone byte
        }
    }
    pState->mode = mode;
    *ppOut = q;
    return i;
}

} // namespace

namespace jis_slices {

using jis_escapes::Mode;
using jis_units::IsHalfWidthKatakana;
using jis_units::IsShiftJisLead;

std::int64_t EucJpToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, std::uint8_t** ppOut)
{
    return bToUtf8 ? EucJpToUnits<true>(p, n, ppOut) : EucJpToUnits<false>(p, n, ppOut);
}

std::int64_t JisToUnitsWhilePlain(const std::uint8_t* p, std::int64_t n, bool bToUtf8, JisState* pState,
                                  std::uint8_t** ppOut)
{
    return bToUtf8 ? JisToUnits<true>(p, n, pState, ppOut) : JisToUnits<false>(p, n, pState, ppOut);
}

std::int64_t EucJpToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten)
{
    const std::uint16_t* table = Tables().toShiftJis.data();
    std::uint8_t* q = pOut;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = byte_search::AsciiRun(p + i, n - i);
        std::memcpy(q, p + i, static_cast<std::size_t>(run));
        q += run;
        i += run;
        // Japanese text is mostly long runs of pairs: step by two while the
        // next unit still starts with a high-bit byte.
        while (i + 1 < n && p[i] >= 0x80) {
            const std::uint8_t b = p[i];
            const std::uint8_t b2 = p[i + 1];
            if (b == jis_units::kEucJisX0212) {
                if (i + 2 >= n)
                    break;
                q = PutSubstitute(q, substitute);
                i += 3;
            } else if (b == jis_units::kEucKatakana && IsHalfWidthKatakana(b2)) {
                *q++ = b2;
                i += 2;
            } else {
                PutPair(q, table[(b & 0x7F) << 8 | (b2 & 0x7F)]);
                q += 2;
                i += 2;
            }
        }
        if (i < n && p[i] >= 0x80) {
            // A unit the end cuts off: wait for the rest, or copy what there is.
            if (!bFinal)
                break;
            while (i < n)
                *q++ = p[i++];
        }
    }
    *pWritten = q - pOut;
    return i;
}

std::int64_t ShiftJisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, std::uint8_t* pOut,
                             std::int64_t* pWritten)
{
    const std::uint16_t* table = Tables().toRowCell.data();
    std::uint8_t* q = pOut;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = byte_search::AsciiRun(p + i, n - i);
        std::memcpy(q, p + i, static_cast<std::size_t>(run));
        q += run;
        i += run;
        while (i < n && p[i] >= 0x80) {
            const std::uint8_t b = p[i];
            if (IsShiftJisLead(b)) {
                if (i + 1 >= n) {
                    if (bFinal)
                        *q++ = p[i++]; // a last lead byte without its trail
                    *pWritten = q - pOut;
                    return i; // or its trail is in the next slice
                }
                PutPair(q, static_cast<std::uint16_t>(table[b << 8 | p[i + 1]] | 0x8080));
                q += 2;
                i += 2;
            } else {
                if (IsHalfWidthKatakana(b))
                    *q++ = jis_units::kEucKatakana;
                *q++ = b;
                ++i;
            }
        }
    }
    *pWritten = q - pOut;
    return i;
}

std::int64_t ShiftJisToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, Mode* pMode, std::uint8_t* out,
                           std::int64_t* pWritten)
{
    const std::uint16_t* table = Tables().toRowCell.data();
    std::uint8_t* q = out;
    Mode mode = *pMode;
    const auto enter = [&](Mode next) { EnterMode(q, mode, next); };
    std::int64_t i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            enter(Mode::Ascii);
            const std::int64_t run = byte_search::AsciiRun(p + i, n - i);
            std::memcpy(q, p + i, static_cast<std::size_t>(run));
            q += run;
            i += run;
        } else if (IsShiftJisLead(b) && i + 1 < n) {
            // A run of pairs, in one escape (which may span slices).
            enter(Mode::Kanji);
            do {
                PutPair(q, table[p[i] << 8 | p[i + 1]]);
                q += 2;
                i += 2;
            } while (i + 1 < n && IsShiftJisLead(p[i]));
        } else if (IsHalfWidthKatakana(b)) {
            enter(Mode::Katakana);
            do {
                *q++ = static_cast<std::uint8_t>(p[i] - 0x80);
                ++i;
            } while (i < n && IsHalfWidthKatakana(p[i]));
        } else {
            if (IsShiftJisLead(b) && !bFinal)
                break; // its trail is in the next slice
            enter(Mode::Ascii);
            *q++ = b; // a byte that stands alone, or a last lead without its trail
            ++i;
        }
    }
    if (bFinal)
        enter(Mode::Ascii); // the text always ends in ASCII
    *pMode = mode;
    *pWritten = q - out;
    return i;
}

std::int64_t JisToShiftJis(const std::uint8_t* pSource, std::int64_t n, bool bFinal, JisState* pState,
                           std::uint8_t* pOut, std::int64_t* pWritten)
{
    const std::uint16_t* table = Tables().toShiftJis.data();
    std::uint8_t* q = pOut;
    Mode mode = pState->mode;
    std::int64_t i = 0;
    while (i < n && !pState->bEnded) {
        if (mode != Mode::Kanji) {
            const std::int64_t k = i + byte_search::FindEscSoSi(pSource + i, n - i);
            if (mode == Mode::Ascii) {
                std::memcpy(q, pSource + i, static_cast<std::size_t>(k - i));
                q += k - i;
            } else {
                for (std::int64_t j = i; j < k; ++j) {
                    const std::uint8_t b = pSource[j];
                    *q++ = jis_units::IsJisKatakana(b) ? static_cast<std::uint8_t>(b + 0x80) : b;
                }
            }
            i = k;
            if (i >= n)
                break;
        }
        const std::uint8_t b = pSource[i];
        if (b == ESC) {
            if (i + 2 >= n) {
                if (!bFinal)
                    break; // the rest of the escape is in the next slice
                pState->bEnded = true; // a cut-off escape ends the text
                break;
            }
            mode = jis_escapes::ModeAfter(pSource[i + 1], pSource[i + 2]);
            i += 3;
        } else if (b == SO || b == SI) {
            mode = b == SO ? Mode::Katakana : Mode::Ascii;
            i += 1;
        } else if (i + 1 < n) {
            // Whole pairs up to the next escape that begins a pair.
            // b itself begins a pair, so the run holds one pair at least.
            const std::int64_t end = i + (byte_search::DoubleByteRun(pSource + i, n - i) & ~std::int64_t{1});
            for (; i < end; i += 2, q += 2)
                PutPair(q, table[pSource[i] << 8 | pSource[i + 1]]);
        } else {
            if (!bFinal)
                break; // its second byte is in the next slice
            *q++ = b;
            i += 1;
        }
    }
    pState->mode = mode;
    *pWritten = q - pOut;
    return pState->bEnded && bFinal ? n : i;
}

} // namespace jis_slices

bool ShiftJisToEucJp(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(2 * n);
    std::int64_t nWritten = 0;
    jis_slices::ShiftJisToEucJp(pSource, n, true, work.Data(), &nWritten);
    work.Trim(nWritten);
    *pOutput = std::move(work);
    return true;
}

bool EucJpToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter* pConverter)
{
    CByteBuffer work = CByteBuffer::Allocate(n);
    std::int64_t nWritten = 0;
    jis_slices::EucJpToShiftJis(pSource, n, true, SubstituteOf(pConverter), work.Data(), &nWritten);
    work.Trim(nWritten);
    *pOutput = std::move(work);
    return true;
}

bool ShiftJisToJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    CByteBuffer work = CByteBuffer::Allocate(4 * n + 3);
    jis_escapes::Mode mode = jis_escapes::Mode::Ascii;
    std::int64_t nWritten = 0;
    jis_slices::ShiftJisToJis(pSource, n, true, &mode, work.Data(), &nWritten);
    work.Trim(nWritten);
    *pOutput = std::move(work);
    return true;
}

bool JisToShiftJis(const std::uint8_t* pSource, std::int64_t n, CByteBuffer* pOutput, CTextConverter*)
{
    // Escapes are dropped and units keep their length, so the output never
    // exceeds the input.
    CByteBuffer work = CByteBuffer::Allocate(n);
    jis_slices::JisState state;
    std::int64_t nWritten = 0;
    jis_slices::JisToShiftJis(pSource, n, true, &state, work.Data(), &nWritten);
    work.Trim(nWritten);
    *pOutput = std::move(work);
    return true;
}
