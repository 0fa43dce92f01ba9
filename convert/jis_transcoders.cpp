#include <array>
#include <bit>
#include <cstring>

#include "byte_search.h"
#include "jis_family.h"
#include "jis_slices.h"
#include "replacement_tally.h"
#include "utf16_units.h"
#include "utf8_forms.h"

#if defined(MOJIRO_X86_KERNELS)
#include <immintrin.h>
#endif

// Conversions among Shift_JIS, EUC-JP and ISO-2022-JP by the arithmetic of
// JIS X 0208 rows and cells, and from EUC-JP and ISO-2022-JP straight into
// Unicode and back: a reader cuts the source into units, a writer gives each
// its form in the target. What has no form there becomes the substitute.

using namespace jis_family;
using jis_escapes::Mode;

namespace {

// Well-formed pairs, nearly all of Japanese text, go through tables derived
// from the arithmetic: one load a pair instead of data-dependent branches.
struct PairTables {
    std::array<std::uint16_t, 65536> toRowCell;  // Shift_JIS s1 << 8 | s2 -> row << 8 | cell
    // The same for well-formed pairs inside the 94 rows only, 0 for others.
    std::array<std::uint16_t, 65536> pairRowCell;
    std::array<std::uint16_t, 65536> toShiftJis; // row << 8 | cell -> s1 << 8 | s2
    std::array<std::uint16_t, 128 * 128> units;  // row << 7 | cell -> its character, 0 for none
    std::array<std::uint32_t, 128 * 128> forms;  // and that character's packed UTF-8 form

    PairTables()
    {
        for (unsigned a = 0; a < 256; ++a) {
            for (unsigned b = 0; b < 256; ++b) {
                const auto rc = jis_arithmetic::ShiftJisToRowCell(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
                toRowCell[a << 8 | b] = static_cast<std::uint16_t>(rc.j1 << 8 | rc.j2);
                const bool bPair = jis_units::IsShiftJisLead(static_cast<std::uint8_t>(a)) && a < 0xF0 &&
                                   IsTrail(static_cast<std::uint8_t>(b));
                pairRowCell[a << 8 | b] = bPair ? toRowCell[a << 8 | b] : 0;
                const auto lt = jis_arithmetic::RowCellToShiftJis(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
                toShiftJis[a << 8 | b] = static_cast<std::uint16_t>(lt.s1 << 8 | lt.s2);
            }
        }
        for (unsigned a = 0; a < 128; ++a) {
            for (unsigned b = 0; b < 128; ++b) {
                const Unit unit{Kind::Jis0208, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
                const std::uint16_t u = IsJisByte(unit.a) && IsJisByte(unit.b) ? CodePointOf(unit) : 0;
                units[a << 7 | b] = u == text::kReplacementCharacter ? 0 : u;
                forms[a << 7 | b] = utf8_forms::PackForm(units[a << 7 | b]);
            }
        }
    }
};

const PairTables& Tables()
{
    static const PairTables tables;
    return tables;
}

inline std::uint8_t* PutTwo(std::uint8_t* q, std::uint16_t v)
{
    q[0] = static_cast<std::uint8_t>(v >> 8);
    q[1] = static_cast<std::uint8_t>(v);
    return q + 2;
}

// The substitute as a unit of the JIS family: nothing when the setting is
// empty, "_" when its character has no form in the target either.
Unit SubstituteUnit(const cp932::Substitute& substitute)
{
    if (cp932::SubstituteLength(substitute) == 0)
        return {Kind::Nothing};
    const Unit unit = UnitOfCodePoint(substitute.codePoint);
    jis_arithmetic::RowCell rc{};
    if (unit.kind == Kind::Bad || unit.kind == Kind::Stray || (unit.kind == Kind::SjisPair && !RowCellOf(unit.a, unit.b, &rc)))
        return {Kind::Ascii, static_cast<std::uint8_t>(kDefaultSubstitute[0])};
    return unit;
}

#if defined(MOJIRO_X86_KERNELS)
#define MOJIRO_AVX2 __attribute__((target("avx2")))
// Sixteen-bit lanes of a 256-bit register, for the pair walks below.
struct Lanes {
    static constexpr std::int64_t kBytes = 32;
    using T = __m256i;
    MOJIRO_AVX2 static T Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    MOJIRO_AVX2 static void Store(std::uint8_t* q, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), v); }
    MOJIRO_AVX2 static T Sub8(T v, std::uint8_t b) { return _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(b))); }
    static constexpr std::uint32_t kAll = 0xFFFFFFFF;
    MOJIRO_AVX2 static std::uint32_t InMask(T v, char lo, char hi)
    {
        const T in = _mm256_and_si256(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(lo - 1)),
                                      _mm256_cmpgt_epi8(_mm256_set1_epi8(hi + 1), v));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(in));
    }
    MOJIRO_AVX2 static T And16(T v, short m) { return _mm256_and_si256(v, _mm256_set1_epi16(m)); }
    MOJIRO_AVX2 static T Or16(T a, T b) { return _mm256_or_si256(a, b); }
    MOJIRO_AVX2 static T Add16(T a, short b) { return _mm256_add_epi16(a, _mm256_set1_epi16(b)); }
    MOJIRO_AVX2 static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
    MOJIRO_AVX2 static T Sub16(T a, short b) { return _mm256_sub_epi16(a, _mm256_set1_epi16(b)); }
    MOJIRO_AVX2 static T Shr16(T v, int k) { return _mm256_srli_epi16(v, k); }
    MOJIRO_AVX2 static T Shl16(T v, int k) { return _mm256_slli_epi16(v, k); }
    MOJIRO_AVX2 static T Greater16(T v, short limit, short add)
    {
        return _mm256_and_si256(_mm256_cmpgt_epi16(v, _mm256_set1_epi16(limit)), _mm256_set1_epi16(add));
    }
    MOJIRO_AVX2 static T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
    MOJIRO_AVX2 static T Set16(short a) { return _mm256_set1_epi16(a); }
    MOJIRO_AVX2 static T And(T a, T b) { return _mm256_and_si256(a, b); }
    MOJIRO_AVX2 static std::uint32_t Mask(T v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
    MOJIRO_AVX2 static T Within16(T v, short lo, short hi)
    {
        return _mm256_and_si256(_mm256_cmpgt_epi16(v, _mm256_set1_epi16(static_cast<short>(lo - 1))),
                                _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(hi + 1)), v));
    }
    MOJIRO_AVX2 static T Blend(T mask, short a, short b)
    {
        return _mm256_or_si256(_mm256_and_si256(mask, _mm256_set1_epi16(a)), _mm256_andnot_si256(mask, _mm256_set1_epi16(b)));
    }
};

