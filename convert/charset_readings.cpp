#include "charset_readings.h"

#include <algorithm>

#include "byte_search.h"
#include "cp932_table.h"
#include "utf8_forms.h"
#include "jis_arithmetic.h"

namespace charset_readings {

namespace {

// What a character costs, lowest for what Japanese text is made of.
constexpr int kCommon = 0;
constexpr int kLevel2Kanji = 1;
constexpr int kHalfWidth = 2;
constexpr int kSymbolRow = 2; // Greek, Cyrillic, box drawing
constexpr int kRareRow = 3;   // NEC and IBM extensions
constexpr int kSupplementary = 1; // JIS X 0212, EUC-JP 8F xx xx
constexpr int kForeign = 6;       // Latin Extended and other scripts
constexpr int kControl = 16;      // C1 controls
constexpr int kUncommon = 1;      // signs and kana outside code page 932
constexpr int kSameRow = 2;       // a kanji in the row of the one before

// JIS X 0208 rows: punctuation to katakana, symbols, level-1 and level-2
// kanji.
constexpr int kLastKanaRow = 5;
constexpr int kLastSymbolRow = 8;
constexpr int kFirstKanjiRow = 16;
constexpr int kFirstLevel2Row = 48;
constexpr int kLastLevel2Row = 84;

// A row of code page 932 (1-94, more for the IBM extensions).
int RowCost(int nRow)
{
    if (nRow <= kLastKanaRow || (nRow >= kFirstKanjiRow && nRow < kFirstLevel2Row))
        return kCommon;
    if (nRow <= kLastSymbolRow)
        return kSymbolRow;
    if (nRow >= kFirstLevel2Row && nRow <= kLastLevel2Row)
        return kLevel2Kanji;
    return kRareRow;
}

// Whether a code point the code-page table gives is a character: the table
// maps 80, A0, FD-FF and the user-defined rows to controls and private use.
bool IsCharacter(std::uint32_t c) { return c != 0 && !(c >= 0x80 && c <= 0x9F) && !(c >= 0xE000 && c <= 0xF8FF); }

std::uint32_t ShiftJisPair(std::uint8_t lead, std::uint8_t trail)
{
    return cp932::table::kDoubleByte[cp932::table::kLeadRow[lead]][trail];
}

// The JIS row of a code page 932 code of two bytes.
int RowOf(std::uint16_t code)
{
    return jis_arithmetic::ShiftJisToRowCell(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF))
               .j1 -
           0x20;
}

} // namespace

int Implausibility(std::uint32_t c)
{
    if (c < 0x80)
        return kCommon;
    const std::uint16_t code = c <= 0xFFFF ? cp932::table::kEncode[c >> 8][c & 0xFF] : 0;
    if (code > 0xFF)
        return RowCost(RowOf(code));
    if (c >= 0xFF61 && c <= 0xFF9F)
        return kHalfWidth;
    if (c <= 0x9F)
        return kControl;
    if (c <= 0xFF)
        return kCommon; // Latin-1
    if (c >= 0x2000 && c <= 0x2FFF)
        return kSymbolRow;
    if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0xFF00 && c <= 0xFFEF))
        return kUncommon;
    if (c >= 0x3400 && c <= 0x9FFF)
        return kRareRow + 1;
    return kForeign;
}

int CRunCost::Cost(std::uint32_t c, int nRow)
{
    const int bHalfWidth = c >= 0xFF61 && c <= 0xFF9F;
    // A row known is the character's own: no need to look it up again.
    int nCost = bHalfWidth && m_bHalfWidth ? 0 : nRow > 0 ? RowCost(nRow) : Implausibility(c);
    if (nRow >= kFirstKanjiRow && nRow == m_nLastRow)
        nCost += kSameRow;
    m_nLastRow = nRow;
    m_bHalfWidth = bHalfWidth;
    return nCost;
}

void CShiftJisReading::Take(std::uint32_t c, int nRow)
{
    if (!IsCharacter(c))
        m_bWellFormed = false;
    else
        m_nCost += m_runs.Cost(c, nRow);
}

