#pragma once

#include <cstdint>

#include "cp932_bridge.h"
#include "cp932_table.h"
#include "ibm_twins.h"
#include "jis_arithmetic.h"
#include "jis_escapes.h"
#include "jis_units.h"
#include "jisx0212_table.h"
#include "text_constants.h"

// The units of Shift_JIS, EUC-JP and ISO-2022-JP, read by one reader per
// encoding and written by one writer per target, so that every walk cuts a
// text the same way: a byte that cannot go on a unit (a lead without its
// trail, a stray high byte) is a unit alone, and the byte after it starts
// the next one. CR and LF are never inside a unit.
namespace jis_family {

enum class Kind : std::uint8_t {
    Nothing,  // an escape, SO or SI: a change of mode, no character
    Ascii,    // a byte below 0x80, controls included
    Kana,     // a half-width katakana, as its Shift_JIS byte A1-DF
    SjisPair, // a Shift_JIS lead and trail as they are
    Jis0208,  // row and cell bytes 21-7E
    Jis0212,  // row and cell bytes 21-7E
    Stray,    // a Shift_JIS byte 80, A0 or FD-FF, which stands alone
    Bad,      // ill-formed: a unit alone
};

struct Unit {
    Kind kind;
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};

constexpr bool IsTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
constexpr bool IsEucByte(std::uint8_t b) { return b >= 0xA1 && b <= 0xFE; }
constexpr bool IsJisByte(std::uint8_t b) { return b >= 0x21 && b <= 0x7E; }

// EUC-JP half-width katakana at p: 8E and A1-DF.
inline bool IsEucKana(const std::uint8_t* p)
{
    return p[0] == jis_units::kEucKatakana && jis_units::IsHalfWidthKatakana(p[1]);
}

// Row and cell bytes (21-7E) of a pair at p, of EUC-JP (bHigh: A1-FE, less
// 0x80) or of ISO-2022-JP; false when they are no pair of row and cell.
template <bool bHigh>
inline bool RowCellAt(const std::uint8_t* p, std::uint8_t* pa, std::uint8_t* pb)
{
    const std::uint8_t a = static_cast<std::uint8_t>(bHigh ? p[0] - 0x80 : p[0]);
    const std::uint8_t b = static_cast<std::uint8_t>(bHigh ? p[1] - 0x80 : p[1]);
    *pa = a;
    *pb = b;
    return static_cast<std::uint8_t>(a - 0x21) < 0x5E && static_cast<std::uint8_t>(b - 0x21) < 0x5E;
}

// Each reader's Read returns the length of the unit at p[i] (i < n), or 0
// when the end may cut it off and more text follows (!bFinal).
// Each reader's Pairs hands the run of well-formed pairs at p[i] to the
// writer's quick way for them, where it has one, and returns where that
// stopped: at the first pair it leaves to the careful way.
struct ShiftJisReader {
    static constexpr bool kStateless = true;

    template <class Writer>
    std::int64_t Pairs(Writer& writer, const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        if constexpr (requires { writer.SjisPairs(p, i, n, q); })
            return writer.SjisPairs(p, i, n, q);
        else
            return i;
    }

    int Read(const std::uint8_t* p, std::int64_t i, std::int64_t n, bool bFinal, Unit* pUnit) const
    {
        const std::uint8_t c = p[i];
        if (c < 0x80) {
            *pUnit = {Kind::Ascii, c};
        } else if (jis_units::IsHalfWidthKatakana(c)) {
            *pUnit = {Kind::Kana, c};
        } else if (jis_units::IsShiftJisLead(c)) {
            if (i + 1 >= n) {
                if (!bFinal)
                    return 0;
                *pUnit = {Kind::Bad, c};
            } else if (IsTrail(p[i + 1])) {
                *pUnit = {Kind::SjisPair, c, p[i + 1]};
                return 2;
            } else {
                *pUnit = {Kind::Bad, c};
            }
        } else {
            *pUnit = {Kind::Stray, c};
        }
        return 1;
    }
};

struct EucJpReader {
    static constexpr bool kStateless = true;