// The arithmetic of RowCellToShiftJis on 16 pairs at once, in 16-bit
// lanes of lead | trail << 8, while every byte is a row or cell (21-7E, of
// EUC-JP less 0x80): a pair of JIS X 0208 runs gives its two bytes in place.
// Returns the bytes taken, up to the first byte that is none. A block is
// stored whole: the bytes past what it takes are room the output has (no
// more than the input's, n - i >= a block).
MOJIRO_AVX2 std::int64_t RowCellPairsAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t offset, std::uint8_t* q)
{
    std::int64_t i = 0;
    for (; i + Lanes::kBytes <= n; i += Lanes::kBytes) {
        const auto v = Lanes::Sub8(Lanes::Load(p + i), offset);
        // The pairs before the first byte that is no row or cell are kept.
        const std::uint32_t in = Lanes::InMask(v, 0x21, 0x7E);
        const std::int64_t nTaken = in == Lanes::kAll ? Lanes::kBytes : (std::countr_one(in) & ~1);
        if (nTaken == 0)
            break;
        const auto row = Lanes::And16(v, 0xFF);
        const auto cell = Lanes::Shr16(v, 8);
        auto s2 = Lanes::Add16(cell, Lanes::Blend(Lanes::Greater16(Lanes::And16(row, 1), 0, -1), 0x1F, 0x7D));
        s2 = Lanes::Add16(s2, Lanes::Greater16(s2, 0x7E, 1));
        auto s1 = Lanes::Add16(Lanes::Shr16(Lanes::Sub16(row, 0x21), 1), 0x81);
        s1 = Lanes::Add16(s1, Lanes::Greater16(s1, 0x9F, 0x40));
        Lanes::Store(q + i, Lanes::Or16(s1, Lanes::Shl16(s2, 8)));
        if (nTaken < Lanes::kBytes)
            return i + nTaken;
    }
    return i;
}

