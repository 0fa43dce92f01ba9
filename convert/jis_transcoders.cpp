#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "byte_search.h"
#include "cp932_table.h"
#include "jis_escapes.h"
#include "jis_slices.h"
#include "jis_arithmetic.h"
#include "jis_units.h"
#include "text_converter.h"
#include "utf8_forms.h"

using namespace jis_arithmetic;

// Conversions among Shift_JIS, EUC-JP and ISO-2022-JP by arithmetic on the
// JIS X 0208 row and cell bytes. Nothing is validated: every byte is
// transformed modulo 256 so that malformed text comes out byte for byte
// predictable. A lead byte with no trail (the last byte) is copied unchanged.




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
            // One test keeps the single shifts off the path of plain pairs.
            if ((b | 1) != jis_units::kEucJisX0212 || (b == jis_units::kEucKatakana && !jis_units::IsHalfWidthKatakana(b2))) {
                if (!PutPairAt<ToUtf8>(q, units, forms, (b & 0x7Fu) << 7 | (b2 & 0x7Fu))) {
                    *ppOut = q;
                    return i;
                }
            } else if (b == jis_units::kEucKatakana) {
                q = PutPairUnit<ToUtf8>(q, KatakanaUnit(b2));
            } else {
                *ppOut = q;
                return i; // JIS X 0212: the two stages know its substitute
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
            // One test keeps the single shifts off the path of plain pairs;
            // 8E before anything but katakana is a pair like any other.
            if ((b | 1) != jis_units::kEucJisX0212 || (b == jis_units::kEucKatakana && !IsHalfWidthKatakana(b2))) {
                PutPair(q, table[(b & 0x7F) << 8 | (b2 & 0x7F)]);
                q += 2;
                i += 2;
            } else if (b == jis_units::kEucKatakana) {
                *q++ = b2;
                i += 2;
            } else {
                if (i + 2 >= n)
                    break;
                q = PutSubstitute(q, substitute);
                i += 3;
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
