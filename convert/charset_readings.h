#pragma once

#include <cstdint>

// A text read as one candidate encoding, a piece at a time: whether it is
// still well-formed there, and how implausible the characters it gives are
// (kana, common kanji and punctuation cost nothing; half-width katakana,
// rare rows, Latin Extended and the like cost more). A unit the end of the
// text cuts off is not held against it. Detection weighs the candidates
// with these where the byte scan alone is likely wrong.
namespace charset_readings {

// What one character costs, alone; code points with no character are
// ill-formed and never reach it.
int Implausibility(std::uint32_t nCodePoint);

// What a character costs after the one before it: a half-width katakana
// only where a run of them starts, and a kanji more when the one before
// stood in the same row of the JIS table, as real text draws its kanji from
// all over it while EUC-JP's single shifts read as Shift_JIS give one row.
class CRunCost {
public:
    int Cost(std::uint32_t nCodePoint, int nRow);
    void Break() { m_nLastRow = m_bHalfWidth = 0; }

private:
    int m_nLastRow = 0;
    int m_bHalfWidth = 0;
};

class CShiftJisReading {
public:
    void Feed(const std::uint8_t* p, std::int64_t n);
    bool WellFormed() const { return m_bWellFormed; }
    std::int64_t Cost() const { return m_nCost; }

private:
    void Take(std::uint32_t nCodePoint, int nRow);

    bool m_bWellFormed = true;
    std::int64_t m_nCost = 0;
    CRunCost m_runs;
    std::uint8_t m_lead = 0; // a lead byte waiting for its trail
};

class CEucJpReading {
public:
    void Feed(const std::uint8_t* p, std::int64_t n);
    bool WellFormed() const { return m_bWellFormed; }
    std::int64_t Cost() const { return m_nCost; }

private:
    bool Trail(std::uint8_t b);

    bool m_bWellFormed = true;
    std::int64_t m_nCost = 0;
    CRunCost m_runs;
    // The bytes of the unit under way: its first, and how many are still due.
    std::uint8_t m_lead = 0;
    int m_nDue = 0;
};

// Up to this length, a text both UTF-8 and EUC-JP is weighed.
constexpr std::int64_t kShortText = 256;

// Well-formed by the Unicode standard: no overlong form, no surrogate,
// nothing above U+10FFFF. Its cost is that of the first kShortText bytes,
// all that is ever weighed.
class CUtf8Reading {
public:
    void Feed(const std::uint8_t* p, std::int64_t n);
    bool WellFormed() const { return m_bWellFormed; }
    // Any form of more than one byte, even one the end cut off.
    bool MultiByte() const { return m_bMultiByte; }
    std::int64_t Cost() const { return m_nCost; }

private:
    bool Lead(std::uint8_t b);

    bool m_bWellFormed = true;
    bool m_bMultiByte = false;
    std::int64_t m_nCost = 0;
    std::int64_t m_nFed = 0;
    CRunCost m_runs;
    int m_nDue = 0;
    std::uint32_t m_nCodePoint = 0;
    std::uint8_t m_lo = 0x80;
    std::uint8_t m_hi = 0xBF;
};

} // namespace charset_readings