// ShiftJisToRowCell on 16 lanes of lead | trail << 8 while each is a
// pair of the 94 rows (leads 81-9F, E0-EF; trails 40-7E, 80-FC), rows and
// cells plus offset (0x80 for EUC-JP); stored whole like the above.
MOJIRO_AVX2 std::int64_t SjisPairsAvx2(const std::uint8_t* p, std::int64_t n, std::uint8_t offset, std::uint8_t* q)
{
    std::int64_t i = 0;
    for (; i + Lanes::kBytes <= n; i += Lanes::kBytes) {
        const auto v = Lanes::Load(p + i);
        const auto lead = Lanes::And16(v, 0xFF);
        auto trail = Lanes::Shr16(v, 8);
        const auto low = Lanes::Within16(lead, 0x81, 0x9F);
        const auto leadOk = Lanes::Or16(low, Lanes::Within16(lead, 0xE0, 0xEF));
        const auto trailOk = Lanes::Or16(Lanes::Within16(trail, 0x40, 0x7E), Lanes::Within16(trail, 0x80, 0xFC));
        const std::uint32_t in = Lanes::Mask(Lanes::And(leadOk, trailOk));
        const std::int64_t nTaken = in == Lanes::kAll ? Lanes::kBytes : (std::countr_one(in) & ~1);
        if (nTaken == 0)
            break;
        // j1 = 2 (lead - 0x71 or 0xB1) + 1, and one more in the second half
        // of a lead's trails, where j2 = trail - 0x7D; else trail - 0x1F
        // (trails above 7F one less).
        auto j1 = Lanes::Add16(Lanes::Shl16(Lanes::Sub16(lead, Lanes::Blend(low, 0x71, 0xB1)), 1), 1);
        trail = Lanes::Sub16(trail, Lanes::Greater16(trail, 0x7F, 1));
        const auto second = Lanes::Greater16(trail, 0x9D, 1);
        j1 = Lanes::Add16(j1, second);
        const auto j2 = Lanes::Sub16(trail, Lanes::Blend(Lanes::Greater16(trail, 0x9D, -1), 0x7D, 0x1F));
        const auto bytes = Lanes::Or16(j1, Lanes::Shl16(j2, 8));
        Lanes::Store(q + i, Lanes::Or16(bytes, Lanes::Set16(static_cast<short>(offset * 0x101))));
        if (nTaken < Lanes::kBytes)
            return i + nTaken;
    }
    return i;
}


#undef MOJIRO_AVX2
#endif

// The pairs at p[0, n) of rows and cells (bHigh: of EUC-JP) that the wide
// path takes into Shift_JIS at q; 0 on the plain path.
template <bool bHigh>
inline std::int64_t RowCellPairsToShiftJis([[maybe_unused]] const std::uint8_t* p, [[maybe_unused]] std::int64_t n,
                                           [[maybe_unused]] std::uint8_t* q)
{
#if defined(MOJIRO_X86_KERNELS)
    const byte_search::Path path = byte_search::KernelPath();
    const std::uint8_t offset = bHigh ? 0x80 : 0;
    if (path == byte_search::Path::Avx2 && n >= 32)
        return RowCellPairsAvx2(p, n, offset, q);
#endif
    return 0;
}

// The Shift_JIS pairs at p[0, n) the wide path takes into rows and cells
// (plus offset) at q; 0 on the plain path.
inline std::int64_t SjisPairsToRowCells([[maybe_unused]] const std::uint8_t* p, [[maybe_unused]] std::int64_t n,
                                        [[maybe_unused]] std::uint8_t offset, [[maybe_unused]] std::uint8_t* q)
{
#if defined(MOJIRO_X86_KERNELS)
    const byte_search::Path path = byte_search::KernelPath();
    if (path == byte_search::Path::Avx2 && n >= 32)
        return SjisPairsAvx2(p, n, offset, q);
#endif
    return 0;
}

struct ShiftJisWriter {
    explicit ShiftJisWriter(const cp932::Substitute& substitute) : m_substitute(substitute) {}

    std::uint8_t* PutAscii(std::uint8_t* q, const std::uint8_t* p, std::int64_t n) const
    {
        byte_search::CopyBytes(q, p, n);
        return q + n;
    }

    std::uint8_t* Put(std::uint8_t* q, const Unit& unit)
    {
        switch (unit.kind) {
        case Kind::Nothing:
            return q;
        case Kind::Ascii:
        case Kind::Kana:
        case Kind::Stray:
            *q++ = unit.a;
            return q;
        case Kind::SjisPair:
            q[0] = unit.a;
            q[1] = unit.b;
            return q + 2;
        case Kind::Jis0208: {
            const jis_arithmetic::LeadTrail s = jis_arithmetic::RowCellToShiftJis(unit.a, unit.b);
            q[0] = s.s1;
            q[1] = s.s2;
            return q + 2;
        }
        case Kind::Jis0212: {
            const Unit form = UnitOfCodePoint(CodePointOf(unit));
            if (form.kind != Kind::Jis0212 && form.kind != Kind::Bad)
                return Put(q, form);
            m_bReplaced = true;
            break;
        }
        case Kind::Bad:
            break;
        }
        return cp932::PutSubstitute(q, m_substitute);
    }

    std::uint8_t* Finish(std::uint8_t* q) const { return q; }