void CShiftJisReading::Feed(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i < n && m_bWellFormed) {
        if (m_lead != 0) {
            const std::uint8_t trail = p[i++];
            Take(ShiftJisPair(m_lead, trail), RowOf(static_cast<std::uint16_t>(m_lead << 8 | trail)));
            m_lead = 0;
            continue;
        }
        const std::int64_t nAscii = byte_search::AsciiRun(p + i, n - i);
        if (nAscii > 0)
            m_runs.Break();
        i += nAscii;
        if (i >= n)
            break;
        const std::uint8_t b = p[i++];
        if (cp932::table::kLeadRow[b] != 0)
            m_lead = b;
        else
            Take(cp932::table::kSingleByte[b], 0);
    }
}

// The byte after a lead: true when the unit it ends or goes on is sound.
bool CEucJpReading::Trail(std::uint8_t b)
{
    if (m_lead == 0x8E) {
        if (b < 0xA1 || b > 0xDF)
            return false;
        m_nCost += m_runs.Cost(0xFF61 + (b - 0xA1), 0);
        return true;
    }
    if (b < 0xA1 || b == 0xFF)
        return false;
    if (m_lead == 0x8F) {
        if (m_nDue == 1) {
            m_nCost += kSupplementary;
            m_runs.Break();
        }
        return true;
    }
    const jis_arithmetic::LeadTrail sjis = jis_arithmetic::RowCellToShiftJis(static_cast<std::uint8_t>(m_lead & 0x7F),
                                                                             static_cast<std::uint8_t>(b & 0x7F));
    const std::uint32_t c = ShiftJisPair(sjis.s1, sjis.s2);
    if (!IsCharacter(c))
        return false;
    m_nCost += m_runs.Cost(c, m_lead - 0xA0);
    return true;
}

void CEucJpReading::Feed(const std::uint8_t* p, std::int64_t n)
{
    std::int64_t i = 0;
    while (i < n && m_bWellFormed) {
        if (m_nDue > 0) {
            m_bWellFormed = Trail(p[i++]);
            if (--m_nDue == 0)
                m_lead = 0;
            continue;
        }
        const std::int64_t nAscii = byte_search::AsciiRun(p + i, n - i);
        if (nAscii > 0)
            m_runs.Break();
        i += nAscii;
        if (i >= n)
            break;
        const std::uint8_t b = p[i++];
        if (b == 0x8E || (b >= 0xA1 && b <= 0xFE)) {
            m_lead = b;
            m_nDue = 1;
        } else if (b == 0x8F) {
            m_lead = b;
            m_nDue = 2;
        } else {
            m_bWellFormed = false;
        }
    }
}

bool CUtf8Reading::Lead(std::uint8_t b)
{
    const utf8_forms::LeadRule rule = utf8_forms::RuleOfLead(b);
    if (rule.nMore == 0)
        return false;
    m_nDue = rule.nMore;
    m_nCodePoint = b & (0x3Fu >> rule.nMore);
    m_lo = rule.lo;
    m_hi = rule.hi;
    m_bMultiByte = true;
    return true;
}

void CUtf8Reading::Feed(const std::uint8_t* p, std::int64_t n)
{
    // Past the weighed part only well-formedness counts, at full speed.
    const std::int64_t nWeighed = m_nFed >= kShortText ? 0 : std::min(n, kShortText - m_nFed);
    m_nFed += n;
    std::int64_t i = 0;
    while (i < n && m_bWellFormed) {
        if (m_nDue == 0) {
            const std::int64_t nAscii = byte_search::AsciiRun(p + i, n - i);
            if (nAscii > 0)
                m_runs.Break();
            i += nAscii;
            if (i >= n)
                break;
            m_bWellFormed = Lead(p[i++]);
            continue;
        }
        const std::uint8_t b = p[i++];
        if (b < m_lo || b > m_hi) {
            m_bWellFormed = false;
            break;
        }
        m_nCodePoint = m_nCodePoint << 6 | (b & 0x3F);
        m_lo = 0x80;
        m_hi = 0xBF;
        if (--m_nDue == 0 && i <= nWeighed)
            m_nCost += m_runs.Cost(m_nCodePoint, 0);
    }
}

} // namespace charset_readings