    template <class Writer>
    std::int64_t Pairs(Writer& writer, const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        if constexpr (requires { writer.template RowCellPairs<true>(p, i, n, q); })
            return writer.template RowCellPairs<true>(p, i, n, q);
        else
            return i;
    }

    int Read(const std::uint8_t* p, std::int64_t i, std::int64_t n, bool bFinal, Unit* pUnit) const
    {
        const std::uint8_t c = p[i];
        if (c < 0x80) {
            *pUnit = {Kind::Ascii, c};
            return 1;
        }
        const int length = c == jis_units::kEucJisX0212 ? 3 : 2;
        if (c != jis_units::kEucKatakana && c != jis_units::kEucJisX0212 && !IsEucByte(c)) {
            *pUnit = {Kind::Bad, c};
            return 1;
        }
        // Whether the bytes there are trails of c, as far as they go.
        bool bWhole = true;
        for (int k = 1; k < length && bWhole; ++k) {
            if (i + k >= n) {
                if (!bFinal)
                    return 0;
                bWhole = false;
            } else {
                const std::uint8_t t = p[i + k];
                bWhole = c == jis_units::kEucKatakana ? jis_units::IsHalfWidthKatakana(t) : IsEucByte(t);
            }
        }
        if (!bWhole)
            *pUnit = {Kind::Bad, c};
        else if (c == jis_units::kEucKatakana)
            *pUnit = {Kind::Kana, p[i + 1]};
        else if (c == jis_units::kEucJisX0212)
            *pUnit = {Kind::Jis0212, static_cast<std::uint8_t>(p[i + 1] & 0x7F), static_cast<std::uint8_t>(p[i + 2] & 0x7F)};
        else
            *pUnit = {Kind::Jis0208, static_cast<std::uint8_t>(c & 0x7F), static_cast<std::uint8_t>(p[i + 1] & 0x7F)};
        return bWhole ? length : 1;
    }
};

// ISO-2022-JP keeps its mode from one piece to the next.
struct JisReader {
    static constexpr bool kStateless = false;
    jis_escapes::Mode mode = jis_escapes::Mode::Ascii;
    bool bEnded = false; // a cut-off escape at the end stopped the text

    template <class Writer>
    std::int64_t Pairs(Writer& writer, const std::uint8_t* p, std::int64_t i, std::int64_t n, std::uint8_t*& q) const
    {
        if (mode == jis_escapes::Mode::Katakana) {
            for (; i < n && jis_units::IsJisKatakana(p[i]); ++i)
                q = writer.Put(q, {Kind::Kana, static_cast<std::uint8_t>(p[i] + 0x80)});
            return i;
        }
        if constexpr (requires { writer.template RowCellPairs<false>(p, i, n, q); })
            return mode == jis_escapes::Mode::Kanji ? writer.template RowCellPairs<false>(p, i, n, q) : i;
        else
            return i;
    }