    template <bool bHigh>
    std::int64_t RowCellPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        std::uint8_t a;
        std::uint8_t b;
        const std::int64_t nWide = RowCellPairsToShiftJis<bHigh>(p + i, n - i, q);
        i += nWide;
        q += nWide;
        for (; i + 1 < n; i += 2) {
            if (RowCellAt<bHigh>(p + i, &a, &b))
                q = PutTwo(q, m_tables.toShiftJis[a << 8 | b]);
            else if (bHigh && IsEucKana(p + i))
                *q++ = p[i + 1];
            else
                break;
        }
        return i;
    }

    static constexpr bool kToUnicode = false;
    const PairTables& m_tables = Tables();
    cp932::Substitute m_substitute;
    bool m_bReplaced = false; // a character without a form met
};

struct EucJpWriter {
    explicit EucJpWriter(const cp932::Substitute& substitute) : m_substitute(SubstituteUnit(substitute)) {}

    std::uint8_t* PutAscii(std::uint8_t* q, const std::uint8_t* p, std::int64_t n) const
    {
        byte_search::CopyBytes(q, p, n);
        return q + n;
    }

    std::uint8_t* Put(std::uint8_t* q, const Unit& unit)
    {
        jis_arithmetic::RowCell rc{};
        switch (unit.kind) {
        case Kind::Nothing:
            return q;
        case Kind::Ascii:
            *q++ = unit.a;
            return q;
        case Kind::Kana:
            q[0] = jis_units::kEucKatakana;
            q[1] = unit.a;
            return q + 2;
        case Kind::Jis0212:
            *q++ = jis_units::kEucJisX0212;
            [[fallthrough]];
        case Kind::Jis0208:
            q[0] = static_cast<std::uint8_t>(unit.a | 0x80);
            q[1] = static_cast<std::uint8_t>(unit.b | 0x80);
            return q + 2;
        case Kind::SjisPair:
            if (RowCellOf(unit.a, unit.b, &rc))
                return Put(q, {Kind::Jis0208, rc.j1, rc.j2});
            m_bReplaced = true;
            break;
        case Kind::Stray:
            m_bReplaced = true;
            break;
        default:
            break;
        }
        return Put(q, m_substitute);
    }

    std::uint8_t* Finish(std::uint8_t* q) const { return q; }

    template <bool bHigh>
    std::int64_t RowCellPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        std::uint8_t a;
        std::uint8_t b;
        for (; i + 1 < n && RowCellAt<bHigh>(p + i, &a, &b); i += 2)
            q = PutTwo(q, static_cast<std::uint16_t>((a << 8 | b) | 0x8080));
        return i;
    }
    // UTF-16 units below 0x80 at p, eight at a time; returns the units taken.
    std::int64_t PutAsciiUnits(std::uint8_t*& q, const std::uint8_t* p, std::int64_t nUnits) const
    {
        const std::int64_t k = byte_search::NarrowAscii(p, nUnits, q);
        q += k;
        return k;
    }
    std::int64_t SjisPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        const std::uint16_t* const table = m_tables.pairRowCell.data();
        while (i + 1 < n) {
            const std::uint16_t v = table[p[i] << 8 | p[i + 1]];
            if (const std::int64_t nWide = v != 0 ? SjisPairsToRowCells(p + i, n - i, 0x80, q) : 0; nWide > 0) {
                i += nWide;
                q += nWide;
            } else if (v != 0) {
                q = PutTwo(q, static_cast<std::uint16_t>(v | 0x8080));
                i += 2;
            } else if (jis_units::IsHalfWidthKatakana(p[i])) {
                q[0] = jis_units::kEucKatakana;
                q[1] = p[i++];
                q += 2;
            } else {
                break;
            }
        }
        return i;
    }
    // Null for a pair past the 94 rows, which takes the careful way.
    std::uint8_t* PutSjisPair(std::uint8_t* q, std::uint8_t s1, std::uint8_t s2) const
    {
        return s1 >= 0xF0 ? nullptr : PutTwo(q, static_cast<std::uint16_t>(m_tables.toRowCell[s1 << 8 | s2] | 0x8080));
    }

    static constexpr bool kToUnicode = false;
    const PairTables& m_tables = Tables();
    Unit m_substitute;
    bool m_bReplaced = false;
};

struct JisWriter {
    explicit JisWriter(const cp932::Substitute& substitute) : m_substitute(SubstituteUnit(substitute)) {}

    std::uint8_t* PutAscii(std::uint8_t* q, const std::uint8_t* p, std::int64_t n)
    {
        jis_arithmetic::EnterMode(q, mode, Mode::Ascii);
        byte_search::CopyBytes(q, p, n);
        return q + n;
    }

    std::uint8_t* Put(std::uint8_t* q, const Unit& unit)
    {
        jis_arithmetic::RowCell rc{};
        switch (unit.kind) {
        case Kind::Nothing:
            return q;
        case Kind::Ascii:
            if (IsShift(unit.a)) {
                m_bReplaced = true;
                break;
            }
            jis_arithmetic::EnterMode(q, mode, Mode::Ascii);
            *q++ = unit.a;
            return q;
        case Kind::Kana:
            jis_arithmetic::EnterMode(q, mode, Mode::Katakana);
            *q++ = static_cast<std::uint8_t>(unit.a - 0x80);
            return q;
        case Kind::Jis0208:
            return PutPair(q, Mode::Kanji, unit.a, unit.b);
        case Kind::Jis0212: {
            // Where code page 932 has the character, its form wins, as from
            // Unicode; a code that names none keeps its row and cell.
            const std::uint16_t u = CodePointOf(unit);
            const Unit form = UnitOfCodePoint(u);
            if (form.kind == Kind::Jis0212 || u == text::kReplacementCharacter)
                return PutPair(q, Mode::JisX0212, unit.a, unit.b);
            if (form.kind != Kind::Bad)
                return Put(q, form);
            m_bReplaced = true;
            break;
        }
        case Kind::SjisPair:
            if (RowCellOf(unit.a, unit.b, &rc))
                return PutPair(q, Mode::Kanji, rc.j1, rc.j2);
            m_bReplaced = true;
            break;
        case Kind::Stray:
            m_bReplaced = true;
            break;
        default:
            break;
        }
        return Put(q, m_substitute);
    }

    // The text always ends in ASCII.
    std::uint8_t* Finish(std::uint8_t* q)
    {
        jis_arithmetic::EnterMode(q, mode, Mode::Ascii);
        return q;
    }

    std::uint8_t* PutPair(std::uint8_t* q, Mode pairMode, std::uint8_t a, std::uint8_t b)
    {
        jis_arithmetic::EnterMode(q, mode, pairMode);
        q[0] = a;
        q[1] = b;
        return q + 2;
    }

    template <bool bHigh>
    std::int64_t RowCellPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q)
    {
        std::uint8_t a;
        std::uint8_t b;
        if (i + 1 >= n || !RowCellAt<bHigh>(p + i, &a, &b))
            return i;
        jis_arithmetic::EnterMode(q, mode, Mode::Kanji);
        for (; i + 1 < n && RowCellAt<bHigh>(p + i, &a, &b); i += 2)
            q = PutTwo(q, static_cast<std::uint16_t>(a << 8 | b));
        return i;
    }
    // UTF-16 units below 0x80 at p, eight at a time, up to a shift byte;
    // returns the units taken. Room for the escape is kept in front.
    std::int64_t PutAsciiUnits(std::uint8_t*& q, const std::uint8_t* p, std::int64_t nUnits)
    {
        std::uint8_t* const text = q + 3;
        const std::int64_t k = byte_search::AsciiRunWithoutShifts(text, byte_search::NarrowAscii(p, nUnits, text));
        if (k == 0)
            return 0;
        if (mode != Mode::Ascii)
            jis_arithmetic::EnterMode(q, mode, Mode::Ascii); // three bytes, right before the text
        else
            std::memmove(q, text, static_cast<std::size_t>(k));
        q += k;
        return k;
    }

    // Runs of pairs and runs of katakana, each in one escape.
    std::int64_t SjisPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q)
    {
        const std::uint16_t* const table = m_tables.pairRowCell.data();
        while (i + 1 < n) {
            std::uint16_t v = table[p[i] << 8 | p[i + 1]];
            if (v != 0) {
                jis_arithmetic::EnterMode(q, mode, Mode::Kanji);
                do {
                    if (const std::int64_t nWide = SjisPairsToRowCells(p + i, n - i, 0, q); nWide > 0) {
                        i += nWide;
                        q += nWide;
                    } else {
                        q = PutTwo(q, v);
                        i += 2;
                    }
                } while (i + 1 < n && (v = table[p[i] << 8 | p[i + 1]]) != 0);
            } else if (jis_units::IsHalfWidthKatakana(p[i])) {
                jis_arithmetic::EnterMode(q, mode, Mode::Katakana);
                do
                    *q++ = static_cast<std::uint8_t>(p[i++] - 0x80);
                while (i + 1 < n && jis_units::IsHalfWidthKatakana(p[i]));
            } else {
                break;
            }
        }
        return i;
    }
    std::uint8_t* PutSjisPair(std::uint8_t* q, std::uint8_t s1, std::uint8_t s2)
    {
        if (s1 >= 0xF0)
            return nullptr;
        jis_arithmetic::EnterMode(q, mode, Mode::Kanji);
        return PutTwo(q, m_tables.toRowCell[s1 << 8 | s2]);
    }

    // ESC, SO and SI of another encoding's text would read as shifts here:
    // they have no form, and runs of ASCII stop before them.
    static bool IsShift(std::uint8_t b) { return b == text::ESC || b == text::SO || b == text::SI; }
    static constexpr bool kStopsAtShifts = true;

    static constexpr bool kToUnicode = false;
    const PairTables& m_tables = Tables();
    Unit m_substitute;
    Mode mode = Mode::Ascii;
    bool m_bReplaced = false;
};