    int Read(const std::uint8_t* p, std::int64_t i, std::int64_t n, bool bFinal, Unit* pUnit)
    {
        using jis_escapes::Mode;
        const std::uint8_t c = p[i];
        if (c == text::ESC)
            return ReadEscape(p, i, n, bFinal, pUnit);
        if (c == text::SO || c == text::SI) {
            mode = c == text::SO ? Mode::Katakana : Mode::Ascii;
            *pUnit = {Kind::Nothing};
            return 1;
        }
        if (mode == Mode::Kanji || mode == Mode::JisX0212) {
            if (IsJisByte(c)) {
                if (i + 1 >= n && !bFinal)
                    return 0;
                if (i + 1 < n && IsJisByte(p[i + 1])) {
                    *pUnit = {mode == Mode::Kanji ? Kind::Jis0208 : Kind::Jis0212, c, p[i + 1]};
                    return 2;
                }
                *pUnit = {Kind::Bad, c};
                return 1;
            }
            *pUnit = {c < 0x80 ? Kind::Ascii : Kind::Bad, c}; // controls stand alone, and the mode stays
            return 1;
        }
        if (c < 0x80) {
            if (mode == Mode::Katakana && jis_units::IsJisKatakana(c))
                *pUnit = {Kind::Kana, static_cast<std::uint8_t>(c + 0x80)};
            else
                *pUnit = {Kind::Ascii, c};
        } else {
            // Eight-bit katakana are read as what they are.
            *pUnit = {jis_units::IsHalfWidthKatakana(c) ? Kind::Kana : Kind::Bad, c};
        }
        return 1;
    }

private:
    int ReadEscape(const std::uint8_t* p, std::int64_t i, std::int64_t n, bool bFinal, Unit* pUnit)
    {
        using jis_escapes::Mode;
        *pUnit = {Kind::Nothing};
        const bool bFour = n - i >= 3 && p[i + 1] == 0x24 && p[i + 2] == 0x28;
        if (n - i < (bFour ? 4 : 3)) {
            if (!bFinal)
                return 0;
            if (!bFour) {
                bEnded = true; // a cut-off escape ends the text
                return static_cast<int>(n - i);
            }
        }
        if (bFour && n - i >= 4 && (p[i + 3] == 0x42 || p[i + 3] == 0x44)) {
            mode = p[i + 3] == 0x42 ? Mode::Kanji : Mode::JisX0212;
            return 4;
        }
        mode = jis_escapes::ModeAfter(p[i + 1], p[i + 2]);
        return 3;
    }
};

// The code point of a unit read from EUC-JP or ISO-2022-JP; U+FFFD where it
// is none.
inline std::uint16_t CodePointOf(const Unit& unit)
{
    switch (unit.kind) {
    case Kind::Ascii:
        return unit.a;
    case Kind::Kana:
    case Kind::Stray:
        return cp932::table::kSingleByte[unit.a];
    case Kind::SjisPair:
    case Kind::Jis0208: {
        const jis_arithmetic::LeadTrail s = unit.kind == Kind::SjisPair
                                                ? jis_arithmetic::LeadTrail{unit.a, unit.b}
                                                : jis_arithmetic::RowCellToShiftJis(unit.a, unit.b);
        const std::uint16_t u = cp932::table::kDoubleByte[cp932::table::kLeadRow[s.s1]][s.s2];
        return u != 0 ? u : text::kReplacementCharacter;
    }
    case Kind::Jis0212: {
        const std::uint16_t u = jisx0212::ToUnicode(static_cast<std::uint8_t>(unit.a | 0x80),
                                                    static_cast<std::uint8_t>(unit.b | 0x80));
        return u != 0 ? u : text::kReplacementCharacter;
    }
    default:
        return text::kReplacementCharacter;
    }
}

// The unit a code point takes in the JIS family: its code-page-932 form,
// else its JIS X 0212 one; Bad when it has neither.
inline Unit UnitOfCodePoint(std::uint32_t u)
{
    if (u < 0x80)
        return {Kind::Ascii, static_cast<std::uint8_t>(u)};
    const std::uint16_t code = u <= 0xFFFF ? cp932::table::kEncode[u >> 8][u & 0xFF] : 0;
    if (code > 0xFF)
        return {Kind::SjisPair, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
    if (code != 0)
        return {jis_units::IsHalfWidthKatakana(static_cast<std::uint8_t>(code)) ? Kind::Kana
                : code < 0x80                                                  ? Kind::Ascii
                                                                                : Kind::Stray,
                static_cast<std::uint8_t>(code)};
    if (u <= 0xFFFF)
        if (const std::uint16_t x = jisx0212::FromUnicode(static_cast<char16_t>(u)))
            return {Kind::Jis0212, static_cast<std::uint8_t>((x >> 8) & 0x7F), static_cast<std::uint8_t>(x & 0x7F)};
    return {Kind::Bad};
}

// A Shift_JIS pair as row and cell inside JIS X 0208's 94 rows: IBM
// extensions by their twin; false where the pair has no place there.
inline bool RowCellOf(std::uint8_t s1, std::uint8_t s2, jis_arithmetic::RowCell* pRowCell)
{
    if (s1 >= 0xF0) {
        const std::uint16_t twin = cp932::IbmTwin(s1, s2);
        if (twin == 0)
            return false;
        s1 = static_cast<std::uint8_t>(twin >> 8);
        s2 = static_cast<std::uint8_t>(twin);
    }
    *pRowCell = jis_arithmetic::ShiftJisToRowCell(s1, s2);
    return true;
}

} // namespace jis_family