template <bool ToUtf8>
struct UnicodeWriter {
    std::uint8_t* PutAscii(std::uint8_t* q, const std::uint8_t* p, std::int64_t n) const
    {
        if constexpr (ToUtf8) {
            byte_search::CopyBytes(q, p, n);
            return q + n;
        } else {
            std::int64_t k = byte_search::WidenAscii(p, n, q);
            q += 2 * k;
            for (; k < n; ++k)
                q = utf16_units::PutUtf16Unit(q, p[k]);
            return q;
        }
    }

    std::uint8_t* Put(std::uint8_t* q, const Unit& unit)
    {
        if (unit.kind == Kind::Nothing)
            return q;
        const std::uint16_t u = CodePointOf(unit);
        // A well-formed code that names no character.
        m_bReplaced = u == text::kReplacementCharacter && unit.kind != Kind::Bad;
        if constexpr (ToUtf8)
            return utf8_forms::PutUnit(q, u);
        else
            return utf16_units::PutUtf16Unit(q, u);
    }

    std::uint8_t* Finish(std::uint8_t* q) const { return q; }

    // Stops at a pair that names no character, which takes the careful way.
    template <bool bHigh>
    std::int64_t RowCellPairs(const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q)
    {
        std::uint8_t a;
        std::uint8_t b;
        for (; i + 1 < n; i += 2) {
            if (bHigh && IsEucKana(p + i)) {
                q = Put(q, {Kind::Kana, p[i + 1]});
                continue;
            }
            if (!RowCellAt<bHigh>(p + i, &a, &b))
                break;
            const unsigned k = static_cast<unsigned>(a) << 7 | b;
            if constexpr (ToUtf8 && utf8_forms::kPackedFormsFit) {
                const std::uint32_t form = m_tables.forms[k];
                if (form == 0)
                    break;
                q = utf8_forms::PutPackedForm(q, form);
            } else {
                const std::uint16_t u = m_tables.units[k];
                if (u == 0)
                    break;
                if constexpr (ToUtf8)
                    q = utf8_forms::PutWideUnit(q, u);
                else
                    q = utf16_units::PutUtf16Unit(q, u);
            }
        }
        return i;
    }

    static constexpr bool kToUnicode = true;
    const PairTables& m_tables = Tables();
    bool m_bReplaced = false;
};

// Tells the tally what the writer could not keep of the unit at pAt.
template <class Writer>
void Tell(CReplacementTally* pTally, Writer& writer, const Unit& unit, const std::uint8_t* pAt)
{
    if (unit.kind == Kind::Bad)
        pTally->IllFormed(pAt, *pAt);
    else if (writer.m_bReplaced && Writer::kToUnicode)
        pTally->IllFormed(pAt, *pAt);
    else if (writer.m_bReplaced)
        pTally->NoForm(pAt, CodePointOf(unit));
    writer.m_bReplaced = false;
}

// The stretch of ASCII at p that the reader takes as ASCII units and the
// writer writes as it is.
template <class Writer>
std::int64_t AsciiRunFor(const std::uint8_t* p, std::int64_t n)
{
    if constexpr (requires { Writer::kStopsAtShifts; })
        return byte_search::AsciiRunWithoutShifts(p, n);
    else
        return byte_search::AsciiRun(p, n);
}

template <class Writer, class Reader>
std::int64_t PlainRun(const Reader& reader, const std::uint8_t* p, std::int64_t n)
{
    if constexpr (Reader::kStateless) {
        return AsciiRunFor<Writer>(p, n);
    } else {
        if (reader.mode != Mode::Ascii)
            return 0;
        return byte_search::AsciiRunWithoutShifts(p, n);
    }
}

// Units from p[0, n) into out; unless bFinal it stops before a unit the end
// may cut off. Returns the bytes taken.
template <class Reader, class Writer>
std::int64_t Transcode(Reader& reader, Writer& writer, const std::uint8_t* p, std::int64_t n, bool bFinal,
                       std::uint8_t* out, std::int64_t* pWritten, CReplacementTally* pTally)
{
    std::uint8_t* q = out;
    std::int64_t i = 0;
    while (i < n) {
        const std::int64_t run = PlainRun<Writer>(reader, p + i, n - i);
        if (run > 0) {
            q = writer.PutAscii(q, p + i, run);
            i += run;
            if (i >= n)
                break;
        }
        i = reader.Pairs(writer, p, i, n, q);
        if (i >= n)
            break;
        Unit unit{Kind::Nothing};
        const int length = reader.Read(p, i, n, bFinal, &unit);
        if (length == 0)
            break;
        q = writer.Put(q, unit);
        if (pTally != nullptr)
            Tell(pTally, writer, unit, p + i);
        i += length;
        if constexpr (!Reader::kStateless) {
            if (reader.bEnded) {
                i = n;
                break;
            }
        }
    }
    if (bFinal)
        q = writer.Finish(q);
    *pWritten = q - out;
    return i;
}

// The writer keeps its mode from one slice to the next.
template <class Reader>
std::int64_t IntoJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute, Mode* pMode,
                     std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    Reader reader;
    JisWriter writer(substitute);
    writer.mode = *pMode;
    const std::int64_t used = Transcode(reader, writer, p, n, bFinal, pOut, pWritten, pTally);
    *pMode = writer.mode;
    return used;
}

} // namespace

namespace jis_slices {

std::int64_t ShiftJisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    ShiftJisReader reader;
    EucJpWriter writer(substitute);
    return Transcode(reader, writer, p, n, bFinal, pOut, pWritten, pTally);
}

std::int64_t EucJpToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                             std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    EucJpReader reader;
    ShiftJisWriter writer(substitute);
    return Transcode(reader, writer, p, n, bFinal, pOut, pWritten, pTally);
}

std::int64_t ShiftJisToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                           Mode* pMode, std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    return IntoJis<ShiftJisReader>(p, n, bFinal, substitute, pMode, pOut, pWritten, pTally);
}

std::int64_t EucJpToJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                        Mode* pMode, std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    return IntoJis<EucJpReader>(p, n, bFinal, substitute, pMode, pOut, pWritten, pTally);
}

std::int64_t JisToShiftJis(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                           JisState* pState, std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    ShiftJisWriter writer(substitute);
    return Transcode(*pState, writer, p, n, bFinal, pOut, pWritten, pTally);
}

std::int64_t JisToEucJp(const std::uint8_t* p, std::int64_t n, bool bFinal, const cp932::Substitute& substitute,
                        JisState* pState, std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    EucJpWriter writer(substitute);
    return Transcode(*pState, writer, p, n, bFinal, pOut, pWritten, pTally);
}

std::int64_t EucJpToUnicode(const std::uint8_t* p, std::int64_t n, bool bFinal, bool bToUtf8, std::uint8_t* pOut,
                            std::int64_t* pWritten, CReplacementTally* pTally)
{
    EucJpReader reader;
    if (bToUtf8) {
        UnicodeWriter<true> writer;
        return Transcode(reader, writer, p, n, bFinal, pOut, pWritten, pTally);
    }
    UnicodeWriter<false> writer;
    return Transcode(reader, writer, p, n, bFinal, pOut, pWritten, pTally);
}

std::int64_t JisToUnicode(const std::uint8_t* p, std::int64_t n, bool bFinal, bool bToUtf8, JisState* pState,
                          std::uint8_t* pOut, std::int64_t* pWritten, CReplacementTally* pTally)
{
    if (bToUtf8) {
        UnicodeWriter<true> writer;
        return Transcode(*pState, writer, p, n, bFinal, pOut, pWritten, pTally);
    }
    UnicodeWriter<false> writer;
    return Transcode(*pState, writer, p, n, bFinal, pOut, pWritten, pTally);
}

} // namespace jis_slices

namespace {

// The quick way for a character of the BMP whose code-page-932 form is a
// pair inside the 94 rows or a half-width katakana; null for every other.
template <class Writer>
inline std::uint8_t* PutPairOf(Writer& writer, std::uint8_t* q, std::uint32_t c)
{
    const std::uint16_t code = cp932::table::kEncode[c >> 8][c & 0xFF];
    if (code > 0xFF)
        return writer.PutSjisPair(q, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code));
    if (jis_units::IsHalfWidthKatakana(static_cast<std::uint8_t>(code)))
        return writer.Put(q, {Kind::Kana, static_cast<std::uint8_t>(code)});
    return nullptr;
}

template <class Writer>
class CCharacterWriter {
public:
    CCharacterWriter(Writer& writer, std::uint8_t* q, CReplacementTally* pTally) : m_writer(writer), m_q(q), m_pTally(pTally) {}

    std::uint8_t* FromUtf8(const std::uint8_t* p, std::int64_t n)
    {
        std::int64_t i = 0;
        while (i < n) {
            const std::int64_t run = AsciiRunFor<Writer>(p + i, n - i);
            if (run > 0)
                m_q = m_writer.PutAscii(m_q, p + i, run);
            i += run;
            // Kana and kanji, three-byte forms with a pair of their own.
            std::uint32_t c = 0;
            while (i + 4 <= n && utf8_forms::WholeThreeByteForm(p + i, &c)) {
                std::uint8_t* const next = PutPairOf(m_writer, m_q, c);
                if (next == nullptr)
                    break;
                m_q = next;
                i += 3;
            }
            if (i >= n)
                break;
            if (p[i] < 0x80 && AsciiRunFor<Writer>(p + i, 1) == 1)
                continue; // ASCII after the forms; a shift byte goes on below
            const std::int64_t at = i;
            i = utf8_forms::DecodeForm(p, i, n, &c);
            Put(p + at, c, utf8_forms::IsIllFormed(p + at, i - at, c));
        }
        return m_q;
    }

    std::uint8_t* FromUtf16(const std::uint8_t* p, std::int64_t n)
    {
        const std::int64_t nUnits = n / 2;
        for (std::int64_t k = 0; k < nUnits; ++k) {
            const unsigned u = utf16_units::UnitAt(p, k);
            if (u < 0x80) {
                if (const std::int64_t nTaken = m_writer.PutAsciiUnits(m_q, p + 2 * k, nUnits - k)) {
                    k += nTaken - 1;
                    continue;
                }
            }
            if (u >= 0x80 && !utf16_units::IsSurrogate(u)) {
                if (std::uint8_t* const next = PutPairOf(m_writer, m_q, u)) {
                    m_q = next;
                    continue;
                }
            }
            if (!utf16_units::IsSurrogate(u)) {
                Put(p + 2 * k, u, false);
            } else if (u <= 0xDBFF && k + 1 < nUnits && utf16_units::UnitAt(p, k + 1) - 0xDC00 < 0x400) {
                Put(p + 2 * k, 0x10000 + ((u - 0xD800) << 10) + (utf16_units::UnitAt(p, k + 1) - 0xDC00), false);
                ++k;
            } else {
                Put(p + 2 * k, 0, true);
            }
        }
        if (n & 1)
            Put(p + n - 1, 0, true);
        return m_q;
    }

private:
    // A character by the careful way, the tally told what had no form or
    // was ill-formed.
    void Put(const std::uint8_t* pAt, std::uint32_t c, bool bIllFormed)
    {
        const Unit unit = bIllFormed ? Unit{Kind::Bad} : UnitOfCodePoint(c);
        m_q = m_writer.Put(m_q, unit);
        if (m_pTally != nullptr && bIllFormed)
            m_pTally->IllFormed(pAt, *pAt);
        else if (m_pTally != nullptr && (unit.kind == Kind::Bad || m_writer.m_bReplaced))
            m_pTally->NoForm(pAt, c);
        m_writer.m_bReplaced = false;
    }

    Writer& m_writer;
    std::uint8_t* m_q;
    CReplacementTally* m_pTally;
};

// Every character of UTF-16LE or UTF-8 text cut between characters, through
// the writer: a surrogate pair is one character (none of the family's), a
// lone surrogate, an odd last byte and every ill-formed UTF-8 sequence one
// without a form.
template <class Writer>
std::uint8_t* PutCharacters(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, Writer& writer, std::uint8_t* q,
                            CReplacementTally* pTally)
{
    CCharacterWriter<Writer> characters(writer, q, pTally);
    return bFromUtf8 ? characters.FromUtf8(p, n) : characters.FromUtf16(p, n);
}

} // namespace

namespace jis_slices {

std::int64_t UnicodeToEucJp(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, const cp932::Substitute& substitute,
                            std::uint8_t* pOut, CReplacementTally* pTally)
{
    EucJpWriter writer(substitute);
    return PutCharacters(p, n, bFromUtf8, writer, pOut, pTally) - pOut;
}

std::int64_t UnicodeToJis(const std::uint8_t* p, std::int64_t n, bool bFromUtf8, bool bFinal,
                          const cp932::Substitute& substitute, Mode* pMode, std::uint8_t* pOut, CReplacementTally* pTally)
{
    JisWriter writer(substitute);
    writer.mode = *pMode;
    std::uint8_t* q = PutCharacters(p, n, bFromUtf8, writer, pOut, pTally);
    if (bFinal)
        q = writer.Finish(q);
    *pMode = writer.mode;
    return q - pOut;
}

} // namespace jis_slices
